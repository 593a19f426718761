#include "bridge/webview/webview.h"

#include <gtk/gtk.h>
#include <rapidjson/reader.h>
#include <webkit2/webkit2.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <sstream>
#include <string_view>
#include <utility>
#include <vector>

#include "bridge/webview/page_call.h"
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

// The name of the native message handler; window.webkit.messageHandlers
// carries it, in the relay's world only.
constexpr const char* kChannel = "__webview__";
// The engine does not tell which frame posted a script message, so the
// handler lives in a script world of its own, where only the relay runs,
// in the top frame alone. Page scripts of any frame cannot reach the
// handler; the top page's runtime reaches the relay through an event on
// its window, which frames of other origins cannot dispatch there. So
// every call comes from the top document (or a frame of its origin), and
// the relay sends along that document's address, which the page cannot
// forge from its own world.
constexpr const char* kWorld = "cvimp-webview";

// The relay, in kWorld: passes each call the runtime dispatches (a
// "__webview__" event whose detail is the message text) to the handler with
// the address of the page. Text beyond the bound is cut just past it:
// enough to read the id and refuse the call. It tells the runtime it is
// there ("__webview_ready__") when it starts and when asked ("ping").
std::string relayScript() {
  return "(function () {\n"
         "  'use strict';\n"
         "  const handler = window.webkit.messageHandlers.__webview__;\n"
         "  const limit = " +
         std::to_string(kMaxMessageBytes) +
         ";\n"
         "  window.addEventListener('__webview__', (event) => {\n"
         "    const message = event.detail;\n"
         "    if (typeof message !== 'string') return;\n"
         "    handler.postMessage({ address: location.href,\n"
         "                          message: message.length > limit ? message.slice(0, limit + 1) : message });\n"
         "  });\n"
         "  const ready = () => window.dispatchEvent(new Event('__webview_ready__'));\n"
         "  window.addEventListener('__webview_ping__', ready);\n"
         "  ready();\n"
         "})();\n";
}

// The registration of the native message handler on a content manager.
class ScriptChannel {
 public:
  ScriptChannel() = default;
  ~ScriptChannel() {
    if (manager_ != nullptr)
      webkit_user_content_manager_unregister_script_message_handler_in_world(manager_, kChannel, kWorld);
  }
  ScriptChannel(const ScriptChannel&) = delete;
  ScriptChannel& operator=(const ScriptChannel&) = delete;

  void open(WebKitUserContentManager* target) {
    if (webkit_user_content_manager_register_script_message_handler_in_world(target, kChannel, kWorld))
      manager_ = target;
  }

 private:
  WebKitUserContentManager* manager_ = nullptr;
};

std::string textOf(const char* text) { return text != nullptr ? text : ""; }

// The text as a JavaScript string literal.
std::string jsString(std::string_view text) { return platform::jsonQuoted(text); }

std::string replyScript(const std::string& id, int status, const std::string& result) {
  return "window.__webview__.onReply(" + jsString(id) + ", " + std::to_string(status) + ", " + jsString(result) + ");";
}

std::string bindScript(const std::string& name) {
  return "if (window.__webview__) window.__webview__.onBind(" + jsString(name) + ");";
}

// How a call's rejection names the page: its origin, or for a page without
// a host (a file) its address without query and fragment.
std::string originText(const std::string& address) {
  const gtk::Owned<WebKitSecurityOrigin, &webkit_security_origin_unref> origin(
      webkit_security_origin_new_for_uri(address.c_str()));
  if (origin != nullptr && webkit_security_origin_get_host(origin.get()) != nullptr &&
      *webkit_security_origin_get_host(origin.get()) != '\0') {
    const gtk::Text text(webkit_security_origin_to_string(origin.get()));
    if (text != nullptr) return text.get();
  }
  return address.substr(0, address.find_first_of("?#"));
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
  void reject(const std::string& id, const std::string& reason) { evaluate(replyScript(id, 1, jsString(reason))); }
  void handleMessage(const std::string& address, const std::string& message);
  bool decide(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type);

  static void onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self);
  static gboolean onDelete(GtkWidget* widget, GdkEvent*, gpointer self);
  static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self);

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
  gtk::SignalConnection policyConnection;
  // In the order of binding; a name bound again keeps its place. Shared so
  // that a call keeps its function even when the binding is replaced meanwhile.
  std::vector<std::pair<std::string, std::shared_ptr<const Binding>>> bindings;
  std::vector<std::string> initScripts;
  PagePolicy policy;
  // The address navigate() loads, as the engine writes it, until the first
  // main-frame response: admitted whatever the policy says.
  std::string hostAddress;
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
  policyConnection.connect(view, "decide-policy", G_CALLBACK(onDecidePolicy), this);

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
  auto add = [this](const std::string& source, const char* world = nullptr) {
    constexpr auto frames = WEBKIT_USER_CONTENT_INJECT_TOP_FRAME;
    constexpr auto time = WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START;
    const gtk::Owned<WebKitUserScript, &webkit_user_script_unref> script(
        world != nullptr ? webkit_user_script_new_for_world(source.c_str(), frames, time, world, nullptr, nullptr)
                         : webkit_user_script_new(source.c_str(), frames, time, nullptr, nullptr));
    webkit_user_content_manager_add_script(manager.get(), script.get());
  };
  add(relayScript(), kWorld);
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

