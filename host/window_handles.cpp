#include "host/window_handles.h"

namespace host {

HWND mainWindow() { return reinterpret_cast<HWND>(kMainWindowId); }

std::string windowName(HWND window) {
  const auto id = reinterpret_cast<std::uintptr_t>(window);
  if (id == 0) return "none";
  if (id == kMainWindowId) return "main";
  return "window " + std::to_string(id);
}

}  // namespace host
