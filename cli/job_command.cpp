#include "cli/job_command.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "cli/import_command.h"
#include "jobs/dispatcher.h"
#include "plugin/cvimp_gup.h"
#include "plugin/host/host_types.h"
#include "plugin/host/stand_in.h"
#include "plugin/host/wstr.h"

namespace cvimp {

namespace fs = std::filesystem;

std::string defaultDownloadDirectory() {
  fs::path cache;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/') {
    cache = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    cache = fs::path(home) / ".cache";
  } else {
    return {};
  }
  const fs::path folder = cache / "cvimp" / "downloads";
  std::error_code error;
  fs::create_directories(folder, error);
  return fs::is_directory(folder, error) ? folder.string() : std::string();
}

bool useDownloadDirectory(std::string folder, const char* command) {
  if (folder.empty()) folder = defaultDownloadDirectory();
  if (folder.empty()) {
    std::fprintf(stderr, "%s: no download directory: give one with --download-dir\n", command);
    return false;
  }
  std::error_code error;
  fs::create_directories(folder, error);
  host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(folder));
  return true;
}

bool runAndPrintJob(const std::string& jobText) {
  CvimpGUP gup;
  WStr result;
  bool succeeded = false;
  {
    InterruptAsCancel interrupt;
    succeeded = runJob(gup, host::utf8ToUtf16(jobText), result);
  }
  std::fflush(stdout);
  std::printf("Success: %s\nResult: %s\n", succeeded ? "true" : "false", result.ToACP().data());
  return succeeded;
}

int runJobCommand(const JobOptions& options) {
  std::string text = options.jobText;
  if (!options.jobFile.empty()) {
    std::ifstream in(options.jobFile, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cvimp: cannot read the job file \"%s\"\n", options.jobFile.c_str());
      return 1;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
  }
  if (!useDownloadDirectory(options.downloadDir, "cvimp job")) return 1;
  return runAndPrintJob(text) ? 0 : 1;
}

}  // namespace cvimp
