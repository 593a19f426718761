#pragma once
// The parsed scene document as JSON, as `cvimp inspect -o` writes it:
// values as stored ("interpolate" forms are not resolved), decoded packed
// lists with their elements.
#include <cstdint>
#include <string>
#include <vector>

#include "vrscene/vrscene.h"

namespace cvimp {

// Packed lists of a scene and how many of them hold decoded data.
struct PackedListStats {
  std::uint64_t lists = 0;
  std::uint64_t decoded = 0;
  std::uint64_t decodedBytes = 0;
};
PackedListStats countPackedLists(const VrpScene& scene);

// The document as JSON. `prebuilt` is absent (written as null) when the
// load failed and prebuild did not run.
std::string sceneDocumentJson(const VrpScene& scene, bool loaded, const bool* prebuilt,
                              const std::vector<VrpPlugin*>& orderedPlugins);

}  // namespace cvimp
