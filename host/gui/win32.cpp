// The Win32 window functions the plug-in calls, on the window registry.
#include <chrono>
#include <thread>
#include <utility>

#include "host/gui/window_registry.h"
#include "host/journal.h"
#include "host/wstr.h"

namespace host {
namespace gui {
namespace {

GdkRectangle workArea() {
  GdkRectangle area{0, 0, 1280, 1024};
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return area;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
  if (monitor != nullptr) gdk_monitor_get_geometry(monitor, &area);
  return area;
}

}  // namespace
}  // namespace gui

void setMessageBoxesAnswered(bool answeredAtOnce) {
  std::lock_guard guard(gui::registry().lock);
  gui::registry().messageBoxesAnswered = answeredAtOnce;
}

}  // namespace host

using host::journal;
namespace gui = host::gui;

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  journal().record("SendMessageW", host::windowName(window) + ", " + std::to_string(message) + ", " +
                                       std::to_string(wParam) + ", " + std::to_string(lParam));
  if (!gui::alive(window)) return 0;
  if (gui::onMainThread()) return gui::deliver(window, message, wParam, lParam);
  return gui::sendFromOtherThread(window, message, wParam, lParam);
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  journal().record("SetWindowLongPtrW",
                   host::windowName(window) + ", " + std::to_string(index) + ", " + std::to_string(value));
  LONG_PTR previous = 0;
  {
    std::lock_guard guard(gui::registry().lock);
    const auto found = gui::registry().windows.find(gui::idOf(window));
    if (found == gui::registry().windows.end()) return 0;
    gui::Window& record = *found->second;
    if (index == GWLP_USERDATA) return std::exchange(record.userData, value);
    if (index != GWL_STYLE) return 0;
    previous = std::exchange(record.style, value);
  }
  // A window that becomes a child no longer shows as a window of its own.
  if ((value & WS_CHILD) != 0 && gui::onMainThread()) {
    gui::Window* record = gui::find(window);
    if (record != nullptr && record->kind == gui::Kind::Adopted && record->top.get() != nullptr) {
      gtk_widget_hide(record->top.get());
    }
  }
  return previous;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  journal().record("GetWindowLongPtrW", host::windowName(window) + ", " + std::to_string(index));
  std::lock_guard guard(gui::registry().lock);
  const auto found = gui::registry().windows.find(gui::idOf(window));
  if (found == gui::registry().windows.end()) return 0;
  if (index == GWLP_USERDATA) return found->second->userData;
  if (index == GWL_STYLE) return found->second->style;
  return 0;
}

ULONG_PTR GetClassLongPtrW(HWND window, int index) {
  journal().record("GetClassLongPtrW", host::windowName(window) + ", " + std::to_string(index));
  if (!gui::alive(window) || index != GCLP_HICONSM) return 0;
  return gui::kSmallIcon;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  journal().record("GetClientRect", host::windowName(window));
  if (rect == nullptr || !gui::onMainThread()) return FALSE;
  const gui::Window* found = gui::find(window);
  if (found == nullptr) return FALSE;
  int width = found->clientWidth;
  int height = found->clientHeight;
  const bool ownTopLevel =
      found->kind == gui::Kind::Main || (found->kind == gui::Kind::Adopted && found->parent == nullptr);
  if (GtkWindow* top = ownTopLevel ? gui::topLevelOf(window) : nullptr) gtk_window_get_size(top, &width, &height);
  *rect = RECT{0, 0, width, height};
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  journal().record("MoveWindow", host::windowName(window) + ", " + std::to_string(x) + ", " + std::to_string(y) + ", " +
                                     std::to_string(width) + ", " + std::to_string(height) + ", " +
                                     host::flag(repaint != 0));
  if (!gui::onMainThread()) return FALSE;
  gui::Window* found = gui::find(window);
  if (found == nullptr || width < 0 || height < 0) return FALSE;
  if (found->kind == gui::Kind::Adopted && found->parent != nullptr) {
    const gui::Window* parent = gui::find(found->parent);
    found->clientWidth = width;
    found->clientHeight = height;
    if (found->content != nullptr && parent != nullptr && parent->client != nullptr) {
      gtk_layout_move(GTK_LAYOUT(parent->client), found->content, x, y);
      gtk_widget_set_size_request(found->content, width, height);
    }
    return TRUE;
  }
  if (found->top.get() == nullptr) return FALSE;
  // The size asked for is the client area's: GTK sizes windows without
  // their frame.
  gtk_window_move(GTK_WINDOW(found->top.get()), x, y);
  gtk_window_resize(GTK_WINDOW(found->top.get()), width > 0 ? width : 1, height > 0 ? height : 1);
  return TRUE;
}

