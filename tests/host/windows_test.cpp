#include "host/gui/window_host.h"
#include "host/gui/windows.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bridge/webview/webview.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"

namespace {

constexpr int kTemplate = 9001;
constexpr int kHiddenTemplate = 9002;
constexpr int kImportSizedTemplate = 9003;
constexpr UINT kJob = WM_USER + 1;
// Only keeps a broken test from hanging: the loops end on the awaited event.
constexpr guint kSafetySeconds = 30;

struct Message {
  HWND window;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  std::thread::id thread;
};

// What the dialog procedure saw, and what it does: the current test's
// handler, called for every message.
struct Procedure {
  std::mutex lock;
  std::vector<Message> seen;
  std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> handler;

  std::vector<UINT> messages(HWND window) {
    std::lock_guard guard(lock);
    std::vector<UINT> out;
    for (const Message& entry : seen) {
      if (entry.window == window) out.push_back(entry.message);
    }
    return out;
  }
};

Procedure* current = nullptr;

std::intptr_t testProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard guard(current->lock);
    current->seen.push_back({window, message, wParam, lParam, std::this_thread::get_id()});
  }
  return current->handler ? current->handler(window, message, wParam, lParam) : FALSE;
}

bool contains(const std::vector<UINT>& messages, UINT message) {
  return std::find(messages.begin(), messages.end(), message) != messages.end();
}

class WindowTest : public cvimp::test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr)) << "these tests need an X display (scripts/with-display)";
    host::setMessageBoxesAnswered(true);
    host::registerDialogTemplate(kTemplate, {u"Test dialog", 200, 100, 0x10000000, {}});
    host::registerDialogTemplate(kHiddenTemplate, {u"Hidden", 100, 40, 0, {}});
    host::registerDialogTemplate(kImportSizedTemplate, {u"Import sized", 800, 525, 0x90CF0040, {}});
    current = &procedure;
    safety = g_timeout_add_seconds(kSafetySeconds, &WindowTest::onSafety, this);
  }

  void TearDown() override {
    for (HWND window : opened) {
      if (IsWindow(window)) DestroyWindow(window);
    }
    if (safety != 0) g_source_remove(safety);
    current = nullptr;
    HostTest::TearDown();
  }

  static gboolean onSafety(gpointer self) {
    static_cast<WindowTest*>(self)->safety = 0;
    static_cast<WindowTest*>(self)->timedOut = true;
    host::quitMainLoop();
    return G_SOURCE_REMOVE;
  }

  HWND open(int templateId = kTemplate, LPARAM param = 0) {
    HWND window = CreateDialogParamW(nullptr, templateId, GetCOREInterface()->GetMAXHWnd(), testProcedure, param);
    opened.push_back(window);
    return window;
  }

  static GtkWindow* native(HWND window) { return GTK_WINDOW(host::nativeWindow(window)); }

  Procedure procedure;
  std::vector<HWND> opened;
  guint safety = 0;
  bool timedOut = false;
};

TEST_F(WindowTest, InitDialogCarriesParamBeforeCreationReturns) {
  procedure.handler = [](HWND window, UINT message, WPARAM, LPARAM lParam) -> LRESULT {
    if (message != WM_INITDIALOG) return FALSE;
    SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
    return TRUE;
  };
  HWND window = open(kTemplate, 1234);
  ASSERT_NE(window, nullptr);
  ASSERT_FALSE(procedure.seen.empty());
  EXPECT_EQ(procedure.seen.front().message, WM_INITDIALOG);
  EXPECT_EQ(procedure.seen.front().lParam, 1234);
  EXPECT_EQ(GetWindowLongPtrW(window, GWLP_USERDATA), 1234);
  EXPECT_TRUE(IsWindow(window));

  // 200 x 100 units: 200 * 6 / 4 and 100 * 13 / 8 rounded.
  RECT client;
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.right - client.left, 300);
  EXPECT_EQ(client.bottom - client.top, 163);
  HWND large = open(kImportSizedTemplate);
  ASSERT_TRUE(GetClientRect(large, &client));
  EXPECT_EQ(client.right, 1200);
  EXPECT_EQ(client.bottom, 853);

  EXPECT_STREQ(gtk_window_get_title(native(window)), "Test dialog");
  EXPECT_TRUE(gtk_window_get_resizable(native(window)));
  EXPECT_TRUE(host::windowState(window)->visible);
  EXPECT_EQ(gtk_window_get_transient_for(native(window)), native(GetCOREInterface()->GetMAXHWnd()));
  HWND hidden = open(kHiddenTemplate);
  EXPECT_FALSE(host::windowState(hidden)->visible);

  const auto created = host::journal().find("CreateDialogParamW");
  ASSERT_EQ(created.size(), 3u);
  EXPECT_EQ(created[0].args, "9001, main, procedure, 1234");
}

