#include "vrscene/diagnostics.h"

#include <cstdarg>
#include <cstdio>

namespace cvimp {

void vrpPrint(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
}

void printUnknownValueType(std::size_t typeIndex) { vrpPrint("[ERROR] Unknown value type: %zu\n", typeIndex); }

}  // namespace cvimp
