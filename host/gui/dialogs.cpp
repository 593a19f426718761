// Dialogs made from templates, their static texts, and the windows the host
// adopts from other layers.
#include <algorithm>
#include <utility>

#include "host/gui/window_registry.h"
#include "host/journal.h"
#include "host/wstr.h"

namespace host {
namespace gui {
namespace {

// Closing from the title bar asks the procedure; the window stays until it
// is destroyed.
gboolean onDelete(GtkWidget*, GdkEvent*, gpointer handle) {
  deliver(static_cast<HWND>(handle), WM_CLOSE, 0, 0);
  return TRUE;
}

gboolean onSizeNotice(gpointer handle) {
  Window* window = find(static_cast<HWND>(handle));
  if (window == nullptr) return G_SOURCE_REMOVE;
  window->sizeNotice.ran();
  deliver(window->handle, WM_SIZE, 0, MAKELPARAM(window->clientWidth, window->clientHeight));
  return G_SOURCE_REMOVE;
}

// The client area got a new size: WM_SIZE follows from the loop, once the
// allocation is over (the procedure moves widgets, which must not happen
// inside it).
void onClientAllocate(GtkWidget*, GdkRectangle* allocation, gpointer handle) {
  Window* window = find(static_cast<HWND>(handle));
  if (window == nullptr) return;
  if (allocation->width == window->clientWidth && allocation->height == window->clientHeight) return;
  window->clientWidth = allocation->width;
  window->clientHeight = allocation->height;
  if (!window->sizeNotice.active()) window->sizeNotice.set(g_idle_add(&onSizeNotice, handle));
}

// An adopted window destroyed by its maker: the handle goes with it.
void onAdoptedDestroy(GtkWidget*, gpointer handle) {
  std::unique_ptr<Window> gone = take(static_cast<HWND>(handle));
  if (gone) gone->destroyConnection.forget();
}

void onContentDestroy(GtkWidget*, gpointer handle) {
  Window* window = find(static_cast<HWND>(handle));
  if (window == nullptr) return;
  window->contentDestroyConnection.forget();
  window->content = nullptr;
}

gboolean onControlClick(GtkWidget* widget, GdkEventButton* event, gpointer handle) {
  if (event->button != 1) return FALSE;
  const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(widget), "cvimp-control-id"));
  deliver(static_cast<HWND>(handle), WM_COMMAND, static_cast<WPARAM>(MAKELPARAM(id, STN_CLICKED)), 0);
  return TRUE;
}

// A template's static texts, placed in the client area at their pixel
// positions; notifying ones catch clicks.
void addControls(Window& window, const std::vector<DialogControlTemplate>& controls) {
  for (const DialogControlTemplate& control : controls) {
    ControlState state{control.id,
                       control.text,
                       control.notifies,
                       mulDiv(control.x, kBaseUnitX, 4),
                       mulDiv(control.y, kBaseUnitY, 8),
                       mulDiv(control.width, kBaseUnitX, 4),
                       mulDiv(control.height, kBaseUnitY, 8)};
    GtkWidget* label = gtk_label_new(utf16ToUtf8(control.text).c_str());
    gtk_label_set_xalign(GTK_LABEL(label), 0.0F);
    GtkWidget* placed = label;
    if (control.notifies) {
      placed = gtk_event_box_new();
      gtk_container_add(GTK_CONTAINER(placed), label);
      g_object_set_data(G_OBJECT(placed), "cvimp-control-id", GINT_TO_POINTER(control.id));
      g_signal_connect(placed, "button-release-event", G_CALLBACK(&onControlClick), window.handle);
    }
    gtk_layout_put(GTK_LAYOUT(window.client), placed, state.x, state.y);
    gtk_widget_show_all(placed);
    window.controls.push_back(std::move(state));
  }
}

// The dialog's GTK window with its client area and texts, not shown yet.
std::unique_ptr<Window> makeDialog(HWND handle, const DialogTemplate& dialog, HWND owner, DLGPROC procedure) {
  auto window = std::make_unique<Window>(handle, Kind::Dialog);
  window->procedure = procedure;
  window->title = dialog.title;
  window->style = static_cast<LONG_PTR>(dialog.style);
  window->clientWidth = mulDiv(dialog.widthDialogUnits, kBaseUnitX, 4);
  window->clientHeight = mulDiv(dialog.heightDialogUnits, kBaseUnitY, 8);
  window->top.reset(gtk_window_new(GTK_WINDOW_TOPLEVEL), true);
  GtkWindow* top = GTK_WINDOW(window->top.get());
  gtk_window_set_title(top, utf16ToUtf8(dialog.title).c_str());
  gtk_window_set_resizable(top, TRUE);
  gtk_window_set_default_size(top, window->clientWidth, window->clientHeight);
  if (GtkWindow* ownerTop = topLevelOf(owner)) gtk_window_set_transient_for(top, ownerTop);
  // A layout asks for no size of its own, so the window can shrink below
  // the children placed in it.
  window->client = gtk_layout_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(top), window->client);
  gtk_widget_show(window->client);
  addControls(*window, dialog.controls);
  window->deleteConnection.connect(top, "delete-event", G_CALLBACK(&onDelete), handle);
  window->allocateConnection.connect(window->client, "size-allocate", G_CALLBACK(&onClientAllocate), handle);
  return window;
}

}  // namespace
}  // namespace gui

