#include "vrscene/file_lookup.h"

#include <cctype>
#include <filesystem>
#include <system_error>
#include <type_traits>

#include "platform/platform.h"

namespace cvimp {

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// Whether a file's name may be any bytes (POSIX), not UTF-16 (Windows).
constexpr bool kFileNamesAreBytes = std::is_same_v<std::filesystem::path::value_type, char>;

// The name as package extraction writes it (legacy code-page bytes mapped
// to UTF-8); where names are bytes, then also as written, which may name
// a file made by other means.
std::vector<std::string> nameForms(const std::string& name) {
  std::vector<std::string> forms{platform::fileNameFromBytes(name)};
  if (kFileNamesAreBytes && forms.front() != name) forms.push_back(name);
  return forms;
}

std::string findIn(const std::string& directory, const std::vector<std::string>& forms) {
  for (const std::string& form : forms) {
    std::string candidate = joinPath(directory, form);
    if (isExistingFile(candidate)) return candidate;
  }
  return {};
}

bool isDriveForm(std::string_view name) {
  return name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' &&
         isSeparator(name[2]);
}

// A folder as a comparable path: normal form, no trailing separator.
std::filesystem::path comparable(const std::string& folder) {
  std::filesystem::path path = platform::pathFromUtf8(folder).lexically_normal();
  if (!path.has_filename() && path.has_relative_path()) path = path.parent_path();
  return path;
}

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
  const std::vector<std::string> forms = nameForms(name);
  for (const std::string& form : forms) {
    if (isExistingFile(form)) return form;
  }
  for (const std::string& directory : directories) {
    // An empty directory (a relative scene path has no root) would turn the
    // name into a path at the file system's root.
    if (directory.empty()) continue;
    std::string found = findIn(directory, forms);
    if (!found.empty()) return found;
  }
  return {};
}

bool isAbsoluteAnywhere(std::string_view name) {
  return (!name.empty() && isSeparator(name.front())) || isDriveForm(name);
}

std::vector<std::string> pathTails(std::string_view name) {
  if (!isAbsoluteAnywhere(name)) return {};
  std::vector<std::string_view> parts;
  bool climbed = false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") {
      parts.clear();  // what stands before it is not where the file lies
      climbed = true;
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  // The drive, or a network path's server and share, are the other machine's.
  std::size_t root = 0;
  if (isDriveForm(name)) {
    root = 1;
  } else if (name.size() >= 2 && isSeparator(name[0]) && isSeparator(name[1])) {
    root = 2;
  }
  if (climbed) root = 0;
  std::vector<std::string> tails;
  for (std::size_t first = std::min(root, parts.size()); first < parts.size(); ++first) {
    std::string tail;
    for (std::size_t i = first; i < parts.size(); ++i) {
      if (i > first) tail.push_back('/');
      tail.append(parts[i]);
    }
    tails.push_back(std::move(tail));
  }
  return tails;
}

std::vector<std::string> tailFolders(const std::vector<std::string>& nearFolders,
                                     const SearchDirectories& directories) {
  std::vector<std::string> folders;
  std::vector<std::filesystem::path> seen;
  auto add = [&](const std::string& folder) {
    if (folder.empty()) return;
    std::filesystem::path key = comparable(folder);
    for (const std::filesystem::path& other : seen) {
      if (other == key) return;
    }
    seen.push_back(std::move(key));
    folders.push_back(folder);
  };
  for (const std::string& folder : nearFolders) add(folder);
  std::error_code error;
  const std::filesystem::path working = std::filesystem::current_path(error);
  for (const std::string& directory : directories) {
    // A file from another machine is looked for near the scene, never
    // wherever the program happens to run.
    if (!error && !directory.empty() && comparable(directory) == working.lexically_normal()) continue;
    add(directory);
  }
  return folders;
}

std::string resolveByTails(const std::string& name, const std::vector<std::string>& nearFolders,
                           const SearchDirectories& directories) {
  const std::vector<std::string> tails = pathTails(name);
  if (tails.empty()) return {};
  std::vector<std::vector<std::string>> forms;
  for (const std::string& tail : tails) forms.push_back(nameForms(tail));
  for (const std::string& folder : tailFolders(nearFolders, directories)) {
    for (const std::vector<std::string>& tailForms : forms) {
      std::string found = findIn(folder, tailForms);
      if (!found.empty()) return found;
    }
  }
  return {};
}

}  // namespace cvimp
