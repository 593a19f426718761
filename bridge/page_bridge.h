#pragma once
// The page bridge: the native functions the platform page calls, and the
// road from a call to a job on the host's main thread and back.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bridge/bridge.h"
#include "bridge/webview/webview.h"
#include "host/gui/windows.h"

namespace cvimp {

// The window message that carries a job to the import window.
inline constexpr UINT kJobMessage = WM_USER + 1;

// What the calls of one browser's pages share with the workers answering
// them. Made with the browser; every call keeps it until its worker is
// done, so a worker never touches the browser, the window or the plug-in.
struct PageSession {
  PageSession(HWND window, webview::Resolver resolver) : window(window), resolver(std::move(resolver)) {}

  const HWND window;  // the import window the browser is in: its jobs go there only
  const webview::Resolver resolver;
  // Cleared on the main thread when the browser goes: its jobs no longer run.
  std::atomic<bool> open{true};
  mutable std::mutex statusLock;
  std::string status;  // JSON text; empty reads as the bare word "Idle"
};

// Travels with the job message from a worker thread to the import window.
struct JobMessage {
  std::u16string jobText;
  const PageSession* page = nullptr;
  std::u16string* resultText = nullptr;
  bool succeeded = true;
  bool ran = false;  // set by the window procedure: the job reached its live window
};

struct PageBrowser {
  std::unique_ptr<webview::WebView> view;
  std::shared_ptr<PageSession> session;
};

// Every browser of the import window. Main thread only.
struct BrowserHost {
  std::vector<PageBrowser> browsers;
};

// The cookie script registered after the bindings.
inline constexpr const char* kCookieScript = "const cookies = document.cookie;\nwindow.HandleCookies(cookies);";

// Binds "HandleEventFunc", "HandleEventFuncGetLastError" and "HandleCookies"
// into the browser, then registers the cookie script.
void installBridge(webview::WebView& browser, const std::shared_ptr<PageSession>& session);

// The job text of a "HandleEventFunc" call: the second element of its
// argument array (UTF-8 JSON, as the page sent it), when that is a string.
bool jobTextOf(const std::string& arguments, std::u16string& jobText);

// The status text of a result: a JSON string, escaped as JSON needs.
std::string statusText(const std::string& resultUtf8);

// Records the status and answers the page with true or false (status 0).
void answerCall(PageSession& page, const std::string& id, bool succeeded, const std::string& resultUtf8);
std::string getLastStatus(const PageSession& page);
std::string handleCookies();

// Sends the job to the page's window and waits for it to run; false and no
// result when the window or the page is gone (`ran` tells which).
bool sendJob(const PageSession& page, const std::u16string& jobText, std::u16string& resultText, bool& ran);

// One "HandleEventFunc" call, on its own worker thread.
struct CallRecord {
  std::string id;
  std::string arguments;  // UTF-8 JSON text of the argument array
  std::shared_ptr<PageSession> page;
};
void bridgeWorker(CallRecord record);
// Starts the worker (detached); a worker that cannot start answers false.
void handleEventCall(CallRecord record);

}  // namespace cvimp
