#include "vrscene/file_lookup.h"

#include <filesystem>
#include <system_error>
#include <type_traits>

#include "platform/platform.h"

namespace cvimp {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Whether a file's name may be any bytes (POSIX), not UTF-16 (Windows).
constexpr bool kFileNamesAreBytes = std::is_same_v<std::filesystem::path::value_type, char>;

}  // namespace

bool isExistingFile(const std::string& path) {
  // A zero byte inside a name from the scene would silently cut it short.
  if (path.find('\0') != std::string::npos) return false;
  std::error_code error;
  return std::filesystem::is_regular_file(platform::pathFromUtf8(path), error);
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
  // The name as package extraction writes it (legacy code-page bytes mapped
  // to UTF-8); where names are bytes, then also as written, which may name
  // a file made by other means.
  std::vector<std::string> forms{platform::fileNameFromBytes(name)};
  if (kFileNamesAreBytes && forms.front() != name) forms.push_back(name);
  for (const std::string& form : forms) {
    if (isExistingFile(form)) return form;
  }
  for (const std::string& directory : directories) {
    // An empty directory (a relative scene path has no root) would turn the
    // name into a path at the file system's root.
    if (directory.empty()) continue;
    for (const std::string& form : forms) {
      std::string candidate = joinPath(directory, form);
      if (isExistingFile(candidate)) return candidate;
    }
  }
  return {};
}

}  // namespace cvimp
