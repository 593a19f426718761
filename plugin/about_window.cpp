#include "plugin/about_window.h"

#include <string>

#include "plugin/cvimp_gup.h"
#include "host/core_interface.h"
#include "host/shell.h"
#include "resources/resources.h"

namespace {

CvimpGUP* gupOf(HWND window) { return reinterpret_cast<CvimpGUP*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

}  // namespace

std::intptr_t aboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
      auto* gup = reinterpret_cast<CvimpGUP*>(lParam);
      if (gup != nullptr) gup->aboutWindow = window;
      Interface* core = GetCOREInterface();
      const auto icon = GetClassLongPtrW(core->GetMAXHWnd(), GCLP_HICONSM);
      SendMessageW(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
      core->RegisterDlgWnd(window);
      CenterWindow(window, core->GetMAXHWnd());
      return TRUE;
    }
    case WM_CLOSE: {
      CvimpGUP* gup = gupOf(window);
      if (gup != nullptr && gup->aboutWindow != nullptr) {
        const HWND about = gup->aboutWindow;
        EndDialog(about, 0);
        DestroyWindow(about);
        gup->aboutWindow = nullptr;
      }
      return TRUE;
    }
    case WM_DESTROY: {
      CvimpGUP* gup = gupOf(window);
      if (gup != nullptr && gup->aboutWindow == window) {
        GetCOREInterface()->UnRegisterDlgWnd(window);
        gup->aboutWindow = nullptr;
      }
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_USER_AGREEMENT) {
        const std::u16string address(cvimp::resources::userAgreementAddress());
        ShellExecuteW(nullptr, u"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
      }
      return TRUE;
    default:
      return FALSE;
  }
}
