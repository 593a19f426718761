#pragma once
// The benchmark's interior design: a five-room flat (architecture, furniture,
// textiles, lights, tableware, books) written as a main scene file with
// include files, the way the platform exports a design. Deterministic: the
// same options always give the same bytes.
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace cvimp::bench {

struct DesignOptions {
  // Scales every segment count; the data grows with its square. The default
  // gives about 60 MB of text holding about 200 MB of packed data.
  double detail = 0.86;
  int zlibLevel = 6;
};

struct DesignTotals {
  std::uint64_t textBytes = 0;     // all files
  std::uint64_t decodedBytes = 0;  // uncompressed sizes of all packed lists
  std::uint64_t packedLists = 0;
  std::uint64_t triangles = 0;
  std::size_t files = 0;
  std::size_t meshes = 0;
  std::size_t nodes = 0;
  std::size_t materials = 0;
  std::size_t largestMeshBytes = 0;  // decoded
};

// Writes vr.vrscene and its include files into `directory`, creating it when
// needed. Throws std::runtime_error when a file cannot be written.
DesignTotals writeDesign(const std::filesystem::path& directory, const DesignOptions& options);

}  // namespace cvimp::bench
