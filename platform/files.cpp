#include <cstdio>

#include "platform/platform.h"

namespace cvimp::platform {

void FileCloser::operator()(std::FILE* file) const { std::fclose(file); }

bool closeFile(File& file) {
  if (!file) return false;
  return std::fclose(file.release()) == 0;
}

}  // namespace cvimp::platform
