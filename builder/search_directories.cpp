#include <filesystem>
#include <system_error>

#include "builder/builder.h"

namespace cvimp {

SearchDirectories buildSearchDirectories(const std::string& scenePath) {
  const std::filesystem::path path(scenePath);
  std::error_code error;
  std::filesystem::path workingDirectory = std::filesystem::current_path(error);
  return {path.parent_path().string(), path.root_path().string(), error ? std::string() : workingDirectory.string()};
}

}  // namespace cvimp
