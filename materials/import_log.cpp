#include "materials/import_log.h"

#include <cstdarg>

namespace cvimp {

ImportLog::ImportLog(const std::string& path) : file_(platform::openFile(path, "ab")) {}

void ImportLog::write(const char* format, ...) {
  if (!file_) return;
  std::va_list arguments;
  va_start(arguments, format);
  std::vfprintf(file_.get(), format, arguments);
  va_end(arguments);
  std::fflush(file_.get());
}

void logLine(ImportLog* log, const std::string& line) {
  if (log != nullptr) log->write("%s", line.c_str());
}

}  // namespace cvimp
