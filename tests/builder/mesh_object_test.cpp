#include "tests/builder/builder_internals.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "builder/builder.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

namespace gen = scenegen;
using test::captureStdout;

std::string ints(const std::vector<std::int32_t>& values) { return "ListIntHex(\"" + gen::packInts(values) + "\")"; }
std::string vectors(const std::vector<gen::Vec3>& values) {
  return "ListVectorHex(\"" + gen::packVectors(values) + "\")";
}

const std::vector<gen::Vec3> kQuad = {{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}};
const std::vector<std::int32_t> kQuadFaces = {0, 1, 2, 0, 2, 3};
// What a mesh without normals, normal faces and material IDs prints.
const std::string kNoOptionalLists =
    "[VRP] WARNING: Cannot get list.\n[VRP] WARNING: Cannot get list.\n[VRP] WARNING: Cannot get list.\n";

// A "GeomStaticMesh" named "M" with the given attribute texts, parsed and
// prebuilt so that its packed lists are decoded.
class MeshScene {
 public:
  explicit MeshScene(const std::vector<std::pair<std::string, std::string>>& attributes) {
    gen::SceneWriter writer;
    writer.begin("GeomStaticMesh", "M");
    for (const auto& [name, value] : attributes) writer.attribute(name, value);
    writer.end();
    EXPECT_TRUE(test::parseText(scene, writer.take()));
    std::vector<VrpPlugin*> order;
    EXPECT_TRUE(prebuildScene(scene, order));
  }
  const VrpPlugin& mesh() const { return *scene.findPlugin("M"); }
  VrpScene scene;
};

class MeshObjectTest : public test::HostTest {
 protected:
  // Builds the mesh and returns what the parser and builder printed.
  std::string build(const MeshScene& scene, float unitFactor = 1.0f) {
    return captureStdout([&] { object = buildMeshObject(scene.mesh(), unitFactor); });
  }
  Mesh& mesh() { return object->GetMesh(); }
  TriObject* object = nullptr;
};

TEST_F(MeshObjectTest, TrianglesWithVisibleEdgesScaledPositionsAndCachesInvalidated) {
  MeshScene scene({{"vertices", vectors(kQuad)}, {"faces", ints({0, 1, 2, 0, 2, 3, 1})}});
  build(scene, 0.001f);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(host::scene().objects().size(), 1u);
  ASSERT_EQ(mesh().getNumVerts(), 4);
  ASSERT_EQ(mesh().getNumFaces(), 2);  // the seventh index is left over
  EXPECT_EQ(mesh().getVert(1), Point3(1.0f, 0.0f, 0.0f));
  EXPECT_EQ(mesh().getVert(2), Point3(1000.0f * 0.001f, 1000.0f * 0.001f, 0.0f));
  for (int k = 0; k < 2; ++k) {
    const Face& face = mesh().faces[k];
    for (int edge = 0; edge < 3; ++edge) EXPECT_TRUE(face.getEdgeVis(edge));
    EXPECT_EQ(face.getMatID(), 0);
    EXPECT_EQ(face.smGroup, 0u);
  }
  EXPECT_EQ(mesh().faces[1].v[2], 3u);
  EXPECT_EQ(mesh().getSmoothFlags(), 1);
  EXPECT_EQ(mesh().GetSpecifiedNormals(), nullptr);
  EXPECT_EQ(mesh().geomCacheInvalidations(), 1);
  EXPECT_EQ(mesh().topologyCacheInvalidations(), 1);
  // The array sizes are set once, before they are filled, and the caches
  // invalidated last.
  const std::vector<std::string> calls = host::journal().calls();
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(calls.front(), "CreateNewTriObject");
  EXPECT_EQ(calls[calls.size() - 2], "Mesh::InvalidateGeomCache");
  EXPECT_EQ(calls.back(), "Mesh::InvalidateTopologyCache");
  EXPECT_EQ(host::journal().find("Mesh::setNumVerts").at(0).args, "4, false, true");
  EXPECT_TRUE(host::journal().find("IndexRejected").empty());
}

TEST_F(MeshObjectTest, TooLittleGeometryCreatesNothing) {
  for (const auto& attributes : std::vector<std::vector<std::pair<std::string, std::string>>>{
           {{"faces", ints(kQuadFaces)}},
           {{"vertices", vectors(kQuad)}, {"faces", ints({0, 1})}},
           {{"vertices", vectors({})}, {"faces", ints(kQuadFaces)}},
       }) {
    MeshScene scene(attributes);
    build(scene);
    EXPECT_EQ(object, nullptr);
  }
  EXPECT_TRUE(host::scene().objects().empty());
}