HWND SetParent(HWND child, HWND parent) {
  journal().record("SetParent", host::windowName(child) + ", " + host::windowName(parent));
  if (!gui::onMainThread()) return nullptr;
  gui::Window* childWindow = gui::find(child);
  if (childWindow == nullptr || childWindow->kind != gui::Kind::Adopted) return nullptr;
  const HWND previous = childWindow->parent;
  if (parent == nullptr) {
    gui::returnHome(*childWindow);
    return previous;
  }
  const gui::Window* parentWindow = gui::find(parent);
  if (parentWindow == nullptr || parentWindow->client == nullptr) return nullptr;
  childWindow->parent = parent;
  if (childWindow->content != nullptr) {
    gui::moveWidget(childWindow->content, parentWindow->client, 0, 0);
    gtk_widget_show(childWindow->content);
    // Until MoveWindow places it, it has whatever size it had.
    GtkAllocation allocation;
    gtk_widget_get_allocation(childWindow->content, &allocation);
    childWindow->clientWidth = allocation.width;
    childWindow->clientHeight = allocation.height;
  }
  return previous;
}

BOOL EndDialog(HWND dialog, std::intptr_t result) {
  journal().record("EndDialog", host::windowName(dialog) + ", " + std::to_string(result));
  if (!gui::onMainThread()) return FALSE;
  gui::Window* found = gui::find(dialog);
  if (found == nullptr || found->kind != gui::Kind::Dialog) return FALSE;
  found->ended = true;
  found->endResult = result;
  return TRUE;
}

BOOL DestroyWindow(HWND window) {
  journal().record("DestroyWindow", host::windowName(window));
  if (!gui::onMainThread()) return FALSE;
  gui::Window* found = gui::find(window);
  if (found == nullptr || found->kind == gui::Kind::Main || found->destroying) return FALSE;
  found->destroying = true;
  if (found->kind == gui::Kind::Dialog) {
    gui::deliver(window, WM_DESTROY, 0, 0);
    // Children still inside go back to their own windows: their makers
    // destroy them.
    std::vector<HWND> children;
    {
      std::lock_guard guard(gui::registry().lock);
      for (const auto& [id, record] : gui::registry().windows) {
        if (record->kind == gui::Kind::Adopted && record->parent == window) children.push_back(record->handle);
      }
    }
    for (HWND child : children) {
      if (gui::Window* record = gui::find(child)) gui::returnHome(*record);
    }
  } else {
    gui::returnHome(*found);
  }
  // Destroyed outside the lock: GTK emits signals as it goes.
  const std::unique_ptr<gui::Window> gone = gui::take(window);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  journal().record("IsWindow", host::windowName(window));
  return gui::alive(window) ? TRUE : FALSE;
}

int MessageBoxW(HWND owner, const MCHAR* text, const MCHAR* caption, UINT type) {
  const std::u16string body = text != nullptr ? text : u"";
  const std::u16string title = caption != nullptr ? caption : u"";
  journal().record("MessageBoxW", host::windowName(owner) + ", " + host::quoted(body) + ", " + host::quoted(title) +
                                      ", " + std::to_string(type));
  {
    std::lock_guard guard(gui::registry().lock);
    if (gui::registry().messageBoxesAnswered) return IDOK;
  }
  if (!gui::gtkReady()) return 0;
  const host::gtk::Owned<GtkWidget, &gtk_widget_destroy> box(
      gtk_message_dialog_new(gui::topLevelOf(owner), GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s",
                             host::utf16ToUtf8(body).c_str()));
  gtk_window_set_title(GTK_WINDOW(box.get()), host::utf16ToUtf8(title).c_str());
  gtk_dialog_run(GTK_DIALOG(box.get()));
  return IDOK;
}

void Sleep(DWORD milliseconds) {
  journal().record("Sleep", std::to_string(milliseconds));
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void CenterWindow(HWND window, HWND parent) {
  journal().record("CenterWindow", host::windowName(window) + ", " + host::windowName(parent));
  if (!gui::onMainThread()) return;
  const gui::Window* found = gui::find(window);
  if (found == nullptr || found->top.get() == nullptr) return;
  GtkWindow* top = GTK_WINDOW(found->top.get());
  int width = 0;
  int height = 0;
  gtk_window_get_size(top, &width, &height);
  // Over the parent when it is shown; otherwise over the screen, which the
  // host's frame covers.
  GdkRectangle area = gui::workArea();
  const gui::Window* over = gui::find(parent);
  if (over != nullptr && over->top.get() != nullptr && gtk_widget_get_visible(over->top.get())) {
    gtk_window_get_position(GTK_WINDOW(over->top.get()), &area.x, &area.y);
    gtk_window_get_size(GTK_WINDOW(over->top.get()), &area.width, &area.height);
  }
  gtk_window_move(top, area.x + (area.width - width) / 2, area.y + (area.height - height) / 2);
}
