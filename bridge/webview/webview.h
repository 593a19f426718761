#pragma once
// Our browser layer: a WebKitGTK web view in a GTK window of its own, with
// native functions bound into the pages it shows.
//
// Page side, every page loaded in the top frame gets, at document start and
// in this order: the runtime (window.__webview__), one window[name] per
// binding, then the init scripts. Other frames get none of it and cannot
// call. window[name](...args) returns a promise;
// the call reaches the binding with the JSON text of the argument array and
// is settled by its answer: status 0 resolves with JSON.parse(result), any
// other status rejects with it, and a result that does not parse rejects
// with Error("Failed to parse binding result as JSON"). A call to a name
// that is not bound is rejected naming it; a call beyond kMaxMessageBytes
// or nested deeper than kMaxMessageDepth is rejected saying so (dropped
// when its id cannot be read), and one from a page the policy refuses,
// naming the page's origin.
//
// Threads: everything runs on the GTK main thread (the thread that created
// the first view), except resolve(), terminate() and Resolver::resolve(),
// which may be called from any thread. No GTK type appears here, so that
// the code above this layer stays free of GUI headers.
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace cvimp::webview {

enum class SizeHint {
  None,   // the window may be resized; it is set to the given size
  Min,    // the given size is the smallest the window may take
  Max,    // the given size is the largest the window may take
  Fixed,  // the window keeps exactly the given size
};

// Bounds of one call as the page sends it ({id, method, params}, JSON).
// A job is a small JSON object in a string (a few hundred bytes; a signed
// package address or the cookies of a site add a few KiB): 1 MiB leaves
// room for any real call while a hostile page cannot make the host parse
// or hold more. The call itself is 2 levels deep and jobs travel as
// strings; 64 is far beyond what a page passes as arguments.
inline constexpr std::size_t kMaxMessageBytes = 1 << 20;
inline constexpr int kMaxMessageDepth = 64;

// Which pages the view serves. Unset, every page may call and the view
// goes wherever its pages lead.
struct PagePolicy {
  // Whether the page at this address may call the bindings and replace the
  // page shown. A call from a page it refuses is rejected, naming the
  // page's origin, and reaches no binding.
  std::function<bool(const std::string& address)> admits;
  // Receives the address of every page the view does not show: one that
  // `admits` refuses, which a link, a form or a redirect would have
  // loaded in place of the page shown, and every new window (target
  // "_blank", window.open), since the view has no other window.
  std::function<void(const std::string& address)> elsewhere;
};

struct Liveness;

// Answers calls of one view. Copyable and usable from any thread; unlike
// the view it may outlive it: an answer for a view that no longer exists
// is dropped.
class Resolver {
 public:
  Resolver() = default;
  void resolve(const std::string& id, int status, const std::string& result) const;

 private:
  friend class WebView;
  explicit Resolver(std::shared_ptr<Liveness> liveness) : liveness_(std::move(liveness)) {}
  std::shared_ptr<Liveness> liveness_;
};

class WebView {
 public:
  // Returns the JSON text that answers the call at once, with status 0.
  using SyncBinding = std::function<std::string(const std::string& request)>;
  // Receives the call id and the JSON text of the arguments; the call is
  // answered later with resolve(id, ...), from any thread.
  using AsyncBinding = std::function<void(const std::string& id, const std::string& request)>;

  // Makes the view in a new top-level window, shown at once. `debug`
  // enables the engine's developer tools. Null, with a short text in
  // `error`, when there is no display to show it on.
  static std::unique_ptr<WebView> create(bool debug, std::string& error);
  ~WebView();
  WebView(const WebView&) = delete;
  WebView& operator=(const WebView&) = delete;

  // The GtkWindow holding the view. Its one child is the web view widget,
  // which the host may move into a window of its own; destroying this
  // object destroys both, wherever they are.
  void* window() const;
  void set_title(const std::string& title);
  void set_size(int width, int height, SizeHint hint);

  // Binding a name again replaces its function. Takes effect in the
  // current page at once and in every page loaded later.
  void bind(const std::string& name, SyncBinding function);
  void bind(const std::string& name, AsyncBinding function);
  // Script run at document start of every later page, after the bindings.
  void init(const std::string& script);
  void setPolicy(PagePolicy policy);
  // Loads mappedAddress(url), admitted or not: the host chose it. Where
  // that page leads is up to the policy.
  void navigate(const std::string& url);

  // Carries the answer to the main thread (an idle source) and settles the
  // call there. Any thread, while this object exists; a thread that may
  // outlive it keeps a resolver() instead.
  void resolve(const std::string& id, int status, const std::string& result);
  Resolver resolver() const;

  // Runs the main loop until terminate() or until the window is closed.
  void run();
  // Ends run(); called before it, ends the next run() as soon as that has
  // started. Any thread.
  void terminate();

  struct Impl;

 private:
  struct Key {
    explicit Key() = default;
  };

 public:
  // Made by create() only.
  WebView(Key, std::unique_ptr<Impl> impl);

 private:
  std::unique_ptr<Impl> impl_;
};

// Where the browser loads `url` given a map of "FROM=TO" pairs separated
// by white space: the first FROM that `url` starts with, ending where a
// path, query or fragment starts (or with a '/'), is replaced by its TO;
// with none (or no map) `url` itself. The stand-in's way to serve the
// platform's page from a local server, as WebView2's host-resolver rules
// do for the real engine.
std::string mapAddress(const std::string& url, const char* map);
// mapAddress with the environment's CVIMP_BROWSER_URL_MAP: where navigate()
// loads `url`.
std::string mappedAddress(const std::string& url);

}  // namespace cvimp::webview