TEST_F(MeshObjectTest, ExplicitNormalsOnlyWhenTheIndexCountsAgree) {
  const std::vector<gen::Vec3> normals = {{0, 0, 1}, {0, 0, 2}};
  MeshScene matching({{"vertices", vectors(kQuad)},
                      {"faces", ints(kQuadFaces)},
                      {"normals", vectors(normals)},
                      {"faceNormals", ints({0, 0, 0, 1, 1, 1})}});
  build(matching);
  ASSERT_NE(object, nullptr);
  const MeshNormalSpec* spec = mesh().GetSpecifiedNormals();
  ASSERT_NE(spec, nullptr);
  ASSERT_EQ(spec->GetNumNormals(), 2);
  EXPECT_EQ(spec->Normal(1), Point3(0.0f, 0.0f, 2.0f));  // neither scaled nor normalised
  EXPECT_TRUE(spec->GetNormalExplicit(0));
  EXPECT_TRUE(spec->GetNormalExplicit(1));
  ASSERT_EQ(spec->GetNumFaces(), 2);
  EXPECT_EQ(spec->Face(1).GetNormalID(2), 1);
  EXPECT_EQ(spec->Face(0).GetFlags(), 7);

  MeshScene shorter({{"vertices", vectors(kQuad)},
                     {"faces", ints(kQuadFaces)},
                     {"normals", vectors(normals)},
                     {"faceNormals", ints({0, 0, 0})}});
  build(shorter);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(mesh().GetSpecifiedNormals(), nullptr);
}

TEST_F(MeshObjectTest, MapChannelsByNumberWithHiddenChannelsAndReplacement) {
  const std::vector<gen::Vec3> uvw = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  const std::string entry1 = "List(1, " + vectors(uvw) + ", " + ints(kQuadFaces) + ")";
  const std::string entryFloat = "List(2.7, " + vectors(uvw) + ", " + ints({3, 2, 1, 0, 1, 2}) + ")";
  const std::string entryHidden = "List(-1, " + vectors({{0.5f, 0.5f, 0}}) + ", " + ints({0, 0, 0, 0, 0, 0}) + ")";
  const std::string shortIndices = "List(3, " + vectors(uvw) + ", " + ints({0, 1, 2}) + ")";
  const std::string tooFewItems = "List(4, " + vectors(uvw) + ")";
  const std::string replacement = "List(1, " + vectors({{9, 9, 9}}) + ", " + ints({0, 0, 0, 0, 0, 0}) + ")";
  MeshScene scene({{"vertices", vectors(kQuad)},
                   {"faces", ints(kQuadFaces)},
                   {"map_channels", "List(" + entry1 + ", " + entryFloat + ", " + entryHidden + ", " + shortIndices +
                                        ", " + tooFewItems + ", " + replacement + ")"}});
  const std::string printed = build(scene);
  EXPECT_EQ(printed, kNoOptionalLists);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(host::journal().find("Mesh::setNumMaps").at(0).args, "6, false");
  // The replaced entry's elements are not written into the replacement's arrays.
  EXPECT_TRUE(host::journal().find("IndexRejected").empty());

  // Channel 1: the later entry replaced the earlier one.
  ASSERT_TRUE(mesh().mapSupport(1));
  ASSERT_EQ(mesh().Map(1).getNumVerts(), 1);
  EXPECT_EQ(mesh().Map(1).tv[0], Point3(9.0f, 9.0f, 9.0f));
  ASSERT_EQ(mesh().Map(1).getNumFaces(), 2);

  // 2.7 addresses channel 2.
  ASSERT_TRUE(mesh().mapSupport(2));
  EXPECT_EQ(mesh().Map(2).getNumVerts(), 4);
  EXPECT_EQ(mesh().Map(2).tf[0].t[0], 3u);
  EXPECT_EQ(mesh().Map(2).tf[1].t[2], 2u);

  // -1 is the first hidden channel, apart from the ordinary ones.
  ASSERT_TRUE(mesh().mapSupport(-1));
  EXPECT_EQ(mesh().Map(-1).tv[0], Point3(0.5f, 0.5f, 0.0f));
  EXPECT_FALSE(mesh().mapSupport(-2));

  EXPECT_FALSE(mesh().mapSupport(3));  // index count differs from the faces'
  EXPECT_FALSE(mesh().mapSupport(4));  // fewer than three items
  EXPECT_FALSE(mesh().mapSupport(0));
}

