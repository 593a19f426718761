#include "bench/peak_memory.h"

#include <fstream>
#include <sstream>
#include <string>

namespace cvimp::bench {

namespace {

// A "Vm..." line of /proc/self/status, in bytes.
std::optional<std::uint64_t> statusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(key + ":")) {
      std::istringstream fields(line.substr(key.size() + 1));
      std::uint64_t kilobytes = 0;
      if (fields >> kilobytes) return kilobytes * 1024;
    }
  }
  return std::nullopt;
}

}  // namespace

PeakMemory startPeak() {
  PeakMemory memory;
  std::ofstream clearRefs("/proc/self/clear_refs");
  clearRefs << "5";
  clearRefs.flush();
  memory.reset = static_cast<bool>(clearRefs);
  memory.baseline = statusBytes("VmRSS");
  return memory;
}

void endPeak(PeakMemory& memory) { memory.peak = statusBytes("VmHWM"); }

}  // namespace cvimp::bench
