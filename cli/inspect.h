#pragma once
// cvimp inspect: load and prebuild a scene as an import would, print the
// parser's diagnostics and a summary, optionally write the document as JSON.
#include <cstdint>
#include <string>
#include <vector>

#include "vrscene/scene.h"

namespace cvimp {

struct InspectOptions {
  std::string scenePath;
  std::string outputPath;  // empty: no JSON
  bool verbose = false;    // print "Including" lines
};

// Exit status: 0 when load and prebuild both succeed, 1 otherwise.
int runInspect(const InspectOptions& options);

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
