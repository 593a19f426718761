#include "bridge/webview/webview.h"

#include <gtk/gtk.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "bridge/webview/runtime_script.h"
#include "host/gui/gtk_ownership.h"
#include "platform/platform.h"

namespace cvimp::webview {

namespace gtk = host::gtk;

// Shared between a view and the answers on their way to it: `view` is
// cleared, under the lock, when the view is destroyed.
struct Liveness {
  std::mutex lock;
  WebView::Impl* view = nullptr;
};

namespace {

// The name of the page's message handler; window.webkit.messageHandlers
// carries it.
constexpr const char* kChannel = "__webview__";

// The registration of the page's message handler on a content manager.
class ScriptChannel {
 public:
  ScriptChannel() = default;
  ~ScriptChannel() {
    if (manager_ != nullptr) webkit_user_content_manager_unregister_script_message_handler(manager_, kChannel);
  }
  ScriptChannel(const ScriptChannel&) = delete;
  ScriptChannel& operator=(const ScriptChannel&) = delete;

  void open(WebKitUserContentManager* target) {
    if (webkit_user_content_manager_register_script_message_handler(target, kChannel)) manager_ = target;
  }

 private:
  WebKitUserContentManager* manager_ = nullptr;
};

// The text as a JavaScript string literal.
std::string jsString(std::string_view text) { return platform::jsonQuoted(text); }

std::string replyScript(const std::string& id, int status, const std::string& result) {
  return "window.__webview__.onReply(" + jsString(id) + ", " + std::to_string(status) + ", " + jsString(result) + ");";
}

std::string bindScript(const std::string& name) {
  return "if (window.__webview__) window.__webview__.onBind(" + jsString(name) + ");";
}

// Source data handed to GLib, which frees it with the source.
template <typename T>
void freeSourceData(gpointer data) {
  const std::unique_ptr<T> reclaimed(static_cast<T*>(data));
}

// One answer travelling to the main thread.
struct PendingReply {
  std::shared_ptr<Liveness> liveness;
  std::string script;
};

}  // namespace

struct WebView::Impl {
  struct Binding {
    SyncBinding sync;
    AsyncBinding async;
  };

  explicit Impl(bool debug);
  ~Impl();
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  void evaluate(const std::string& script) {
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(webView.get()), script.data(),
                                        static_cast<gssize>(script.size()), nullptr, nullptr, nullptr, nullptr,
                                        nullptr);
  }
  void installScripts();
  void addBinding(const std::string& name, Binding binding);
  void handleMessage(const std::string& message);

  static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
  static gboolean onDelete(GtkWidget* widget, GdkEvent*, gpointer self);

  // Destroyed in reverse order: the signal handlers first, then the message
  // handler, the web view, its window, the content manager, the loop.
  std::shared_ptr<Liveness> liveness = std::make_shared<Liveness>();
  gtk::MainLoopRef loop{g_main_loop_new(nullptr, FALSE)};
  gtk::ObjectRef<WebKitUserContentManager> manager;
  gtk::WidgetRef window;
  gtk::WidgetRef webView;
  ScriptChannel channel;
  gtk::SignalConnection messageConnection;
  gtk::SignalConnection deleteConnection;
  // In the order of binding; a name bound again keeps its place. Shared so
  // that a call keeps its function even when the binding is replaced meanwhile.
  std::vector<std::pair<std::string, std::shared_ptr<const Binding>>> bindings;
  std::vector<std::string> initScripts;
};

WebView::Impl::Impl(bool debug) {
  window.reset(gtk_window_new(GTK_WINDOW_TOPLEVEL));
  webView.reset(webkit_web_view_new());
  WebKitWebView* view = WEBKIT_WEB_VIEW(webView.get());
  manager.reset(WEBKIT_USER_CONTENT_MANAGER(g_object_ref(webkit_web_view_get_user_content_manager(view))));
  webkit_settings_set_enable_developer_extras(webkit_web_view_get_settings(view), debug ? TRUE : FALSE);

  // Connected before the handler exists, so that no message is missed.
  messageConnection.connect(manager.get(), "script-message-received::__webview__", G_CALLBACK(onScriptMessage), this);
  channel.open(manager.get());
  deleteConnection.connect(window.get(), "delete-event", G_CALLBACK(onDelete), this);

  gtk_window_set_default_size(GTK_WINDOW(window.get()), 640, 480);
  gtk_container_add(GTK_CONTAINER(window.get()), webView.get());
  installScripts();
  gtk_widget_show_all(window.get());

  const std::lock_guard guard(liveness->lock);
  liveness->view = this;
}

