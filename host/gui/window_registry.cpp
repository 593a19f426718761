#include "host/gui/window_registry.h"

#include <atomic>
#include <condition_variable>
#include <thread>
#include <utility>

namespace host::gui {
namespace {

std::atomic<std::thread::id> mainThread{std::thread::id()};
std::atomic<int> waitingSends{0};
std::atomic<bool> quitRequested{false};

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

}  // namespace

int mulDiv(int value, int numerator, int denominator) {
  const long long product = static_cast<long long>(value) * numerator;
  return static_cast<int>((product + (product >= 0 ? denominator / 2 : -denominator / 2)) / denominator);
}

Registry::Registry() {
  auto main = std::make_unique<Window>(handleOf(kMainWindowId), Kind::Main);
  main->title = u"Autodesk 3ds Max";
  main->style = kOverlappedWindow;
  windows[kMainWindowId] = std::move(main);
}

// Never destroyed: windows may outlive every static of the program, and
// GTK is not torn down at exit either.
Registry& registry() {
  static Registry* instance = new Registry;
  return *instance;
}

HWND newHandle() {
  std::lock_guard guard(registry().lock);
  return handleOf(registry().nextId++);
}

bool claimMainThread() {
  std::thread::id none;
  const std::thread::id self = std::this_thread::get_id();
  return mainThread.compare_exchange_strong(none, self) || none == self;
}

bool onMainThread() { return mainThread.load() == std::this_thread::get_id(); }

bool gtkReady() {
  if (!claimMainThread()) return false;
  static const bool ready = gtk_init_check(nullptr, nullptr) != FALSE;
  return ready;
}

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

std::unique_ptr<Window> take(HWND handle) {
  std::lock_guard guard(registry().lock);
  const auto found = registry().windows.find(idOf(handle));
  if (found == registry().windows.end() || found->second->kind == Kind::Main) return nullptr;
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

GtkWidget* mainTop() {
  Window* main = find(handleOf(kMainWindowId));
  if (main->top.get() == nullptr && gtkReady()) {
    main->top.reset(gtk_window_new(GTK_WINDOW_TOPLEVEL), true);
    gtk_window_set_title(GTK_WINDOW(main->top.get()), "Autodesk 3ds Max");
  }
  return main->top.get();
}

GtkWindow* topLevelOf(HWND handle) {
  if (idOf(handle) == kMainWindowId) {
    GtkWidget* top = mainTop();
    return top != nullptr ? GTK_WINDOW(top) : nullptr;
  }
  const Window* window = find(handle);
  return window != nullptr && window->top.get() != nullptr ? GTK_WINDOW(window->top.get()) : nullptr;
}

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

void returnHome(Window& child) {
  child.parent = nullptr;
  if (child.content == nullptr || child.top.get() == nullptr) return;
  if (gtk_widget_get_parent(child.content) == child.top.get()) return;
  moveWidget(child.content, child.top.get(), 0, 0);
}

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

}  // namespace host::gui

namespace host {

int pendingSends() { return gui::waitingSends.load(); }

void runMainLoop() {
  if (!gui::gtkReady()) return;
  while (!gui::quitRequested.exchange(false) && gui::dialogCount() > 0) g_main_context_iteration(nullptr, TRUE);
}

void quitMainLoop() {
  gui::quitRequested.store(true);
  g_main_context_wakeup(nullptr);
}

bool runMainLoopUntil(const std::function<bool()>& done, int timeoutSeconds) {
  if (!gui::gtkReady()) return done();
  bool late = false;
  gtk::SourceId deadline;
  deadline.set(g_timeout_add_seconds(
      static_cast<guint>(timeoutSeconds),
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &late));
  // `done` may come true on another thread while the loop waits: a tick
  // wakes it to look again.
  gtk::SourceId tick;
  tick.set(g_timeout_add(20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr));
  while (!done() && !late) g_main_context_iteration(nullptr, TRUE);
  if (late) deadline.ran();
  return done();
}

}  // namespace host
