#include "vrscene/definition_path.h"

#include <algorithm>

namespace cvimp {

DefinitionPath::DefinitionPath(std::initializer_list<std::uint64_t> items) {
  for (std::uint64_t item : items) push_back(item);
}

void DefinitionPath::push_back(std::uint64_t item) {
  if (count_ < kInline) {
    inlineItems_[count_++] = item;
    return;
  }
  if (count_ == kInline) spilled_.assign(inlineItems_.begin(), inlineItems_.end());
  spilled_.push_back(item);
  ++count_;
}

DefinitionPath DefinitionPath::appended(std::uint64_t item) const {
  DefinitionPath result = *this;
  result.push_back(item);
  return result;
}

int compareCommon(const DefinitionPath& a, const DefinitionPath& b) {
  std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}

bool documentOrderLess(const DefinitionPath& a, const DefinitionPath& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

bool operator==(const DefinitionPath& a, const DefinitionPath& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace cvimp