WebView::Impl::~Impl() {
  const std::lock_guard guard(liveness->lock);
  liveness->view = nullptr;
}

// Every page gets the runtime, then the bindings, then the init scripts,
// whatever order bind() and init() were called in: rebuilt on each change.
void WebView::Impl::installScripts() {
  webkit_user_content_manager_remove_all_scripts(manager.get());
  auto add = [this](const std::string& source) {
    const gtk::Owned<WebKitUserScript, &webkit_user_script_unref> script(
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr));
    webkit_user_content_manager_add_script(manager.get(), script.get());
  };
  add(kRuntimeScript);
  for (const auto& binding : bindings) add(bindScript(binding.first));
  for (const auto& script : initScripts) add(script);
}

void WebView::Impl::addBinding(const std::string& name, Binding binding) {
  auto shared = std::make_shared<const Binding>(std::move(binding));
  bool replaced = false;
  for (auto& existing : bindings) {
    if (existing.first == name) {
      existing.second = shared;
      replaced = true;
    }
  }
  if (replaced) return;
  bindings.emplace_back(name, std::move(shared));
  installScripts();
  // The page already shown gets the name too.
  if (webkit_web_view_get_uri(WEBKIT_WEB_VIEW(webView.get())) != nullptr) evaluate(bindScript(name));
}

// A message is the JSON text {id, method, params} posted by the runtime.
void WebView::Impl::handleMessage(const std::string& message) {
  rapidjson::Document document;
  document.Parse(message.data(), message.size());
  if (document.HasParseError() || !document.IsObject()) return;
  const auto idMember = document.FindMember("id");
  if (idMember == document.MemberEnd() || !idMember->value.IsString()) return;
  const std::string id(idMember->value.GetString(), idMember->value.GetStringLength());

  std::string method;
  const auto methodMember = document.FindMember("method");
  if (methodMember != document.MemberEnd() && methodMember->value.IsString())
    method.assign(methodMember->value.GetString(), methodMember->value.GetStringLength());

  std::string request = "[]";
  const auto paramsMember = document.FindMember("params");
  if (paramsMember != document.MemberEnd() && paramsMember->value.IsArray()) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    paramsMember->value.Accept(writer);
    request.assign(buffer.GetString(), buffer.GetSize());
  }

  std::shared_ptr<const Binding> binding;
  for (const auto& entry : bindings) {
    if (entry.first == method) binding = entry.second;
  }
  if (!binding) {
    // The runtime only calls names it was told about, but the page may
    // post by hand: answer rather than leave the promise waiting.
    evaluate(replyScript(id, 1, jsString("No native function is bound to the name \"" + method + "\"")));
    return;
  }
  if (binding->async) {
    binding->async(id, request);
    return;
  }
  // The binding may have destroyed the view; answer only a view still there.
  const std::shared_ptr<Liveness> token = liveness;
  std::string result = binding->sync(request);
  const std::lock_guard guard(token->lock);
  if (token->view != nullptr) token->view->evaluate(replyScript(id, 0, result));
}

void WebView::Impl::onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_string(value)) return;
  const gtk::Text text(jsc_value_to_string(value));
  static_cast<Impl*>(self)->handleMessage(text.get());
}

// Closing the window only hides it: the view keeps its widgets until it is
// destroyed, and run() returns.
gboolean WebView::Impl::onDelete(GtkWidget* widget, GdkEvent*, gpointer self) {
  gtk_widget_hide(widget);
  g_main_loop_quit(static_cast<Impl*>(self)->loop.get());
  return TRUE;
}

void Resolver::resolve(const std::string& id, int status, const std::string& result) const {
  if (!liveness_) return;
  {
    const std::lock_guard guard(liveness_->lock);
    if (liveness_->view == nullptr) return;
  }
  auto reply = std::make_unique<PendingReply>(PendingReply{liveness_, replyScript(id, status, result)});
  g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      [](gpointer data) -> gboolean {
        const PendingReply& pending = *static_cast<PendingReply*>(data);
        const std::lock_guard guard(pending.liveness->lock);
        if (pending.liveness->view != nullptr) pending.liveness->view->evaluate(pending.script);
        return G_SOURCE_REMOVE;
      },
      reply.release(), &freeSourceData<PendingReply>);
}