// One mesh as the platform, V-Ray for Blender and the App SDK write its
// lists: the same host object each time.
TEST_F(MeshObjectTest, HexAndPlainListsBuildTheMeshOfPackedLists) {
  using Vectors = std::string (*)(const std::vector<gen::Vec3>&);
  using Ints = std::string (*)(const std::vector<std::int32_t>&);
  struct Style {
    Vectors vectorList;
    Ints intList;
    Ints indexList;
  };
  const Style styles[] = {
      {vectors, ints, ints},
      {[](const std::vector<gen::Vec3>& v) { return gen::interpolated(gen::listVectorPlainHex(v)); },
       [](const std::vector<std::int32_t>& v) { return gen::interpolated(gen::listIntPlainHex(v)); },
       [](const std::vector<std::int32_t>& v) { return gen::interpolated(gen::listIntPlainHex(v)); }},
      {gen::listVector, gen::listInt, gen::listTriples},
  };
  const std::vector<gen::Vec3> uvw = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0.5f}};
  std::string packed;
  for (const Style& style : styles) {
    freshHost();
    MeshScene scene(
        {{"vertices", style.vectorList(kQuad)},
         {"faces", style.indexList(kQuadFaces)},
         {"normals", style.vectorList({{0, 0, 1}, {0, 0.6f, 0.8f}})},
         {"faceNormals", style.indexList({0, 0, 1, 1, 0, 0})},
         {"map_channels", "List(List(1, " + style.vectorList(uvw) + ", " + style.indexList(kQuadFaces) + "))"},
         {"face_mtlIDs", style.intList({3, 4})}});
    EXPECT_EQ(build(scene, 0.001f), "");
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(mesh().Map(1).getNumVerts(), 4);
    if (packed.empty()) {
      packed = host::sceneJson();
    } else {
      EXPECT_EQ(host::sceneJson(), packed);
    }
  }
}

TEST_F(MeshObjectTest, ChannelNumberThatIsNoNumberAddressesChannelZero) {
  const std::vector<gen::Vec3> uvw = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  MeshScene scene({{"vertices", vectors(kQuad)},
                   {"faces", ints(kQuadFaces)},
                   {"map_channels", "List(List(\"one\", " + vectors(uvw) + ", " + ints(kQuadFaces) + "), 7)"}});
  const std::string printed = build(scene);
  // The string gives the int error; the bare 7 is no list.
  EXPECT_EQ(printed, kNoOptionalLists + "[VRP] ERROR: Cannot get int.\n[VRP] ERROR: Cannot get value list.\n");
  ASSERT_NE(object, nullptr);
  ASSERT_TRUE(mesh().mapSupport(0));
  EXPECT_EQ(mesh().Map(0).getNumFaces(), 2);
}

TEST_F(MeshObjectTest, MaterialIdsOnlyWithOneIdPerTriangle) {
  MeshScene matching({{"vertices", vectors(kQuad)}, {"faces", ints(kQuadFaces)}, {"face_mtlIDs", ints({4, 0x12345})}});
  build(matching);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(mesh().faces[0].getMatID(), 4);
  EXPECT_EQ(mesh().faces[1].getMatID(), 0x2345);  // the low 16 bits
  EXPECT_TRUE(mesh().faces[1].getEdgeVis(2));     // the ID leaves the edge bits alone

  MeshScene other({{"vertices", vectors(kQuad)}, {"faces", ints(kQuadFaces)}, {"face_mtlIDs", ints({4, 5, 6})}});
  build(other);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(mesh().faces[0].getMatID(), 0);
  EXPECT_EQ(mesh().faces[1].getMatID(), 0);
}

TEST_F(MeshObjectTest, AbsentOptionalListsOnlyWarn) {
  MeshScene scene({{"vertices", vectors(kQuad)}, {"faces", ints(kQuadFaces)}});
  const std::string printed = build(scene);
  ASSERT_NE(object, nullptr);
  // normals, faceNormals, face_mtlIDs, then map_channels.
  EXPECT_EQ(printed, kNoOptionalLists + "[VRP] ERROR: Cannot get value list.\n");
  EXPECT_EQ(mesh().getNumMaps(), 0);
}

