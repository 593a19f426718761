#pragma once
// The loader's parallel loop: every index once, the calling thread taking
// part and waiting for all. A single index runs on the calling thread.
#include <cstddef>
#include <functional>

namespace cvimp {

void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body);

}  // namespace cvimp
