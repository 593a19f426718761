#include "jobs/limits.h"

#include <limits>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace cvimp {

std::uint64_t byteLimitFromEnvironment(const char* name, std::uint64_t fallback) {
  const std::optional<std::string> text = platform::environmentVariable(name);
  if (!text || text->empty()) return fallback;
  std::uint64_t value = 0;
  for (const char* c = text->c_str(); *c != '\0'; ++c) {
    if (*c < '0' || *c > '9') return fallback;
    const auto digit = static_cast<std::uint64_t>(*c - '0');
    if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) return fallback;
    value = value * 10 + digit;
  }
  return value > 0 ? value : fallback;
}

}  // namespace cvimp
