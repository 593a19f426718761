#pragma once
// Windows of the stand-in host: modeless dialogs made from templates, their
// dialog procedures, and window messages, as the plug-in uses them. On this
// platform a window is a GTK window; the host's main thread runs the GTK main
// loop while windows exist. SendMessageW from any other thread runs the
// procedure on the main thread and waits for it, as on Windows.
//
// Threads: the main thread is the thread that first uses this layer (makes
// a dialog, the main window, adopts a window, runs the loop or shows a
// message box). Everything here belongs to it, except SendMessageW, IsWindow,
// Get/SetWindowLongPtrW on the user-data slot, Sleep and quitMainLoop,
// which any thread may call. A send from another thread is queued on the
// main thread's GTK main context and completes only while the main thread
// runs that context (runMainLoop, a modal message box, or any GTK loop); the
// sender waits until then. A send to a window destroyed before its turn
// returns 0 without running anything.
//
// Handles are numbers, never addresses: a handle of a destroyed window is
// just unknown, and no handle is reused.
//
// Messages the host itself sends to a dialog procedure: WM_INITDIALOG
// before CreateDialogParamW returns; WM_SIZE (wParam 0, lParam
// MAKELPARAM(width, height) of the client area) from the main loop after the
// client area has changed size, not from MoveWindow directly; WM_CLOSE when
// the user asks to close the window (the window stays until the procedure
// destroys it); WM_DESTROY from DestroyWindow, before anything is torn down.
// SendMessageW returns what the procedure returns (there is no
// DWLP_MSGRESULT); WM_SETICON that the procedure leaves (returns 0) records
// the icon and returns the previous one.
//
// Windows made elsewhere (adoptNativeWindow, the browser layer's GtkWindow
// with its one child widget) stay owned by their maker:
// - SetWindowLongPtrW(GWL_STYLE) records the style; WS_CHILD hides the
//   window's own top-level.
// - SetParent(child, dialog) moves the child widget into the dialog's client
//   area, at (0, 0); the child handle keeps naming it, so MoveWindow and
//   GetClientRect on the child place it inside the dialog. SetParent(child,
//   nullptr) moves it back into its own (hidden) top-level.
// - The maker destroys the widgets (WebView's destructor destroys the view
//   widget, wherever it is, then its GtkWindow); the handle dies with the
//   GtkWindow. DestroyWindow on an adopted handle only forgets the handle.
// - DestroyWindow on a dialog runs WM_DESTROY first, where the plug-in
//   deletes its browsers; a child widget still inside after that is moved
//   back into its own top-level before the dialog's GtkWindow is destroyed,
//   so the host never destroys a widget it does not own, whatever the order.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/host_types.h"
#include "host/resources.h"  // window styles

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DLGPROC = std::intptr_t (*)(HWND, UINT, WPARAM, LPARAM);

constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_USER = 0x0400;
constexpr int STN_CLICKED = 0;

constexpr LPARAM MAKELPARAM(int low, int high) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(low) & 0xFFFFu) |
                             ((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16));
}
constexpr int LOWORD(std::uintptr_t value) { return static_cast<int>(value & 0xFFFFu); }
constexpr int HIWORD(std::uintptr_t value) { return static_cast<int>((value >> 16) & 0xFFFFu); }

constexpr int GWLP_USERDATA = -21;
constexpr int GCLP_HICONSM = -34;
constexpr WPARAM ICON_SMALL = 0;
constexpr int GWL_STYLE = -16;
constexpr UINT MB_OK = 0x0;
constexpr int IDOK = 1;

struct RECT {
  long left = 0;
  long top = 0;
  long right = 0;
  long bottom = 0;
};

// A modeless dialog from template `templateId`, owned by `owner`, with
// `procedure` as its dialog procedure; `param` reaches WM_INITDIALOG as its
// last parameter. The window is shown when its template says so.
HWND CreateDialogParamW(HINSTANCE instance, int templateId, HWND owner, DLGPROC procedure, LPARAM param);
// Runs the window's procedure with the message: directly on the main
// thread, and from any other thread on the main thread while the caller
// waits. 0 for a window that no longer exists.
LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value);
LONG_PTR GetWindowLongPtrW(HWND window, int index);
ULONG_PTR GetClassLongPtrW(HWND window, int index);
BOOL GetClientRect(HWND window, RECT* rect);
BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint);
HWND SetParent(HWND child, HWND parent);
BOOL EndDialog(HWND dialog, std::intptr_t result);
BOOL DestroyWindow(HWND window);
BOOL IsWindow(HWND window);
int MessageBoxW(HWND owner, const MCHAR* text, const MCHAR* caption, UINT type);
void Sleep(DWORD milliseconds);
void CenterWindow(HWND window, HWND parent);

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
// passed; whether it holds.
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
