#pragma once
// A digest of a loaded scene document: its plugins (names, types, attributes
// in order), every value with its nested forms, and the decoded bytes of
// every list, packed or plain. Loads that give the same document give the same digest;
// a change anywhere, down to one decoded byte, gives another.
#include <cstdint>
#include <string>

#include "vrscene/vrscene.h"

namespace cvimp::bench {

enum class PluginOrder {
  Document,  // the reader's document order
  ByName,    // for documents whose statements sit in other files
};

struct DocumentDigest {
  std::uint64_t hash = 0;
  std::uint64_t plugins = 0;
  std::uint64_t attributes = 0;
  std::uint64_t decodedLists = 0;
  std::uint64_t undecodedLists = 0;
  std::uint64_t decodedBytes = 0;

  bool operator==(const DocumentDigest&) const = default;
  std::string hex() const;  // 16 digits
};

DocumentDigest digestDocument(const VrpScene& scene, PluginOrder order = PluginOrder::Document);

}  // namespace cvimp::bench
