#pragma once
// One host object (triangle mesh or editable poly) in GPU buffers, uploaded
// once and shared by every node that shows it. A mesh whose normals and UVs
// are indexed like its points, as the platform exports them, goes up
// straight from the host's arrays; any other is split into corners first.
// Faces go up grouped by material ID, so that each group can be drawn with
// its own sub-material. Needs a current OpenGL 3.3 context.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"
#include "maxhost/viewport/gl_names.h"

namespace maxhost::viewport {

class GpuMesh {
 public:
  // Null for an object the viewport does not draw (or one without faces).
  static std::unique_ptr<GpuMesh> upload(Object& object);

  // Attribute locations of the vertex arrays.
  static constexpr GLuint kPosition = 0, kNormal = 1, kUv = 2;

  // The faces of one material ID: `count` elements from `first`.
  struct Group {
    MtlID id = 0;
    GLint first = 0;
    GLsizei count = 0;
  };
  // In ascending ID order; together they draw every face.
  const std::vector<Group>& groups() const { return groups_; }

  void drawFaces() const;
  void drawFaces(const Group& group) const;
  // The edges a modeller sees: visible triangle edges, or polygon sides.
  // Worked out from `object` (the one uploaded) on first use.
  void drawEdges(Object& object);

  const host::Box& box() const { return box_; }  // of the object's own points
  bool hasNormals() const { return hasNormals_; }
  bool hasUvs() const { return hasUvs_; }
  std::size_t triangles() const { return static_cast<std::size_t>(indexCount_ / 3); }
  std::size_t bytes() const { return bytes_; }

 private:
  gl::VertexArray faces_, edges_;
  gl::Buffer positions_, normals_, uvs_, indices_, edgeIndices_;
  GLsizei indexCount_ = 0, edgeCount_ = -1;  // -1: edges not worked out yet
  std::vector<Group> groups_;
  // Where each face of a triangle mesh is drawn, when grouping moved it;
  // empty: in its own place.
  std::vector<std::uint32_t> place_;
  bool direct_ = false;
  bool hasNormals_ = false, hasUvs_ = false;
  int uvChannel_ = 0;
  host::Box box_;
  std::size_t bytes_ = 0;
};

}  // namespace maxhost::viewport
