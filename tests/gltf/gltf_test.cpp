// The host scene as .glb: valid for the Khronos validator, read back by
// tinygltf as the host holds it, and the mappings worked out by hand.
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

#include "host/stand_in.h"
#include "tests/gltf/gltf_fixture.h"
#include "tests/support/two_material_cube.h"

namespace cvimp::test {
namespace {

std::string sample() { return std::string(CVIMP_SAMPLES_DIR) + "/room/vr.vrscene"; }

// The side of a metre cube at the origin a triangle lies on, from its
// centre in the cube's own frame (glTF's x, -z, y in metres): the one
// coordinate at 0 or 1.
CubeSide sideOf(const std::array<double, 3>& c) {
  const double x = c[0], y = -c[2], z = c[1];
  if (std::abs(z) < 1e-6) return kBottom;
  if (std::abs(z - 1) < 1e-6) return kTop;
  if (std::abs(y) < 1e-6) return kFront;
  if (std::abs(x - 1) < 1e-6) return kRight;
  if (std::abs(y - 1) < 1e-6) return kBack;
  return kLeft;
}

// The sides a primitive's triangles lie on, in triangle order.
std::vector<CubeSide> sidesOf(const tinygltf::Model& model, const tinygltf::Primitive& primitive) {
  std::size_t count = 0, points = 0;
  const auto* index = reinterpret_cast<const std::uint32_t*>(GltfTest::accessorBytes(model, primitive.indices, count));
  const auto* position =
      reinterpret_cast<const float*>(GltfTest::accessorBytes(model, primitive.attributes.at("POSITION"), points));
  std::vector<CubeSide> sides;
  for (std::size_t t = 0; t + 2 < count; t += 3) {
    std::array<double, 3> centre{};
    for (std::size_t k = 0; k < 3; ++k) {
      if (index[t + k] >= points) return {};
      for (std::size_t a = 0; a < 3; ++a) centre[a] += position[index[t + k] * 3 + a] / 3.0;
    }
    sides.push_back(sideOf(centre));
  }
  return sides;
}

class GltfSceneTest : public GltfTest {
 protected:
  void expectSameAsHost(const std::string& glb) {
    tinygltf::Model model;
    ASSERT_TRUE(load(glb, model));
    EXPECT_EQ(model.nodes.size(), host::scene().nodes().size());
    EXPECT_EQ(modelTriangles(model), hostTriangles());
    EXPECT_EQ(modelVertices(model), hostVertices());
    const Bounds expected = hostBounds(), got = modelBounds(model);
    for (std::size_t k = 0; k < 3; ++k) {
      EXPECT_NEAR(got.min[k], expected.min[k], 1e-5) << k;
      EXPECT_NEAR(got.max[k], expected.max[k], 1e-5) << k;
    }
  }
};

TEST_F(GltfSceneTest, SampleDesignIsValidReadsBackAndIsTheSameEachTime) {
  host::setSystemUnit(host::SystemUnit::Centimeters);
  ASSERT_TRUE(importScene(sample()));
  const std::string glb = writeGlb();
  expectValid(glb);
  expectSameAsHost(glb);
  EXPECT_EQ(readFile(writeGlb("again.glb")), readFile(glb));

  freshHost();
  ASSERT_TRUE(importScene(sample(), true));
  const std::string quads = writeGlb("quads.glb");
  expectValid(quads);
  expectSameAsHost(quads);
}

TEST_F(GltfSceneTest, EveryMappingIsValidAndAsWorkedOut) {
  host::setSystemUnit(host::SystemUnit::Millimeters);
  ASSERT_TRUE(importScene(writeMappingDesign(dir.path() / "design")));
  const std::string glb = writeGlb();
  expectValid(glb);
  expectSameAsHost(glb);
  tinygltf::Model model;
  ASSERT_TRUE(load(glb, model));
  ASSERT_EQ(model.nodes.size(), 6u);
  const auto& plain = model.nodes[0];
  const auto& instance = model.nodes[1];
  const auto& mirrored = model.nodes[2];
  const auto& sheared = model.nodes[3];
  auto primitive = [&](const tinygltf::Node& node) {
    return model.meshes[static_cast<std::size_t>(node.mesh)].primitives[0];
  };

  // Instances with different materials: two meshes, one set of accessors.
  EXPECT_NE(plain.mesh, instance.mesh);
  EXPECT_EQ(primitive(plain).attributes, primitive(instance).attributes);
  EXPECT_EQ(primitive(plain).indices, primitive(instance).indices);
  EXPECT_EQ(primitive(mirrored).attributes, primitive(plain).attributes);
  // Corners split where the normals differ (six corners, six normals),
  // two UV sets, normals of unit length.
  const auto& attributes = primitive(plain).attributes;
  EXPECT_EQ(attributes.count("TEXCOORD_1"), 1u);
  EXPECT_EQ(model.accessors[static_cast<std::size_t>(attributes.at("NORMAL"))].count, 6u);
  // The mirror is a negative scale; the shear is baked, the node keeps only
  // its offset, 3 m towards +Z (the host's -Y).
  EXPECT_EQ(mirrored.scale, (std::vector<double>{1, 1, -1}));
  EXPECT_TRUE(sheared.rotation.empty());
  EXPECT_TRUE(sheared.scale.empty());
  EXPECT_EQ(sheared.translation, (std::vector<double>{0, 0, 3}));
  EXPECT_NE(primitive(sheared).attributes.at("POSITION"), attributes.at("POSITION"));
  // Normals and UVs indexed like the vertices: the vertices as they are,
  // the normals made unit length and turned (the host's -Y is glTF's +Z).
  const auto& parallel = primitive(model.nodes[4]).attributes;
  const auto& normals = model.accessors[static_cast<std::size_t>(parallel.at("NORMAL"))];
  ASSERT_EQ(normals.count, 4u);
  const auto& view = model.bufferViews[static_cast<std::size_t>(normals.bufferView)];
  const auto* normal = reinterpret_cast<const float*>(model.buffers[0].data.data() + view.byteOffset) + 3;
  EXPECT_EQ((std::vector<float>(normal, normal + 3)), (std::vector<float>{0, 0, 1}));

  const auto& full = model.materials[static_cast<std::size_t>(primitive(plain).material)];
  EXPECT_NEAR(full.pbrMetallicRoughness.roughnessFactor, 0.2, 1e-6);  // glossiness 0.8 inverted
  EXPECT_EQ(full.alphaMode, "MASK");
  EXPECT_EQ(full.alphaCutoff, 0.5);
  // A tiling of 2 from the scene's UVW transform: texture read at
  // (2u, 1 - 2v) of glTF's (u, v) = (u, 1 - v of the host).
  const auto& transform = full.pbrMetallicRoughness.baseColorTexture.extensions.at("KHR_texture_transform");
  EXPECT_EQ(transform.Get("scale").Get(0).GetNumberAsDouble(), 2.0);
  EXPECT_EQ(transform.Get("offset").Get(0).GetNumberAsDouble(), 0.0);
  EXPECT_EQ(transform.Get("offset").Get(1).GetNumberAsDouble(), -1.0);
  EXPECT_NEAR(full.extensions.at("KHR_materials_transmission").Get("transmissionFactor").GetNumberAsDouble(), 0.2,
              1e-6);
  EXPECT_NEAR(full.extensions.at("KHR_materials_ior").Get("ior").GetNumberAsDouble(), 1.6, 1e-6);
  EXPECT_NEAR(full.extensions.at("KHR_materials_specular").Get("specularColorFactor").Get(0).GetNumberAsDouble(), 0.5,
              1e-6);
  const auto& light = model.materials[static_cast<std::size_t>(primitive(instance).material)];
  EXPECT_NEAR(light.extensions.at("KHR_materials_emissive_strength").Get("emissiveStrength").GetNumberAsDouble(), 3.0,
              1e-6);
  EXPECT_NEAR(light.emissiveFactor[1], 0.9, 1e-6);
  EXPECT_EQ(light.pbrMetallicRoughness.baseColorFactor[0], 0.0);

  // The export's losses, beside the import's.
  std::vector<std::string> lost;
  for (const ReportEntry& entry : report.entries()) {
    EXPECT_EQ(entry.stage, ReportStage::Export);
    lost.push_back(entry.kind + "|" + entry.subject);
  }
  EXPECT_EQ(lost, (std::vector<std::string>{"mirrored node|mirrored", "shear baked into mesh|sheared",
                                            "normal replaced|plain", "normal replaced|sheared", "map left out|Bump Map",
                                            "map left out|Base Color Map"}));
  // The mesh without UVs wears the colour without the texture.
  const auto& bare = model.materials[static_cast<std::size_t>(primitive(model.nodes[5]).material)];
  EXPECT_EQ(bare.pbrMetallicRoughness.baseColorTexture.index, -1);
}

// The cube as a mesh (written straight from its arrays), an instance of it
// in wood alone, and a quadrified copy (built): each multi-material node's
// mesh has a primitive per sub-material, holding exactly the sides of its
// ID, over the vertex data the instance reads too.
TEST_F(GltfSceneTest, MultiSubObjectGivesAPrimitivePerSubMaterialOverSharedVertices) {
  host::setSystemUnit(host::SystemUnit::Millimeters);
  const TwoMaterialCube cube = twoMaterialCube();
  INode* instance = GetCOREInterface()->CreateObjectNode(cube.object);
  instance->SetMtl(cube.wood);
  const TwoMaterialCube quads = twoMaterialCube();
  std::unique_ptr<PolyObject> poly = host::polyFromMesh(quads.object->GetMesh());
  ASSERT_EQ(host::quadrify(*poly), 6);
  host::scene().replaceObject(quads.object, std::move(poly));
  Matrix3 tm;
  tm.SetRow(3, Point3(3000.0f, 0.0f, 0.0f));
  quads.node->SetNodeTM(0, tm);

  const std::string glb = writeGlb();
  expectValid(glb);
  expectSameAsHost(glb);
  tinygltf::Model model;
  ASSERT_TRUE(load(glb, model));
  ASSERT_EQ(model.nodes.size(), 3u);
  auto meshOf = [&](std::size_t node) -> const tinygltf::Mesh& {
    return model.meshes[static_cast<std::size_t>(model.nodes[node].mesh)];
  };
  auto baseColor = [&](const tinygltf::Primitive& primitive) {
    const auto& factor =
        model.materials[static_cast<std::size_t>(primitive.material)].pbrMetallicRoughness.baseColorFactor;
    return std::array<double, 3>{factor[0], factor[1], factor[2]};
  };
  const std::array<double, 3> glass{0.2f, 0.6f, 1.0f}, wood{0.8f, 0.4f, 0.2f};
  for (const std::size_t node : {std::size_t{0}, std::size_t{2}}) {
    const auto& primitives = meshOf(node).primitives;
    ASSERT_EQ(primitives.size(), 2u) << node;
    EXPECT_EQ(primitives[0].attributes, primitives[1].attributes);
    EXPECT_NE(primitives[0].indices, primitives[1].indices);
    EXPECT_EQ(baseColor(primitives[0]), glass);  // ID 0 first
    EXPECT_EQ(baseColor(primitives[1]), wood);
    for (std::size_t p = 0; p < 2; ++p) {
      const std::vector<CubeSide> sides = sidesOf(model, primitives[p]);
      EXPECT_EQ(sides.size(), 6u);  // three sides
      for (const CubeSide side : sides) EXPECT_EQ(kCubeSideIds[side], p == 0 ? kGlassId : kWoodId) << node;
    }
  }
  const auto& alone = meshOf(1).primitives;
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(baseColor(alone[0]), wood);
  EXPECT_EQ(alone[0].attributes, meshOf(0).primitives[0].attributes);
}

// Imported from a 3ds Max-style scene: the box's Multi/Sub-Object, whose
// IDs wrap, as a primitive per sub-material, each on the sides worked out
// from 3ds Max's box IDs (1 to 6 bottom, top, front, right, back, left as 2,
// 1, 5, 4, 6, 3, one lower stored): wood on the even ones, metal on the odd.
TEST_F(GltfSceneTest, ImportedMultiSubObjectGivesEachFaceItsSubMaterial) {
  host::setSystemUnit(host::SystemUnit::Millimeters);
  ASSERT_TRUE(importScene(std::string(CVIMP_SAMPLES_DIR) + "/exporters/max/scene.vrscene"));
  const std::string glb = writeGlb();
  expectValid(glb);
  expectSameAsHost(glb);
  tinygltf::Model model;
  ASSERT_TRUE(load(glb, model));
  const auto& primitives = model.meshes[static_cast<std::size_t>(model.nodes[0].mesh)].primitives;
  ASSERT_EQ(primitives.size(), 2u);
  const auto& wood = model.materials[static_cast<std::size_t>(primitives[0].material)].pbrMetallicRoughness;
  const auto& metal = model.materials[static_cast<std::size_t>(primitives[1].material)].pbrMetallicRoughness;
  EXPECT_GE(wood.baseColorTexture.index, 0);
  EXPECT_EQ(metal.baseColorFactor, (std::vector<double>{0.2f, 0.6f, 1.0f, 1.0}));
  EXPECT_EQ(sidesOf(model, primitives[0]), (std::vector<CubeSide>{kTop, kTop, kFront, kFront, kLeft, kLeft}));
  EXPECT_EQ(sidesOf(model, primitives[1]), (std::vector<CubeSide>{kBottom, kBottom, kRight, kRight, kBack, kBack}));
}

TEST_F(GltfSceneTest, NodeTransformTurnedUpAndInMetres) {
  // A quarter turn about the host's Z (up) at (100, 200, 300) cm: glTF's Y
  // is up, its Z the host's -Y, lengths in metres.
  host::setSystemUnit(host::SystemUnit::Centimeters);
  TriObject* object = CreateNewTriObject();
  Mesh& mesh = object->GetMesh();
  mesh.setNumVerts(3);
  mesh.setVert(0, Point3(0.0f, 0.0f, 0.0f));
  mesh.setVert(1, Point3(100.0f, 0.0f, 0.0f));
  mesh.setVert(2, Point3(0.0f, 100.0f, 0.0f));
  mesh.setNumFaces(1);
  mesh.faces[0].setVerts(0, 1, 2);
  INode* node = GetCOREInterface()->CreateObjectNode(object);
  Matrix3 tm;
  tm.SetRow(0, Point3(0.0f, 1.0f, 0.0f));
  tm.SetRow(1, Point3(-1.0f, 0.0f, 0.0f));
  tm.SetRow(3, Point3(100.0f, 200.0f, 300.0f));
  node->SetNodeTM(0, tm);

  const std::string glb = writeGlb();
  expectValid(glb);
  tinygltf::Model model;
  ASSERT_TRUE(load(glb, model));
  const auto& n = model.nodes.at(0);
  ASSERT_EQ(n.translation.size(), 3u);
  EXPECT_NEAR(n.translation[0], 1.0, 1e-7);
  EXPECT_NEAR(n.translation[1], 3.0, 1e-7);
  EXPECT_NEAR(n.translation[2], -2.0, 1e-7);
  ASSERT_EQ(n.rotation.size(), 4u);
  EXPECT_NEAR(n.rotation[1], std::sqrt(0.5), 1e-7);
  EXPECT_NEAR(n.rotation[3], std::sqrt(0.5), 1e-7);
  // The host's vertex (0, 100, 0) cm is glTF's (0, 0, -1) m before the node.
  std::size_t count = 0;
  const auto& accessor =
      model.accessors.at(static_cast<std::size_t>(model.meshes[0].primitives[0].attributes.at("POSITION")));
  count = accessor.count;
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(accessor.minValues, (std::vector<double>{0, 0, -1}));
  EXPECT_EQ(accessor.maxValues, (std::vector<double>{1, 0, 0}));
  EXPECT_TRUE(report.empty());
}

// The triangle (0, 0, 0), (1, 0, 0), (0, 1, 0), with map channel 1 of
// `uvPoints` points (one: its corners differ from the points, and the
// writer builds the mesh whole; three: indexed like the points).
TriObject* triangle(int uvPoints) {
  TriObject* object = CreateNewTriObject();
  Mesh& mesh = object->GetMesh();
  mesh.setNumVerts(3);
  mesh.setVert(1, Point3(1.0f, 0.0f, 0.0f));
  mesh.setVert(2, Point3(0.0f, 1.0f, 0.0f));
  mesh.setNumFaces(1);
  mesh.faces[0].setVerts(0, 1, 2);
  mesh.setMapSupport(1);
  mesh.Map(1).setNumVerts(uvPoints);
  mesh.Map(1).setNumFaces(1);
  if (uvPoints == 3) mesh.Map(1).tf[0].setTVerts(0, 1, 2);
  return object;
}

void addBuiltTriangle() { GetCOREInterface()->CreateObjectNode(triangle(1)); }

// Points, normals and UVs indexed alike, as the platform exports them, and
// more data than the writer encodes in one piece, between two meshes it
// builds whole: every value read back in its place.
TEST_F(GltfSceneTest, ALargeMeshReadsBackValueForValue) {
  host::setSystemUnit(host::SystemUnit::Meters);
  constexpr int kSide = 256, kPoints = kSide * kSide, kFaces = 2 * (kSide - 1) * (kSide - 1);
  addBuiltTriangle();
  TriObject* grid = CreateNewTriObject();
  Mesh& mesh = grid->GetMesh();
  mesh.setNumVerts(kPoints);
  mesh.setNumFaces(kFaces);
  mesh.SpecifyNormals();
  MeshNormalSpec& normals = *mesh.GetSpecifiedNormals();
  normals.SetNumNormals(kPoints);
  normals.SetNumFaces(kFaces);
  mesh.setMapSupport(1);
  MeshMap& uvs = mesh.Map(1);
  uvs.setNumVerts(kPoints);
  uvs.setNumFaces(kFaces);
  auto point = [](int i) { return Point3(float(i % kSide), float(i / kSide), float(i % 7)); };
  auto uv = [](int i) { return Point3(float(i % kSide) / kSide, float(i / kSide) / kSide, 0.0f); };
  auto angle = [](int i) { return i * 1e-4; };
  for (int i = 0; i < kPoints; ++i) {
    mesh.setVert(i, point(i));
    normals.Normal(i) = Point3(std::cos(angle(i)), std::sin(angle(i)), 0.0);
    uvs.tv[i] = uv(i);
  }
  int f = 0;
  for (DWORD a = 0; a + kSide + 1 < kPoints; ++a) {
    if (a % kSide == kSide - 1) continue;
    for (const std::array<DWORD, 3>& v :
         {std::array<DWORD, 3>{a, a + 1, a + kSide + 1}, std::array<DWORD, 3>{a, a + kSide + 1, a + kSide}}) {
      mesh.faces[f].setVerts(v[0], v[1], v[2]);
      uvs.tf[f].setTVerts(v[0], v[1], v[2]);
      for (int c = 0; c < 3; ++c) normals.Face(f).SetNormalID(c, static_cast<int>(v[static_cast<std::size_t>(c)]));
      ++f;
    }
  }
  GetCOREInterface()->CreateObjectNode(grid);
  addBuiltTriangle();

  const std::string glb = writeGlb();
  expectValid(glb);
  expectSameAsHost(glb);
  tinygltf::Model model;
  ASSERT_TRUE(load(glb, model));
  const tinygltf::Primitive& primitive =
      model.meshes.at(static_cast<std::size_t>(model.nodes.at(1).mesh)).primitives.at(0);
  std::size_t count = 0;
  auto floats = [&](const char* attribute, std::size_t width) {
    const unsigned char* bytes = accessorBytes(model, primitive.attributes.at(attribute), count);
    EXPECT_EQ(count, std::size_t{kPoints}) << attribute;
    std::vector<float> values(count * width);
    std::memcpy(values.data(), bytes, values.size() * sizeof(float));
    return values;
  };
  const std::vector<float> positions = floats("POSITION", 3), normal = floats("NORMAL", 3),
                           texcoords = floats("TEXCOORD_0", 2);
  for (int i = 0; i < kPoints; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const Point3 p = point(i), t = uv(i);
    ASSERT_EQ(std::vector<float>(positions.begin() + 3 * k, positions.begin() + 3 * k + 3),
              (std::vector<float>{p.x, p.z, -p.y}))
        << i;
    ASSERT_NEAR(normal[3 * k], std::cos(angle(i)), 1e-6) << i;
    ASSERT_NEAR(normal[3 * k + 2], -std::sin(angle(i)), 1e-6) << i;
    ASSERT_EQ(texcoords[2 * k], t.x) << i;
    ASSERT_EQ(texcoords[2 * k + 1], 1.0f - t.y) << i;
  }
  const unsigned char* indices = accessorBytes(model, primitive.indices, count);
  ASSERT_EQ(count, std::size_t{kFaces} * 3);
  for (std::size_t c = 0; c < count; ++c) {
    std::uint32_t index = 0;
    std::memcpy(&index, indices + 4 * c, 4);
    ASSERT_EQ(index, mesh.faces[static_cast<long long>(c / 3)].v[c % 3]) << c;
  }
}

// A 2 x 2 BMP, 24 bits, bottom-up rows padded to four bytes.
std::string bmp() {
  std::string bytes = "BM";
  auto word = [&](std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) bytes += static_cast<char>((v >> (8 * i)) & 0xFF);
  };
  word(70, 4), word(0, 4), word(54, 4), word(40, 4), word(2, 4), word(2, 4), word(1, 2), word(24, 2), word(0, 4),
      word(16, 4), word(2835, 4), word(2835, 4), word(0, 4), word(0, 4);
  for (int row = 0; row < 2; ++row) bytes += std::string("\xff\x00\x00\x00\xff\x00\x00\x00", 8);
  return bytes;
}

TEST_F(GltfSceneTest, ImagesTypedByTheirBytesAndOthersConvertedToPng) {
  // PNG bytes under a ".jpg" name, and a BMP, on two materials' base colour.
  const std::string png = dir.write("wood.jpg", readFile(std::string(CVIMP_SAMPLES_DIR) + "/room/textures/oak.png"));
  const std::string other = dir.write("tiles.bmp", bmp());
  for (const std::string& file : {png, other}) {
    TriObject* object = triangle(3);
    auto* material =
        static_cast<Mtl*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, PHYSICAL_MATERIAL_CLASS_ID));
    BitmapTex* map = NewDefaultBitmapTex();
    const WStr path = WStr::FromUTF8(file.c_str());
    map->SetMap(MaxSDK::AssetManagement::IAssetManager::GetInstance()->GetAsset(path.data(),
                                                                                MaxSDK::AssetManagement::kBitmapAsset));
    material->SetSubTexmap(1, map);
    GetCOREInterface()->CreateObjectNode(object)->SetMtl(material);
  }
  const std::string glb = writeGlb();
  expectValid(glb);
  tinygltf::Model model;
  ASSERT_TRUE(load(glb, model));
  ASSERT_EQ(model.images.size(), 2u);
  EXPECT_EQ(model.images[0].mimeType, "image/png");
  EXPECT_EQ(model.images[1].mimeType, "image/png");
  // tinygltf decodes what it reads: the BMP's blue and green pixels (stored
  // as BGR) survive the conversion.
  const tinygltf::Image& converted = model.images[1];
  ASSERT_EQ(converted.width, 2);
  ASSERT_EQ(converted.component, 4);
  EXPECT_EQ((std::vector<int>(converted.image.begin(), converted.image.begin() + 8)),
            (std::vector<int>{0, 0, 255, 255, 0, 255, 0, 255}));
  EXPECT_TRUE(report.empty());
}

TEST_F(GltfSceneTest, AnEmptySceneAndAnUnwritablePath) {
  expectValid(writeGlb());
  std::string error;
  EXPECT_FALSE(writeSceneGlb(platform::utf8FromPath(dir.path() / "no" / "such" / "x.glb"), report, error));
  EXPECT_NE(error.find("cannot write"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));
}

}  // namespace
}  // namespace cvimp::test
