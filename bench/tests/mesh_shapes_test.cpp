// The design's geometry: consistent lists, normals that agree with the
// winding, and closed solids that enclose the volume they should.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "bench/mesh_shapes.h"

namespace cvimp::bench {
namespace {

constexpr double kPi = 3.141592653589793;

Point at(const Mesh& m, std::int32_t index) {
  const Vec3& v = m.vertices[static_cast<std::size_t>(index)];
  return {v[0], v[1], v[2]};
}
Point normalAt(const Mesh& m, std::int32_t index) {
  const Vec3& v = m.normals[static_cast<std::size_t>(index)];
  return {v[0], v[1], v[2]};
}
Point sub(const Point& a, const Point& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
Point cross(const Point& a, const Point& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Point& a, const Point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Index ranges, unit normals, no collapsed triangles, and each triangle's
// winding facing the same way as its vertex normals.
void expectWellFormed(const Mesh& m) {
  ASSERT_GT(m.triangleCount(), 0u);
  ASSERT_EQ(m.faces.size(), 3 * m.triangleCount());
  ASSERT_EQ(m.faceNormals.size(), m.faces.size());
  ASSERT_EQ(m.uvwFaces.size(), m.faces.size());
  for (std::size_t i = 0; i < m.faces.size(); ++i) {
    ASSERT_GE(m.faces[i], 0);
    ASSERT_LT(static_cast<std::size_t>(m.faces[i]), m.vertices.size());
    ASSERT_LT(static_cast<std::size_t>(m.faceNormals[i]), m.normals.size());
    ASSERT_LT(static_cast<std::size_t>(m.uvwFaces[i]), m.uvws.size());
  }
  for (const Vec3& n : m.normals) {
    ASSERT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-5);
  }
  for (std::size_t t = 0; t < m.triangleCount(); ++t) {
    const std::int32_t* f = &m.faces[3 * t];
    const std::int32_t* fn = &m.faceNormals[3 * t];
    const Point winding = cross(sub(at(m, f[1]), at(m, f[0])), sub(at(m, f[2]), at(m, f[0])));
    ASSERT_GT(dot(winding, winding), 0) << "collapsed triangle " << t;
    Point normals{0, 0, 0};
    for (int k = 0; k < 3; ++k) {
      for (int c = 0; c < 3; ++c) normals[c] += normalAt(m, fn[k])[c];
    }
    ASSERT_GT(dot(winding, normals), 0) << "triangle " << t << " winds against its normals";
  }
}

// Positive for a closed mesh whose triangles face outwards.
double volume(const Mesh& m) {
  double sum = 0;
  for (std::size_t t = 0; t < m.triangleCount(); ++t) {
    const std::int32_t* f = &m.faces[3 * t];
    sum += dot(at(m, f[0]), cross(at(m, f[1]), at(m, f[2])));
  }
  return sum / 6;
}

TEST(MeshShapes, BoxSidesAreGridsOfTheEdgeLength) {
  Mesh m;
  appendBox(m, Frame::at({10, 20, 30}), {300, 200, 100}, 40, 3);
  expectWellFormed(m);
  // Cells per side: 300 -> 8, 200 -> 5, 100 -> 3; two sides of each pair.
  EXPECT_EQ(m.triangleCount(), 2u * 2 * (8 * 5 + 8 * 3 + 5 * 3));
  EXPECT_NEAR(volume(m), 300.0 * 200 * 100, 1.0);
  EXPECT_EQ(std::set<std::int32_t>(m.mtlIds.begin(), m.mtlIds.end()), std::set<std::int32_t>{3});
  for (const Vec3& v : m.vertices) {
    EXPECT_TRUE(v[0] >= 10 && v[0] <= 310 && v[1] >= 20 && v[1] <= 220 && v[2] >= 30 && v[2] <= 130);
  }
  // Hard edges: every normal is one of the six axis directions.
  for (const Vec3& n : m.normals) EXPECT_NEAR(std::abs(n[0]) + std::abs(n[1]) + std::abs(n[2]), 1.0f, 1e-6f);
}

TEST(MeshShapes, ClosedSolidsEncloseTheirVolume) {
  {
    // A capped cylinder is a prism over the inscribed polygon.
    Mesh m;
    appendCylinder(m, Frame::at({0, 0, 0}), 50, 200, 24, 5, 0);
    expectWellFormed(m);
    EXPECT_NEAR(volume(m), 12 * 50.0 * 50 * std::sin(2 * kPi / 24) * 200, 20);
  }
  {
    // Roundness 1 gives an ellipsoid filling [0, size].
    Mesh m;
    appendCushion(m, Frame::at({0, 0, 0}), {400, 200, 100}, 1.0, 96, 64, 0);
    expectWellFormed(m);
    EXPECT_NEAR(volume(m) / (4.0 / 3 * kPi * 200 * 100 * 50), 1.0, 0.01);
  }
  {
    // A small roundness is nearly the box.
    Mesh m;
    appendCushion(m, Frame::at({0, 0, 0}), {400, 200, 100}, 0.1, 96, 64, 0);
    expectWellFormed(m);
    EXPECT_GT(volume(m), 0.9 * 400 * 200 * 100);
    EXPECT_LT(volume(m), 400.0 * 200 * 100);
  }
  {
    Mesh m;
    appendTorus(m, Frame::along({5, 5, 5}, {1, 1, 0}), 100, 20, 96, 32, 0);
    expectWellFormed(m);
    EXPECT_NEAR(volume(m) / (2 * kPi * kPi * 100 * 20 * 20), 1.0, 0.01);
  }
  {
    // A closed profile: bottom disc, wall, top disc.
    Mesh m;
    const Profile can = [](double t) -> std::array<double, 2> {
      if (t < 0.25) return {40 * t / 0.25, 0};
      if (t < 0.75) return {40, 120 * (t - 0.25) / 0.5};
      return {40 * (1 - t) / 0.25, 120};
    };
    appendLathe(m, Frame::at({0, 0, 0}), can, 32, 40, 0);
    expectWellFormed(m);
    EXPECT_NEAR(volume(m), 16 * 40.0 * 40 * std::sin(2 * kPi / 32) * 120, 50);
  }
}

TEST(MeshShapes, ReliefNormalsFollowTheSlopeInTheFrame) {
  Mesh flat;
  // Upright, facing -y, the way curtains and wall tiles are placed.
  appendRelief(flat, Frame::facing({100, 0, 0}, {1, 0, 0}, {0, 0, 1}), 500, 300, 5, 3,
               [](double, double) { return 0.0; }, 0);
  expectWellFormed(flat);
  EXPECT_EQ(flat.vertices.size(), 6u * 4);
  for (const Vec3& n : flat.normals) {
    EXPECT_NEAR(n[1], -1.0f, 1e-6f);
  }
  EXPECT_EQ(flat.vertices.back(), (Vec3{600, 0, 300}));

  Mesh slope;
  appendRelief(slope, Frame::at({0, 0, 0}), 100, 100, 4, 4, [](double x, double) { return 0.5 * x; }, 0);
  expectWellFormed(slope);
  const double s = 1 / std::sqrt(1.25);
  for (const Vec3& n : slope.normals) {
    EXPECT_NEAR(n[0], -0.5 * s, 1e-5);
    EXPECT_NEAR(n[1], 0, 1e-5);
    EXPECT_NEAR(n[2], s, 1e-5);
  }
}

TEST(MeshShapes, PolesLeaveNoCollapsedTriangles) {
  // A sphere: whole rows of grid points meet at each pole.
  Mesh m;
  appendCushion(m, Frame::at({0, 0, 0}), {100, 100, 100}, 1.0, 16, 8, 0);
  expectWellFormed(m);
  // 16 x 8 cells, one triangle of each cell in the two pole rows dropped.
  EXPECT_EQ(m.triangleCount(), 2u * 16 * 8 - 2 * 16);
  // The pole normals point along the axis.
  EXPECT_LT(m.normals.front()[2], -0.99f);
  EXPECT_GT(m.normals.back()[2], 0.99f);
}

TEST(MeshShapes, RandomIsSplitMix64) {
  Random r(0);
  EXPECT_EQ(r.next(), 0xE220A8397B1DCDAFull);
  EXPECT_EQ(r.next(), 0x6E789E6AA1B965F4ull);
  EXPECT_EQ(r.next(), 0x06C45D188009454Full);

  Random draws(42);
  std::set<int> seen;
  for (int i = 0; i < 1000; ++i) {
    const double u = draws.uniform();
    ASSERT_TRUE(u >= 0 && u < 1);
    const int k = draws.integer(-2, 2);
    ASSERT_TRUE(k >= -2 && k <= 2);
    seen.insert(k);
  }
  EXPECT_EQ(seen.size(), 5u);  // both bounds included
}

}  // namespace
}  // namespace cvimp::bench