HWND adoptNativeWindow(void* nativeWindow) {
  if (nativeWindow == nullptr || !gui::gtkReady() || !GTK_IS_WINDOW(nativeWindow)) return nullptr;
  if (gui::Window* known = gui::findNative(nativeWindow)) return known->handle;
  GtkWidget* top = GTK_WIDGET(nativeWindow);
  const HWND handle = gui::newHandle();
  auto window = std::make_unique<gui::Window>(handle, gui::Kind::Adopted);
  window->top.reset(top, false);
  window->content = gtk_bin_get_child(GTK_BIN(top));
  window->style = gui::kOverlappedWindow | (gtk_widget_get_visible(top) ? WS_VISIBLE : 0);
  if (const char* title = gtk_window_get_title(GTK_WINDOW(top))) window->title = utf8ToUtf16(title);
  window->destroyConnection.connect(top, "destroy", G_CALLBACK(&gui::onAdoptedDestroy), handle);
  if (window->content != nullptr) {
    window->contentDestroyConnection.connect(window->content, "destroy", G_CALLBACK(&gui::onContentDestroy), handle);
  }
  return gui::add(std::move(window)).handle;
}

void* nativeWindow(HWND window) {
  if (!gui::claimMainThread()) return nullptr;
  if (gui::idOf(window) == kMainWindowId) return gui::mainTop();
  const gui::Window* found = gui::find(window);
  return found != nullptr ? found->top.get() : nullptr;
}

std::optional<WindowState> windowState(HWND window) {
  if (!gui::onMainThread()) return std::nullopt;
  const gui::Window* found = gui::find(window);
  if (found == nullptr) return std::nullopt;
  WindowState state;
  state.title = found->title;
  {
    std::lock_guard guard(gui::registry().lock);
    state.style = found->style;
  }
  state.smallIcon = found->smallIcon;
  state.parent = found->parent;
  state.ended = found->ended;
  state.endResult = found->endResult;
  state.controls = found->controls;
  if (found->kind == gui::Kind::Adopted && found->parent != nullptr) {
    state.visible = found->content != nullptr && gtk_widget_get_visible(found->content);
  } else {
    state.visible = found->top.get() != nullptr && gtk_widget_get_visible(found->top.get());
  }
  return state;
}

bool clickControl(HWND dialog, int id) {
  if (!gui::onMainThread()) return false;
  const gui::Window* found = gui::find(dialog);
  if (found == nullptr) return false;
  const auto control = std::find_if(found->controls.begin(), found->controls.end(),
                                    [id](const ControlState& state) { return state.id == id && state.notifies; });
  if (control == found->controls.end()) return false;
  gui::deliver(dialog, WM_COMMAND, static_cast<WPARAM>(MAKELPARAM(id, STN_CLICKED)), 0);
  return true;
}

std::vector<HWND> dialogs() {
  std::vector<HWND> open;
  std::lock_guard guard(gui::registry().lock);
  // Ids grow with each window, so the map's order is the order of making.
  for (const auto& [id, window] : gui::registry().windows) {
    if (window->kind == gui::Kind::Dialog) open.push_back(window->handle);
  }
  return open;
}

bool closeWindow(HWND dialog) {
  if (!gui::onMainThread()) return false;
  const gui::Window* found = gui::find(dialog);
  if (found == nullptr || found->kind != gui::Kind::Dialog) return false;
  gui::deliver(dialog, WM_CLOSE, 0, 0);
  return true;
}

bool resizeWindow(HWND window, int width, int height) {
  if (!gui::onMainThread()) return false;
  GtkWindow* top = gui::topLevelOf(window);
  if (top == nullptr) return false;
  gtk_window_resize(top, width, height);
  return true;
}

void destroyDialogs() {
  if (!gui::onMainThread()) return;
  const std::vector<HWND> open = dialogs();
  for (auto dialog = open.rbegin(); dialog != open.rend(); ++dialog) DestroyWindow(*dialog);
}

}  // namespace host

using host::journal;

HWND CreateDialogParamW(HINSTANCE, int templateId, HWND owner, DLGPROC procedure, LPARAM param) {
  journal().record("CreateDialogParamW", std::to_string(templateId) + ", " + host::windowName(owner) + ", " +
                                             (procedure != nullptr ? "procedure" : "none") + ", " +
                                             std::to_string(param));
  const std::optional<host::DialogTemplate> dialog = host::dialogTemplate(templateId);
  if (!dialog || !host::gui::gtkReady()) return nullptr;
  const HWND handle = host::gui::newHandle();
  host::gui::add(host::gui::makeDialog(handle, *dialog, owner, procedure));

  host::gui::deliver(handle, WM_INITDIALOG, 0, param);
  host::gui::Window* made = host::gui::find(handle);
  if (made == nullptr) return nullptr;
  LONG_PTR style;
  {
    std::lock_guard guard(host::gui::registry().lock);
    style = made->style;
  }
  if ((style & WS_VISIBLE) != 0) gtk_widget_show(made->top.get());
  return handle;
}
