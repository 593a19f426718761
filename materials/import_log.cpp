#include "materials/import_log.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <optional>
#include <utility>

namespace cvimp {

ImportLog::ImportLog(const std::string& path) : file_(platform::openFile(path, "ab")) {}

void logLine(ImportLog* log, const char* format, ...) {
  if (log == nullptr) return;
  std::va_list arguments;
  if (log->capturing_) {
    va_start(arguments, format);
    char line[512];
    const int length = std::vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    if (length >= 0) log->captured_.emplace_back(line, std::min<std::size_t>(length, sizeof line - 1));
  }
  if (!log->file_) return;
  va_start(arguments, format);
  std::vfprintf(log->file_.get(), format, arguments);
  va_end(arguments);
  std::fflush(log->file_.get());
}

std::vector<std::string> ImportLog::takeCapture() {
  capturing_ = false;
  return std::exchange(captured_, {});
}

void reportLoss(ImportLog* log, std::string_view kind, std::string_view subject, std::string_view detail) {
  if (log != nullptr) log->report().add(ReportStage::Import, kind, subject, detail);
}

std::unique_ptr<ImportLog> openImportLog(const std::string& scenePath) {
  // The name is used as the bytes the environment holds: no round trip
  // through UTF-16 that could alter a name that is not valid UTF-8.
  const std::optional<std::string> name = platform::environmentVariable("CVIMP_LOG_FILENAME");
  if (!name || name->empty()) return nullptr;
  auto log = std::make_unique<ImportLog>(*name);
  if (!log->isOpen()) return nullptr;
  logLine(log.get(), "=== design ID: %s\n", scenePath.c_str());
  return log;
}

void closeImportLog(std::unique_ptr<ImportLog>& log) { log.reset(); }

}  // namespace cvimp
