#pragma once
// The import window: a modeless dialog whose whole client area is the
// browser showing the platform's 3ds Max page; jobs from the page arrive
// here as window messages and run on the host's main thread.
#include <functional>
#include <memory>
#include <string>

#include "bridge/page_address.h"
#include "bridge/page_bridge.h"
#include "bridge/webview/webview.h"
#include "host/gui/windows.h"
#include "resources/resource_ids.h"

namespace cvimp {

// Dialog 103 of the resources: "导入", 800 × 525 dialog units, popup,
// visible, caption, system menu, sizing frame, minimize and maximize boxes.
inline constexpr int kImportDialogTemplate = IDD_IMPORT;

std::intptr_t importWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// One attempt to make, place, connect and load a browser in the window.
bool createBrowser(BrowserHost& host, HWND window, const std::string& address, PluginState& state);
void resizeBrowsers(BrowserHost& host, HWND window);
void destroyBrowsers(BrowserHost& host);
void shutdownBrowsers(BrowserHost& host);

// For `cvimp window --url` and tests: the page to load instead of the
// platform's (empty: the platform's), and how browsers are made.
void setPageAddressOverride(std::string address);
using BrowserFactory = std::function<std::unique_ptr<webview::WebView>()>;
void setBrowserFactory(BrowserFactory factory);  // null: the real engine

}  // namespace cvimp
