#pragma once
// Windows of the stand-in host: modeless dialogs made from templates, their
// dialog procedures, and window messages, as the plug-in uses them; here
// GTK windows, with the GTK main loop as the host's main-thread loop.
//
// Threads: the main thread is the first that makes, adopts or asks for the
// native window of a window, runs the loop or shows a message box.
// Everything here belongs to it, except SendMessageW, IsWindow,
// Get/SetWindowLongPtrW on the user-data slot, Sleep and quitMainLoop. A
// send from another thread runs on the main thread while that runs its loop
// (runMainLoop, a modal message box, any GTK loop), the sender waiting; to
// a window gone before its turn it returns 0 and runs nothing.
//
// What only the stand-in's windows have is in host/gui/window_host.h;
// messages, handles and adopted windows are described in
// host/gui/window_registry.h.
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
