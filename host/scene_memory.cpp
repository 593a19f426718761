#include "host/scene_memory.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <new>

#include "platform/platform.h"

namespace host {

namespace {

constexpr std::size_t kSmallBytes = std::size_t{64} << 10;  // below: the heap
constexpr std::size_t kBlockBytes = std::size_t{32} << 20;
constexpr std::size_t kOwnBlockBytes = kBlockBytes / 4;  // from: a mapping of its own
constexpr std::size_t kAlignment = 64;

struct Block {
  std::uint8_t* start;
  std::size_t used;
  std::size_t live;  // arrays not yet freed
};

struct Blocks {
  std::mutex lock;
  std::map<std::uintptr_t, Block> byStart;
  Block* current = nullptr;
};

// Never destroyed: arrays of the scene may be freed during exit, after
// any static object made later than the scene.
Blocks& blocks() {
  alignas(Blocks) static unsigned char storage[sizeof(Blocks)];
  static Blocks* all = ::new (storage) Blocks;
  return *all;
}

}  // namespace

void* allocateSceneBytes(std::size_t bytes, bool& zeroed) {
  zeroed = false;
  if (bytes < kSmallBytes) return ::operator new(bytes);
  zeroed = true;  // blocks are never carved twice
  if (bytes >= kOwnBlockBytes) {
    void* pages = cvimp::platform::allocatePages(bytes);
    if (pages == nullptr) throw std::bad_alloc();
    return pages;
  }
  const std::size_t rounded = (bytes + kAlignment - 1) / kAlignment * kAlignment;
  Blocks& all = blocks();
  std::lock_guard<std::mutex> guard(all.lock);
  if (all.current == nullptr || all.current->used + rounded > kBlockBytes) {
    auto* start = static_cast<std::uint8_t*>(cvimp::platform::allocatePages(kBlockBytes));
    if (start == nullptr) throw std::bad_alloc();
    Block& block = all.byStart[reinterpret_cast<std::uintptr_t>(start)];
    block = {start, 0, 0};
    // The block given up stays until its last array goes.
    if (all.current != nullptr && all.current->live == 0) {
      cvimp::platform::freePages(all.current->start, kBlockBytes);
      all.byStart.erase(reinterpret_cast<std::uintptr_t>(all.current->start));
    }
    all.current = &block;
  }
  void* items = all.current->start + all.current->used;
  all.current->used += rounded;
  all.current->live += 1;
  return items;
}

void freeSceneBytes(void* items, std::size_t bytes) {
  if (items == nullptr) return;
  if (bytes < kSmallBytes) {
    ::operator delete(items);
    return;
  }
  if (bytes >= kOwnBlockBytes) {
    cvimp::platform::freePages(items, bytes);
    return;
  }
  Blocks& all = blocks();
  std::lock_guard<std::mutex> guard(all.lock);
  auto found = all.byStart.upper_bound(reinterpret_cast<std::uintptr_t>(items));
  if (found == all.byStart.begin()) return;
  Block& block = (--found)->second;
  if (--block.live != 0) return;
  // An empty block goes, the current one too: memory is never carved twice,
  // so what is carved is always fresh.
  if (&block == all.current) all.current = nullptr;
  cvimp::platform::freePages(block.start, kBlockBytes);
  all.byStart.erase(found);
}

}  // namespace host
