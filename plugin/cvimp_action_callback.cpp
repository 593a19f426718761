#include "plugin/cvimp_action_callback.h"

#include <optional>
#include <string>

#include "bridge/bridge.h"
#include "builder/builder.h"
#include "host/max.h"
#include "platform/platform.h"
#include "plugin/about_window.h"
#include "plugin/cvimp_gup.h"
#include "plugin/module_instance.h"
#include "resources/resources.h"

namespace {

void openImportWindow(cvimp::PluginState& state) {
  // Every time, also when the window is already open.
  state.resetImportOptions();
  if (state.importWindow != nullptr) return;
  state.importWindow =
      CreateDialogParamW(moduleInstance(), cvimp::kImportDialogTemplate, GetCOREInterface()->GetMAXHWnd(),
                         &cvimp::importWindowProc, reinterpret_cast<LPARAM>(&state));
}

void openAddress(std::u16string_view address) {
  const std::u16string text(address);
  ShellExecuteW(nullptr, u"open", text.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// A developer's shortcut: with CVIMP_TEST_VRSCENE naming a scene file, the
// about command imports it with the options as they stand.
bool importTestScene(cvimp::PluginState& state) {
  const std::optional<std::string> scene = cvimp::platform::environmentVariable("CVIMP_TEST_VRSCENE");
  if (!scene || scene->empty()) return false;
  cvimp::JobSuspension suspension;
  state.scenePath = WStr::FromUTF8(scene->c_str());
  WStr result;
  cvimp::importDesign(state, result);
  suspension.resume();
  return true;
}

void showAboutWindow(cvimp::PluginState& state) {
  if (importTestScene(state) || state.aboutWindow != nullptr) return;
  state.aboutWindow = CreateDialogParamW(moduleInstance(), IDD_ABOUT, GetCOREInterface()->GetMAXHWnd(),
                                         &aboutWindowProc, reinterpret_cast<LPARAM>(&state));
}

}  // namespace

BOOL CvimpActionCallback::ExecuteAction(int id) {
  switch (id) {
    case ID_IMPORT:
      openImportWindow(*gup);
      return TRUE;
    case ID_QUADRIFY:
      cvimp::runQuadrifyScript();
      return TRUE;
    case ID_HELP:
      openAddress(cvimp::resources::helpArticleAddress());
      return TRUE;
    case ID_ABOUT:
      showAboutWindow(*gup);
      return TRUE;
    default:
      return FALSE;
  }
}