TEST_F(WindowTest, UnknownTemplateMakesNoWindow) {
  EXPECT_EQ(open(4242), nullptr);
  EXPECT_TRUE(procedure.seen.empty());
}

TEST_F(WindowTest, ResizingTheClientAreaSendsWmSize) {
  std::vector<LPARAM> sizes;
  procedure.handler = [&](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message != WM_SIZE) return FALSE;
    EXPECT_EQ(wParam, 0u);
    sizes.push_back(lParam);
    if (lParam == MAKELPARAM(500, 400)) host::quitMainLoop();
    return TRUE;
  };
  HWND window = open();
  gtk_window_resize(native(window), 500, 400);
  host::runMainLoop();
  ASSERT_FALSE(timedOut);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back(), MAKELPARAM(500, 400));
  EXPECT_EQ(LOWORD(static_cast<std::uintptr_t>(sizes.back())), 500);
  EXPECT_EQ(HIWORD(static_cast<std::uintptr_t>(sizes.back())), 400);
  RECT client;
  ASSERT_TRUE(GetClientRect(window, &client));
  EXPECT_EQ(client.right, 500);
  EXPECT_EQ(client.bottom, 400);
}

TEST_F(WindowTest, CloseBoxAsksTheProcedureWhichEndsAndDestroys) {
  bool aliveDuringDestroy = false;
  bool endedBeforeDestroy = false;
  procedure.handler = [&](HWND window, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_CLOSE) {
      EndDialog(window, 7);
      DestroyWindow(window);
      return TRUE;
    }
    if (message == WM_DESTROY) {
      aliveDuringDestroy = IsWindow(window) != FALSE;
      endedBeforeDestroy = host::windowState(window)->ended && host::windowState(window)->endResult == 7;
      return TRUE;
    }
    return FALSE;
  };
  HWND window = open();
  gtk_window_close(native(window));
  // Ends when no dialog is left.
  host::runMainLoop();
  ASSERT_FALSE(timedOut);

  const std::vector<UINT> seen = procedure.messages(window);
  const auto close = std::find(seen.begin(), seen.end(), WM_CLOSE);
  const auto destroy = std::find(seen.begin(), seen.end(), WM_DESTROY);
  ASSERT_NE(close, seen.end());
  ASSERT_NE(destroy, seen.end());
  EXPECT_LT(close, destroy);
  EXPECT_TRUE(aliveDuringDestroy);
  EXPECT_TRUE(endedBeforeDestroy);
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(host::nativeWindow(window), nullptr);
  EXPECT_FALSE(DestroyWindow(window));
  EXPECT_EQ(host::journal().find("EndDialog").at(0).args, host::windowName(window) + ", 7");
}

TEST_F(WindowTest, WindowWithoutCloseHandlingStaysOpen) {
  HWND window = open();
  gtk_window_close(native(window));
  procedure.handler = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_CLOSE) host::quitMainLoop();
    return FALSE;
  };
  host::runMainLoop();
  ASSERT_FALSE(timedOut);
  EXPECT_TRUE(IsWindow(window));
  EXPECT_TRUE(gtk_widget_get_visible(GTK_WIDGET(native(window))));
}

