#include "host/windows.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "host/journal.h"
#include "host/wstr.h"

namespace host {

namespace {

// Dialog base units of MS Sans Serif 8 pt at 96 dpi, in pixels.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
// What GetClassLongPtrW gives for the small icon: a handle the plug-in only
// passes on with WM_SETICON.
constexpr ULONG_PTR kSmallIcon = 0x51C0;
// Styles of the windows the host makes or adopts before anyone changes them.
constexpr LONG_PTR kOverlappedWindow = 0x00CF0000;

constexpr std::uintptr_t kMainId = 1;

HWND handleOf(std::uintptr_t id) { return reinterpret_cast<HWND>(id); }
std::uintptr_t idOf(HWND window) { return reinterpret_cast<std::uintptr_t>(window); }

int mulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) / denominator);
}

// A reference to a widget; `destroys` also destroys it first, for the
// widgets the host owns.
class WidgetRef {
 public:
  WidgetRef() = default;
  ~WidgetRef() { release(); }
  WidgetRef(const WidgetRef&) = delete;
  WidgetRef& operator=(const WidgetRef&) = delete;

  void reset(GtkWidget* widget, bool destroys) {
    release();
    widget_ = widget;
    destroys_ = destroys;
    if (widget_ != nullptr) g_object_ref_sink(widget_);
  }
  GtkWidget* get() const { return widget_; }

 private:
  void release() {
    if (widget_ == nullptr) return;
    GtkWidget* widget = std::exchange(widget_, nullptr);
    if (destroys_) gtk_widget_destroy(widget);
    g_object_unref(widget);
  }

  GtkWidget* widget_ = nullptr;
  bool destroys_ = false;
};

// A signal handler, disconnected when this goes, unless the instance went
// first (forget()).
class Connection {
 public:
  Connection() = default;
  ~Connection() { disconnect(); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  void connect(gpointer instance, const char* signal, GCallback callback, gpointer data) {
    disconnect();
    instance_ = instance;
    handler_ = g_signal_connect(instance, signal, callback, data);
  }
  void disconnect() {
    if (handler_ != 0) g_signal_handler_disconnect(instance_, handler_);
    forget();
  }
  void forget() {
    instance_ = nullptr;
    handler_ = 0;
  }

 private:
  gpointer instance_ = nullptr;
  gulong handler_ = 0;
};

// A GLib source removed when this goes.
class SourceId {
 public:
  SourceId() = default;
  ~SourceId() { remove(); }
  SourceId(const SourceId&) = delete;
  SourceId& operator=(const SourceId&) = delete;
  void set(guint id) {
    remove();
    id_ = id;
  }
  // The source ran and is gone.
  void ran() { id_ = 0; }
  bool active() const { return id_ != 0; }
  void remove() {
    if (id_ != 0) g_source_remove(id_);
    id_ = 0;
  }

