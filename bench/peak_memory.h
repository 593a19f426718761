#pragma once
// The peak resident memory of a stretch of this process's run: the kernel's
// high-water mark restarted at its start and read at its end.
#include <algorithm>
#include <cstdint>
#include <optional>

namespace cvimp::bench {

struct PeakMemory {
  std::optional<std::uint64_t> baseline;  // resident at the start
  std::optional<std::uint64_t> peak;      // high-water mark since
  bool reset = false;                     // whether the mark could be restarted
  std::uint64_t growth() const { return peak ? *peak - std::min(*peak, baseline.value_or(0)) : 0; }
};

// Restarts the mark from the current resident set and notes that as the baseline.
PeakMemory startPeak();
// Reads the mark into `memory.peak`.
void endPeak(PeakMemory& memory);

}  // namespace cvimp::bench
