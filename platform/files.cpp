#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace cvimp::platform {

void FileCloser::operator()(std::FILE* file) const { std::fclose(file); }

File openFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

bool closeFile(File& file) {
  if (!file) return false;
  return std::fclose(file.release()) == 0;
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
