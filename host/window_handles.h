#pragma once
// Window handles as the whole host knows them: numbers, never addresses,
// so that a handle of a destroyed window is just unknown. The main
// window's is fixed; the window layer (host/gui) numbers the others and
// never reuses one.
#include <cstdint>
#include <string>

#include "host/host_types.h"

namespace host {

inline constexpr std::uintptr_t kMainWindowId = 1;

// The host's main window (GetMAXHWnd), owner of the plug-ins' dialogs.
HWND mainWindow();

// How the journal names a window: "none", "main" or "window N".
std::string windowName(HWND window);

}  // namespace host
