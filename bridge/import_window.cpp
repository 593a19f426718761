#include "bridge/import_window.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <vector>

#include "host/gui/window_host.h"
#include "host/max.h"
#include "jobs/jobs.h"
#include "platform/platform.h"

namespace cvimp {

namespace {

constexpr int kCreateAttempts = 11;
constexpr DWORD kCreateRetryMilliseconds = 200;

struct WindowSettings {
  std::mutex lock;
  std::string addressOverride;
  BrowserFactory factory;
};

WindowSettings& settings() {
  static WindowSettings instance;
  return instance;
}

std::unique_ptr<webview::WebView> makeBrowser() {
  BrowserFactory factory;
  {
    std::lock_guard guard(settings().lock);
    factory = settings().factory;
  }
  if (factory) return factory();
  std::string error;
  return webview::WebView::create(false, error);
}

HWND browserWindow(const webview::WebView& browser) { return host::adoptNativeWindow(browser.window()); }

void fitBrowser(webview::WebView& browser, HWND window) {
  RECT client;
  GetClientRect(window, &client);
  const int width = static_cast<int>(client.right - client.left);
  const int height = static_cast<int>(client.bottom - client.top);
  browser.set_size(width, height, webview::SizeHint::Fixed);
  MoveWindow(browserWindow(browser), static_cast<int>(client.left), static_cast<int>(client.top), width, height, FALSE);
}

PluginState* stateOf(HWND window) { return reinterpret_cast<PluginState*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

void setUp(HWND window, PluginState& state) {
  state.importWindow = window;
  Interface* core = GetCOREInterface();
  const auto icon = GetClassLongPtrW(core->GetMAXHWnd(), GCLP_HICONSM);
  SendMessageW(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
  core->RegisterDlgWnd(window);
  CenterWindow(window, core->GetMAXHWnd());
  if (!state.frameworkStarted) state.frameworkStarted = true;

  std::string address;
  {
    std::lock_guard guard(settings().lock);
    address = settings().addressOverride;
  }
  if (address.empty()) address = platformPageAddress();
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    if (attempt > 0) Sleep(kCreateRetryMilliseconds);
    if (createBrowser(browserHost(), window, address)) return;
  }
  MessageBoxW(window, u"Error", u"Cannot create browser", MB_OK);
}

// An address the import window does not show opens in the user's browser;
// anything but a web address (a file, a program) is left alone.
void openInUsersBrowser(const std::string& address) {
  const std::string scheme = address.substr(0, address.find(':'));
  if (scheme != "http" && scheme != "https") return;
  const std::u16string text = platform::utf8ToUtf16(address);
  ShellExecuteW(nullptr, u"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void runJobMessage(HWND window, JobMessage& message) {
  // Only a job of a page still shown in this very window runs here.
  if (message.page == nullptr || message.page->window != window || !message.page->open) return;
  message.ran = true;
  PluginState* state = stateOf(window);
  if (state == nullptr) {
    message.succeeded = false;
    return;
  }
  WStr result;
  message.succeeded = runJob(*state, message.jobText, result);
  if (message.resultText != nullptr) *message.resultText = result.str();
}

}  // namespace

std::intptr_t importWindowProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
      if (auto* state = reinterpret_cast<PluginState*>(lParam)) setUp(window, *state);
      return TRUE;
    }
    case WM_SIZE:
      resizeBrowsers(browserHost(), window);
      return TRUE;
    case WM_CLOSE: {
      PluginState* state = stateOf(window);
      if (state != nullptr && state->importWindow != nullptr) {
        HWND importWindow = state->importWindow;
        EndDialog(importWindow, 0);
        DestroyWindow(importWindow);
        state->importWindow = nullptr;
      }
      return TRUE;
    }
    case WM_DESTROY: {
      destroyBrowsers(browserHost(), window);
      PluginState* state = stateOf(window);
      if (state != nullptr && state->importWindow == window) {
        GetCOREInterface()->UnRegisterDlgWnd(window);
        state->importWindow = nullptr;
      }
      return TRUE;
    }
    case WM_COMMAND:
      return TRUE;
    case kJobMessage:
      if (auto* job = reinterpret_cast<JobMessage*>(lParam)) runJobMessage(window, *job);
      return TRUE;
    default:
      return FALSE;
  }
}

bool createBrowser(BrowserHost& host, HWND window, const std::string& address) {
  std::unique_ptr<webview::WebView> browser = makeBrowser();
  if (!browser || browser->window() == nullptr) return false;
  HWND child = browserWindow(*browser);
  if (child == nullptr) return false;
  SetWindowLongPtrW(child, GWL_STYLE, WS_CHILD);
  SetParent(child, window);
  browser->set_title("AtelionWebView");
  fitBrowser(*browser, window);
  auto session = std::make_shared<PageSession>(window, browser->resolver());
  installBridge(*browser, session);
  const std::string opened = webview::mappedAddress(address);
  browser->setPolicy({[opened](const std::string& page) { return isBridgePage(page, opened); }, &openInUsersBrowser});
  browser->navigate(address);
  host.browsers.push_back({std::move(browser), std::move(session)});
  return true;
}

void resizeBrowsers(BrowserHost& host, HWND window) {
  for (const auto& browser : host.browsers) {
    if (browser.session->window == window) fitBrowser(*browser.view, window);
  }
}

// Out of the list before they go: what destroying a browser sets off
// finds the list whole.
void destroyBrowsers(BrowserHost& host, HWND window) {
  const auto leaving =
      std::stable_partition(host.browsers.begin(), host.browsers.end(),
                            [window](const PageBrowser& browser) { return browser.session->window != window; });
  std::vector<PageBrowser> gone(std::make_move_iterator(leaving), std::make_move_iterator(host.browsers.end()));
  host.browsers.erase(leaving, host.browsers.end());
  for (PageBrowser& browser : gone) {
    browser.session->open = false;
    browser.view.reset();
  }
}

void shutdownBrowsers(BrowserHost& host) {
  std::vector<PageBrowser> gone = std::move(host.browsers);
  host.browsers.clear();
  for (PageBrowser& browser : gone) {
    browser.session->open = false;
    if (browser.view) browser.view->terminate();
    browser.view.reset();
  }
}

void setPageAddressOverride(std::string address) {
  std::lock_guard guard(settings().lock);
  settings().addressOverride = std::move(address);
}

void setBrowserFactory(BrowserFactory factory) {
  std::lock_guard guard(settings().lock);
  settings().factory = std::move(factory);
}

}  // namespace cvimp
