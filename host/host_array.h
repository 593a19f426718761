#pragma once
// An array of the host's scene data whose index operator never reaches
// outside it: an index out of range is journaled and lands on a scratch
// element, so bad input cannot corrupt the host's memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <type_traits>
#include <utility>

#include "host/journal.h"
#include "host/scene_memory.h"

namespace host {

// Types whose default value is all zero bytes: an array of them in fresh
// memory from the scene's blocks is already made, and is first touched by
// whoever fills it, not by whoever sized it.
template <typename T>
inline constexpr bool kZeroIsDefault = std::is_arithmetic_v<T>;

template <typename T>
class HostArray {
 public:
  explicit HostArray(const char* name) : name_(name) {}
  HostArray(const HostArray& other) : name_(other.name_) {
    if (other.size_ == 0) return;
    bool zeroed = false;
    items_ = static_cast<T*>(allocateSceneBytes(other.size_ * sizeof(T), zeroed));
    std::uninitialized_copy(other.items_, other.items_ + other.size_, items_);
    size_ = other.size_;
  }
  HostArray(HostArray&& other) noexcept
      : name_(other.name_), items_(std::exchange(other.items_, nullptr)), size_(std::exchange(other.size_, 0)) {}
  HostArray& operator=(HostArray other) noexcept {
    std::swap(items_, other.items_);
    std::swap(size_, other.size_);
    return *this;
  }
  ~HostArray() { release(); }

  T& operator[](long long i) {
    if (i >= 0 && static_cast<unsigned long long>(i) < size_) return items_[static_cast<std::size_t>(i)];
    return reject(i);
  }
  const T& operator[](long long i) const {
    if (i >= 0 && static_cast<unsigned long long>(i) < size_) return items_[static_cast<std::size_t>(i)];
    return const_cast<HostArray*>(this)->reject(i);
  }
  int size() const { return static_cast<int>(size_); }
  // New elements take their default value; with `keep`, the old ones stay.
  void resize(int count, bool keep) {
    const std::size_t wanted = count > 0 ? static_cast<std::size_t>(count) : 0;
    if (wanted > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    T* fresh = nullptr;
    bool zeroed = false;
    if (wanted != 0) {
      fresh = static_cast<T*>(allocateSceneBytes(wanted * sizeof(T), zeroed));
    }
    const std::size_t kept = keep ? std::min(size_, wanted) : 0;
    for (std::size_t i = 0; i < kept; ++i) ::new (static_cast<void*>(fresh + i)) T(std::move(items_[i]));
    if (!(zeroed && kZeroIsDefault<T>)) {
      for (std::size_t i = kept; i < wanted; ++i) ::new (static_cast<void*>(fresh + i)) T();
    }
    release();
    items_ = fresh;
    size_ = wanted;
  }
  std::span<const T> items() const { return {items_, size_}; }
  const T* begin() const { return items_; }
  const T* end() const { return items_ + size_; }

 private:
  static_assert(std::is_trivially_destructible_v<T>, "scene arrays hold plain data");

  void release() {
    if (items_ != nullptr) freeSceneBytes(items_, size_ * sizeof(T));
    items_ = nullptr;
    size_ = 0;
  }

  T& reject(long long i) {
    journal().record("IndexRejected", std::string(name_) + "[" + std::to_string(i) + "] of " + std::to_string(size_));
    scratch_ = T();
    return scratch_;
  }

  const char* name_;
  T* items_ = nullptr;
  std::size_t size_ = 0;
  T scratch_{};
};

}  // namespace host