 private:
  guint id_ = 0;
};

enum class Kind { Main, Dialog, Adopted };

struct Window {
  Window(HWND handle, Kind kind) : handle(handle), kind(kind) {}
  ~Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  const HWND handle;
  const Kind kind;
  // Owned and destroyed for the main window and dialogs; only referenced
  // for an adopted window.
  WidgetRef top;
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
  SourceId sizeNotice;
  // Disconnected before `top` goes (declared after it).
  Connection deleteConnection;
  Connection allocateConnection;
  Connection destroyConnection;
  Connection contentDestroyConnection;
};

struct Registry {
  std::mutex lock;
  std::map<std::uintptr_t, std::unique_ptr<Window>> windows;
  std::map<int, DialogTemplate> templates;
  std::uintptr_t nextId = kMainId + 1;
  bool messageBoxesAnswered = false;
};

// Never destroyed: windows may outlive every static of the program, and
// GTK is not torn down at exit either.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

std::atomic<std::thread::id> mainThread{std::thread::id()};
std::atomic<bool> quitRequested{false};
std::atomic<int> waitingSends{0};

// Makes the calling thread the main thread when there is none yet; true
// when it is the main thread.
bool claimMainThread() {
  std::thread::id none;
  const std::thread::id self = std::this_thread::get_id();
  return mainThread.compare_exchange_strong(none, self) || none == self;
}

bool onMainThread() {
  return mainThread.load() == std::this_thread::get_id();
}

// GTK, on the main thread; false without a display or off the main thread.
bool gtkReady() {
  if (!claimMainThread()) return false;
  static const bool ready = gtk_init_check(nullptr, nullptr) != FALSE;
  return ready;
}

// The record of a live window, for the main thread: valid until the next
// call that may destroy windows (a procedure, a GTK call that emits signals).
Window* find(HWND handle) {
  std::lock_guard guard(registry().lock);
  const auto found = registry().windows.find(idOf(handle));
  return found != registry().windows.end() ? found->second.get() : nullptr;
}

bool alive(HWND handle) { return find(handle) != nullptr; }

Window* findNative(gpointer native) {
  std::lock_guard guard(registry().lock);
  for (const auto& [id, window] : registry().windows) {
    if (window->top.get() == native) return window.get();
  }
  return nullptr;
}

Window& add(std::unique_ptr<Window> window) {
  std::lock_guard guard(registry().lock);
  Window& added = *window;
  registry().windows[idOf(window->handle)] = std::move(window);
  return added;
}

// Takes a window out of the registry; the caller destroys it, outside the lock.
std::unique_ptr<Window> take(HWND handle) {
  std::lock_guard guard(registry().lock);
  const auto found = registry().windows.find(idOf(handle));
  if (found == registry().windows.end()) return nullptr;
  std::unique_ptr<Window> taken = std::move(found->second);
  registry().windows.erase(found);
  return taken;
}

int dialogCount() {
  std::lock_guard guard(registry().lock);
  int count = 0;
  for (const auto& [id, window] : registry().windows) {
    if (window->kind == Kind::Dialog) ++count;
  }
  return count;
}

// Moves a widget from its container into another; it keeps living across
// the move, whoever else holds it.
void moveWidget(GtkWidget* widget, GtkWidget* target, int x, int y) {
  g_object_ref(widget);
  if (GtkWidget* parent = gtk_widget_get_parent(widget)) gtk_container_remove(GTK_CONTAINER(parent), widget);
  if (GTK_IS_LAYOUT(target)) {
    gtk_layout_put(GTK_LAYOUT(target), widget, x, y);
  } else {
    gtk_container_add(GTK_CONTAINER(target), widget);
  }
  g_object_unref(widget);
}

// An adopted window's child back into its own top-level, which stays hidden
// while the window has the child style.
void returnHome(Window& child) {
  child.parent = nullptr;
  if (child.content == nullptr || child.top.get() == nullptr) return;
  if (gtk_widget_get_parent(child.content) == child.top.get()) return;
  moveWidget(child.content, child.top.get(), 0, 0);
}

// Runs the procedure on this (the main) thread.
LRESULT deliver(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* window = find(handle);
  if (window == nullptr) return 0;
  const DLGPROC procedure = window->procedure;
  const LRESULT result = procedure != nullptr ? procedure(handle, message, wParam, lParam) : 0;
  if (result == 0 && message == WM_SETICON && wParam == ICON_SMALL) {
    // The default handling, when the procedure leaves the message.
    window = find(handle);
    if (window == nullptr) return 0;
    return std::exchange(window->smallIcon, lParam);
  }
  return result;
}

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

Window& makeMainWindow() {
  auto window = std::make_unique<Window>(handleOf(kMainId), Kind::Main);
  window->title = u"Autodesk 3ds Max";
  window->style = kOverlappedWindow;
  if (gtkReady()) {
    // Hidden: it stands for the host's frame, which owns the dialogs.
    window->top.reset(gtk_window_new(GTK_WINDOW_TOPLEVEL), true);
    gtk_window_set_title(GTK_WINDOW(window->top.get()), "Autodesk 3ds Max");
  }
  return add(std::move(window));
}

// One send from another thread, shared by the sender and the main loop.
struct CrossSend {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  LRESULT result = 0;

