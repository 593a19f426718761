#include <cstdlib>
#include <new>
#include <utility>

#include "platform/platform.h"

namespace cvimp::platform {

// Below kMappedBytes, the allocator's own pools serve better than fresh
// mappings.
ByteBlock::ByteBlock(std::size_t size) : size_(size) {
  if (size >= kMappedBytes) {
    data_ = static_cast<std::uint8_t*>(allocatePages(size));
    if (data_ == nullptr) throw std::bad_alloc();
    mapped_ = true;
    return;
  }
  data_ = static_cast<std::uint8_t*>(std::malloc(size == 0 ? 1 : size));
  if (data_ == nullptr) throw std::bad_alloc();
}

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)), mapped_(other.mapped_) {}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    mapped_ = other.mapped_;
  }
  return *this;
}

ByteBlock::~ByteBlock() { release(); }

void ByteBlock::release() {
  if (data_ == nullptr) return;
  if (mapped_) {
    freePages(data_, size_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
}

}  // namespace cvimp::platform
