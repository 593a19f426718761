#include "bridge/import_window.h"

#include <cstdlib>
#include <mutex>

#include "jobs/dispatcher.h"
#include "host/core_interface.h"
#include "host/wstr.h"

#ifndef CVIMP_PLATFORM_DOMAIN
#define CVIMP_PLATFORM_DOMAIN "casavia.com"
#endif

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
  MoveWindow(browserWindow(browser), static_cast<int>(client.left), static_cast<int>(client.top), width, height,
             FALSE);
}

CvimpGUP* gupOf(HWND window) { return reinterpret_cast<CvimpGUP*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

void setUp(HWND window, CvimpGUP& gup) {
  gup.importWindow = window;
  Interface* core = GetCOREInterface();
  const auto icon = GetClassLongPtrW(core->GetMAXHWnd(), GCLP_HICONSM);
  SendMessageW(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
  core->RegisterDlgWnd(window);
  CenterWindow(window, core->GetMAXHWnd());
  if (!gup.frameworkStarted) gup.frameworkStarted = true;

  std::string address;
  {
    std::lock_guard guard(settings().lock);
    address = settings().addressOverride;
  }
  if (address.empty()) address = pageAddress(platformDomain());
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    if (attempt > 0) Sleep(kCreateRetryMilliseconds);
    if (createBrowser(browserHost(), window, address, gup)) return;
  }
  MessageBoxW(window, u"Error", u"Cannot create browser", MB_OK);
}

void runJobMessage(HWND window, JobMessage& message) {
  message.ran = true;
  CvimpGUP* gup = gupOf(window);
  if (gup == nullptr) {
    message.succeeded = false;
    return;
  }
  WStr result;
  message.succeeded = runJob(*gup, message.jobText, result);
  if (message.resultText != nullptr) *message.resultText = result.str();
}

}  // namespace

std::string platformDomain() { return CVIMP_PLATFORM_DOMAIN; }

std::string pageAddress(const std::string& domain) {
  const char* environment = std::getenv("CVIMP_IMPORT_ENV");
  const std::string subDomain = environment != nullptr && *environment != '\0' ? environment : "www";
  return "https://" + subDomain + "." + domain + "/pub/site/custom/3dsmax";
}

std::intptr_t importWindowProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
      if (auto* gup = reinterpret_cast<CvimpGUP*>(lParam)) setUp(window, *gup);
      return TRUE;
    }
    case WM_SIZE:
      resizeBrowsers(browserHost(), window);
      return TRUE;
    case WM_CLOSE: {
      CvimpGUP* gup = gupOf(window);
      if (gup != nullptr && gup->importWindow != nullptr) {
        HWND importWindow = gup->importWindow;
        EndDialog(importWindow, 0);
        DestroyWindow(importWindow);
        gup->importWindow = nullptr;
      }
      return TRUE;
    }
    case WM_DESTROY: {
      destroyBrowsers(browserHost());
      CvimpGUP* gup = gupOf(window);
      if (gup != nullptr && gup->importWindow == window) {
        GetCOREInterface()->UnRegisterDlgWnd(window);
        gup->importWindow = nullptr;
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

bool createBrowser(BrowserHost& host, HWND window, const std::string& address, CvimpGUP& gup) {
  std::unique_ptr<webview::WebView> browser = makeBrowser();
  if (!browser || browser->window() == nullptr) return false;
  HWND child = browserWindow(*browser);
  if (child == nullptr) return false;
  SetWindowLongPtrW(child, GWL_STYLE, WS_CHILD);
  SetParent(child, window);
  browser->set_title("AtelionWebView");
  fitBrowser(*browser, window);
  installBridge(*browser, gup, host);
  browser->navigate(address);
  host.browsers.push_back(std::move(browser));
  return true;
}

void resizeBrowsers(BrowserHost& host, HWND window) {
  for (const auto& browser : host.browsers) fitBrowser(*browser, window);
}

void destroyBrowsers(BrowserHost& host) {
  for (auto& browser : host.browsers) browser.reset();
  host.browsers.clear();
}

void shutdownBrowsers(BrowserHost& host) {
  for (auto& browser : host.browsers) {
    browser->terminate();
    browser.reset();
  }
  host.browsers.clear();
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
