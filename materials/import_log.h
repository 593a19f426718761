#pragma once
// The import's diagnostic log: an 8-bit text file that the scene builder and
// the material and texture conversion write lines to. Opened by the import
// driver for one import; lines are dropped when no log is open.
#include <string>

#include "platform/platform.h"

namespace cvimp {

class ImportLog {
 public:
  // Opens `path` for appending; check isOpen().
  explicit ImportLog(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }
  // printf-style; the text is written as it stands.
  void write(const char* format, ...) __attribute__((format(printf, 2, 3)));

 private:
  platform::File file_;
};

// Writes to `log` when it is open; does nothing otherwise.
void logLine(ImportLog* log, const std::string& line);

}  // namespace cvimp
