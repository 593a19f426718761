#pragma once
// A host object (triangle mesh or editable poly) as glTF vertex data:
// triangles over vertices that carry one position, normal and UV per set,
// corners split where normals or UVs differ. Built the same way twice, once
// to lay out the file and once to write it, so that only one mesh is held at
// a time.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "gltf/node_transform.h"
#include "host/max.h"

namespace cvimp::gltf {

struct MeshBuffers {
  std::uint32_t vertexCount = 0;
  std::vector<float> positions;  // 3 per vertex, metres, Y up
  std::vector<float> normals;    // 3 per vertex, unit length; empty: none
  std::vector<std::vector<float>> uvSets;  // 2 per vertex each, V flipped; map channels 1, 2, ... in order
  std::vector<std::uint32_t> indices;      // 3 per triangle, counter-clockwise seen from outside
  std::array<float, 3> min{}, max{};       // of the positions
  std::uint64_t replacedNormals = 0;       // zero, non-finite or missing normals given their face's
  std::uint64_t replacedPositions = 0;     // NaN or infinite coordinates written as 0
  std::uint64_t skippedFaces = 0;          // faces with a vertex or UV index outside its array
  std::uint64_t skippedChannels = 0;       // channels that do not pair with the faces
};

// False for an object of any other class. `bake` (host rows) is applied to
// the points first, with normals to match, and the winding reversed when it
// mirrors.
bool buildMeshBuffers(Object& object, const Frame& frame, const std::optional<Mat3>& bake, MeshBuffers& out);

}  // namespace cvimp::gltf
