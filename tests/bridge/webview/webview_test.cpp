#include "bridge/webview/webview.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/test_support.h"

namespace cvimp::webview {
namespace {

// Pages run a scenario and hand their findings to the "report" binding,
// which ends the run. The timer only keeps a broken test from hanging.
constexpr guint kSafetySeconds = 60;

// The JSON text of one member of a report, "" when it is missing.
std::string member(const std::string& report, const char* name) {
  rapidjson::Document document;
  document.Parse(report.c_str());
  if (document.HasParseError() || !document.IsObject() || !document.HasMember(name)) return "";
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  document[name].Accept(writer);
  return buffer.GetString();
}

// The first argument of a call, a string.
std::string firstString(const std::string& request) {
  rapidjson::Document document;
  document.Parse(request.c_str());
  if (document.HasParseError() || !document.IsArray() || document.Empty() || !document[0].IsString()) return "";
  return {document[0].GetString(), document[0].GetStringLength()};
}

class WebViewTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    view = WebView::create(false, error);
    ASSERT_NE(view, nullptr) << error << " (these tests need an X display; scripts/with-display gives one)";
    safetyTimer = g_timeout_add_seconds(kSafetySeconds, &WebViewTest::onSafetyTimeout, this);
    view->bind("report", [this](const std::string& request) {
      reports.push_back(firstString(request));
      view->terminate();
      return std::string("true");
    });
  }

  void TearDown() override {
    if (safetyTimer != 0) g_source_remove(safetyTimer);
  }

  static gboolean onSafetyTimeout(gpointer data) {
    auto* self = static_cast<WebViewTest*>(data);
    self->safetyTimer = 0;
    self->timedOut = true;
    if (self->view) self->view->terminate();
    return G_SOURCE_REMOVE;
  }

  // Writes a page whose script runs `scenario` (an async body that fills
  // `results`), then reports `results`, or the exception that stopped it.
  std::string page(const std::string& scenario, const std::string& name = "page.html") {
    const std::string html =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><script>\n"
        "const settle = (promise) => promise.then((value) => ({ value }),\n"
        "  (error) => ({ rejected: error instanceof Error ? 'Error: ' + error.message : error }));\n"
        "(async () => {\n  const results = {};\n" +
        scenario +
        "\n  return results;\n})().then((results) => report(JSON.stringify(results)),\n"
        "  (error) => report(JSON.stringify({ exception: String(error) })));\n"
        "</script></body></html>\n";
    return "file://" + dir.write(name, html);
  }

  // Loads the page and runs the loop until it reports; returns the report.
  std::string runPage(const std::string& url) {
    const std::size_t before = reports.size();
    view->navigate(url);
    view->run();
    EXPECT_FALSE(timedOut) << "the page did not report in time";
    return reports.size() > before ? reports.back() : "";
  }

  // Iterates the main loop until `done` holds (or the safety timer fires).
  template <typename Condition>
  void iterateUntil(Condition done) {
    while (!done() && !timedOut) g_main_context_iteration(nullptr, TRUE);
    ASSERT_FALSE(timedOut);
  }

  // Runs everything already queued at idle priority, answers included:
  // sources of one priority are dispatched in the order they were added.
  void drainIdle() {
    bool reached = false;
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer flag) -> gboolean {
          *static_cast<bool*>(flag) = true;
          return G_SOURCE_REMOVE;
        },
        &reached, nullptr);
    iterateUntil([&] { return reached; });
  }

  test::TempDir dir;
  std::unique_ptr<WebView> view;
  std::vector<std::string> reports;
  guint safetyTimer = 0;
  bool timedOut = false;
};

TEST_F(WebViewTest, SynchronousBindingResolvesWithItsJsonValue) {
  std::vector<std::string> requests;
  view->bind("echo", [&](const std::string& request) {
    requests.push_back(request);
    return request;
  });
  view->bind("object", [](const std::string&) { return std::string(R"({"a":[1,2.5],"b":"x"})"); });

  const std::string report = runPage(page(R"(
    results.echo = await echo(1, 'two', { three: [3] }, 'quote" backslash\\ tab\t line\u2028 ü', null, undefined);
    results.empty = await echo();
    results.object = await object();
    results.pending = window.__webview__.pendingCount();
  )"));

  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0], "[1,\"two\",{\"three\":[3]},\"quote\\\" backslash\\\\ tab\\t line\u2028 \u00fc\",null,null]");
  EXPECT_EQ(requests[1], "[]");
  EXPECT_EQ(member(report, "echo"), requests[0]);
  EXPECT_EQ(member(report, "empty"), "[]");
  EXPECT_EQ(member(report, "object"), R"({"a":[1,2.5],"b":"x"})");
  EXPECT_EQ(member(report, "pending"), "0");
}

