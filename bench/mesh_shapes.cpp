#include "bench/mesh_shapes.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace cvimp::bench {

namespace {

constexpr double kTau = 6.283185307179586;

Point add(const Point& a, const Point& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
Point sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point scale(const Point& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
Point cross(const Point& a, const Point& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double length(const Point& a) { return std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]); }
Point normalized(const Point& a) {
  const double l = length(a);
  return l > 0 ? scale(a, 1 / l) : Point{0, 0, 1};
}
Vec3 single(const Point& a) { return {static_cast<float>(a[0]), static_cast<float>(a[1]), static_cast<float>(a[2])}; }

// Signed power that keeps the sign: the superellipsoid's building block.
double signedPow(double value, double exponent) { return std::copysign(std::pow(std::abs(value), exponent), value); }

// Derivative along one parameter by central differences, one-sided at the
// ends of the unit interval.
Point derivative(const Surface& surface, double u, double v, bool alongU) {
  constexpr double h = 1e-4;
  const double t = alongU ? u : v;
  const double lo = std::max(0.0, t - h);
  const double hi = std::min(1.0, t + h);
  const Point a = alongU ? surface(lo, v) : surface(u, lo);
  const Point b = alongU ? surface(hi, v) : surface(u, hi);
  return scale(sub(b, a), 1 / (hi - lo));
}

// The surface normal; at a pole, where one derivative vanishes, the normal
// just inside the patch.
Point surfaceNormal(const Surface& surface, double u, double v) {
  for (double nudge : {0.0, 1e-3, 1e-2}) {
    const double uu = u + (u < 0.5 ? nudge : -nudge);
    const double vv = v + (v < 0.5 ? nudge : -nudge);
    const Point n = cross(derivative(surface, uu, vv, true), derivative(surface, uu, vv, false));
    if (length(n) > 1e-9) return normalized(n);
  }
  return {0, 0, 1};
}

}  // namespace

std::uint64_t Mesh::listBytes() const {
  return (vertices.size() + normals.size() + uvws.size()) * sizeof(Vec3) +
         (faces.size() + faceNormals.size() + uvwFaces.size() + mtlIds.size()) * sizeof(std::int32_t);
}

std::uint64_t Random::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

double Random::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Random::range(double low, double high) { return low + (high - low) * uniform(); }

int Random::integer(int low, int high) {
  const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low + 1);
  return low + static_cast<int>(next() % span);
}

Frame Frame::at(Point origin) { return Frame{origin, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}; }

Frame Frame::along(Point origin, Point axis) {
  const Point z = normalized(axis);
  const Point helper = std::abs(z[2]) < 0.9 ? Point{0, 0, 1} : Point{1, 0, 0};
  const Point x = normalized(cross(helper, z));
  return Frame{origin, x, cross(z, x), z};
}

Frame Frame::facing(Point origin, Point right, Point up) {
  const Point x = normalized(right);
  const Point y = normalized(up);
  return Frame{origin, x, y, cross(x, y)};
}

Point Frame::place(const Point& p) const { return add(origin, turn(p)); }

Point Frame::turn(const Point& p) const { return add(add(scale(x, p[0]), scale(y, p[1])), scale(z, p[2])); }

void appendPatch(Mesh& mesh, const Surface& surface, int segmentsU, int segmentsV, const Frame& frame,
                 std::int32_t mtlId, double uvScaleU, double uvScaleV) {
  if (segmentsU < 1 || segmentsV < 1) throw std::invalid_argument("a patch needs at least one segment each way");
  const std::size_t first = mesh.vertices.size();
  const std::size_t columns = static_cast<std::size_t>(segmentsU) + 1;
  const std::size_t points = columns * (static_cast<std::size_t>(segmentsV) + 1);
  if (first + points > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    throw std::length_error("mesh too large for 32-bit indices");
  }
  for (int j = 0; j <= segmentsV; ++j) {
    const double v = static_cast<double>(j) / segmentsV;
    for (int i = 0; i <= segmentsU; ++i) {
      const double u = static_cast<double>(i) / segmentsU;
      mesh.vertices.push_back(single(frame.place(surface(u, v))));
      mesh.normals.push_back(single(frame.turn(surfaceNormal(surface, u, v))));
      mesh.uvws.push_back({static_cast<float>(u * uvScaleU), static_cast<float>(v * uvScaleV), 0});
    }
  }
  // Vertices, normals and UVWs are parallel lists, so all three face lists
  // hold the same indices, as exporters write them for smooth meshes.
  auto triangle = [&](std::size_t a, std::size_t b, std::size_t c) {
    const Vec3& pa = mesh.vertices[a];
    const Vec3& pb = mesh.vertices[b];
    const Vec3& pc = mesh.vertices[c];
    if (pa == pb || pb == pc || pa == pc) return;  // collapsed at a pole
    for (std::size_t index : {a, b, c}) {
      const auto i = static_cast<std::int32_t>(index);
      mesh.faces.push_back(i);
      mesh.faceNormals.push_back(i);
      mesh.uvwFaces.push_back(i);
    }
    mesh.mtlIds.push_back(mtlId);
  };
  for (int j = 0; j < segmentsV; ++j) {
    for (int i = 0; i < segmentsU; ++i) {
      const std::size_t a = first + static_cast<std::size_t>(j) * columns + static_cast<std::size_t>(i);
      const std::size_t b = a + 1;
      const std::size_t c = a + columns + 1;
      const std::size_t d = a + columns;
      triangle(a, b, d);
      triangle(b, c, d);
    }
  }
}

