#pragma once
// The host's simple growable table.
#include <vector>

template <typename T>
class Tab {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Appends `count` elements read from `items`; returns the old count.
  int Append(int count, const T* items, int allocExtra = 0) {
    (void)allocExtra;
    const int old = Count();
    // One at a time: g++ 12 misreads a range insert here as an overflow.
    for (int i = 0; items != nullptr && i < count; ++i) items_.push_back(items[i]);
    return old;
  }
  void ZeroCount() { items_.clear(); }
  T& operator[](int i) { return items_.at(static_cast<std::size_t>(i)); }
  const T& operator[](int i) const { return items_.at(static_cast<std::size_t>(i)); }
  typename std::vector<T>::const_iterator begin() const { return items_.begin(); }
  typename std::vector<T>::const_iterator end() const { return items_.end(); }

 private:
  std::vector<T> items_;
};
