#include <filesystem>
#include <system_error>

#include "builder/builder.h"
#include "platform/platform.h"

namespace cvimp {

SearchDirectories buildSearchDirectories(const std::string& scenePath) {
  const std::filesystem::path path = platform::pathFromUtf8(scenePath);
  std::error_code error;
  const std::filesystem::path workingDirectory = std::filesystem::current_path(error);
  return {platform::utf8FromPath(path.parent_path()), platform::utf8FromPath(path.root_path()),
          error ? std::string() : platform::utf8FromPath(workingDirectory)};
}

}  // namespace cvimp
