// The page bridge's threads against the host's main thread, without the
// browser engine: calls come in through the bridge's entry point as the
// page's binding makes them, each on a worker that sends its job to the
// window and waits. Run under ThreadSanitizer by `make tsan` (and with the
// other suites by `make test`).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/gui/window_host.h"
#include "host/stand_in.h"
#include "tests/bridge/bridge_internals.h"
#include "tests/support/host_fixture.h"

namespace cvimp {
namespace {

constexpr int kJobWindow = 9201;
const std::string kVersionCall = R"(["click", "{\"jobType\":\"getMaxPluginVersion\"}"])";

// The window closes itself after this many jobs (0: never), as a user
// closes the import window between two jobs.
int closeAfterJobs = 0;

// A window that runs jobs as the import window does, with no browser in it.
std::intptr_t jobWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    return TRUE;
  }
  if (message != kJobMessage) return FALSE;
  const std::intptr_t result = importWindowProc(window, message, wParam, lParam);
  if (closeAfterJobs > 0 && --closeAfterJobs == 0) DestroyWindow(window);
  return result;
}

class BridgeThreads : public test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::setMessageBoxesAnswered(true);
    host::registerDialogTemplate(kJobWindow, {u"Jobs", 100, 60, 0, {}});
    window = CreateDialogParamW(nullptr, kJobWindow, GetCOREInterface()->GetMAXHWnd(), &jobWindowProc,
                                reinterpret_cast<LPARAM>(state.get()));
    ASSERT_NE(window, nullptr) << "these tests need an X display (scripts/with-display)";
    page = std::make_shared<PageSession>(window, webview::Resolver());
  }
  void TearDown() override {
    settle();
    closeAfterJobs = 0;
    if (IsWindow(window)) DestroyWindow(window);
    HostTest::TearDown();
  }

  void fire(int calls) {
    for (int i = 0; i < calls; ++i) handleEventCall({std::to_string(i), kVersionCall, page});
  }
  // Runs the loop until every worker has let go of the page.
  bool settle() {
    return host::runMainLoopUntil([this] { return page.use_count() == 1 && host::pendingSends() == 0; }, 60);
  }
  static std::size_t jobsRun() { return host::journal().find("SuspendAll").size(); }

  std::unique_ptr<PluginState> state = std::make_unique<PluginState>();
  HWND window = nullptr;
  std::shared_ptr<PageSession> page;
};

TEST_F(BridgeThreads, ManyCallsAtOnceAllRunOnTheMainThread) {
  fire(48);
  ASSERT_TRUE(settle());
  EXPECT_EQ(jobsRun(), 48u);
  EXPECT_EQ(getLastStatus(*page), "\"1.1.9\"");
}

TEST_F(BridgeThreads, AWindowClosedWhileJobsWaitRunsNoMore) {
  closeAfterJobs = 4;
  fire(32);
  ASSERT_TRUE(settle());
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(jobsRun(), 4u);
  fire(8);
  ASSERT_TRUE(settle());
  EXPECT_EQ(jobsRun(), 4u);
}

TEST_F(BridgeThreads, StopAndShutdownWithJobsInFlightRunNothing) {
  fire(32);
  // What the plug-in's Stop does to the browsers of the run, then the
  // host's shutdown: its windows go, then the plug-in and its state.
  browserHost().browsers.push_back({nullptr, page});
  shutdownBrowsers(browserHost());
  DestroyWindow(window);
  state.reset();
  ASSERT_TRUE(settle());
  EXPECT_EQ(jobsRun(), 0u);
}

}  // namespace
}  // namespace cvimp
