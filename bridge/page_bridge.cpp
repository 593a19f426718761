#include "bridge/page_bridge.h"

#include <rapidjson/document.h>

#include <system_error>
#include <thread>

#include "host/max.h"
#include "platform/platform.h"

namespace cvimp {

namespace {

using Document = rapidjson::GenericDocument<rapidjson::UTF16<char16_t>>;

void setStatus(PageSession& page, std::string status) {
  std::lock_guard guard(page.statusLock);
  page.status = std::move(status);
}

}  // namespace

BrowserHost& browserHost() {
  static BrowserHost host;
  return host;
}

bool jobTextOf(const std::string& arguments, std::u16string& jobText) {
  const std::u16string wrapped = u"{ \"args\": " + platform::utf8ToUtf16(arguments) + u" }";
  if (wrapped.find(u'\0') != std::u16string::npos) return false;
  Document document;
  document.Parse<rapidjson::kParseIterativeFlag>(wrapped.c_str());
  if (document.HasParseError() || !document.IsObject()) return false;
  if (!document.HasMember(u"args")) return false;
  const auto& args = document[u"args"];
  if (!args.IsArray() || args.Size() < 2) return false;
  const auto& job = args[1];
  if (!job.IsString()) return false;
  jobText.assign(job.GetString(), job.GetStringLength());
  return true;
}

std::string statusText(const std::string& resultUtf8) { return platform::jsonQuoted(resultUtf8); }

void answerCall(PageSession& page, const std::string& id, bool succeeded, const std::string& resultUtf8) {
  setStatus(page, statusText(resultUtf8));
  page.resolver.resolve(id, 0, succeeded ? "true" : "false");
}

std::string getLastStatus(const PageSession& page) {
  std::lock_guard guard(page.statusLock);
  return page.status.empty() ? "Idle" : page.status;
}

std::string handleCookies() { return "true"; }

bool sendJob(const PageSession& page, const std::u16string& jobText, std::u16string& resultText, bool& ran) {
  JobMessage message{jobText, &page, &resultText, true, false};
  if (page.open) SendMessageW(page.window, kJobMessage, 0, reinterpret_cast<LPARAM>(&message));
  ran = message.ran;
  return ran && message.succeeded;
}

void bridgeWorker(CallRecord record) {
  PageSession& page = *record.page;
  std::u16string jobText;
  if (!jobTextOf(record.arguments, jobText)) {
    answerCall(page, record.id, false, "Unknown job type");
    return;
  }
  setStatus(page, statusText("Processing"));
  std::u16string result;
  bool ran = false;
  const bool succeeded = sendJob(page, jobText, result, ran);
  // The page or its window went before the job reached it: nobody waits.
  if (!ran) return;
  answerCall(page, record.id, succeeded, platform::utf16ToUtf8(result));
}

void handleEventCall(CallRecord record) {
  try {
    std::thread(bridgeWorker, record).detach();
  } catch (const std::system_error&) {
    answerCall(*record.page, record.id, false, "Cannot start the job");
  }
}

void installBridge(webview::WebView& browser, const std::shared_ptr<PageSession>& session) {
  browser.bind("HandleEventFunc",
               webview::WebView::AsyncBinding([session](const std::string& id, const std::string& request) {
                 handleEventCall({id, request, session});
               }));
  browser.bind("HandleEventFuncGetLastError",
               webview::WebView::SyncBinding([session](const std::string&) { return getLastStatus(*session); }));
  browser.bind("HandleCookies", webview::WebView::SyncBinding([](const std::string&) { return handleCookies(); }));
  browser.init(kCookieScript);
}

}  // namespace cvimp