TEST_F(MeshObjectTest, VertexIndexOutsideTheVerticesGivesNoObject) {
  for (const std::vector<std::int32_t>& faces : {std::vector<std::int32_t>{0, 1, 4}, {0, -1, 2}}) {
    MeshScene scene({{"vertices", vectors(kQuad)}, {"faces", ints(faces)}});
    const std::string printed = build(scene);
    EXPECT_EQ(object, nullptr);
    EXPECT_NE(printed.find("[VRP] WARNING: Mesh \"M\": face vertex index out of range; mesh skipped.\n"),
              std::string::npos);
  }
  EXPECT_TRUE(host::scene().objects().empty());
  EXPECT_TRUE(host::journal().find("CreateNewTriObject").empty());
}

TEST_F(MeshObjectTest, BadNormalOrUvwIndicesDropOnlyTheirFeature) {
  const std::vector<gen::Vec3> uvw = {{0, 0, 0}, {1, 0, 0}};
  MeshScene scene({{"vertices", vectors(kQuad)},
                   {"faces", ints(kQuadFaces)},
                   {"normals", vectors({{0, 0, 1}})},
                   {"faceNormals", ints({0, 0, 0, 0, 0, 1})},
                   {"map_channels", "List(List(1, " + vectors(uvw) + ", " + ints({0, 1, 1, 0, 1, 2}) + "), List(100, " +
                                        vectors(uvw) + ", " + ints({0, 1, 1, 0, 1, 1}) + "), List(-3, " + vectors(uvw) +
                                        ", " + ints({0, 1, 1, 0, 1, 1}) + "), List(5, " + vectors(uvw) + ", " +
                                        ints({0, 1, 1, 0, 1, 1}) + "))"}});
  const std::string printed = build(scene);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(mesh().getNumFaces(), 2);
  EXPECT_EQ(mesh().GetSpecifiedNormals(), nullptr);
  EXPECT_FALSE(mesh().mapSupport(1));
  EXPECT_TRUE(mesh().mapSupport(5));
  EXPECT_EQ(printed,
            "[VRP] WARNING: Cannot get list.\n"  // no face_mtlIDs
            "[VRP] WARNING: Mesh \"M\": normal index out of range; explicit normals skipped.\n"
            "[VRP] WARNING: Mesh \"M\": UVW index out of range in map channel 1; channel skipped.\n"
            "[VRP] WARNING: Mesh \"M\": map channel 100 out of range; channel skipped.\n"
            "[VRP] WARNING: Mesh \"M\": map channel -3 out of range; channel skipped.\n");
  EXPECT_TRUE(host::journal().find("IndexRejected").empty());
}

}  // namespace
}  // namespace cvimp

namespace cvimp {
namespace {

// Every mesh of the sample room, read from disk with its include, converts
// whole: normals, channels and material IDs agree with the faces.
using SampleRoomMeshes = test::HostTest;

TEST_F(SampleRoomMeshes, ConvertWithTheirNormalsAndChannels) {
  const std::string path = std::string(CVIMP_SAMPLES_DIR) + "/room/vr.vrscene";
  VrpScene scene;
  std::vector<VrpPlugin*> order;
  ASSERT_TRUE(loadScene(path, scene, buildSearchDirectories(path), true));
  ASSERT_TRUE(prebuildScene(scene, order));
  int meshes = 0;
  for (const VrpPlugin* plugin : order) {
    if (plugin->type != "GeomStaticMesh") continue;
    ++meshes;
    TriObject* object = nullptr;
    test::captureStdout([&] { object = buildMeshObject(*plugin, 0.1f); });
    ASSERT_NE(object, nullptr) << plugin->name;
    const Mesh& mesh = object->GetMesh();
    EXPECT_GT(mesh.getNumFaces(), 0) << plugin->name;
    const MeshNormalSpec* normals = mesh.GetSpecifiedNormals();
    ASSERT_NE(normals, nullptr) << plugin->name;
    EXPECT_EQ(normals->GetNumFaces(), mesh.getNumFaces());
    ASSERT_TRUE(mesh.mapSupport(1)) << plugin->name;
    EXPECT_EQ(mesh.findMap(1)->getNumFaces(), mesh.getNumFaces());
  }
  EXPECT_EQ(meshes, 7);
  EXPECT_TRUE(host::journal().find("IndexRejected").empty());
}

}  // namespace
}  // namespace cvimp
