// Triangle meshes of the stand-in: mapping channels (hidden ones included),
// face flags, and indices out of range, which must never reach memory.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"

namespace {

using host::journal;

std::vector<std::string> rejections() {
  std::vector<std::string> args;
  for (const host::JournalEntry& entry : journal().find("IndexRejected")) args.push_back(entry.args);
  return args;
}

class MeshTest : public cvimp::test::HostTest {
 protected:
  Mesh mesh;
};

TEST_F(MeshTest, HiddenChannelsAreKeptApartFromOrdinaryOnes) {
  EXPECT_FALSE(mesh.mapSupport(MAP_SHADING));
  mesh.setMapSupport(MAP_SHADING);
  mesh.setMapSupport(MAP_ALPHA);
  EXPECT_TRUE(mesh.mapSupport(-1) && mesh.mapSupport(-2));
  EXPECT_EQ(mesh.getNumMaps(), 0);  // hidden channels do not count

  mesh.Map(-1).setNumVerts(2);
  mesh.Map(-1).tv[1] = UVVert(0.5f, 0.25f, 1.0f);
  mesh.Map(-2).setNumVerts(1);
  mesh.setNumMaps(1);
  mesh.Map(0).setNumVerts(3);
  EXPECT_EQ(mesh.Map(-2).getNumVerts(), 1);

  // Dropping the ordinary channels leaves the hidden ones alone.
  mesh.setNumMaps(0);
  EXPECT_TRUE(mesh.mapSupport(-1));
  EXPECT_EQ(mesh.Map(-1).tv[1], UVVert(0.5f, 0.25f, 1.0f));
  mesh.setMapSupport(-1, FALSE);
  EXPECT_FALSE(mesh.mapSupport(-1));
  EXPECT_EQ(mesh.Map(-1).getNumVerts(), 0);
  EXPECT_TRUE(rejections().empty());
}

TEST_F(MeshTest, MapCountAndSupport) {
  mesh.setNumMaps(2);
  EXPECT_EQ(mesh.getNumMaps(), 2);
  EXPECT_FALSE(mesh.mapSupport(1));  // allocated, not yet supported
  mesh.setMapSupport(1);
  mesh.setMapSupport(5);  // support beyond the count extends it
  EXPECT_EQ(mesh.getNumMaps(), 6);
  EXPECT_TRUE(mesh.mapSupport(1) && mesh.mapSupport(5));
  EXPECT_FALSE(mesh.mapSupport(3));
  mesh.setMapSupport(8, FALSE);  // withdrawing support never extends
  EXPECT_EQ(mesh.getNumMaps(), 6);

  mesh.Map(1).setNumVerts(3);
  mesh.setNumMaps(3, TRUE);
  EXPECT_TRUE(mesh.mapSupport(1) && !mesh.mapSupport(5));
  EXPECT_EQ(mesh.Map(1).getNumVerts(), 3);
  mesh.setNumMaps(3, FALSE);
  EXPECT_FALSE(mesh.mapSupport(1));
  mesh.setMapSupport(99);
  EXPECT_EQ(mesh.getNumMaps(), MAX_MESHMAPS);
}

TEST_F(MeshTest, ChannelsOutOfRangeAreRejected) {
  mesh.setNumMaps(2);
  mesh.setMapSupport(100);
  mesh.setMapSupport(-3);
  EXPECT_EQ(mesh.getNumMaps(), 2);
  EXPECT_FALSE(mesh.mapSupport(100) || mesh.mapSupport(-3));

  // Writes through a rejected channel land nowhere the mesh keeps.
  MeshMap& bad = mesh.Map(100);
  bad.setNumVerts(4);
  bad.tv[3] = UVVert(1.0f, 1.0f, 1.0f);
  mesh.Map(-3).setNumFaces(2);
  mesh.Map(5).setUsed(true);  // valid channel, but beyond the count
  EXPECT_EQ(mesh.Map(100).getNumVerts(), 0);
  EXPECT_EQ(mesh.getNumMaps(), 2);
  EXPECT_FALSE(mesh.mapSupport(5));
  const std::vector<std::string> expected = {
      "Mesh::setMapSupport channel 100",
      "Mesh::setMapSupport channel -3",
      "Mesh::Map channel 100",
      "Mesh::Map channel -3",
      "Mesh::Map channel 5",
      "Mesh::Map channel 100",
  };
  EXPECT_EQ(rejections(), expected);
}

TEST_F(MeshTest, IndicesOutOfRangeNeverReachMemory) {
  mesh.setNumVerts(3);
  mesh.setNumFaces(1);
  const Point3 far(9.0f, 9.0f, 9.0f);
  mesh.verts[-1] = far;
  mesh.verts[3] = far;
  mesh.setVert(INT_MAX, far);
  mesh.faces[1].setVerts(7, 7, 7);
  for (const Point3& v : mesh.verts) EXPECT_EQ(v, Point3());
  EXPECT_EQ(mesh.getVert(-1), Point3());  // the scratch element starts clean on every rejection
  EXPECT_EQ(mesh.faces[0].v[0], 0u);

  MeshMap& map = mesh.Map(MAP_SHADING);
  map.setNumVerts(2);
  map.tv[2] = UVVert(1.0f, 2.0f, 3.0f);
  map.tf[0].setTVerts(1, 1, 1);

  mesh.SpecifyNormals();
  MeshNormalSpec* normals = mesh.GetSpecifiedNormals();
  ASSERT_NE(normals, nullptr);
  normals->SetNumNormals(2);
  normals->Normal(2) = Point3(0.0f, 0.0f, 1.0f);
  normals->Normal(-1) = Point3(0.0f, 0.0f, 1.0f);
  normals->SetNormalExplicit(5, true);
  EXPECT_FALSE(normals->GetNormalExplicit(5));
  normals->Face(0).SetNormalID(0, 1);
  EXPECT_TRUE(normals->Normal(0) == Point3() && normals->Normal(1) == Point3());

  const std::vector<std::string> expected = {
      "Mesh::verts[-1] of 3",
      "Mesh::verts[3] of 3",
      "Mesh::verts[2147483647] of 3",
      "Mesh::faces[1] of 1",
      "Mesh::verts[-1] of 3",
      "MeshMap::tv[2] of 2",
      "MeshMap::tf[0] of 0",
      "MeshNormalSpec::Normal[2] of 2",
      "MeshNormalSpec::Normal[-1] of 2",
      "MeshNormalSpec::explicit[5] of 2",
      "MeshNormalSpec::explicit[5] of 2",
      "MeshNormalSpec::Face[0] of 0",
  };
  EXPECT_EQ(rejections(), expected);
}

// Small arrays live on the heap, mid-sized ones in shared blocks, large ones
// in mappings of their own: in each, growing keeps what was there, new
// elements hold their defaults (fresh memory or not), and copies are deep.
TEST_F(MeshTest, ArraysOfEverySizeResizeAndCopy) {
  for (const int count : {10, 40'000, 1'000'000}) {
    mesh.setNumVerts(count, FALSE);
    mesh.verts[count - 1] = Point3(1.0f, 2.0f, 3.0f);
    mesh.setNumVerts(count + 5, TRUE);
    EXPECT_EQ(mesh.verts[count - 1], Point3(1.0f, 2.0f, 3.0f)) << count;
    EXPECT_EQ(mesh.verts[count + 4], Point3()) << count;
    mesh.SpecifyNormals();
    MeshNormalSpec& normals = *mesh.GetSpecifiedNormals();
    normals.SetNumFaces(count);
    EXPECT_EQ(normals.Face(count - 1).GetNormalID(2), -1) << count;

    MeshMap map;
    map.setNumVerts(count);
    map.tv[count - 1] = UVVert(0.5f, 0.25f, 0.0f);
    const MeshMap copy = map;
    map.tv[count - 1] = UVVert();
    EXPECT_EQ(copy.tv[count - 1], UVVert(0.5f, 0.25f, 0.0f)) << count;
    EXPECT_EQ(copy.tv[0], UVVert()) << count;
    mesh.setNumVerts(0, FALSE);
    mesh.ClearSpecifiedNormals();
  }
  EXPECT_TRUE(rejections().empty());
}

TEST(FaceFlags, EdgeVisibilityAndMaterialIdShareTheWord) {
  Face face;
  face.setEdgeVisFlags(EDGE_VIS, EDGE_INVIS, EDGE_VIS);
  EXPECT_TRUE(face.getEdgeVis(0) && !face.getEdgeVis(1) && face.getEdgeVis(2));
  EXPECT_FALSE(face.getEdgeVis(3) || face.getEdgeVis(-1));

  face.setMatID(7);
  EXPECT_EQ(face.flags, (DWORD{7} << 16) | EDGE_A | EDGE_C);
  EXPECT_EQ(face.getMatID(), 7);
  face.setMatID(0xFFFF);
  EXPECT_EQ(face.getMatID(), 0xFFFF);
  face.setEdgeVisFlags(2, 1, 0);  // any non-zero value shows the edge
  EXPECT_EQ(face.flags, 0xFFFF0000u | EDGE_A | EDGE_B);
  face.setMatID(0);
  EXPECT_EQ(face.flags, EDGE_A | EDGE_B);
}

}  // namespace