TEST_F(WebViewTest, AsynchronousBindingAnsweredFromOtherThreads) {
  std::vector<std::thread> workers;
  std::vector<std::string> ids;
  view->bind("later", [&](const std::string& id, const std::string& request) {
    ids.push_back(id);
    workers.emplace_back([resolver = view->resolver(), id, request] {
      if (request == R"(["ok"])") resolver.resolve(id, 0, R"({"done":true})");
      if (request == R"(["fail"])") resolver.resolve(id, 7, R"({"code":7})");
      if (request == R"(["not json"])") resolver.resolve(id, 0, "Idle");
      if (request == R"(["failing, not json"])") resolver.resolve(id, 1, "{");
    });
  });

  const std::string report = runPage(page(R"(
    results.ok = await settle(later('ok'));
    results.fail = await settle(later('fail'));
    results.notJson = await settle(later('not json'));
    results.failingNotJson = await settle(later('failing, not json'));
    results.pending = window.__webview__.pendingCount();
  )"));
  for (auto& worker : workers) worker.join();

  EXPECT_EQ(member(report, "ok"), R"({"value":{"done":true}})");
  EXPECT_EQ(member(report, "fail"), R"({"rejected":{"code":7}})");
  EXPECT_EQ(member(report, "notJson"), R"({"rejected":"Error: Failed to parse binding result as JSON"})");
  EXPECT_EQ(member(report, "failingNotJson"), R"({"rejected":"Error: Failed to parse binding result as JSON"})");
  EXPECT_EQ(member(report, "pending"), "0");
  ASSERT_EQ(ids.size(), 4u);
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 4u);
  for (const auto& id : ids) EXPECT_FALSE(id.empty());
}

// Answered in the reverse order of the calls: each answer finds its own call.
TEST_F(WebViewTest, TwoQuickCallsAreBothAnswered) {
  std::vector<std::pair<std::string, std::string>> calls;
  std::thread worker;
  view->bind("slow", [&](const std::string& id, const std::string& request) {
    calls.emplace_back(id, request);
    if (calls.size() == 2) {
      worker = std::thread([resolver = view->resolver(), calls] {
        resolver.resolve(calls[1].first, 0, calls[1].second);
        resolver.resolve(calls[0].first, 0, calls[0].second);
      });
    }
  });

  const std::string report = runPage(page(R"(
    const first = slow('first');
    const second = slow('second');
    results.inFlight = window.__webview__.pendingCount();
    results.answers = await Promise.all([first, second]);
    results.pending = window.__webview__.pendingCount();
  )"));
  if (worker.joinable()) worker.join();

  EXPECT_EQ(member(report, "inFlight"), "2");
  EXPECT_EQ(member(report, "answers"), R"([["first"],["second"]])");
  EXPECT_EQ(member(report, "pending"), "0");
}

// Neither the page's runtime nor the native side leaves such a call waiting.
TEST_F(WebViewTest, CallToAnUnboundNameIsRejected) {
  const std::string report = runPage(page(R"(
    results.unknown = await settle(window.__webview__.call('missing', 1));
    window.__webview__.onBind('ghost');
    results.unknownNative = await settle(ghost());
    results.pending = window.__webview__.pendingCount();
  )"));

  EXPECT_EQ(member(report, "unknown"), R"({"rejected":"Error: No native function is bound to the name \"missing\""})");
  EXPECT_EQ(member(report, "unknownNative"), R"({"rejected":"No native function is bound to the name \"ghost\""})");
  EXPECT_EQ(member(report, "pending"), "0");
}

