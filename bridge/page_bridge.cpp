#include "bridge/page_bridge.h"

#include <rapidjson/document.h>

#include <system_error>
#include <thread>

#include "host/max.h"
#include "platform/platform.h"

namespace cvimp {

namespace {

using Document = rapidjson::GenericDocument<rapidjson::UTF16<char16_t>>;

// The job text of a call: the second element of the argument array, when
// it is a string.
bool jobTextOf(const std::string& arguments, std::u16string& jobText) {
  const std::u16string wrapped = u"{ \"args\": " + platform::utf8ToUtf16(arguments) + u" }";
  if (wrapped.find(u'\0') != std::u16string::npos) return false;
  Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(wrapped.c_str());
  if (document.HasParseError() || !document.IsObject()) return false;
  const auto args = document.FindMember(u"args");
  if (args == document.MemberEnd() || !args->value.IsArray() || args->value.Size() < 2) return false;
  const auto& job = args->value[1];
  if (!job.IsString()) return false;
  jobText.assign(job.GetString(), job.GetStringLength());
  return true;
}

void setStatus(BrowserHost& host, const webview::WebView* browser, std::string status) {
  std::lock_guard guard(host.statusLock);
  host.lastStatus[browser] = std::move(status);
}

}  // namespace

BrowserHost& browserHost() {
  static BrowserHost host;
  return host;
}

std::string statusText(const std::string& resultUtf8) { return platform::jsonQuoted(resultUtf8); }

void answerCall(BrowserHost& host, const webview::WebView* browser, const webview::Resolver& resolver,
                const std::string& id, bool succeeded, const std::string& resultUtf8) {
  setStatus(host, browser, statusText(resultUtf8));
  resolver.resolve(id, 0, succeeded ? "true" : "false");
}

std::string getLastStatus(BrowserHost& host, const webview::WebView* browser) {
  std::lock_guard guard(host.statusLock);
  const auto found = host.lastStatus.find(browser);
  return found != host.lastStatus.end() ? found->second : "Idle";
}

std::string handleCookies() { return "true"; }

bool sendJob(PluginState& state, const std::u16string& jobText, std::u16string& resultText, bool& ran) {
  JobMessage message{jobText, &resultText, true, false};
  SendMessageW(state.importWindow, kJobMessage, 0, reinterpret_cast<LPARAM>(&message));
  ran = message.ran;
  return ran && message.succeeded;
}

void bridgeWorker(CallRecord record) {
  std::u16string jobText;
  if (!jobTextOf(record.arguments, jobText)) {
    answerCall(*record.host, record.browser, record.resolver, record.id, false, "Unknown job type");
    return;
  }
  setStatus(*record.host, record.browser, statusText("Processing"));
  std::u16string result;
  bool ran = false;
  const bool succeeded = sendJob(*record.state, jobText, result, ran);
  // The window closed before the job reached it: nobody waits for the answer.
  if (!ran) return;
  answerCall(*record.host, record.browser, record.resolver, record.id, succeeded, platform::utf16ToUtf8(result));
}

void handleEventCall(CallRecord record) {
  try {
    std::thread(bridgeWorker, record).detach();
  } catch (const std::system_error&) {
    answerCall(*record.host, record.browser, record.resolver, record.id, false, "Cannot start the job");
  }
}

void installBridge(webview::WebView& browser, PluginState& state, BrowserHost& host) {
  webview::WebView* view = &browser;
  browser.bind("HandleEventFunc",
               webview::WebView::AsyncBinding([view, &state, &host](const std::string& id, const std::string& request) {
                 handleEventCall({id, request, view, view->resolver(), &state, &host});
               }));
  browser.bind("HandleEventFuncGetLastError",
               webview::WebView::SyncBinding([view, &host](const std::string&) { return getLastStatus(host, view); }));
  browser.bind("HandleCookies", webview::WebView::SyncBinding([](const std::string&) { return handleCookies(); }));
  browser.init(kCookieScript);
}

}  // namespace cvimp
