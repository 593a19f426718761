#pragma once
// Runs of the scene reader and of the whole import inside the benchmark's own
// process: time, CPU, and the peak resident memory a run adds to what the
// process held before it. Each throws std::runtime_error when its step fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "bench/document_digest.h"
#include "bench/peak_memory.h"
#include "host/stand_in.h"
#include "platform/platform.h"

namespace cvimp::bench {

struct LoaderRun {
  double loadSeconds = 0;
  double prebuildSeconds = 0;
  double seconds() const { return loadSeconds + prebuildSeconds; }
  platform::ProcessUsage usage;  // of this run
  PeakMemory memory;
  std::uint64_t textBytes = 0;  // kept by the scene
  std::size_t plugins = 0;
};

// loadScene + prebuildScene of `mainScene`, its directory searched for includes.
LoaderRun runLoader(const std::string& mainScene);

// The same with at most `threads` threads, and the digest of the document.
DocumentDigest loadAndDigest(const std::string& mainScene, int threads, double& seconds);

struct ImportRun {
  double seconds = 0;
  platform::ProcessUsage usage;  // of this run
  PeakMemory memory;
  host::SceneCounts counts;
  std::uint64_t meshBytes = 0;  // held by the host's meshes
  std::size_t journalEntries = 0;
};

// One import as `cvimp import --unit mm` runs it: meshes and materials, no
// quadrify, into an empty host scene, released before returning unless
// `keepScene`.
ImportRun runImport(const std::string& mainScene, bool keepScene = false);

}  // namespace cvimp::bench
