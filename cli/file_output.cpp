#include "cli/file_output.h"

#include <fstream>

#include "platform/platform.h"

namespace cvimp {

bool writeTextFile(const std::string& path, const std::string& text) {
  std::ofstream out(platform::pathFromUtf8(path), std::ios::binary | std::ios::trunc);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  out.close();
  return static_cast<bool>(out);
}

}  // namespace cvimp
