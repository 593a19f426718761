#pragma once
// The benchmark's interior design: a five-room flat (architecture, furniture,
// textiles, lights, tableware, books), or several flats one above the other,
// written as a main scene file with include files, per room the way the
// platform exports a design or per category the way exporters split a scene.
// Deterministic: the same options always give the same bytes, and both
// layouts the same plugins.
#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace cvimp::bench {

// How the design's statements are spread over files.
enum class DesignLayout {
  Rooms,       // a main file including one file per room, as the platform exports a design
  Categories,  // a main file including one file each for geometry, nodes and materials, as exporters split a scene
};

// How the meshes' lists are written.
enum class ListStyle {
  Zipc,   // packed, as the platform writes them
  Hex,    // plain hex in "interpolate" forms, as V-Ray for Blender writes them
  Plain,  // numbers written out, faces as vectors of indices, as the App SDK writes them
};

struct DesignOptions {
  // Scales every segment count; the data grows with its square. The default
  // gives about 60 MB of text holding about 200 MB of packed data.
  double detail = 0.86;
  int zlibLevel = 6;
  // Flats stacked one above the other; each has its own files (in the room
  // layout), meshes and nodes, and all share the materials.
  int flats = 1;
  DesignLayout layout = DesignLayout::Rooms;
  // The same data in each style; the text is about 6.5 times the packed
  // design's in hex and written out alike.
  ListStyle lists = ListStyle::Zipc;
};

// `base` grown about `scale` times in text and packed data: ceil(sqrt(scale))
// flats, the rest in detail. Twice the size is two flats; four times, two
// flats with lists twice as long.
DesignOptions scaledDesign(double scale, DesignOptions base = {});

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
