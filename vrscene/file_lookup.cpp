#include "vrscene/file_lookup.h"

#include <filesystem>
#include <system_error>

namespace cvimp {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

bool isExistingFile(const std::string& path) {
  // A zero byte inside a name from the scene would silently cut it short.
  if (path.find('\0') != std::string::npos) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

std::string joinPath(std::string_view directory, std::string_view name) {
  const bool directoryEnds = !directory.empty() && isSeparator(directory.back());
  const bool nameStarts = !name.empty() && isSeparator(name.front());
  std::string joined(directory);
  if (directoryEnds && nameStarts) {
    joined.append(name.substr(1));
  } else {
    if (!directoryEnds && !nameStarts) joined.push_back('/');
    joined.append(name);
  }
  return joined;
}

std::string resolveFile(const std::string& name, const SearchDirectories& directories) {
  if (name.empty()) return {};
  if (isExistingFile(name)) return name;
  for (const std::string& directory : directories) {
    // An empty directory (a relative scene path has no root) would turn the
    // name into a path at the file system's root.
    if (directory.empty()) continue;
    std::string candidate = joinPath(directory, name);
    if (isExistingFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace cvimp