  void finish(LRESULT value) {
    const std::lock_guard guard(lock);
    if (done) return;
    result = value;
    done = true;
    finished.notify_all();
  }
};

gboolean runCrossSend(gpointer data) {
  CrossSend& send = **static_cast<std::shared_ptr<CrossSend>*>(data);
  send.finish(deliver(send.window, send.message, send.wParam, send.lParam));
  return G_SOURCE_REMOVE;
}

// Also when the source goes without running: the sender never waits for
// nothing.
void dropCrossSend(gpointer data) {
  const std::unique_ptr<std::shared_ptr<CrossSend>> held(static_cast<std::shared_ptr<CrossSend>*>(data));
  (*held)->finish(0);
}

LRESULT sendFromOtherThread(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto send = std::make_shared<CrossSend>();
  send->window = window;
  send->message = message;
  send->wParam = wParam;
  send->lParam = lParam;
  waitingSends.fetch_add(1);
  // An idle source on the global default context, never invoked here:
  // g_main_context_invoke would run it on this thread when the main thread
  // is not iterating.
  g_idle_add_full(G_PRIORITY_DEFAULT, &runCrossSend, new std::shared_ptr<CrossSend>(send), &dropCrossSend);
  std::unique_lock guard(send->lock);
  send->finished.wait(guard, [&] { return send->done; });
  waitingSends.fetch_sub(1);
  return send->result;
}

GdkRectangle workArea() {
  GdkRectangle area{0, 0, 1280, 1024};
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return area;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (monitor == nullptr && gdk_display_get_n_monitors(display) > 0) monitor = gdk_display_get_monitor(display, 0);
  if (monitor != nullptr) gdk_monitor_get_geometry(monitor, &area);
  return area;
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

struct MessageDialogDestroy {
  void operator()(GtkWidget* dialog) const { gtk_widget_destroy(dialog); }
};

}  // namespace

void registerDialogTemplate(int templateId, DialogTemplate dialog) {
  std::lock_guard guard(registry().lock);
  registry().templates[templateId] = std::move(dialog);
}

std::string windowName(HWND window) {
  if (window == nullptr) return "none";
  if (idOf(window) == kMainId) return "main";
  return "window " + std::to_string(idOf(window));
}

HWND mainWindow() {
  if (Window* window = find(handleOf(kMainId))) return window->handle;
  return makeMainWindow().handle;
}

HWND adoptNativeWindow(void* nativeWindow) {
  if (nativeWindow == nullptr || !gtkReady() || !GTK_IS_WINDOW(nativeWindow)) return nullptr;
  if (Window* known = findNative(nativeWindow)) return known->handle;
  GtkWidget* top = GTK_WIDGET(nativeWindow);
  HWND handle;
  {
    std::lock_guard guard(registry().lock);
    handle = handleOf(registry().nextId++);
  }
  auto window = std::make_unique<Window>(handle, Kind::Adopted);
  window->top.reset(top, false);
  window->content = gtk_bin_get_child(GTK_BIN(top));
  window->style = kOverlappedWindow | (gtk_widget_get_visible(top) ? WS_VISIBLE : 0);
  if (const char* title = gtk_window_get_title(GTK_WINDOW(top))) window->title = utf8ToUtf16(title);
  window->destroyConnection.connect(top, "destroy", G_CALLBACK(&onAdoptedDestroy), handle);
  if (window->content != nullptr) {
    window->contentDestroyConnection.connect(window->content, "destroy", G_CALLBACK(&onContentDestroy), handle);
  }
  return add(std::move(window)).handle;
}

void* nativeWindow(HWND window) {
  if (!onMainThread()) return nullptr;
  const Window* found = find(window);
  return found != nullptr ? found->top.get() : nullptr;
}

std::optional<WindowState> windowState(HWND window) {
  if (!onMainThread()) return std::nullopt;
  const Window* found = find(window);
  if (found == nullptr) return std::nullopt;
  WindowState state;
  state.title = found->title;
  {
    std::lock_guard guard(registry().lock);
    state.style = found->style;
  }
  state.smallIcon = found->smallIcon;
  state.parent = found->parent;
  state.ended = found->ended;
  state.endResult = found->endResult;
  state.controls = found->controls;
  if (found->kind == Kind::Adopted && found->parent != nullptr) {
    state.visible = found->content != nullptr && gtk_widget_get_visible(found->content);
  } else {
    state.visible = found->top.get() != nullptr && gtk_widget_get_visible(found->top.get());
  }
  return state;
}

int pendingSends() { return waitingSends.load(); }

bool clickControl(HWND dialog, int id) {
  if (!onMainThread()) return false;
  const Window* found = find(dialog);
  if (found == nullptr) return false;
  const auto control = std::find_if(found->controls.begin(), found->controls.end(),
                                    [id](const ControlState& state) { return state.id == id && state.notifies; });
  if (control == found->controls.end()) return false;
  deliver(dialog, WM_COMMAND, static_cast<WPARAM>(MAKELPARAM(id, STN_CLICKED)), 0);
  return true;
}

std::vector<HWND> dialogs() {
  std::vector<HWND> open;
  std::lock_guard guard(registry().lock);
  // Ids grow with each window, so the map's order is the order of making.
  for (const auto& [id, window] : registry().windows) {
    if (window->kind == Kind::Dialog) open.push_back(window->handle);
  }
  return open;
}

bool closeWindow(HWND dialog) {
  if (!onMainThread()) return false;
  const Window* found = find(dialog);
  if (found == nullptr || found->kind != Kind::Dialog) return false;
  deliver(dialog, WM_CLOSE, 0, 0);
  return true;
}

void destroyDialogs() {
  if (!onMainThread()) return;
  const std::vector<HWND> open = dialogs();
  for (auto dialog = open.rbegin(); dialog != open.rend(); ++dialog) DestroyWindow(*dialog);
}

void runMainLoop() {
  if (!gtkReady()) return;
  while (!quitRequested.exchange(false) && dialogCount() > 0) g_main_context_iteration(nullptr, TRUE);
}

void quitMainLoop() {
  quitRequested.store(true);
  g_main_context_wakeup(nullptr);
}

void setMessageBoxesAnswered(bool answeredAtOnce) {
  std::lock_guard guard(registry().lock);
  registry().messageBoxesAnswered = answeredAtOnce;
}

}  // namespace host

