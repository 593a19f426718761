// The page bridge and the import window, with the real engine under Xvfb:
// our test page drives every binding and reports what it saw.
#include <rapidjson/document.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/bridge/bridge_internals.h"
#include "host/max.h"
#include "resources/resources.h"
#include "host/stand_in.h"
#include "host/gui/window_host.h"
#include "host/gui/windows.h"
#include "tests/support/host_fixture.h"
#include "tests/support/http_server.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

using PageBridge = test::HostTest;

TEST_F(PageBridge, StatusTextsAreJsonStrings) {
  EXPECT_EQ(statusText("Succeed"), "\"Succeed\"");
  EXPECT_EQ(statusText("a \"b\" \\ c\n\x01"), "\"a \\\"b\\\" \\\\ c\\n\\u0001\"");
  rapidjson::Document parsed;
  parsed.Parse(statusText("tab\there \xE5\xAF\xBC").c_str());
  ASSERT_TRUE(parsed.IsString());
  EXPECT_STREQ(parsed.GetString(), "tab\there \xE5\xAF\xBC");
  EXPECT_EQ(handleCookies(), "true");
  EXPECT_EQ(getLastStatus(PageSession(nullptr, {})), "Idle");
}

TEST_F(PageBridge, PageAddressFollowsTheEnvironment) {
  ::unsetenv("CVIMP_IMPORT_ENV");
  EXPECT_EQ(pageAddress("example.org"), "https://www.example.org/pub/site/custom/3dsmax");
  ::setenv("CVIMP_IMPORT_ENV", "", 1);
  EXPECT_EQ(pageAddress("example.org"), "https://www.example.org/pub/site/custom/3dsmax");
  ::setenv("CVIMP_IMPORT_ENV", "test", 1);
  EXPECT_EQ(pageAddress("example.org"), "https://test.example.org/pub/site/custom/3dsmax");
  ::unsetenv("CVIMP_IMPORT_ENV");
}

TEST_F(PageBridge, BridgePagesAreThePlatformsOverHttpsAndTheOpenedOrigin) {
  const std::string domain = platformDomain();
  const std::string opened = "http://127.0.0.1:8080/page.html?auto";
  for (const std::string& page :
       std::vector<std::string>{"https://" + domain + "/", "https://sso.eu." + domain + ":8443/in?x#y",
                                "HTTPS://WWW." + domain + "/", "http://127.0.0.1:8080/other", opened})
    EXPECT_TRUE(isBridgePage(page, opened)) << page;
  for (const std::string& page : std::vector<std::string>{
           "http://www." + domain + "/", "https://www." + domain + ".evil.net/", "https://evil" + domain + "/",
           "https://www." + domain + "@evil.net/", "https://evil.net\\@www." + domain + "/",
           "http://127.0.0.1:8081/page.html", "https://127.0.0.1:8080/", "about:blank", "data:text/html,x", "nonsense"})
    EXPECT_FALSE(isBridgePage(page, opened)) << page;
  EXPECT_EQ(originOf("HTTP://Example.COM:80/a"), "http://example.com");
  EXPECT_EQ(originOf("https://[::1]:0443/"), "https://[::1]");
  // A file page is its own origin: that one file, whatever its query.
  EXPECT_TRUE(isBridgePage("file:///pages/a.html#top", "file:///pages/a.html?auto"));
  EXPECT_FALSE(isBridgePage("file:///pages/b.html", "file:///pages/a.html"));
}

// A window procedure that runs a job message by noting the page's status
// at that moment.
struct StatusProbe {
  static inline std::string seen;
  static std::intptr_t procedure(HWND, UINT message, WPARAM, LPARAM lParam) {
    if (message != kJobMessage) return message == WM_INITDIALOG ? TRUE : FALSE;
    auto* job = reinterpret_cast<JobMessage*>(lParam);
    seen = getLastStatus(*job->page);
    job->ran = true;
    job->succeeded = true;
    *job->resultText = u"Done \"quoted\"";
    host::quitMainLoop();
    return TRUE;
  }
};

