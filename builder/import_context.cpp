#include "builder/import_context.h"

#include <cstdlib>

#include "host/max.h"

namespace cvimp {

float importUnitFactor() { return static_cast<float>(1.0 / GetSystemUnitScale(UNITS_MILLIMETERS)); }

std::unique_ptr<ImportLog> openImportLog(const std::string& scenePath) {
  // The name is used as the bytes the environment holds: no round trip
  // through UTF-16 that could alter a name that is not valid UTF-8.
  const char* name = std::getenv("CVIMP_LOG_FILENAME");
  if (name == nullptr || *name == '\0') return nullptr;
  auto log = std::make_unique<ImportLog>(name);
  if (!log->isOpen()) return nullptr;
  log->write("=== design ID: %s\n", scenePath.c_str());
  return log;
}

void closeImportLog(std::unique_ptr<ImportLog>& log) { log.reset(); }

}  // namespace cvimp
