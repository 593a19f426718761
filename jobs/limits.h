#pragma once
// Bounds on what a job may fetch and write, so that a package, or a server,
// cannot fill the disk or hold the host for good.
#include <cstdint>

namespace cvimp {

inline constexpr std::uint64_t kGibibyte = std::uint64_t{1} << 30;

// The environment variable `name` read as a byte count, for administrators;
// `fallback` when it is unset or not a positive whole number (decimal
// digits only, within 64 bits).
std::uint64_t byteLimitFromEnvironment(const char* name, std::uint64_t fallback);

}  // namespace cvimp
