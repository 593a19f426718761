#pragma once
// The import's diagnostic log: an 8-bit text file named by
// CVIMP_LOG_FILENAME, opened for one import and appended to, that the scene
// builder and the material and texture conversion write lines to; and the
// import's report, which it collects whether a file is open or not.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "report/report.h"

namespace cvimp {

class ImportLog {
 public:
  // Opens `path` for appending; check isOpen().
  explicit ImportLog(const std::string& path);
  // No file: lines are dropped, the report collects.
  ImportLog() = default;
  bool isOpen() const { return file_ != nullptr; }
  Report& report() { return report_; }
  // Lines written from now on are also kept, until takeCapture() hands them
  // over: what one step said, for the report.
  void startCapture() { capturing_ = true; }
  std::vector<std::string> takeCapture();

 private:
  friend void logLine(ImportLog* log, const char* format, ...);
  platform::File file_;
  Report report_;
  bool capturing_ = false;
  std::vector<std::string> captured_;
};

// Every line of the import log goes through here, printf-style, written as
// it stands (the text brings its own newline); nothing when there is no open
// log. A breakpoint here stops at each line.
void logLine(ImportLog* log, const char* format, ...) CVIMP_PRINTF_FORMAT(2, 3);

// Adds an import loss to the log's report (nothing without a log). The log
// line that tells of it is written apart, in its own words.
void reportLoss(ImportLog* log, std::string_view kind, std::string_view subject, std::string_view detail = {});

// Opens the log named by CVIMP_LOG_FILENAME (unset or empty: none) and
// writes the design-ID line with `scenePath`. Null when there is no log or
// it cannot be opened.
std::unique_ptr<ImportLog> openImportLog(const std::string& scenePath);
void closeImportLog(std::unique_ptr<ImportLog>& log);

}  // namespace cvimp
