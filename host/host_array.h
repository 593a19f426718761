#pragma once
// An array of the host's scene data whose index operator never reaches
// outside it: an index out of range is journaled and lands on a scratch
// element, so bad input cannot corrupt the host's memory.
#include <string>
#include <vector>

#include "host/journal.h"

namespace host {

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
  const std::vector<T>& items() const { return items_; }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

 private:
  T& reject(long long i) {
    journal().record("IndexRejected",
                     std::string(name_) + "[" + std::to_string(i) + "] of " + std::to_string(items_.size()));
    scratch_ = T();
    return scratch_;
  }

  const char* name_;
  std::vector<T> items_;
  T scratch_{};
};

}  // namespace host
