#include "cli/window_command.h"

#include <cstdio>
#include <filesystem>

#include "bridge/bridge.h"
#include "cli/job_command.h"
#include "host/gui/window_host.h"
#include "host/gui/windows.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "resources/resources.h"
#include "state/plugin_state.h"

namespace cvimp {

int runWindow(const WindowOptions& options) {
  if (!host::useDownloadDirectory(options.downloadDir, "cvimp window")) return 1;
  host::registerDialogs(resources::dialogs());
  setPageAddressOverride(options.url);

  PluginState state;
  state.resetImportOptions();
  HWND window = CreateDialogParamW(nullptr, kImportDialogTemplate, GetCOREInterface()->GetMAXHWnd(), importWindowProc,
                                   reinterpret_cast<LPARAM>(&state));
  if (window == nullptr) {
    std::fprintf(stderr, "cvimp window: cannot open the import window (is there a display?)\n");
    return 1;
  }
  state.importWindow = window;
  host::runMainLoop();
  shutdownBrowsers(browserHost());
  return 0;
}

}  // namespace cvimp
