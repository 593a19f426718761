#include "host/download_directory.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "host/host_state.h"
#include "host/host_types.h"
#include "host/wstr.h"
#include "platform/platform.h"

namespace host {

namespace fs = std::filesystem;

std::string defaultDownloadDirectory() {
  const std::string cache = cvimp::platform::userCacheDirectory();
  if (cache.empty()) return {};
  const fs::path folder = cvimp::platform::pathFromUtf8(cache) / "cvimp" / "downloads";
  std::error_code error;
  fs::create_directories(folder, error);
  return fs::is_directory(folder, error) ? cvimp::platform::utf8FromPath(folder) : std::string();
}

bool useDownloadDirectory(std::string folder, const char* program) {
  if (folder.empty()) folder = defaultDownloadDirectory();
  if (folder.empty()) {
    std::fprintf(stderr, "%s: no download directory: give one with --download-dir\n", program);
    return false;
  }
  std::error_code error;
  fs::create_directories(cvimp::platform::pathFromUtf8(folder), error);
  setDirectory(APP_DOWNLOAD_DIR, utf8ToUtf16(folder));
  return true;
}

}  // namespace host