// Calls beyond the bounds are refused unread: the page learns why, and the
// view keeps answering. Each call is sent again by hand under the id the
// runtime gave it, read from the event that carries it.
TEST_F(WebViewTest, OversizedOrDeeplyNestedCallsAreRefused) {
  int held = 0;
  view->bind("hold", [&](const std::string&, const std::string&) { ++held; });
  view->bind("echo", [](const std::string& request) { return request; });

  const std::string report = runPage(page(R"(
    const resend = (text) => {
      let id;
      const listener = (event) => { id = JSON.parse(event.detail).id; };
      window.addEventListener('__webview__', listener);
      const call = settle(hold());
      window.removeEventListener('__webview__', listener);
      window.dispatchEvent(new CustomEvent('__webview__', { detail: text(id) }));
      return call;
    };
    const deep = '['.repeat(300000) + ']'.repeat(300000);
    results.deep = await resend((id) => `{"id":"${id}","method":"hold","params":${deep}}`);
    results.large = await resend((id) => `{"id":"${id}","method":"hold","params":["${'x'.repeat(1 << 20)}"]}`);
    results.broken = await resend((id) => `{"id":"${id}","method":"hold","params":[`);
    // Without an id that can be read, nobody is answered.
    window.dispatchEvent(new CustomEvent('__webview__', { detail: `{"params":${deep},"id":"late"}` }));
    results.after = await echo('still here');
  )"));

  EXPECT_EQ(member(report, "deep"), R"({"rejected":"The call is nested deeper than 64 levels"})");
  EXPECT_EQ(member(report, "large"), R"({"rejected":"The call is larger than 1048576 bytes"})");
  EXPECT_EQ(member(report, "broken"), R"({"rejected":"The call is not valid JSON"})");
  EXPECT_EQ(member(report, "after"), R"(["still here"])");
  EXPECT_EQ(held, 3);
}

// Each call is judged by the address of the page that makes it at that
// moment; page scripts cannot reach the native handler themselves.
TEST_F(WebViewTest, CallsFromPagesThePolicyRefusesAreRejected) {
  int echoes = 0;
  view->bind("echo", [&](const std::string& request) {
    ++echoes;
    return request;
  });
  view->setPolicy({[](const std::string& address) { return address.ends_with("#admitted"); }, {}});
  const std::string address = page(R"(
    results.handler = typeof window.webkit?.messageHandlers?.__webview__;
    results.refused = await settle(echo(1));
    history.replaceState(null, '', '#admitted');
    results.admitted = await settle(echo(2));
  )");

  const std::string report = runPage(address);
  EXPECT_EQ(member(report, "handler"), "\"undefined\"");
  EXPECT_EQ(member(report, "refused"), "{\"rejected\":\"Calls from " + address + " are not allowed\"}");
  EXPECT_EQ(member(report, "admitted"), R"({"value":[2]})");
  EXPECT_EQ(echoes, 1);
}

// The user clicks a link to a new window, which the view does not have:
// the address goes elsewhere. (A page script alone may not open windows.)
TEST_F(WebViewTest, NewWindowGoesElsewhere) {
  std::vector<std::string> elsewhere;
  view->setPolicy(
      {[](const std::string&) { return true; }, [&](const std::string& address) { elsewhere.push_back(address); }});
  runPage(page(R"(
    const link = document.createElement('a');
    link.href = 'https://example.invalid/new?x=1';
    link.target = '_blank';
    link.style = 'position: fixed; inset: 0';
    document.body.append(link);
  )"));
  GtkWidget* content = gtk_bin_get_child(GTK_BIN(view->window()));
  GdkDevice* pointer = gdk_seat_get_pointer(gdk_display_get_default_seat(gtk_widget_get_display(content)));
  for (const GdkEventType type : {GDK_BUTTON_PRESS, GDK_BUTTON_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(content)));
    event->button.x = 20;
    event->button.y = 20;
    event->button.button = 1;
    event->button.time = GDK_CURRENT_TIME;
    gdk_event_set_device(event, pointer);
    gtk_widget_event(content, event);
    gdk_event_free(event);
  }
  iterateUntil([&] { return !elsewhere.empty(); });
  EXPECT_EQ(elsewhere, std::vector<std::string>{"https://example.invalid/new?x=1"});
}

// Init scripts registered before a binding still run after it, in their
// own order, once per page load.
TEST_F(WebViewTest, InitScriptsRunAfterTheBindingsOncePerPage) {
  int initCalls = 0;
  view->init("window.seen = [typeof window.__webview__, typeof window.report, typeof window.count];\n"
             "window.count();");
  view->init("window.seen.push('second');");
  view->bind("count", [&](const std::string&) {
    ++initCalls;
    return std::string("true");
  });

  const std::string scenario = "results.seen = window.seen;";
  const std::string first = runPage(page(scenario, "first.html"));
  EXPECT_EQ(initCalls, 1);
  const std::string second = runPage(page(scenario, "second.html"));
  EXPECT_EQ(initCalls, 2);
  EXPECT_EQ(member(first, "seen"), R"(["object","function","function","second"])");
  EXPECT_EQ(member(second, "seen"), R"(["object","function","function","second"])");
}

// The name is announced to the page before the answer that lets it call.
TEST_F(WebViewTest, BindingAddedWhileAPageIsShownReachesIt) {
  view->bind("ready", [&](const std::string&) {
    view->bind("late", [](const std::string&) { return std::string("\"late answer\""); });
    return std::string("true");
  });

  const std::string report = runPage(page(R"(
    results.before = typeof window.late;
    await ready();
    results.late = await late();
  )"));

  EXPECT_EQ(member(report, "before"), "\"undefined\"");
  EXPECT_EQ(member(report, "late"), "\"late answer\"");
}

TEST_F(WebViewTest, TitleAndSizeApplyToTheWindow) {
  GtkWindow* window = GTK_WINDOW(view->window());
  GtkWidget* content = gtk_bin_get_child(GTK_BIN(window));
  ASSERT_NE(content, nullptr);
  auto sizeIs = [&](int width, int height) {
    int w = 0;
    int h = 0;
    gtk_window_get_size(window, &w, &h);
    return w == width && h == height;
  };

  view->set_title("AtelionWebView");
  EXPECT_STREQ(gtk_window_get_title(window), "AtelionWebView");

  view->set_size(500, 300, SizeHint::Fixed);
  EXPECT_FALSE(gtk_window_get_resizable(window));
  iterateUntil([&] {
    return sizeIs(500, 300) && gtk_widget_get_allocated_width(content) == 500 &&
           gtk_widget_get_allocated_height(content) == 300;
  });

  view->set_size(320, 240, SizeHint::None);
  EXPECT_TRUE(gtk_window_get_resizable(window));
  iterateUntil([&] { return sizeIs(320, 240); });

  view->set_size(400, 300, SizeHint::Min);
  gtk_window_resize(window, 500, 100);
  iterateUntil([&] { return sizeIs(500, 300); });

  view->set_size(200, 150, SizeHint::Max);
  gtk_window_resize(window, 100, 1000);
  iterateUntil([&] { return sizeIs(100, 150); });
}

TEST_F(WebViewTest, RunEndsOnTerminateFromAnyThreadOrOnClose) {
  std::thread other([&] { view->terminate(); });
  view->run();
  other.join();
  EXPECT_FALSE(timedOut);

  GtkWindow* window = GTK_WINDOW(view->window());
  ASSERT_TRUE(gtk_widget_get_visible(GTK_WIDGET(window)));
  gtk_window_close(window);
  view->run();
  EXPECT_FALSE(timedOut);
  EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(window)));
}

