#include "materials/import_log.h"

#include <cstdarg>
#include <cstdlib>

namespace cvimp {

ImportLog::ImportLog(const std::string& path) : file_(platform::openFile(path, "ab")) {}

void logLine(ImportLog* log, const char* format, ...) {
  if (log == nullptr || !log->file_) return;
  std::va_list arguments;
  va_start(arguments, format);
  std::vfprintf(log->file_.get(), format, arguments);
  va_end(arguments);
  std::fflush(log->file_.get());
}

std::unique_ptr<ImportLog> openImportLog(const std::string& scenePath) {
  // The name is used as the bytes the environment holds: no round trip
  // through UTF-16 that could alter a name that is not valid UTF-8.
  const char* name = std::getenv("CVIMP_LOG_FILENAME");
  if (name == nullptr || *name == '\0') return nullptr;
  auto log = std::make_unique<ImportLog>(name);
  if (!log->isOpen()) return nullptr;
  logLine(log.get(), "=== design ID: %s\n", scenePath.c_str());
  return log;
}

void closeImportLog(std::unique_ptr<ImportLog>& log) { log.reset(); }

}  // namespace cvimp