TEST_F(WindowTest, SendsFromWorkersRunOnTheMainThreadWhileTheyWait) {
  procedure.handler = [](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message != kJob) return FALSE;
    return static_cast<LRESULT>(wParam) * 10 + lParam;
  };
  HWND window = open(kHiddenTemplate);
  EXPECT_EQ(SendMessageW(window, kJob, 4, 2), 42);

  // The workers start before the loop runs: their sends wait for it.
  std::array<LRESULT, 2> results{};
  std::atomic<int> finished{0};
  std::vector<std::thread> workers;
  for (int i = 0; i < 2; ++i) {
    workers.emplace_back([&, i] {
      results[static_cast<std::size_t>(i)] = SendMessageW(window, kJob, static_cast<WPARAM>(i + 1), 0);
      if (finished.fetch_add(1) == 1) host::quitMainLoop();
    });
  }
  host::runMainLoop();
  for (std::thread& worker : workers) worker.join();
  ASSERT_FALSE(timedOut);
  EXPECT_EQ(results[0], 10);
  EXPECT_EQ(results[1], 20);

  std::lock_guard guard(procedure.lock);
  int jobs = 0;
  for (const Message& message : procedure.seen) {
    if (message.message != kJob) continue;
    ++jobs;
    EXPECT_EQ(message.thread, std::this_thread::get_id());
  }
  EXPECT_EQ(jobs, 3);
  EXPECT_EQ(host::journal().find("SendMessageW").size(), 3u);
}

TEST_F(WindowTest, SendToADestroyedWindowRunsNothing) {
  procedure.handler = [](HWND, UINT message, WPARAM, LPARAM) -> LRESULT { return message == kJob ? 5 : FALSE; };
  HWND target = open(kHiddenTemplate);
  HWND keeper = open(kHiddenTemplate);
  ASSERT_TRUE(DestroyWindow(open(kHiddenTemplate)));
  EXPECT_EQ(SendMessageW(opened.back(), kJob, 0, 0), 0);

  // A send already waiting when its window goes.
  LRESULT result = -1;
  std::thread worker([&] {
    result = SendMessageW(target, kJob, 0, 0);
    host::quitMainLoop();
  });
  while (host::pendingSends() == 0) std::this_thread::yield();
  ASSERT_TRUE(DestroyWindow(target));
  host::runMainLoop();
  worker.join();
  ASSERT_FALSE(timedOut);
  EXPECT_EQ(result, 0);
  EXPECT_FALSE(contains(procedure.messages(target), kJob));
  EXPECT_FALSE(contains(procedure.messages(opened.back()), kJob));
  EXPECT_TRUE(IsWindow(keeper));
  EXPECT_EQ(host::pendingSends(), 0);
}

TEST_F(WindowTest, MainWindowIconAndDialogRegistration) {
  Interface* core = GetCOREInterface();
  HWND main = core->GetMAXHWnd();
  EXPECT_EQ(main, host::mainWindow());
  EXPECT_EQ(host::windowName(main), "main");
  const ULONG_PTR icon = GetClassLongPtrW(main, GCLP_HICONSM);
  EXPECT_NE(icon, 0u);

  HWND window = open();
  // The procedure leaves WM_SETICON: the host records it.
  EXPECT_EQ(SendMessageW(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon)), 0);
  EXPECT_EQ(host::windowState(window)->smallIcon, static_cast<LPARAM>(icon));

  core->RegisterDlgWnd(window);
  EXPECT_EQ(host::registeredDialogs(), std::vector<HWND>{window});
  EXPECT_EQ(core->UnRegisterDlgWnd(window), 1);
  EXPECT_EQ(core->UnRegisterDlgWnd(window), 0);
  EXPECT_TRUE(host::registeredDialogs().empty());
  CenterWindow(window, main);

  const std::vector<std::string> calls = host::journal().calls();
  const std::vector<std::string> expected{
      "GetMAXHWnd",     "GetClassLongPtrW", "GetMAXHWnd",       "CreateDialogParamW", "SendMessageW",
      "RegisterDlgWnd", "UnRegisterDlgWnd", "UnRegisterDlgWnd", "CenterWindow"};
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(host::journal().find("RegisterDlgWnd").at(0).args, host::windowName(window));
  EXPECT_EQ(host::journal().find("CenterWindow").at(0).args, host::windowName(window) + ", main");
}

