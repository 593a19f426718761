#pragma once
// One host object (triangle mesh or editable poly) in GPU buffers, uploaded
// once and shared by every node that shows it. A mesh whose normals and UVs
// are indexed like its points, as the platform exports them, goes up
// straight from the host's arrays; any other is split into corners first.
// Needs a current OpenGL 3.3 context.
#include <cstddef>
#include <memory>

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

  void drawFaces() const;
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
  bool direct_ = false;
  bool hasNormals_ = false, hasUvs_ = false;
  int uvChannel_ = 0;
  host::Box box_;
  std::size_t bytes_ = 0;
};

}  // namespace maxhost::viewport