using host::journal;

HWND CreateDialogParamW(HINSTANCE__*, int templateId, HWND owner, DLGPROC procedure, LPARAM param) {
  journal().record("CreateDialogParamW", std::to_string(templateId) + ", " + host::windowName(owner) + ", " +
                                             (procedure != nullptr ? "procedure" : "none") + ", " +
                                             std::to_string(param));
  host::DialogTemplate dialog;
  HWND handle;
  {
    std::lock_guard guard(host::registry().lock);
    const auto found = host::registry().templates.find(templateId);
    if (found == host::registry().templates.end()) return nullptr;
    dialog = found->second;
  }
  if (!host::gtkReady()) return nullptr;
  {
    std::lock_guard guard(host::registry().lock);
    handle = host::handleOf(host::registry().nextId++);
  }

  auto window = std::make_unique<host::Window>(handle, host::Kind::Dialog);
  window->procedure = procedure;
  window->title = dialog.title;
  window->style = static_cast<LONG_PTR>(dialog.style);
  window->clientWidth = host::mulDiv(dialog.widthDialogUnits, host::kBaseUnitX, 4);
  window->clientHeight = host::mulDiv(dialog.heightDialogUnits, host::kBaseUnitY, 8);
  window->top.reset(gtk_window_new(GTK_WINDOW_TOPLEVEL), true);
  GtkWindow* top = GTK_WINDOW(window->top.get());
  gtk_window_set_title(top, host::utf16ToUtf8(dialog.title).c_str());
  gtk_window_set_resizable(top, TRUE);
  gtk_window_set_default_size(top, window->clientWidth, window->clientHeight);
  if (const host::Window* ownerWindow = host::find(owner); ownerWindow != nullptr) {
    if (ownerWindow->top.get() != nullptr) gtk_window_set_transient_for(top, GTK_WINDOW(ownerWindow->top.get()));
  }
  // A layout asks for no size of its own, so the window can shrink below
  // the children placed in it.
  window->client = gtk_layout_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(top), window->client);
  gtk_widget_show(window->client);
  host::addControls(*window, dialog.controls);
  window->deleteConnection.connect(top, "delete-event", G_CALLBACK(&host::onDelete), handle);
  window->allocateConnection.connect(window->client, "size-allocate", G_CALLBACK(&host::onClientAllocate), handle);
  host::add(std::move(window));

  host::deliver(handle, WM_INITDIALOG, 0, param);
  host::Window* made = host::find(handle);
  if (made == nullptr) return nullptr;
  LONG_PTR style;
  {
    std::lock_guard guard(host::registry().lock);
    style = made->style;
  }
  if ((style & WS_VISIBLE) != 0) gtk_widget_show(made->top.get());
  return handle;
}