TEST_F(WindowTest, StaticTextsOfTheTemplateAndClicksOnTheNotifyingOne) {
  constexpr int kWithTexts = 9104;
  host::registerDialogTemplate(kWithTexts, {u"Texts", 120, 60, 0x10000000,
                                            {{-1, u"Plain text", false, 10, 8, 100, 8},
                                             {7, u"Click me", true, 20, 24, 60, 8}}});
  HWND window = open(kWithTexts);
  ASSERT_NE(window, nullptr);
  const auto state = host::windowState(window);
  ASSERT_TRUE(state.has_value());
  ASSERT_EQ(state->controls.size(), 2u);
  // Dialog units in pixels: x by 6/4, y by 13/8, rounded.
  EXPECT_EQ(std::make_tuple(state->controls[0].x, state->controls[0].y, state->controls[0].width), std::make_tuple(15, 13, 150));
  EXPECT_EQ(std::make_tuple(state->controls[1].id, state->controls[1].text, state->controls[1].y),
            std::make_tuple(7, std::u16string(u"Click me"), 39));

  EXPECT_FALSE(host::clickControl(window, -1));
  EXPECT_FALSE(host::clickControl(window, 8));
  EXPECT_FALSE(contains(procedure.messages(window), WM_COMMAND));
  ASSERT_TRUE(host::clickControl(window, 7));
  const Message& command = procedure.seen.back();
  EXPECT_EQ(command.message, WM_COMMAND);
  EXPECT_EQ(LOWORD(command.wParam), 7);
  EXPECT_EQ(HIWORD(command.wParam), STN_CLICKED);
}

TEST_F(WindowTest, DialogsAreListedClosedByTheUserAndDestroyedAtShutdown) {
  HWND first = open();
  HWND second = open(kHiddenTemplate);
  EXPECT_EQ(host::dialogs(), (std::vector<HWND>{first, second}));
  // Closing asks the procedure; this one does not destroy the window.
  EXPECT_TRUE(host::closeWindow(first));
  EXPECT_TRUE(contains(procedure.messages(first), WM_CLOSE));
  EXPECT_TRUE(IsWindow(first));
  EXPECT_FALSE(host::closeWindow(GetCOREInterface()->GetMAXHWnd()));

  host::destroyDialogs();
  EXPECT_TRUE(host::dialogs().empty());
  EXPECT_TRUE(contains(procedure.messages(first), WM_DESTROY));
  EXPECT_TRUE(contains(procedure.messages(second), WM_DESTROY));
  // Newest first.
  const auto destroyed = host::journal().find("DestroyWindow");
  ASSERT_EQ(destroyed.size(), 2u);
  EXPECT_EQ(destroyed[0].args, host::windowName(second));
}

TEST_F(WindowTest, MessageBoxAnsweredAtOnceIsJournaled) {
  HWND window = open();
  EXPECT_EQ(MessageBoxW(window, u"Error", u"Cannot create browser", MB_OK), IDOK);
  const auto boxes = host::journal().find("MessageBoxW");
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].args, host::windowName(window) + ", \"Error\", \"Cannot create browser\", 0");
  Sleep(0);
  EXPECT_EQ(host::journal().find("Sleep").at(0).args, "0");
}

