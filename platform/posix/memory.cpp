#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/platform.h"

namespace cvimp::platform {

namespace {

// Mappings in whole huge pages: the kernel then places them on huge-page
// boundaries, where they can be backed by huge pages at all.
constexpr std::size_t kHugePage = std::size_t{2} << 20;

std::size_t mappedLength(std::size_t size) { return (size + kHugePage - 1) / kHugePage * kHugePage; }

}  // namespace

void* allocatePages(std::size_t bytes) {
  if (bytes > SIZE_MAX - kHugePage) return nullptr;
  void* pages = ::mmap(nullptr, mappedLength(bytes), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (pages == MAP_FAILED) return nullptr;
  // Only advice: on a system without huge pages the block is simply pages.
  // The part after the last whole huge page stays in small pages, so the
  // block takes no more memory than it holds.
  ::madvise(pages, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
  return pages;
}

void releasePages(void* start, std::size_t bytes) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = (reinterpret_cast<std::uintptr_t>(start) + page - 1) / page * page;
  const auto last = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

void freePages(void* pages, std::size_t bytes) {
  if (pages != nullptr) ::munmap(pages, mappedLength(bytes));
}

}  // namespace cvimp::platform
