#include "plugin/about_window.h"

#include <string>

#include "host/max.h"
#include "resources/resources.h"
#include "state/plugin_state.h"

namespace {

cvimp::PluginState* stateOf(HWND window) {
  return reinterpret_cast<cvimp::PluginState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

}  // namespace

std::intptr_t aboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      SetWindowLongPtrW(window, GWLP_USERDATA, lParam);
      auto* state = reinterpret_cast<cvimp::PluginState*>(lParam);
      if (state != nullptr) state->aboutWindow = window;
      Interface* core = GetCOREInterface();
      const auto icon = GetClassLongPtrW(core->GetMAXHWnd(), GCLP_HICONSM);
      SendMessageW(window, WM_SETICON, ICON_SMALL, static_cast<LPARAM>(icon));
      core->RegisterDlgWnd(window);
      CenterWindow(window, core->GetMAXHWnd());
      return TRUE;
    }
    case WM_CLOSE: {
      cvimp::PluginState* state = stateOf(window);
      if (state != nullptr && state->aboutWindow != nullptr) {
        const HWND about = state->aboutWindow;
        EndDialog(about, 0);
        DestroyWindow(about);
        state->aboutWindow = nullptr;
      }
      return TRUE;
    }
    case WM_DESTROY: {
      cvimp::PluginState* state = stateOf(window);
      if (state != nullptr && state->aboutWindow == window) {
        GetCOREInterface()->UnRegisterDlgWnd(window);
        state->aboutWindow = nullptr;
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
