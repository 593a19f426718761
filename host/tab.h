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
    if (items != nullptr && count > 0) items_.insert(items_.end(), items, items + count);
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
