#pragma once
// Inside the window layer: the record of every live window, the main
// thread, and the delivery of messages to dialog procedures, on the main
// thread or from another one.
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
#include <gtk/gtk.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/dialog_templates.h"
#include "host/gui/gtk_ownership.h"
#include "host/gui/window_host.h"
#include "host/window_handles.h"

namespace host::gui {

// Dialog base units of MS Sans Serif 8 pt at 96 dpi, in pixels.
inline constexpr int kBaseUnitX = 6;
inline constexpr int kBaseUnitY = 13;
// What GetClassLongPtrW gives for the small icon: a handle the plug-in only
// passes on with WM_SETICON.
inline constexpr ULONG_PTR kSmallIcon = 0x51C0;
// Styles of the windows the host makes or adopts before anyone changes them.
inline constexpr LONG_PTR kOverlappedWindow = 0x00CF0000;

inline HWND handleOf(std::uintptr_t id) { return reinterpret_cast<HWND>(id); }
inline std::uintptr_t idOf(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }
int mulDiv(int value, int numerator, int denominator);

enum class Kind { Main, Dialog, Adopted };

struct Window {
  Window(HWND handle, Kind kind) : handle(handle), kind(kind) {}
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const HWND handle;
  const Kind kind;
  // Owned and destroyed for the main window and dialogs; only referenced
  // for an adopted window.
  gtk::WidgetRef top;
  GtkWidget* client = nullptr;   // a dialog's client area (a GtkLayout inside `top`)
  GtkWidget* content = nullptr;  // an adopted window's one child, wherever it is
  DLGPROC procedure = nullptr;
  std::u16string title;
  std::vector<ControlState> controls;
  // Under the registry's lock: any thread reads and writes these.
  LONG_PTR userData = 0;
  LONG_PTR style = 0;
  // The rest belongs to the main thread.
  LPARAM smallIcon = 0;
  HWND parent = nullptr;
  bool ended = false;
  std::intptr_t endResult = 0;
  bool destroying = false;
  // A dialog's client size as last allocated (the template's until then);
  // an adopted child's as last placed by MoveWindow.
  int clientWidth = 0;
  int clientHeight = 0;
  gtk::SourceId sizeNotice;
  // Disconnected before `top` goes (declared after it).
  gtk::SignalConnection deleteConnection;
  gtk::SignalConnection allocateConnection;
  gtk::SignalConnection destroyConnection;
  gtk::SignalConnection contentDestroyConnection;
};

// Every live window by handle number. The main window's record is there
// from the start, as 3ds Max's frame is; its GTK window is made on first
// need (mainTop).
struct Registry {
  Registry();
  std::mutex lock;
  std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
  std::uintptr_t nextId = kMainWindowId + 1;
  bool messageBoxesAnswered = false;
};
Registry& registry();
HWND newHandle();

// The main thread is the first that makes, adopts or shows a window, or
// runs the loop. True when the calling thread is it (claiming it when
// there is none yet).
bool claimMainThread();
bool onMainThread();
// GTK, on the main thread; false without a display or off the main thread.
bool gtkReady();

// The record of a live window, for the main thread: valid until the next
// call that may destroy windows (a procedure, a GTK call that emits signals).
Window* find(HWND handle);
bool alive(HWND handle);
Window* findNative(gpointer native);
Window& add(std::unique_ptr<Window> window);
// Takes a window out of the registry; the caller destroys it, outside the lock.
std::unique_ptr<Window> take(HWND handle);
int dialogCount();
// The main window's GTK window, made hidden on first need: it stands for
// the host's frame, which owns the dialogs. Null without GTK.
GtkWidget* mainTop();
// The GtkWindow a window is shown in, for owning and centring others.
GtkWindow* topLevelOf(HWND handle);

// Moves a widget from its container into another; it keeps living across
// the move, whoever else holds it.
void moveWidget(GtkWidget* widget, GtkWidget* target, int x, int y);
// An adopted window's child back into its own top-level, which stays hidden
// while the window has the child style.
void returnHome(Window& child);

// Runs the procedure on this (the main) thread.
LRESULT deliver(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
// Queues the message for the main thread and waits until it has run there.
LRESULT sendFromOtherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace host::gui