LRESULT SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  journal().record("SendMessageW", host::windowName(window) + ", " + std::to_string(message) + ", " +
                                       std::to_string(wParam) + ", " + std::to_string(lParam));
  if (!host::alive(window)) return 0;
  if (host::onMainThread()) return host::deliver(window, message, wParam, lParam);
  return host::sendFromOtherThread(window, message, wParam, lParam);
}

LONG_PTR SetWindowLongPtrW(HWND window, int index, LONG_PTR value) {
  journal().record("SetWindowLongPtrW", host::windowName(window) + ", " + std::to_string(index) + ", " +
                                            std::to_string(value));
  LONG_PTR previous = 0;
  {
    std::lock_guard guard(host::registry().lock);
    const auto found = host::registry().windows.find(host::idOf(window));
    if (found == host::registry().windows.end()) return 0;
    host::Window& record = *found->second;
    if (index == GWLP_USERDATA) return std::exchange(record.userData, value);
    if (index != GWL_STYLE) return 0;
    previous = std::exchange(record.style, value);
  }
  // A window that becomes a child no longer shows as a window of its own.
  if ((value & WS_CHILD) != 0 && host::onMainThread()) {
    host::Window* record = host::find(window);
    if (record != nullptr && record->kind == host::Kind::Adopted && record->top.get() != nullptr) {
      gtk_widget_hide(record->top.get());
    }
  }
  return previous;
}

LONG_PTR GetWindowLongPtrW(HWND window, int index) {
  journal().record("GetWindowLongPtrW", host::windowName(window) + ", " + std::to_string(index));
  std::lock_guard guard(host::registry().lock);
  const auto found = host::registry().windows.find(host::idOf(window));
  if (found == host::registry().windows.end()) return 0;
  if (index == GWLP_USERDATA) return found->second->userData;
  if (index == GWL_STYLE) return found->second->style;
  return 0;
}

ULONG_PTR GetClassLongPtrW(HWND window, int index) {
  journal().record("GetClassLongPtrW", host::windowName(window) + ", " + std::to_string(index));
  if (!host::alive(window) || index != GCLP_HICONSM) return 0;
  return host::kSmallIcon;
}

