#include "cli/file_output.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "builder/builder.h"
#include "platform/platform.h"
#include "vrscene/vrscene.h"

namespace cvimp {

bool writeTextFile(const std::string& path, const std::string& text) {
  std::ofstream out(platform::pathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

std::string sceneFileProblem(const std::string& scenePath) {
  const std::string found = resolveFile(scenePath, buildSearchDirectories(scenePath));
  if (!found.empty()) {
    errno = 0;
    // Opening is the only portable test of read permission.
    if (platform::openFile(found, "rb")) return {};
    return "cannot read the scene file \"" + found + "\": " + std::strerror(errno != 0 ? errno : EACCES);
  }
  std::error_code error;
  std::string reason;
  if (std::filesystem::is_directory(platform::pathFromUtf8(scenePath), error)) {
    reason = std::make_error_code(std::errc::is_a_directory).message();
  } else {
    errno = 0;
    const platform::File file = platform::openFile(scenePath, "rb");
    reason = std::strerror(errno != 0 ? errno : ENOENT);
  }
  return "cannot find the scene file \"" + scenePath + "\": " + reason;
}

}  // namespace cvimp