// A worker may answer after the view is gone: the answer is dropped, in
// flight or not (AddressSanitizer checks that nothing freed is touched).
TEST_F(WebViewTest, AnswerAfterTheViewIsDestroyedIsDropped) {
  std::string pendingId;
  view->bind("hold", [&](const std::string& id, const std::string&) {
    pendingId = id;
    view->terminate();
  });
  view->navigate(page("results.held = await hold();"));
  view->run();
  ASSERT_FALSE(timedOut);
  ASSERT_FALSE(pendingId.empty());

  const Resolver resolver = view->resolver();
  std::thread([&] { resolver.resolve(pendingId, 0, "true"); }).join();  // queued, not yet delivered
  view.reset();
  std::thread([&] { resolver.resolve(pendingId, 0, "false"); }).join();
  drainIdle();
  EXPECT_TRUE(reports.empty());
}

TEST(BrowserMap, FirstMatchingPrefixIsReplaced) {
  const char* map = "https://www.example.com/page=http://127.0.0.1:8080/local  https://=file:///x/ bad-pair =nothing";
  EXPECT_EQ(mapAddress("https://www.example.com/page?a=1", map), "http://127.0.0.1:8080/local?a=1");
  EXPECT_EQ(mapAddress("https://other.org/y", map), "file:///x/other.org/y");
  EXPECT_EQ(mapAddress("http://plain/", map), "http://plain/");
  // Only whole host names and path parts are replaced.
  const char* host = "https://www.example.com=http://127.0.0.1:1";
  EXPECT_EQ(mapAddress("https://www.example.com.evil.net/", host), "https://www.example.com.evil.net/");
  EXPECT_EQ(mapAddress("https://www.example.com", host), "http://127.0.0.1:1");
  EXPECT_EQ(mapAddress("https://www.example.com#top", host), "http://127.0.0.1:1#top");
  EXPECT_EQ(mapAddress("https://www.example.com/pages", "https://www.example.com/page=x"), "https://www.example.com/pages");
  EXPECT_EQ(mapAddress("http://plain/", nullptr), "http://plain/");
  EXPECT_EQ(mapAddress("http://plain/", ""), "http://plain/");
}

}  // namespace
}  // namespace cvimp::webview