int segmentsFor(double length, double edge, int minimum) {
  const double n = std::ceil(std::abs(length) / std::max(edge, 1e-3));
  return std::max(minimum, static_cast<int>(std::min(n, 4096.0)));
}

void appendBox(Mesh& mesh, const Frame& frame, Point size, double edge, std::int32_t mtlId) {
  const double sx = size[0], sy = size[1], sz = size[2];
  struct Side {
    Point origin, a, b;  // a x b points out of the box
  };
  const Side sides[6] = {
      {{0, 0, 0}, {0, sy, 0}, {sx, 0, 0}},   // bottom
      {{0, 0, sz}, {sx, 0, 0}, {0, sy, 0}},  // top
      {{0, 0, 0}, {sx, 0, 0}, {0, 0, sz}},   // front
      {{0, sy, 0}, {0, 0, sz}, {sx, 0, 0}},  // back
      {{0, 0, 0}, {0, 0, sz}, {0, sy, 0}},   // left
      {{sx, 0, 0}, {0, sy, 0}, {0, 0, sz}},  // right
  };
  for (const Side& side : sides) {
    const double la = length(side.a), lb = length(side.b);
    appendPatch(
        mesh, [&](double u, double v) { return add(side.origin, add(scale(side.a, u), scale(side.b, v))); },
        segmentsFor(la, edge), segmentsFor(lb, edge), frame, mtlId, la / 1000, lb / 1000);
  }
}

void appendCylinder(Mesh& mesh, const Frame& frame, double radius, double height, int radialSegments,
                    int heightSegments, std::int32_t mtlId) {
  const double circumference = kTau * radius;
  appendPatch(
      mesh,
      [&](double u, double v) {
        return Point{radius * std::cos(kTau * u), radius * std::sin(kTau * u), height * v};
      },
      radialSegments, heightSegments, frame, mtlId, circumference / 1000, height / 1000);
  const int rings = std::max(1, heightSegments / 8);
  // Caps: the top one's radius shrinks along v so that its normal points up.
  appendPatch(
      mesh,
      [&](double u, double v) {
        return Point{radius * (1 - v) * std::cos(kTau * u), radius * (1 - v) * std::sin(kTau * u), height};
      },
      radialSegments, rings, frame, mtlId);
  appendPatch(
      mesh,
      [&](double u, double v) {
        return Point{radius * v * std::cos(kTau * u), radius * v * std::sin(kTau * u), 0};
      },
      radialSegments, rings, frame, mtlId);
}

void appendLathe(Mesh& mesh, const Frame& frame, const Profile& profile, int radialSegments, int profileSegments,
                 std::int32_t mtlId) {
  appendPatch(
      mesh,
      [&](double u, double v) {
        const auto [r, z] = profile(v);
        return Point{r * std::cos(kTau * u), r * std::sin(kTau * u), z};
      },
      radialSegments, profileSegments, frame, mtlId);
}

void appendCushion(Mesh& mesh, const Frame& frame, Point size, double roundness, int segmentsU, int segmentsV,
                   std::int32_t mtlId) {
  const Point half = scale(size, 0.5);
  appendPatch(
      mesh,
      [&](double u, double v) {
        const double theta = kTau * u;
        const double phi = (v - 0.5) * kTau / 2;
        const double ring = signedPow(std::cos(phi), roundness);
        return Point{half[0] * (1 + ring * signedPow(std::cos(theta), roundness)),
                     half[1] * (1 + ring * signedPow(std::sin(theta), roundness)),
                     half[2] * (1 + signedPow(std::sin(phi), roundness))};
      },
      segmentsU, segmentsV, frame, mtlId, (size[0] + size[1]) * 2 / 1000, size[2] * 2 / 1000);
}

void appendTorus(Mesh& mesh, const Frame& frame, double majorRadius, double minorRadius, int segmentsU, int segmentsV,
                 std::int32_t mtlId) {
  appendPatch(
      mesh,
      [&](double u, double v) {
        const double ring = majorRadius + minorRadius * std::cos(kTau * v);
        return Point{ring * std::cos(kTau * u), ring * std::sin(kTau * u), minorRadius * std::sin(kTau * v)};
      },
      segmentsU, segmentsV, frame, mtlId);
}

void appendRelief(Mesh& mesh, const Frame& frame, double width, double depth, int segmentsX, int segmentsY,
                  const HeightField& height, std::int32_t mtlId, double uvScaleU, double uvScaleV) {
  appendPatch(
      mesh,
      [&](double u, double v) {
        const double x = u * width, y = v * depth;
        return Point{x, y, height(x, y)};
      },
      segmentsX, segmentsY, frame, mtlId, uvScaleU, uvScaleV);
}

}  // namespace cvimp::bench
