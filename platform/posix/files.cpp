#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace cvimp::platform {

File openFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

std::optional<std::uint64_t> fileSize(std::FILE* file) {
  if (file == nullptr || ::fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
  const off_t size = ::ftello(file);
  if (size < 0 || ::fseeko(file, 0, SEEK_SET) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(size);
}

bool replaceFile(const std::string& from, const std::string& to) {
  // A file renamed over another makes ext4 write it out at once and wait
  // for that (its guard for programs that do not flush), tens of
  // milliseconds for a large file; exchanged, it is written back later like
  // any other, and the old one, now under the temporary name, removed.
  struct stat target {};
  if (::lstat(to.c_str(), &target) == 0 && S_ISREG(target.st_mode) &&
      ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  return std::rename(from.c_str(), to.c_str()) == 0;
}

std::optional<std::uint64_t> availableBytes(const std::string& path) {
  std::filesystem::path place(path.empty() ? "." : path);
  std::error_code failure;
  // A folder about to be created is judged by the one it will be made in.
  while (!std::filesystem::exists(place, failure) && place.has_relative_path()) {
    place = place.parent_path();
    if (place.empty()) place = ".";
  }
  struct statvfs info {};
  if (::statvfs(place.c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * static_cast<std::uint64_t>(info.f_frsize);
}

std::string userCacheDirectory() {
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && *xdg == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return (std::filesystem::path(home) / ".cache").string();
  }
  return {};
}

std::string makeTemporaryDirectory(const std::string& prefix) {
  std::error_code failure;
  const std::filesystem::path base = std::filesystem::temp_directory_path(failure);
  if (failure) return {};
  std::string pattern = (base / (prefix + "XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

}  // namespace cvimp::platform
