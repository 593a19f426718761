#pragma once
// Where a plugin block stands in the document: the base path of its file
// followed by the block's statement index. The main file's base path is [0];
// an included file's base path is its includer's base path followed by the
// index of the include statement.
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace cvimp {

class DefinitionPath {
 public:
  DefinitionPath() = default;
  DefinitionPath(std::initializer_list<std::uint64_t> items);

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  std::uint64_t operator[](std::size_t i) const { return data()[i]; }
  const std::uint64_t* begin() const { return data(); }
  const std::uint64_t* end() const { return data() + count_; }

  void push_back(std::uint64_t item);
  DefinitionPath appended(std::uint64_t item) const;

 private:
  const std::uint64_t* data() const { return count_ <= kInline ? inlineItems_.data() : spilled_.data(); }

  // Paths up to eight deep (includes nested seven levels) need no heap.
  static constexpr std::size_t kInline = 8;
  std::array<std::uint64_t, kInline> inlineItems_{};
  std::vector<std::uint64_t> spilled_;  // all items, once there are more than kInline
  std::size_t count_ = 0;
};

// Compares over the common length only: negative when `a` is earlier at the
// first differing element, positive when later, 0 when no element differs.
int compareCommon(const DefinitionPath& a, const DefinitionPath& b);

// Document order as a total order (a prefix sorts first), for stable listings.
bool documentOrderLess(const DefinitionPath& a, const DefinitionPath& b);

bool operator==(const DefinitionPath& a, const DefinitionPath& b);

}  // namespace cvimp
