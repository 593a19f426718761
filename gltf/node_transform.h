#pragma once
// From 3ds Max's frame (Z up, system units, row vectors) to glTF's (Y up,
// metres, column vectors): points, directions and node transforms.
#include <array>
#include <optional>

#include "host/max.h"

namespace cvimp::gltf {

using Vec3 = std::array<double, 3>;
using Mat3 = std::array<Vec3, 3>;  // rows

// The turn from Z up to Y up, (x, y, z) to (x, z, -y), with the system
// unit's length in metres.
struct Frame {
  double metres = 0.001;  // metres per system unit

  // A position in system units to glTF, in metres.
  Vec3 point(const Point3& p) const { return {p.x * metres, p.z * metres, -p.y * metres}; }
  // A direction (normals): turned, not scaled.
  static Vec3 direction(const Vec3& d) { return {d[0], d[2], -d[1]}; }
};

// A node's transform in glTF terms: translation, rotation, scale; or, when
// its axes are not perpendicular (shear), a linear part to bake into a copy
// of its mesh, with the translation alone left to the node.
struct NodeTransform {
  Vec3 translation{0, 0, 0};
  std::array<double, 4> rotation{0, 0, 0, 1};  // quaternion x, y, z, w
  Vec3 scale{1, 1, 1};
  bool mirrored = false;
  bool notFinite = false;  // the host's transform held a NaN or infinity: identity used
  bool noDirection = false;  // a view's -Z axis had no length: not turned
  // Set for shear: the node's linear part in the host's frame (rows as in
  // Matrix3), to apply to the mesh's points before the frame's turn.
  std::optional<Mat3> bake;
};

NodeTransform nodeTransform(const Matrix3& tm, const Frame& frame);

// A camera's or light's node: both applications look down local -Z with +Y
// up, so glTF's local axes are turned onto the host's own axes rather than
// onto their images in glTF's frame. Scale and shear are dropped (neither
// changes a view or a light); the -Z axis is kept exactly, +Y made
// perpendicular to it.
NodeTransform viewTransform(const Matrix3& tm, const Frame& frame);

}  // namespace cvimp::gltf
