#pragma once
// What only the stand-in's windows have: adopting a native window made
// elsewhere (the browser layer's), the user's actions on dialogs, the main
// loop, and what tests read of a window.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/gui/windows.h"

namespace host {

// A window handle for a native window made elsewhere (the browser layer's
// GtkWindow), so that SetParent, MoveWindow and the style calls reach it.
HWND adoptNativeWindow(void* nativeWindow);

// The dialogs open now, oldest first.
std::vector<HWND> dialogs();
// The user closes a dialog from its title bar: its procedure gets WM_CLOSE.
// False for a window that is not an open dialog.
bool closeWindow(HWND dialog);
// The user resizes a window by its frame to a client area of width x
// height; the window system answers through the loop. False for an
// unknown window.
bool resizeWindow(HWND window, int width, int height);

// Destroys every dialog still open, newest first, as the host's main
// window does with the windows it owns when it closes.
void destroyDialogs();

// Runs the main thread's loop until no dialog is left or quitMainLoop().
void runMainLoop();
void quitMainLoop();
// Runs the main thread's loop until `done` holds or `timeoutSeconds` have
// passed; whether it holds. `done` is looked at after every event, and at
// least every 20 ms, for what other threads make true.
bool runMainLoopUntil(const std::function<bool()>& done, int timeoutSeconds);

// Message boxes: shown, or in tests answered at once and recorded.
void setMessageBoxesAnswered(bool answeredAtOnce);

// The GtkWindow of a window (for a child moved into a dialog, its own
// hidden top-level); null for an unknown handle.
void* nativeWindow(HWND window);

// What the host knows of a live window, for tests and diagnostics.
struct ControlState {
  int id = -1;
  std::u16string text;
  bool notifies = false;
  int x = 0, y = 0, width = 0, height = 0;  // pixels in the client area
};
struct WindowState {
  std::u16string title;
  LONG_PTR style = 0;
  LPARAM smallIcon = 0;  // the last WM_SETICON ICON_SMALL
  HWND parent = nullptr;
  bool ended = false;  // EndDialog called
  std::intptr_t endResult = 0;
  bool visible = false;
  std::vector<ControlState> controls;  // a dialog's, in template order
};
std::optional<WindowState> windowState(HWND window);

// The user clicks control `id` of a dialog: a notifying one sends its
// WM_COMMAND. False when the dialog has no such notifying control.
bool clickControl(HWND dialog, int id);

// Sends from other threads that are waiting for the main thread.
int pendingSends();

}  // namespace host
