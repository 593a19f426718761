#pragma once
// The scene reader's diagnostics: single lines on the process's standard output.
#include <cstddef>

#include "vrscene/vrscene.h"

namespace cvimp {

// "[ERROR] Unknown value type: %zu\n" for a value whose alternative index is
// not one of the six.
void printUnknownValueType(std::size_t typeIndex);

}  // namespace cvimp
