#include "gltf/node_transform.h"

#include <cmath>

namespace cvimp::gltf {

namespace {

double dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 cross(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Axes whose directions differ from perpendicular by more than this (the
// cosine of their angle) are sheared: transforms stored in single precision
// stay well within it.
constexpr double kPerpendicular = 1e-4;
// Shorter axes than this are degenerate: nothing to take a direction from.
constexpr double kShortest = 1e-12;

// Shepperd's method: a unit quaternion from a rotation matrix given by its
// columns, stable for every angle.
std::array<double, 4> quaternion(const Vec3& x, const Vec3& y, const Vec3& z) {
  const double m00 = x[0], m10 = x[1], m20 = x[2];
  const double m01 = y[0], m11 = y[1], m21 = y[2];
  const double m02 = z[0], m12 = z[1], m22 = z[2];
  const double trace = m00 + m11 + m22;
  std::array<double, 4> q{};
  if (trace > 0) {
    const double s = std::sqrt(trace + 1.0) * 2;
    q = {(m21 - m12) / s, (m02 - m20) / s, (m10 - m01) / s, 0.25 * s};
  } else if (m00 > m11 && m00 > m22) {
    const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2;
    q = {0.25 * s, (m01 + m10) / s, (m02 + m20) / s, (m21 - m12) / s};
  } else if (m11 > m22) {
    const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2;
    q = {(m01 + m10) / s, 0.25 * s, (m12 + m21) / s, (m02 - m20) / s};
  } else {
    const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2;
    q = {(m02 + m20) / s, (m12 + m21) / s, 0.25 * s, (m10 - m01) / s};
  }
  // One sign for the same turn, whatever branch found it.
  if (q[3] < 0) {
    for (double& c : q) c = -c;
  }
  const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
  for (double& c : q) c /= length;
  return q;
}

Vec3 scaled(const Vec3& v, double s) { return {v[0] * s, v[1] * s, v[2] * s}; }

// `v` without its part along the unit vector `z`, made unit length; false
// when nothing is left.
bool perpendicular(Vec3 v, const Vec3& z, Vec3& out) {
  const double along = dot(v, z);
  for (int k = 0; k < 3; ++k) v[k] -= along * z[k];
  const double length = std::sqrt(dot(v, v));
  if (!(length > 1e-6)) return false;
  out = scaled(v, 1.0 / length);
  return true;
}

}  // namespace

NodeTransform nodeTransform(const Matrix3& tm, const Frame& frame) {
  NodeTransform result;
  for (int row = 0; row < 4; ++row) {
    const Point3 r = tm.GetRow(row);
    if (!std::isfinite(r.x) || !std::isfinite(r.y) || !std::isfinite(r.z)) {
      result.notFinite = true;
      return result;
    }
  }
  result.translation = frame.point(tm.GetRow(3));
  // The images of the host's x, y and z axes, turned into glTF's frame: the
  // host's z axis becomes glTF's y, its y glTF's -z. These are the columns
  // of C L C^T with L the host's linear part.
  Vec3 axes[3];
  const int order[3] = {0, 2, 1};
  const double sign[3] = {1, 1, -1};
  for (int i = 0; i < 3; ++i) {
    const Point3 row = tm.GetRow(order[i]);
    const Vec3 turned = Frame::direction({row.x, row.y, row.z});
    for (int k = 0; k < 3; ++k) axes[i][k] = sign[i] * turned[k];
  }
  Vec3 lengths;
  bool degenerate = false;
  for (int i = 0; i < 3; ++i) {
    lengths[i] = std::sqrt(dot(axes[i], axes[i]));
    degenerate = degenerate || !(lengths[i] > kShortest) || !std::isfinite(lengths[i]);
  }
  const double handedness = dot(cross(axes[0], axes[1]), axes[2]);
  result.mirrored = handedness < 0;
  bool sheared = degenerate;
  if (!degenerate) {
    for (int i = 0; i < 3; ++i) {
      for (int k = 0; k < 3; ++k) axes[i][k] /= lengths[i];
    }
    sheared = std::fabs(dot(axes[0], axes[1])) > kPerpendicular || std::fabs(dot(axes[0], axes[2])) > kPerpendicular ||
              std::fabs(dot(axes[1], axes[2])) > kPerpendicular;
  }
  if (sheared) {
    Mat3 linear;
    for (int row = 0; row < 3; ++row) {
      const Point3 r = tm.GetRow(row);
      linear[static_cast<std::size_t>(row)] = {r.x, r.y, r.z};
    }
    result.bake = linear;
    return result;
  }
  // A mirror is a rotation with one axis reversed: glTF takes it as a
  // negative scale, and viewers reverse the winding of such a node's faces.
  if (result.mirrored) {
    for (double& c : axes[2]) c = -c;
    lengths[2] = -lengths[2];
  }
  result.rotation = quaternion(axes[0], axes[1], axes[2]);
  result.scale = lengths;
  return result;
}

NodeTransform viewTransform(const Matrix3& tm, const Frame& frame) {
  NodeTransform result = nodeTransform(tm, frame);
  if (result.notFinite) return result;
  result.bake.reset();
  result.mirrored = false;
  result.scale = {1, 1, 1};
  result.rotation = {0, 0, 0, 1};
  auto axis = [&tm](int row) {
    const Point3 r = tm.GetRow(row);
    return Frame::direction({r.x, r.y, r.z});
  };
  Vec3 z = axis(2);
  const double length = std::sqrt(dot(z, z));
  if (!(length > kShortest)) {
    result.noDirection = true;
    return result;
  }
  z = scaled(z, 1.0 / length);
  // A node whose +Y runs along its -Z still looks somewhere: up is then the
  // world's up, or its x axis when the view is straight up or down.
  Vec3 y{0, 1, 0};
  if (!perpendicular(axis(1), z, y) && !perpendicular({0, 1, 0}, z, y)) perpendicular({1, 0, 0}, z, y);
  result.rotation = quaternion(cross(y, z), y, z);
  return result;
}

}  // namespace cvimp::gltf
