#pragma once
// The import window and its page bridge: a modeless dialog whose client
// area is a browser showing the platform's 3ds Max page, into which the
// bridge binds "HandleEventFunc", "HandleEventFuncGetLastError" and
// "HandleCookies"; jobs from the page run on the host's main thread.
#include <cstdint>
#include <string>

#include "bridge/page_address.h"
#include "host/gui/windows.h"
#include "resources/resources.h"
#include "state/plugin_state.h"

namespace cvimp {

// Dialog 103 of the resources: "导入", 800 × 525 dialog units, popup,
// visible, caption, system menu, sizing frame, minimize and maximize boxes.
inline constexpr int kImportDialogTemplate = IDD_IMPORT;

// The import window's procedure; its creation parameter is the plug-in's
// PluginState, which it keeps in the window's user data.
std::intptr_t importWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Every browser of the run, with the bridge's status texts.
struct BrowserHost;
BrowserHost& browserHost();
// Terminates and drops every browser (the plug-in's Stop).
void shutdownBrowsers(BrowserHost& host);

// The page to load instead of the platform's (empty: the platform's).
void setPageAddressOverride(std::string address);

}  // namespace cvimp
