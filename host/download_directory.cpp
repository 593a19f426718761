#include "host/download_directory.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "host/host_state.h"
#include "host/host_types.h"
#include "host/wstr.h"

namespace host {

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

bool useDownloadDirectory(std::string folder, const char* program) {
  if (folder.empty()) folder = defaultDownloadDirectory();
  if (folder.empty()) {
    std::fprintf(stderr, "%s: no download directory: give one with --download-dir\n", program);
    return false;
  }
  std::error_code error;
  fs::create_directories(folder, error);
  setDirectory(APP_DOWNLOAD_DIR, utf8ToUtf16(folder));
  return true;
}

}  // namespace host
