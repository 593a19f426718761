#include <windows.h>

#include <cstdint>

#include "platform/platform.h"

namespace cvimp::platform {

namespace {

std::uintptr_t pageSize() {
  SYSTEM_INFO info{};
  ::GetSystemInfo(&info);
  return info.dwPageSize;
}

}  // namespace

// Committed at once: Windows charges the commit then and gives zero pages
// on first touch, as fresh mappings are elsewhere. Large pages need a
// privilege that users do not hold, so these are small pages.
void* allocatePages(std::size_t bytes) {
  return ::VirtualAlloc(nullptr, bytes == 0 ? 1 : bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

// Decommitted and committed again: the pages go back to the system and
// read as zero when touched next.
void releasePages(void* start, std::size_t bytes) {
  static const std::uintptr_t page = pageSize();
  const auto first = (reinterpret_cast<std::uintptr_t>(start) + page - 1) / page * page;
  const auto last = (reinterpret_cast<std::uintptr_t>(start) + bytes) / page * page;
  if (last <= first) return;
  void* pages = reinterpret_cast<void*>(first);
  if (::VirtualFree(pages, last - first, MEM_DECOMMIT)) ::VirtualAlloc(pages, last - first, MEM_COMMIT, PAGE_READWRITE);
}

void freePages(void* pages, std::size_t) {
  if (pages != nullptr) ::VirtualFree(pages, 0, MEM_RELEASE);
}

}  // namespace cvimp::platform