TEST_F(PageBridge, ProcessingWhileTheJobRunsAndNoAnswerOnceTheWindowIsGone) {
  host::registerDialogTemplate(900, {u"probe", 100, 60, 0, {}});
  const auto page = std::make_shared<PageSession>(CreateDialogParamW(nullptr, 900, nullptr, &StatusProbe::procedure, 0),
                                                  webview::Resolver());
  ASSERT_NE(page->window, nullptr);
  // The worker sends from its own thread; the job runs here, in the loop.
  std::thread worker(bridgeWorker, CallRecord{"1", "[0, \"{}\"]", page});
  host::runMainLoop();
  worker.join();
  EXPECT_EQ(StatusProbe::seen, "\"Processing\"");
  EXPECT_EQ(getLastStatus(*page), "\"Done \\\"quoted\\\"\"");

  // A job for a window that has closed meanwhile is not run and not answered.
  DestroyWindow(page->window);
  StatusProbe::seen.clear();
  bridgeWorker(CallRecord{"2", "[0, \"{}\"]", page});
  EXPECT_EQ(StatusProbe::seen, "");
  EXPECT_EQ(getLastStatus(*page), "\"Processing\"");
  // A call without a job is answered at once, without the window.
  bridgeWorker(CallRecord{"3", "[0]", page});
  EXPECT_EQ(getLastStatus(*page), "\"Unknown job type\"");
}

// A local origin: serves the pages a test gives it and keeps what they post
// to /report.
class Origin {
 public:
  Origin() {
    server_.get(R"(/(\w+\.html))", [this](const test::HttpRequest& request, test::HttpResponse& response) {
      std::lock_guard guard(lock_);
      const auto found = pages_.find(request.matches[1]);
      if (found != pages_.end()) response.setContent(found->second, "text/html; charset=utf-8");
      if (found == pages_.end()) response.status = 404;
    });
    server_.post("/report", [this](const test::HttpRequest& request, test::HttpResponse&) {
      std::lock_guard guard(lock_);
      reports_.push_back(request.body);
    });
    server_.start();
  }
  void serve(const std::string& name, std::string html) {
    std::lock_guard guard(lock_);
    pages_[name] = std::move(html);
  }
  std::string url(const std::string& path) const { return server_.url(path); }
  std::string origin() const { return url(""); }
  // Runs the main loop until the pages have posted `count` reports (a
  // minute is only a safety net); the reports so far.
  std::vector<std::string> awaitReports(std::size_t count) {
    host::runMainLoopUntil(
        [&] {
          std::lock_guard guard(lock_);
          return reports_.size() >= count;
        },
        60);
    std::lock_guard guard(lock_);
    return reports_;
  }

 private:
  std::mutex lock_;
  std::map<std::string, std::string> pages_;
  std::vector<std::string> reports_;
  test::LocalServer server_;
};

class ImportWindowTest : public test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::setMessageBoxesAnswered(true);
    // The journal records what the shell is asked to open; nothing starts.
    host::setDesktopOpener("");
    host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(dir.str()));
    host::registerDialogs(resources::dialogs());
    // The test page comes from a local server, as the platform's page does.
    origin.serve("page.html", test::readFile(std::string(CVIMP_TEST_PAGE)));
    setPageAddressOverride(origin.url("/page.html?auto"));
  }
  void TearDown() override {
    if (state.importWindow != nullptr) SendMessageW(state.importWindow, WM_CLOSE, 0, 0);
    setBrowserFactory(nullptr);
    setPageAddressOverride("");
    host::useDefaultDesktopOpener();
    HostTest::TearDown();
  }
  HWND open(PluginState& target) {
    HWND window = CreateDialogParamW(nullptr, kImportDialogTemplate, GetCOREInterface()->GetMAXHWnd(), importWindowProc,
                                     reinterpret_cast<LPARAM>(&target));
    if (window != nullptr) target.importWindow = window;
    return window;
  }
  HWND open() { return open(state); }
  static PageBrowser& browser() { return browserHost().browsers.back(); }
  // Runs the main loop until the page reports (or a minute passes).
  std::string awaitReport() {
    report.clear();
    // The cookie script calls with the page's cookies (none for a file).
    browser().view->bind("HandleCookies", webview::WebView::SyncBinding([this](const std::string& r) {
      if (r == "[\"\"]") ++cookieCalls;
      return handleCookies();
    }));
    browser().view->bind("TestReport", webview::WebView::SyncBinding([this](const std::string& r) {
      report = r;
      return std::string("true");
    }));
    host::runMainLoopUntil([this] { return !report.empty(); }, 60);
    return report;
  }
  static std::size_t jobsRun() { return host::journal().find("SuspendAll").size(); }

  test::TempDir dir;
  Origin origin;
  PluginState state;
  std::string report;
  int cookieCalls = 0;
};

