#pragma once
// Editable-poly objects: faces of three or more vertices, as a triangle
// mesh becomes after "Convert to Poly", and the quadrify tool on them.
#include <vector>

#include "host/geometry.h"
#include "host/mesh.h"
#include "host/objects.h"

constexpr Class_ID POLYOBJ_CLASS_ID = EPOLYOBJ_CLASS_ID;

struct PolyFace {
  std::vector<int> vertices;  // corners in order, counter-clockwise seen from outside
  MtlID materialId = 0;
};

struct PolyMap {
  std::vector<UVVert> vertices;
  std::vector<std::vector<int>> faces;  // parallel to the object's faces
};

class PolyObject : public Object {
 public:
  Class_ID ClassID() override { return POLYOBJ_CLASS_ID; }
  WStr ClassName() const override { return u"Editable Poly"; }

  std::vector<Point3> vertices;
  std::vector<PolyFace> faces;
  // Mapping channels by number (hidden ones included), in ascending order.
  std::vector<std::pair<int, PolyMap>> maps;
};

namespace host {

// The poly form of a triangle mesh: one face per triangle, material IDs and
// mapping channels kept.
std::unique_ptr<PolyObject> polyFromMesh(const Mesh& mesh);

// Merges pairs of triangles that share an edge into quads where the quad is
// planar within a small tolerance and convex; the longest shared edges go
// first, so a grid of triangle pairs becomes a grid of quads. Returns the
// number of quads made.
int quadrify(PolyObject& poly);

}  // namespace host
