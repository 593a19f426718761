// Convert to Poly and Quadrify as the stand-in's MAXScript carries them out.
#include <gtest/gtest.h>

#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/two_material_cube.h"

namespace {

Point3 P(float x, float y, float z) { return Point3(x, y, z); }

// A mesh of the given points and triangles, with channel 1 mirroring the
// vertices.
TriObject* meshOf(const std::vector<Point3>& points, const std::vector<std::array<DWORD, 3>>& triangles,
                  MtlID secondHalfId = 0) {
  TriObject* object = CreateNewTriObject();
  Mesh& mesh = object->GetMesh();
  mesh.setNumVerts(static_cast<int>(points.size()));
  for (std::size_t i = 0; i < points.size(); ++i) mesh.verts[static_cast<long long>(i)] = points[i];
  mesh.setNumFaces(static_cast<int>(triangles.size()));
  mesh.setMapSupport(1);
  MeshMap& map = mesh.Map(1);
  map.setNumVerts(static_cast<int>(points.size()));
  map.setNumFaces(static_cast<int>(triangles.size()));
  for (std::size_t i = 0; i < points.size(); ++i) map.tv[static_cast<long long>(i)] = points[i];
  for (std::size_t f = 0; f < triangles.size(); ++f) {
    const auto& t = triangles[f];
    mesh.faces[static_cast<long long>(f)].setVerts(t[0], t[1], t[2]);
    if (f >= triangles.size() / 2) mesh.faces[static_cast<long long>(f)].setMatID(secondHalfId);
    map.tf[static_cast<long long>(f)].setTVerts(t[0], t[1], t[2]);
  }
  return object;
}

// nx by ny cells of two triangles each, diagonals alternating.
TriObject* gridOf(int nx, int ny) {
  std::vector<Point3> points;
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) points.emplace_back(static_cast<float>(i), static_cast<float>(j), 0.0f);
  }
  std::vector<std::array<DWORD, 3>> triangles;
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const auto a = static_cast<DWORD>(j * (nx + 1) + i), b = a + 1, c = a + static_cast<DWORD>(nx) + 2,
                 d = a + static_cast<DWORD>(nx) + 1;
      if ((i + j) % 2 == 0) {
        triangles.push_back({a, b, c});
        triangles.push_back({a, c, d});
      } else {
        triangles.push_back({a, b, d});
        triangles.push_back({b, c, d});
      }
    }
  }
  return meshOf(points, triangles);
}

using QuadrifyTest = cvimp::test::HostTest;

TEST_F(QuadrifyTest, GridOfTrianglePairsBecomesGridOfQuads) {
  auto poly = host::polyFromMesh(gridOf(3, 2)->GetMesh());
  ASSERT_EQ(poly->faces.size(), 12u);
  EXPECT_EQ(host::quadrify(*poly), 6);
  ASSERT_EQ(poly->faces.size(), 6u);
  for (const PolyFace& face : poly->faces) EXPECT_EQ(face.vertices.size(), 4u);
  // Each quad is one cell, its corners in the triangles' winding.
  EXPECT_EQ(poly->faces[0].vertices, (std::vector<int>{0, 1, 5, 4}));
  EXPECT_EQ(poly->faces[1].vertices, (std::vector<int>{1, 2, 6, 5}));
  // The map faces follow the corners.
  ASSERT_EQ(poly->maps.size(), 1u);
  EXPECT_EQ(poly->maps[0].second.faces[1], poly->faces[1].vertices);
  EXPECT_EQ(host::quadrify(*poly), 0);  // nothing left to merge
}

TEST_F(QuadrifyTest, FoldedConcaveOrDifferentMaterialPairsStayTriangles) {
  // Folded along the shared edge 0-2 by 90 degrees.
  auto folded = host::polyFromMesh(meshOf({P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 1)}, {{0, 1, 2}, {0, 2, 3}})->GetMesh());
  EXPECT_EQ(host::quadrify(*folded), 0);
  // A dart: the merged outline would be concave.
  auto dart = host::polyFromMesh(meshOf({P(0, 0, 0), P(2, 0, 0), P(0.5f, 0.5f, 0), P(0, 2, 0)}, {{0, 1, 2}, {0, 2, 3}})->GetMesh());
  EXPECT_EQ(host::quadrify(*dart), 0);
  // Different material IDs are different faces.
  auto twoIds = host::polyFromMesh(meshOf({P(0, 0, 0), P(1, 0, 0), P(1, 1, 0), P(0, 1, 0)}, {{0, 1, 2}, {0, 2, 3}}, 3)->GetMesh());
  EXPECT_EQ(host::quadrify(*twoIds), 0);
  EXPECT_EQ(twoIds->faces[1].materialId, 3);
}

TEST_F(QuadrifyTest, QuadsKeepTheirTrianglesMaterialIds) {
  auto poly = host::polyFromMesh(cvimp::test::twoMaterialCube().object->GetMesh());
  ASSERT_EQ(host::quadrify(*poly), 6);
  for (std::size_t side = 0; side < 6; ++side) EXPECT_EQ(poly->faces[side].materialId, cvimp::test::kCubeSideIds[side]);
}

TEST_F(QuadrifyTest, UnknownScriptIsAnErrorAndChangesNothing) {
  INode* node = GetCOREInterface()->CreateObjectNode(gridOf(1, 1));
  GetCOREInterface()->SelectNode(node);
  FPValue value;
  value.Init();
  testing::internal::CaptureStderr();
  EXPECT_FALSE(ExecuteMAXScriptScript(u"convertToPoly $", MAXScript::Embedded, FALSE, &value, TRUE));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("MAXScript error"), std::string::npos);
  value.Free();
  EXPECT_EQ(host::journal().find("MAXScriptError").size(), 1u);
  EXPECT_EQ(node->GetObjectRef()->ClassID(), TRIOBJ_CLASS_ID);
}

}  // namespace
