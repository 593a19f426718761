#pragma once
// The import's diagnostic log: an 8-bit text file named by
// CVIMP_LOG_FILENAME, opened for one import and appended to, that the scene
// builder and the material and texture conversion write lines to.
#include <memory>
#include <string>

#include "platform/platform.h"

namespace cvimp {

class ImportLog {
 public:
  // Opens `path` for appending; check isOpen().
  explicit ImportLog(const std::string& path);
  bool isOpen() const { return file_ != nullptr; }

 private:
  friend void logLine(ImportLog* log, const char* format, ...);
  platform::File file_;
};

// Every line of the import log goes through here, printf-style, written as
// it stands (the text brings its own newline); nothing when there is no open
// log. A breakpoint here stops at each line.
void logLine(ImportLog* log, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Opens the log named by CVIMP_LOG_FILENAME (unset or empty: none) and
// writes the design-ID line with `scenePath`. Null when there is no log or
// it cannot be opened.
std::unique_ptr<ImportLog> openImportLog(const std::string& scenePath);
void closeImportLog(std::unique_ptr<ImportLog>& log);

}  // namespace cvimp
