#include "cli/window_command.h"

#include <cstdio>
#include <filesystem>

#include "bridge/import_window.h"
#include "cli/job_command.h"
#include "plugin/cvimp_gup.h"
#include "plugin/host/core_interface.h"
#include "plugin/host/stand_in.h"
#include "plugin/host/windows.h"
#include "plugin/host/wstr.h"

namespace cvimp {

int runWindow(const WindowOptions& options) {
  std::string downloads = options.downloadDir.empty() ? defaultDownloadDirectory() : options.downloadDir;
  std::error_code error;
  if (!downloads.empty()) std::filesystem::create_directories(downloads, error);
  host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(downloads));
  host::registerDialogTemplate(kImportDialogTemplate, importDialogTemplate());
  setPageAddressOverride(options.url);

  CvimpGUP gup;
  gup.resetImportOptions();
  HWND window = CreateDialogParamW(nullptr, kImportDialogTemplate, GetCOREInterface()->GetMAXHWnd(),
                                   importWindowProc, reinterpret_cast<LPARAM>(&gup));
  if (window == nullptr) {
    std::fprintf(stderr, "cvimp window: cannot open the import window (is there a display?)\n");
    return 1;
  }
  gup.importWindow = window;
  host::runMainLoop();
  shutdownBrowsers(browserHost());
  return 0;
}

}  // namespace cvimp