// The browser layer's window adopted into a dialog, as the import window
// does it.
class BrowserInDialogTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    std::string error;
    browser = cvimp::webview::WebView::create(false, error);
    ASSERT_NE(browser, nullptr) << error;
    content = gtk_bin_get_child(GTK_BIN(browser->window()));
  }

  // Style, parent, then the client rectangle.
  HWND adopt(HWND dialog) {
    HWND child = host::adoptNativeWindow(browser->window());
    EXPECT_NE(child, nullptr);
    EXPECT_EQ(host::adoptNativeWindow(browser->window()), child);
    EXPECT_NE(SetWindowLongPtrW(child, GWL_STYLE, WS_CHILD) & WS_VISIBLE, 0);
    EXPECT_EQ(GetWindowLongPtrW(child, GWL_STYLE), WS_CHILD);
    EXPECT_EQ(SetParent(child, dialog), nullptr);
    RECT client;
    GetClientRect(dialog, &client);
    MoveWindow(child, static_cast<int>(client.left), static_cast<int>(client.top),
               static_cast<int>(client.right - client.left), static_cast<int>(client.bottom - client.top), FALSE);
    return child;
  }

  std::unique_ptr<cvimp::webview::WebView> browser;
  GtkWidget* content = nullptr;
};

TEST_F(BrowserInDialogTest, ChildFillsTheClientAreaAndFollowsItsSize) {
  HWND dialog = open();
  HWND child = adopt(dialog);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(browser->window())));
  EXPECT_EQ(gtk_widget_get_toplevel(content), GTK_WIDGET(native(dialog)));
  EXPECT_EQ(host::windowState(child)->parent, dialog);
  EXPECT_TRUE(host::windowState(child)->visible);
  RECT rect;
  ASSERT_TRUE(GetClientRect(child, &rect));
  EXPECT_EQ(rect.right, 300);
  EXPECT_EQ(rect.bottom, 163);

  procedure.handler = [&](HWND window, UINT message, WPARAM, LPARAM lParam) -> LRESULT {
    if (message != WM_SIZE) return FALSE;
    RECT client;
    GetClientRect(window, &client);
    MoveWindow(child, 0, 0, static_cast<int>(client.right), static_cast<int>(client.bottom), FALSE);
    if (lParam == MAKELPARAM(640, 360)) host::quitMainLoop();
    return TRUE;
  };
  gtk_window_resize(native(dialog), 640, 360);
  host::runMainLoop();
  ASSERT_FALSE(timedOut);
  ASSERT_TRUE(GetClientRect(child, &rect));
  EXPECT_EQ(rect.right, 640);
  EXPECT_EQ(rect.bottom, 360);
  int width = 0;
  int height = 0;
  gtk_widget_get_size_request(content, &width, &height);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 360);

  // Back out of the dialog into its own window.
  EXPECT_EQ(SetParent(child, nullptr), dialog);
  EXPECT_EQ(gtk_widget_get_parent(content), GTK_WIDGET(browser->window()));
}

TEST_F(BrowserInDialogTest, BrowserDeletedOnWmDestroyTakesItsHandleAlong) {
  HWND child = nullptr;
  procedure.handler = [&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message != WM_DESTROY) return FALSE;
    browser.reset();
    EXPECT_FALSE(IsWindow(child));
    return TRUE;
  };
  HWND dialog = open();
  child = adopt(dialog);
  ASSERT_TRUE(DestroyWindow(dialog));
  EXPECT_EQ(browser, nullptr);
  EXPECT_FALSE(IsWindow(dialog));
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(BrowserInDialogTest, DialogDestroyedFirstHandsTheBrowserBack) {
  HWND dialog = open();
  HWND child = adopt(dialog);
  ASSERT_TRUE(DestroyWindow(dialog));
  EXPECT_TRUE(IsWindow(child));
  EXPECT_EQ(gtk_widget_get_parent(content), GTK_WIDGET(browser->window()));
  EXPECT_EQ(host::windowState(child)->parent, nullptr);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(browser->window())));
  browser.reset();
  EXPECT_FALSE(IsWindow(child));
  EXPECT_EQ(SendMessageW(child, kJob, 0, 0), 0);
}

}  // namespace