BOOL GetClientRect(HWND window, RECT* rect) {
  journal().record("GetClientRect", host::windowName(window));
  if (rect == nullptr || !host::onMainThread()) return FALSE;
  const host::Window* found = host::find(window);
  if (found == nullptr) return FALSE;
  int width = found->clientWidth;
  int height = found->clientHeight;
  const bool ownTopLevel = found->kind == host::Kind::Main ||
                           (found->kind == host::Kind::Adopted && found->parent == nullptr);
  if (ownTopLevel && found->top.get() != nullptr) {
    gtk_window_get_size(GTK_WINDOW(found->top.get()), &width, &height);
  }
  *rect = RECT{0, 0, width, height};
  return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int width, int height, BOOL repaint) {
  journal().record("MoveWindow", host::windowName(window) + ", " + std::to_string(x) + ", " + std::to_string(y) +
                                     ", " + std::to_string(width) + ", " + std::to_string(height) + ", " +
                                     host::flag(repaint != 0));
  if (!host::onMainThread()) return FALSE;
  host::Window* found = host::find(window);
  if (found == nullptr || width < 0 || height < 0) return FALSE;
  if (found->kind == host::Kind::Adopted && found->parent != nullptr) {
    const host::Window* parent = host::find(found->parent);
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
  if (!host::onMainThread()) return nullptr;
  host::Window* childWindow = host::find(child);
  if (childWindow == nullptr || childWindow->kind != host::Kind::Adopted) return nullptr;
  const HWND previous = childWindow->parent;
  if (parent == nullptr) {
    host::returnHome(*childWindow);
    return previous;
  }
  const host::Window* parentWindow = host::find(parent);
  if (parentWindow == nullptr || parentWindow->client == nullptr) return nullptr;
  childWindow->parent = parent;
  if (childWindow->content != nullptr) {
    host::moveWidget(childWindow->content, parentWindow->client, 0, 0);
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
  if (!host::onMainThread()) return FALSE;
  host::Window* found = host::find(dialog);
  if (found == nullptr || found->kind != host::Kind::Dialog) return FALSE;
  found->ended = true;
  found->endResult = result;
  return TRUE;
}

BOOL DestroyWindow(HWND window) {
  journal().record("DestroyWindow", host::windowName(window));
  if (!host::onMainThread()) return FALSE;
  host::Window* found = host::find(window);
  if (found == nullptr || found->kind == host::Kind::Main || found->destroying) return FALSE;
  found->destroying = true;
  if (found->kind == host::Kind::Dialog) {
    host::deliver(window, WM_DESTROY, 0, 0);
    // Children still inside go back to their own windows: their makers
    // destroy them.
    std::vector<HWND> children;
    {
      std::lock_guard guard(host::registry().lock);
      for (const auto& [id, record] : host::registry().windows) {
        if (record->kind == host::Kind::Adopted && record->parent == window) children.push_back(record->handle);
      }
    }
    for (HWND child : children) {
      if (host::Window* record = host::find(child)) host::returnHome(*record);
    }
  } else {
    host::returnHome(*found);
  }
  // Destroyed outside the lock: GTK emits signals as it goes.
  const std::unique_ptr<host::Window> gone = host::take(window);
  return TRUE;
}

BOOL IsWindow(HWND window) {
  journal().record("IsWindow", host::windowName(window));
  return host::alive(window) ? TRUE : FALSE;
}

int MessageBoxW(HWND owner, const MCHAR* text, const MCHAR* caption, UINT type) {
  const std::u16string body = text != nullptr ? text : u"";
  const std::u16string title = caption != nullptr ? caption : u"";
  journal().record("MessageBoxW", host::windowName(owner) + ", " + host::quoted(body) + ", " + host::quoted(title) +
                                      ", " + std::to_string(type));
  {
    std::lock_guard guard(host::registry().lock);
    if (host::registry().messageBoxesAnswered) return IDOK;
  }
  if (!host::gtkReady()) return 0;
  GtkWindow* parent = nullptr;
  if (const host::Window* found = host::find(owner); found != nullptr && found->top.get() != nullptr) {
    parent = GTK_WINDOW(found->top.get());
  }
  const std::unique_ptr<GtkWidget, host::MessageDialogDestroy> box(
      gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s",
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
  if (!host::onMainThread()) return;
  const host::Window* found = host::find(window);
  if (found == nullptr || found->top.get() == nullptr) return;
  GtkWindow* top = GTK_WINDOW(found->top.get());
  int width = 0;
  int height = 0;
  gtk_window_get_size(top, &width, &height);
  // Over the parent when it is shown; otherwise over the screen, which the
  // host's frame covers.
  GdkRectangle area = host::workArea();
  const host::Window* over = host::find(parent);
  if (over != nullptr && over->top.get() != nullptr && gtk_widget_get_visible(over->top.get())) {
    gtk_window_get_position(GTK_WINDOW(over->top.get()), &area.x, &area.y);
    gtk_window_get_size(GTK_WINDOW(over->top.get()), &area.width, &area.height);
  }
  gtk_window_move(top, area.x + (area.width - width) / 2, area.y + (area.height - height) / 2);
}