std::unique_ptr<WebView> WebView::create(bool debug, std::string& error) {
  if (!gtk_init_check(nullptr, nullptr)) {
    error = "Cannot open a display";
    return nullptr;
  }
  return std::make_unique<WebView>(Key{}, std::make_unique<Impl>(debug));
}

WebView::WebView(Key, std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
WebView::~WebView() = default;

void* WebView::window() const { return impl_->window.get(); }

void WebView::set_title(const std::string& title) {
  gtk_window_set_title(GTK_WINDOW(impl_->window.get()), title.c_str());
}

void WebView::set_size(int width, int height, SizeHint hint) {
  GtkWindow* window = GTK_WINDOW(impl_->window.get());
  if (hint == SizeHint::Fixed) {
    gtk_window_set_geometry_hints(window, nullptr, nullptr, GdkWindowHints(0));
    gtk_window_set_resizable(window, FALSE);
    gtk_widget_set_size_request(impl_->window.get(), width, height);
    gtk_window_resize(window, width, height);
    return;
  }
  gtk_window_set_resizable(window, TRUE);
  gtk_widget_set_size_request(impl_->window.get(), -1, -1);
  GdkGeometry geometry{};
  switch (hint) {
    case SizeHint::Min:
      geometry.min_width = width;
      geometry.min_height = height;
      gtk_window_set_geometry_hints(window, nullptr, &geometry, GDK_HINT_MIN_SIZE);
      break;
    case SizeHint::Max:
      geometry.max_width = width;
      geometry.max_height = height;
      gtk_window_set_geometry_hints(window, nullptr, &geometry, GDK_HINT_MAX_SIZE);
      break;
    default:
      gtk_window_set_geometry_hints(window, nullptr, nullptr, GdkWindowHints(0));
      gtk_window_resize(window, width, height);
  }
}

void WebView::bind(const std::string& name, SyncBinding function) {
  impl_->addBinding(name, Impl::Binding{std::move(function), {}});
}

void WebView::bind(const std::string& name, AsyncBinding function) {
  impl_->addBinding(name, Impl::Binding{{}, std::move(function)});
}

void WebView::init(const std::string& script) {
  impl_->initScripts.push_back(script);
  impl_->installScripts();
}

std::string mapAddress(const std::string& url, const char* map) {
  if (map == nullptr) return url;
  std::istringstream pairs(map);
  std::string pair;
  while (pairs >> pair) {
    const std::size_t equals = pair.find('=');
    if (equals == std::string::npos || equals == 0) continue;
    const std::string_view from(pair.data(), equals);
    if (!url.starts_with(from)) continue;
    // Whole names only: "https://a.com" is no prefix of "https://a.com.b.net".
    const char next = url.size() > from.size() ? url[from.size()] : '\0';
    if (next == '\0' || next == '/' || next == '?' || next == '#' || from.back() == '/')
      return pair.substr(equals + 1) + url.substr(from.size());
  }
  return url;
}

void WebView::navigate(const std::string& url) {
  const std::string address = mapAddress(url, std::getenv("CVIMP_BROWSER_URL_MAP"));
  webkit_web_view_load_uri(WEBKIT_WEB_VIEW(impl_->webView.get()), address.c_str());
}

void WebView::resolve(const std::string& id, int status, const std::string& result) {
  resolver().resolve(id, status, result);
}

Resolver WebView::resolver() const { return Resolver(impl_->liveness); }

void WebView::run() {
  // Our own reference: a binding may destroy the view while the loop runs.
  const gtk::MainLoopRef loop(g_main_loop_ref(impl_->loop.get()));
  g_main_loop_run(loop.get());
}

void WebView::terminate() {
  // Quitting from an idle source also ends a run() that has not started
  // yet: the source waits for the loop to dispatch it.
  g_idle_add_full(
      G_PRIORITY_DEFAULT,
      [](gpointer loop) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(loop));
        return G_SOURCE_REMOVE;
      },
      g_main_loop_ref(impl_->loop.get()), [](gpointer loop) { g_main_loop_unref(static_cast<GMainLoop*>(loop)); });
}

}  // namespace cvimp::webview
