#pragma once
// Furniture-like geometry for the benchmark design: parametric patches
// (subdivided box sides, cylinders, lathes, cushions, tori, relief grids) in
// millimetres, with smooth per-vertex normals and UVs, laid out like the
// lists of a static mesh.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "tools/scenegen/scene_writer.h"

namespace cvimp::bench {

using scenegen::Vec3;
using Point = std::array<double, 3>;

struct Mesh {
  std::vector<Vec3> vertices;
  std::vector<std::int32_t> faces;  // three vertex indices per triangle
  std::vector<Vec3> normals;
  std::vector<std::int32_t> faceNormals;  // three normal indices per triangle
  std::vector<Vec3> uvws;
  std::vector<std::int32_t> uvwFaces;  // three UVW indices per triangle
  std::vector<std::int32_t> mtlIds;    // one per triangle

  std::size_t triangleCount() const { return mtlIds.size(); }
  // Uncompressed size of all the mesh's lists.
  std::uint64_t listBytes() const;
};

// SplitMix64: the same numbers on every platform and library, which the
// standard distributions do not promise.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  double uniform();                       // [0, 1)
  double range(double low, double high);  // [low, high)
  int integer(int low, int high);         // [low, high]
  bool chance(double probability) { return uniform() < probability; }

 private:
  std::uint64_t state_;
};

// Where a shape is built: its local x, y, z axes (orthonormal, right-handed)
// and origin, in the mesh's space.
struct Frame {
  Point origin{0, 0, 0};
  Point x{1, 0, 0};
  Point y{0, 1, 0};
  Point z{0, 0, 1};

  static Frame at(Point origin);
  // Local z along `axis`.
  static Frame along(Point origin, Point axis);
  // Local x along `right`, local y along `up` (perpendicular to `right`).
  static Frame facing(Point origin, Point right, Point up);

  Point place(const Point& local) const;
  Point turn(const Point& local) const;
};

// A surface over the unit square, in the frame's local coordinates.
using Surface = std::function<Point(double u, double v)>;

// A (segmentsU x segmentsV) grid over the surface: one vertex, normal and UVW
// per grid point, two triangles per cell. Normals face along dP/du x dP/dv;
// triangles that collapse at a pole are left out. UVW = (u, v) scaled.
void appendPatch(Mesh& mesh, const Surface& surface, int segmentsU, int segmentsV, const Frame& frame,
                 std::int32_t mtlId, double uvScaleU = 1, double uvScaleV = 1);

// Segments for a length at a given edge length, at least `minimum`.
int segmentsFor(double length, double edge, int minimum = 1);

// Box from the frame's origin to `size`, each side a grid of about `edge` mm cells.
void appendBox(Mesh& mesh, const Frame& frame, Point size, double edge, std::int32_t mtlId);

// Upright cylinder on the frame's origin, with capped ends.
void appendCylinder(Mesh& mesh, const Frame& frame, double radius, double height, int radialSegments,
                    int heightSegments, std::int32_t mtlId);

// Surface of revolution about local z of a profile t -> (radius, height).
using Profile = std::function<std::array<double, 2>(double t)>;
void appendLathe(Mesh& mesh, const Frame& frame, const Profile& profile, int radialSegments, int profileSegments,
                 std::int32_t mtlId);

// Rounded block (superellipsoid) filling [0, size]; `roundness` 0.1 is
// nearly a box, 1 an ellipsoid.
void appendCushion(Mesh& mesh, const Frame& frame, Point size, double roundness, int segmentsU, int segmentsV,
                   std::int32_t mtlId);

void appendTorus(Mesh& mesh, const Frame& frame, double majorRadius, double minorRadius, int segmentsU, int segmentsV,
                 std::int32_t mtlId);

// Height field z = height(x, y) over [0, width] x [0, depth].
using HeightField = std::function<double(double x, double y)>;
void appendRelief(Mesh& mesh, const Frame& frame, double width, double depth, int segmentsX, int segmentsY,
                  const HeightField& height, std::int32_t mtlId, double uvScaleU = 1, double uvScaleV = 1);

}  // namespace cvimp::bench