// Opened on the platform's address, which the browser map sends to the
// local page: that page is the window's, and may call.
TEST_F(ImportWindowTest, PageSeesEveryAnswerAndStatus) {
  setPageAddressOverride("");
  const test::ScopedEnv map("CVIMP_BROWSER_URL_MAP",
                            (platformPageAddress() + "=" + origin.url("/page.html?auto")).c_str());
  ASSERT_NE(open(), nullptr);
  EXPECT_TRUE(state.frameworkStarted);
  ASSERT_EQ(browserHost().browsers.size(), 1u);
  const std::string text = awaitReport();
  rapidjson::Document results;
  results.Parse(text.c_str());
  ASSERT_TRUE(results.IsArray() && results.Size() == 1 && results[0].IsObject()) << text;
  const auto& r = results[0];
  EXPECT_STREQ(r["firstStatus"].GetString(), "rejected Error: Failed to parse binding result as JSON");
  EXPECT_TRUE(r["cookies"].GetBool());
  EXPECT_TRUE(r["version"]["value"].GetBool());
  EXPECT_STREQ(r["version"]["status"].GetString(), "\"1.1.9\"");
  EXPECT_FALSE(r["unknown"]["value"].GetBool());
  EXPECT_STREQ(r["unknown"]["status"].GetString(), "\"Unknown job type\"");
  EXPECT_FALSE(r["nojob"]["value"].GetBool());
  EXPECT_STREQ(r["nojob"]["status"].GetString(), "\"Unknown job type\"");
  EXPECT_FALSE(r["download"]["value"].GetBool());
  EXPECT_STREQ(r["download"]["status"].GetString(), "\"Cannot download URL\"");
  ASSERT_TRUE(r["together"].IsArray());
  EXPECT_TRUE(r["together"][0].GetBool());
  EXPECT_FALSE(r["together"][1].GetBool());
  EXPECT_EQ(cookieCalls, 1);
  // Every job but the call without one reached the window and ran there.
  EXPECT_EQ(jobsRun(), 5u);
}

TEST_F(ImportWindowTest, BrowserFollowsTheWindowsSize) {
  HWND window = open();
  ASSERT_NE(window, nullptr);
  HWND view = host::adoptNativeWindow(browser().view->window());
  const auto sizeOf = [](HWND handle) {
    RECT rect;
    GetClientRect(handle, &rect);
    return std::make_pair(rect.right - rect.left, rect.bottom - rect.top);
  };
  EXPECT_EQ(sizeOf(view), sizeOf(window));
  ASSERT_TRUE(host::resizeWindow(window, 700, 450));
  // The window manager's answer comes through the loop; a minute is only a
  // safety net.
  host::runMainLoopUntil([&] { return sizeOf(window) == std::make_pair(700L, 450L) && sizeOf(view) == sizeOf(window); },
                         60);
  EXPECT_EQ(sizeOf(window), std::make_pair(700L, 450L));
  EXPECT_EQ(sizeOf(view), sizeOf(window));
}

// The first window's page runs its jobs, its plug-in stops and goes, the
// window closes, a new one opens; the new page starts Idle, and a call of
// the first page whose worker only runs now reaches nothing
// (AddressSanitizer watches the plug-in's memory).
TEST_F(ImportWindowTest, CloseAndReopenGivesAFreshBrowser) {
  auto first = std::make_unique<PluginState>();
  const HWND closed = open(*first);
  ASSERT_NE(closed, nullptr);
  ASSERT_FALSE(awaitReport().empty());
  const CallRecord late{"late", R"([0, "{\"jobType\":\"getMaxPluginVersion\"}"])", browser().session};
  shutdownBrowsers(browserHost());
  SendMessageW(closed, WM_CLOSE, 0, 0);
  EXPECT_EQ(first->importWindow, nullptr);
  EXPECT_TRUE(browserHost().browsers.empty());
  first.reset();

  ASSERT_NE(open(), nullptr);
  ASSERT_EQ(browserHost().browsers.size(), 1u);
  rapidjson::Document results;
  results.Parse(awaitReport().c_str());
  ASSERT_TRUE(results.IsArray() && results.Size() == 1 && results[0].IsObject());
  EXPECT_STREQ(results[0]["firstStatus"].GetString(), "rejected Error: Failed to parse binding result as JSON");
  const std::string status = getLastStatus(*browser().session);
  const std::size_t jobs = jobsRun();

  std::atomic<bool> done{false};
  std::thread worker([&] {
    bridgeWorker(late);
    done = true;
  });
  host::runMainLoopUntil([&] { return done.load(); }, 60);
  worker.join();
  EXPECT_EQ(jobsRun(), jobs);
  EXPECT_EQ(getLastStatus(*browser().session), status);
}

