// The page bridge and the import window, with the real engine under Xvfb:
// our test page drives every binding and reports what it saw.
#include <rapidjson/document.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <utility>

#include "tests/bridge/bridge_internals.h"
#include "host/max.h"
#include "resources/resources.h"
#include "host/stand_in.h"
#include "host/gui/window_host.h"
#include "host/gui/windows.h"
#include "tests/jobs/https_test_support.h"
#include "tests/support/host_fixture.h"
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
  BrowserHost host;
  EXPECT_EQ(getLastStatus(host, nullptr), "Idle");
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

// A window procedure that runs a job message by noting the bridge's status
// at that moment.
struct StatusProbe {
  static inline BrowserHost* host = nullptr;
  static inline std::string seen;
  static std::intptr_t procedure(HWND, UINT message, WPARAM, LPARAM lParam) {
    if (message != kJobMessage) return message == WM_INITDIALOG ? TRUE : FALSE;
    auto* job = reinterpret_cast<JobMessage*>(lParam);
    seen = getLastStatus(*host, nullptr);
    job->ran = true;
    job->succeeded = true;
    *job->resultText = u"Done \"quoted\"";
    host::quitMainLoop();
    return TRUE;
  }
};

TEST_F(PageBridge, ProcessingWhileTheJobRunsAndNoAnswerOnceTheWindowIsGone) {
  host::registerDialogTemplate(900, {u"probe", 100, 60, 0, {}});
  BrowserHost bridge;
  StatusProbe::host = &bridge;
  PluginState state;
  state.importWindow = CreateDialogParamW(nullptr, 900, nullptr, &StatusProbe::procedure, 0);
  ASSERT_NE(state.importWindow, nullptr);
  // The worker sends from its own thread; the job runs here, in the loop.
  std::thread worker(bridgeWorker, CallRecord{"1", "[0, \"{}\"]", nullptr, {}, &state, &bridge});
  host::runMainLoop();
  worker.join();
  EXPECT_EQ(StatusProbe::seen, "\"Processing\"");
  EXPECT_EQ(getLastStatus(bridge, nullptr), "\"Done \\\"quoted\\\"\"");

  // A job for a window that has closed meanwhile is not run and not answered.
  DestroyWindow(state.importWindow);
  StatusProbe::seen.clear();
  bridgeWorker(CallRecord{"2", "[0, \"{}\"]", nullptr, {}, &state, &bridge});
  EXPECT_EQ(StatusProbe::seen, "");
  EXPECT_EQ(getLastStatus(bridge, nullptr), "\"Processing\"");
  // A call without a job is answered at once, without the window.
  bridgeWorker(CallRecord{"3", "[0]", nullptr, {}, &state, &bridge});
  EXPECT_EQ(getLastStatus(bridge, nullptr), "\"Unknown job type\"");
}

class ImportWindowTest : public test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::setMessageBoxesAnswered(true);
    host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(dir.str()));
    host::registerDialogs(resources::dialogs());
    // The test page comes from a local server, as the platform's page does.
    page = test::readFile(CVIMP_TEST_PAGE);
    server.server().Get("/page.html", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(page, "text/html");
    });
    server.start();
    setPageAddressOverride("http://127.0.0.1:" + std::to_string(server.port()) + "/page.html?auto");
  }
  void TearDown() override {
    if (state.importWindow != nullptr) SendMessageW(state.importWindow, WM_CLOSE, 0, 0);
    setBrowserFactory(nullptr);
    setPageAddressOverride("");
    HostTest::TearDown();
  }
  HWND open() {
    HWND window = CreateDialogParamW(nullptr, kImportDialogTemplate, GetCOREInterface()->GetMAXHWnd(),
                                     importWindowProc, reinterpret_cast<LPARAM>(&state));
    if (window != nullptr) state.importWindow = window;
    return window;
  }
  // Runs the main loop until the page reports (or a minute passes).
  std::string awaitReport() {
    report.clear();
    // The cookie script calls with the page's cookies (none for a file).
    browserHost().browsers.back()->bind("HandleCookies", webview::WebView::SyncBinding([this](const std::string& r) {
      if (r == "[\"\"]") ++cookieCalls;
      return handleCookies();
    }));
    browserHost().browsers.back()->bind("TestReport", webview::WebView::SyncBinding([this](const std::string& r) {
      report = r;
      return std::string("true");
    }));
    host::runMainLoopUntil([this] { return !report.empty(); }, 60);
    return report;
  }

  test::TempDir dir;
  std::string page;
  test::LocalServer server;
  PluginState state;
  std::string report;
  int cookieCalls = 0;
};

TEST_F(ImportWindowTest, PageSeesEveryAnswerAndStatus) {
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
  EXPECT_EQ(host::journal().find("SuspendAll").size(), 5u);
}

TEST_F(ImportWindowTest, BrowserFollowsTheWindowsSize) {
  HWND window = open();
  ASSERT_NE(window, nullptr);
  HWND browser = host::adoptNativeWindow(browserHost().browsers.front()->window());
  const auto sizeOf = [](HWND handle) {
    RECT rect;
    GetClientRect(handle, &rect);
    return std::make_pair(rect.right - rect.left, rect.bottom - rect.top);
  };
  EXPECT_EQ(sizeOf(browser), sizeOf(window));
  ASSERT_TRUE(host::resizeWindow(window, 700, 450));
  // The window manager's answer comes through the loop; a minute is only a
  // safety net.
  host::runMainLoopUntil(
      [&] { return sizeOf(window) == std::make_pair(700L, 450L) && sizeOf(browser) == sizeOf(window); }, 60);
  EXPECT_EQ(sizeOf(window), std::make_pair(700L, 450L));
  EXPECT_EQ(sizeOf(browser), sizeOf(window));
}

TEST_F(ImportWindowTest, CloseAndReopenGivesAFreshBrowser) {
  ASSERT_NE(open(), nullptr);
  const webview::WebView* first = browserHost().browsers.front().get();
  SendMessageW(state.importWindow, WM_CLOSE, 0, 0);
  EXPECT_EQ(state.importWindow, nullptr);
  EXPECT_TRUE(browserHost().browsers.empty());
  ASSERT_NE(open(), nullptr);
  ASSERT_EQ(browserHost().browsers.size(), 1u);
  EXPECT_FALSE(awaitReport().empty());
  (void)first;
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
