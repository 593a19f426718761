#pragma once
// The import window: a modeless dialog whose whole client area is the
// browser showing the platform's 3ds Max page; jobs from the page arrive
// here as window messages and run on the host's main thread.
#include <functional>
#include <memory>
#include <string>

#include "bridge/bridge.h"
#include "bridge/page_bridge.h"
#include "bridge/webview/webview.h"
#include "host/gui/windows.h"
#include "resources/resources.h"

namespace cvimp {

// One attempt to make, place, connect and load a browser in the window.
// Its pages may use the bridge when isBridgePage(page, the address after
// the browser map) holds; any other page the browser would show or open
// goes to the user's browser instead.
bool createBrowser(BrowserHost& host, HWND window, const std::string& address);
void resizeBrowsers(BrowserHost& host, HWND window);
// The window's browsers go; their pages' jobs no longer run.
void destroyBrowsers(BrowserHost& host, HWND window);

// For tests: how browsers are made.
using BrowserFactory = std::function<std::unique_ptr<webview::WebView>()>;
void setBrowserFactory(BrowserFactory factory);  // null: the real engine

}  // namespace cvimp