// A frame of another origin in the window's page, and a page of another
// origin shown in the window, report to their own server what became of
// their calls.
TEST_F(ImportWindowTest, PagesOfOtherOriginsRunNothing) {
  Origin other;
  other.serve("frame.html", R"(<script>
    const job = JSON.stringify({ jobType: 'getMaxPluginVersion' });
    const message = JSON.stringify({ id: 'x', method: 'HandleEventFunc', params: [0, job] });
    const attempts = {};
    const attempt = async (name, call) => {
      try { await call(); attempts[name] = 'ran'; } catch (error) { attempts[name] = 'refused'; }
    };
    (async () => {
      await attempt('own', () => window.HandleEventFunc(0, job));
      await attempt('top', () => window.top.HandleEventFunc(0, job));
      await attempt('handler', () => window.webkit.messageHandlers.__webview__.postMessage(message));
      await attempt('event', () => window.top.dispatchEvent(new CustomEvent('__webview__', { detail: message })));
      fetch('/report', { method: 'POST', body: JSON.stringify(attempts) });
    })();
  </script>)");
  other.serve("other.html", R"(<script>
    HandleEventFunc(0, JSON.stringify({ jobType: 'getMaxPluginVersion' }))
      .then((value) => 'resolved ' + value, (error) => String(error))
      .then((text) => fetch('/report', { method: 'POST', body: text }));
  </script>)");
  origin.serve("framed.html", "<iframe src=\"" + other.url("/frame.html") + "\"></iframe>");
  setPageAddressOverride(origin.url("/framed.html"));
  ASSERT_NE(open(), nullptr);
  EXPECT_EQ(other.awaitReports(1).back(), R"({"own":"refused","top":"refused","handler":"refused","event":"refused"})");

  // The host may show such a page itself; its calls are refused.
  browser().view->navigate(other.url("/other.html"));
  EXPECT_EQ(other.awaitReports(2).back(), "Calls from " + other.origin() + " are not allowed");
  EXPECT_EQ(jobsRun(), 0u);
  EXPECT_TRUE(host::journal().find("ShellExecuteW").empty());
}

// A link to another origin opens in the user's browser; the page stays,
// and answers once the address has gone out.
TEST_F(ImportWindowTest, LinkToAnotherOriginOpensInTheUsersBrowser) {
  Origin other;
  const std::string away = other.url("/away.html?x=1");
  origin.serve("links.html", "<a id=\"away\" href=\"" + away +
                                 "\">away</a><script>\n"
                                 "document.getElementById('away').click();\n"
                                 "Left().then(() => TestReport(location.href));\n"
                                 "</script>");
  std::string left;
  setBrowserFactory([&left] {
    std::string error;
    auto view = webview::WebView::create(false, error);
    if (view)
      view->bind("Left",
                 webview::WebView::AsyncBinding([&left](const std::string& id, const std::string&) { left = id; }));
    return view;
  });
  setPageAddressOverride(origin.url("/links.html"));
  ASSERT_NE(open(), nullptr);
  const auto opened = [] { return host::journal().find("ShellExecuteW"); };
  ASSERT_TRUE(host::runMainLoopUntil([&] { return !opened().empty() && !left.empty(); }, 60));
  browser().view->resolve(left, 0, "true");
  EXPECT_EQ(awaitReport(), "[\"" + origin.url("/links.html") + "\"]");
  EXPECT_EQ(opened(),
            (std::vector<host::JournalEntry>{{"ShellExecuteW", "\"open\", \"" + away + "\", none, none, 1"}}));
}

TEST_F(ImportWindowTest, BrowserThatCannotBeMadeIsReportedAfterElevenAttempts) {
  int attempts = 0;
  setBrowserFactory([&attempts] {
    ++attempts;
    return std::unique_ptr<webview::WebView>();
  });
  ASSERT_NE(open(), nullptr);
  EXPECT_EQ(attempts, 11);
  EXPECT_TRUE(browserHost().browsers.empty());
  const auto boxes = host::journal().find("MessageBoxW");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].args.find("\"Error\", \"Cannot create browser\""), std::string::npos);
  EXPECT_TRUE(IsWindow(state.importWindow));  // the window stays open, empty
}

}  // namespace
}  // namespace cvimp
