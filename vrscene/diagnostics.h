#pragma once
// The scene reader's diagnostics: single lines on the process's standard output.
#include <cstddef>

namespace cvimp {

// Every parser message goes through here (printf-style); a breakpoint here
// stops at the first diagnostic of a load.
void vrpPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));

// "[ERROR] Unknown value type: %zu\n" for a value whose alternative index is
// not one of the six.
void printUnknownValueType(std::size_t typeIndex);

}  // namespace cvimp
