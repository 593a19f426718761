#pragma once
// The page bridge: the native functions the platform page calls, and the
// road from a call to a job on the host's main thread and back.
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/webview/webview.h"
#include "host/gui/windows.h"
#include "state/plugin_state.h"

namespace cvimp {

// The window message that carries a job to the import window.
inline constexpr UINT kJobMessage = WM_USER + 1;

// Travels with the job message from a worker thread to the import window.
struct JobMessage {
  std::u16string jobText;
  std::u16string* resultText = nullptr;
  bool succeeded = true;
  bool ran = false;  // set by the window procedure: the job reached a live window
};

// Every browser of the import window, and the bridge's last status text per
// browser (JSON text; none reads as the bare word "Idle").
struct BrowserHost {
  std::vector<std::unique_ptr<webview::WebView>> browsers;  // main thread only
  std::map<const webview::WebView*, std::string> lastStatus;
  std::mutex statusLock;
};

// The cookie script registered after the bindings.
inline constexpr const char* kCookieScript = "const cookies = document.cookie;\nwindow.HandleCookies(cookies);";

// Binds "HandleEventFunc", "HandleEventFuncGetLastError" and "HandleCookies"
// into the browser, then registers the cookie script.
void installBridge(webview::WebView& browser, PluginState& state, BrowserHost& host);

// The status text of a result: a JSON string, escaped as JSON needs.
std::string statusText(const std::string& resultUtf8);

// Records the status and answers the page with true or false (status 0).
void answerCall(BrowserHost& host, const webview::WebView* browser, const webview::Resolver& resolver,
                const std::string& id, bool succeeded, const std::string& resultUtf8);
std::string getLastStatus(BrowserHost& host, const webview::WebView* browser);
std::string handleCookies();

// Sends the job to state.importWindow and waits for it to run; false and no
// result when the window is gone (`ran` tells which).
bool sendJob(PluginState& state, const std::u16string& jobText, std::u16string& resultText, bool& ran);

// One "HandleEventFunc" call, on its own worker thread.
struct CallRecord {
  std::string id;
  std::string arguments;  // UTF-8 JSON text of the argument array
  const webview::WebView* browser = nullptr;
  webview::Resolver resolver;
  PluginState* state = nullptr;
  BrowserHost* host = nullptr;
};
void bridgeWorker(CallRecord record);
// Starts the worker (detached); a worker that cannot start answers false.
void handleEventCall(CallRecord record);

}  // namespace cvimp
