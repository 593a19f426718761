#pragma once
// An array of the host's scene data whose index operator never reaches
// outside it: an index out of range is journaled and lands on a scratch
// element, so bad input cannot corrupt the host's memory.
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "host/journal.h"
#include "host/scene_memory.h"

namespace host {

// The scene's arrays take their memory from the scene's blocks.
template <typename T>
struct SceneAllocator {
  using value_type = T;
  SceneAllocator() = default;
  template <typename U>
  SceneAllocator(const SceneAllocator<U>&) {}

  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    return static_cast<T*>(allocateSceneBytes(n * sizeof(T)));
  }
  void deallocate(T* items, std::size_t n) { freeSceneBytes(items, n * sizeof(T)); }
  friend bool operator==(const SceneAllocator&, const SceneAllocator&) { return true; }
};

template <typename T>
using SceneVector = std::vector<T, SceneAllocator<T>>;

template <typename T>
class HostArray {
 public:
  explicit HostArray(const char* name) : name_(name) {}

  T& operator[](long long i) {
    if (i >= 0 && static_cast<unsigned long long>(i) < items_.size()) return items_[static_cast<std::size_t>(i)];
    return reject(i);
  }
  const T& operator[](long long i) const {
    if (i >= 0 && static_cast<unsigned long long>(i) < items_.size()) return items_[static_cast<std::size_t>(i)];
    return const_cast<HostArray*>(this)->reject(i);
  }
  int size() const { return static_cast<int>(items_.size()); }
  void resize(int count, bool keep) {
    if (!keep) items_.clear();
    items_.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
  }
  const SceneVector<T>& items() const { return items_; }
  typename SceneVector<T>::const_iterator begin() const { return items_.begin(); }
  typename SceneVector<T>::const_iterator end() const { return items_.end(); }

 private:
  T& reject(long long i) {
    journal().record("IndexRejected",
                     std::string(name_) + "[" + std::to_string(i) + "] of " + std::to_string(items_.size()));
    scratch_ = T();
    return scratch_;
  }

  const char* name_;
  SceneVector<T> items_;
  T scratch_{};
};

}  // namespace host