// A message is the JSON text {id, method, params} the runtime sent from
// the page at `address`.
void WebView::Impl::handleMessage(const std::string& address, const std::string& message) {
  const PageCall call = readPageCall(message);
  if (!call.id) return;
  const std::string& id = *call.id;
  if (!call.refusal.empty()) {
    reject(id, call.refusal);
    return;
  }
  if (policy.admits && !policy.admits(address)) {
    reject(id, "Calls from " + originText(address) + " are not allowed");
    return;
  }

  std::shared_ptr<const Binding> binding;
  for (const auto& entry : bindings) {
    if (entry.first == call.method) binding = entry.second;
  }
  if (!binding) {
    // The runtime only calls names it was told about, but the page may
    // post by hand: answer rather than leave the promise waiting.
    reject(id, "No native function is bound to the name \"" + call.method + "\"");
    return;
  }
  const std::string& request = call.params;
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

// Decides where the page may take the view. The engine tells whether a
// response is the top page's, not which frame a navigation is for, so a
// page that leaves is stopped at its response (its request has gone out;
// nothing of it is shown).
bool WebView::Impl::decide(WebKitPolicyDecision* decision, WebKitPolicyDecisionType type) {
  std::string address;
  if (type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION && policy.elsewhere) {
    WebKitNavigationAction* action =
        webkit_navigation_policy_decision_get_navigation_action(WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    address = textOf(webkit_uri_request_get_uri(webkit_navigation_action_get_request(action)));
  } else if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE && policy.admits) {
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    if (!webkit_response_policy_decision_is_main_frame_main_resource(response)) return false;
    address = textOf(webkit_uri_response_get_uri(webkit_response_policy_decision_get_response(response)));
    if (std::exchange(hostAddress, {}) == address || policy.admits(address)) return false;
  } else {
    return false;
  }
  webkit_policy_decision_ignore(decision);
  // A copy: the receiver may replace the policy.
  if (const auto elsewhere = policy.elsewhere) elsewhere(address);
  return true;
}

gboolean WebView::Impl::onDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                       gpointer self) {
  return static_cast<Impl*>(self)->decide(decision, type) ? TRUE : FALSE;
}

void WebView::Impl::onScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self) {
  JSCValue* value = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_object(value)) return;
  const gtk::ObjectRef<JSCValue> address(jsc_value_object_get_property(value, "address"));
  const gtk::ObjectRef<JSCValue> message(jsc_value_object_get_property(value, "message"));
  if (!jsc_value_is_string(address.get()) || !jsc_value_is_string(message.get())) return;
  const gtk::Text addressText(jsc_value_to_string(address.get()));
  const gtk::Owned<GBytes, &g_bytes_unref> bytes(jsc_value_to_string_as_bytes(message.get()));
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(bytes.get(), &size));
  static_cast<Impl*>(self)->handleMessage(addressText.get(), std::string(data != nullptr ? data : "", size));
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

std::string mappedAddress(const std::string& url) { return mapAddress(url, std::getenv("CVIMP_BROWSER_URL_MAP")); }

void WebView::setPolicy(PagePolicy policy) { impl_->policy = std::move(policy); }

void WebView::navigate(const std::string& url) {
  const std::string address = mappedAddress(url);
  const gtk::ObjectRef<WebKitURIRequest> request(webkit_uri_request_new(address.c_str()));
  impl_->hostAddress = textOf(webkit_uri_request_get_uri(request.get()));
  webkit_web_view_load_request(WEBKIT_WEB_VIEW(impl_->webView.get()), request.get());
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
