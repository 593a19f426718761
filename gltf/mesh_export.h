#pragma once
// A host object (triangle mesh or editable poly) as glTF vertex data:
// triangles over vertices that carry one position, normal and UV per set,
// corners split where normals or UVs differ. Read twice, once to lay out the
// file and once to write it, so that little of it is held at a time. A mesh
// whose normals and UVs are indexed like its points, as the platform exports
// them, is written straight from the host's arrays, in pieces of any size and
// on any thread; any other object is built whole, on the host's thread.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "gltf/node_transform.h"
#include "host/max.h"

namespace cvimp::gltf {

// What the file's layout needs of an object, and what its export leaves out.
struct MeshSummary {
  bool direct = false;  // the host's arrays serve as they are
  std::uint32_t vertexCount = 0;
  std::uint64_t indexCount = 0;  // 3 per triangle
  bool normals = false;
  std::uint32_t uvSets = 0;  // map channels 1, 2, ... that pair with the faces
  std::array<float, 3> min{}, max{};  // of the positions
  std::uint64_t replacedNormals = 0;    // zero, non-finite or missing normals given their face's
  std::uint64_t replacedPositions = 0;  // NaN or infinite coordinates written as 0
  std::uint64_t skippedFaces = 0;       // faces with a vertex or UV index outside its array
  std::uint64_t skippedChannels = 0;    // channels that do not pair with the faces
  // Written grouped by face material ID: the triangles of each ID, in
  // ascending ID order, their indices in that order. Empty otherwise.
  std::vector<std::pair<MtlID, std::uint64_t>> groups;
  // The direct form's faces in written order when grouping moves them;
  // empty: as the mesh holds them.
  std::vector<std::uint32_t> order;

  // In the binary chunk: positions, normals, UV sets, then indices.
  std::uint64_t bytes() const {
    return std::uint64_t{vertexCount} * (12 + (normals ? 12 : 0) + 8 * std::uint64_t{uvSets}) + indexCount * 4;
  }
};

// The direct form, when the object allows it. Reads the object and nothing
// else, so it may run on a worker thread. `grouped`: triangles grouped by
// face material ID.
bool summarizeDirect(Object& object, const Frame& frame, const std::optional<Mat3>& bake, bool grouped,
                     MeshSummary& out);
// Any object, built whole (`bake`, host rows, applied to the points first,
// with normals to match, and the winding reversed when it mirrors). False
// for an object of any other class.
bool summarizeBuilt(Object& object, const Frame& frame, const std::optional<Mat3>& bake, bool grouped,
                    MeshSummary& out);

// The binary data of a direct object by sections, in file order; an element
// is a vertex, or a triangle's three indices.
enum class Section { Positions, Normals, Uvs, Indices };
constexpr std::size_t sectionStride(Section section) {
  return section == Section::Uvs ? 8 : 12;
}
// Elements [first, first + count) of a section (of UV set `set`) into `to`;
// triangles in `summary.order` when it has one. False when the object no
// longer holds them. May run on a worker thread.
bool encodeDirect(Object& object, const Frame& frame, const MeshSummary& summary, Section section, std::uint32_t set,
                  std::size_t first, std::size_t count, std::uint8_t* to);
// A built object's binary data, `summary.bytes()` of them, into `to`,
// grouped when `summary` is. False when the object no longer gives what
// `summary` says.
bool encodeBuilt(Object& object, const Frame& frame, const std::optional<Mat3>& bake, const MeshSummary& summary,
                 std::uint8_t* to);

}  // namespace cvimp::gltf
