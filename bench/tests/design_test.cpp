// The benchmark design, written small: the same bytes on every run, and a
// document the scene reader loads without a complaint, whose plugins form
// the mesh, node and material graph the totals describe, in either layout and
// with any number of flats. And the digest of a document, which must see a
// change as small as one decoded byte.
#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>

#include "bench/design_writer.h"
#include "bench/document_digest.h"
#include "tests/support/test_support.h"
#include "vrscene/vrscene.h"

namespace cvimp::bench {
namespace {

namespace fs = std::filesystem;

constexpr DesignOptions kSmall{0.08, 6};

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

std::map<std::string, std::string> filesIn(const fs::path& directory) {
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(directory)) {
    files[entry.path().filename().string()] = contents(entry.path());
  }
  return files;
}

// A design loaded and prebuilt, with whatever the reader printed.
struct Loaded {
  std::unique_ptr<VrpScene> scene = std::make_unique<VrpScene>();
  std::vector<VrpPlugin*> ordered;
  std::string output;
  bool ok = false;

  explicit Loaded(const fs::path& directory) {
    output = test::captureStdout([&] {
      ok = loadScene((directory / "vr.vrscene").string(), *scene, {directory.string()}, true) &&
           prebuildScene(*scene, ordered);
    });
  }

  std::map<std::string, std::size_t> types() const {
    std::map<std::string, std::size_t> counts;
    for (const VrpPlugin* plugin : scene->pluginsInDocumentOrder()) counts[plugin->type] += 1;
    return counts;
  }
};

// One small design, written and loaded once for all the tests.
class SmallDesign : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    directory = std::make_unique<test::TempDir>();
    totals = writeDesign(directory->path(), kSmall);
    design = std::make_unique<Loaded>(directory->path());
    scene = design->scene.get();
  }
  static void TearDownTestSuite() {
    design.reset();
    directory.reset();
  }

  static const VrpPlugin* target(const VrpPlugin& plugin, std::string_view attribute) {
    const VrpValue* value = plugin.findAttribute(attribute);
    if (value == nullptr || value->identifier() == nullptr) return nullptr;
    return scene->findPlugin(value->identifier()->name);
  }

  static inline std::unique_ptr<test::TempDir> directory;
  static inline DesignTotals totals;
  static inline std::unique_ptr<Loaded> design;
  static inline VrpScene* scene = nullptr;
};

TEST_F(SmallDesign, SameOptionsWriteTheSameBytes) {
  test::TempDir again;
  const DesignTotals second = writeDesign(again.path(), kSmall);
  EXPECT_EQ(filesIn(again.path()), filesIn(directory->path()));
  EXPECT_EQ(second.textBytes, totals.textBytes);
  EXPECT_EQ(second.decodedBytes, totals.decodedBytes);
}

TEST_F(SmallDesign, MainFileIncludesFilesOfUnevenSizes) {
  const auto files = filesIn(directory->path());
  EXPECT_EQ(files.size(), totals.files);
  EXPECT_GE(files.size(), 7u);
  std::uint64_t bytes = 0;
  std::size_t smallest = SIZE_MAX, largest = 0;
  for (const auto& [name, text] : files) {
    bytes += text.size();
    if (name == "vr.vrscene") continue;
    smallest = std::min(smallest, text.size());
    largest = std::max(largest, text.size());
  }
  EXPECT_EQ(bytes, totals.textBytes);
  EXPECT_GT(largest, 10 * smallest);
  const std::string& main = files.at("vr.vrscene");
  EXPECT_NE(main.find("#include \"living_room.vrscene\""), std::string::npos);
  // The textiles come in through the living room, one level down.
  EXPECT_EQ(main.find("textiles.vrscene"), std::string::npos);
  EXPECT_NE(files.at("living_room.vrscene").find("#include \"textiles.vrscene\""), std::string::npos);
}

TEST_F(SmallDesign, LoadsAndPrebuildsWithoutDiagnostics) {
  ASSERT_TRUE(design->ok);
  EXPECT_EQ(design->output, "");  // no missing plugin, no undecodable list
  EXPECT_EQ(scene->keptTextBytes(), totals.textBytes);
  EXPECT_EQ(design->ordered.size(), scene->pluginCount());

  std::map<std::string, std::size_t> types = design->types();
  EXPECT_EQ(types["GeomStaticMesh"], totals.meshes);
  EXPECT_EQ(types["Node"], totals.nodes);
  EXPECT_EQ(types["MtlSingleBRDF"], totals.materials);
  EXPECT_EQ(types["BRDFVRayMtl"], totals.materials);
  EXPECT_GT(types["TexBitmap"], 0u);
  EXPECT_EQ(types["TexBitmap"], types["BitmapBuffer"]);
  EXPECT_EQ(types["TexBitmap"], types["UVWGenChannel"]);
}

TEST_F(SmallDesign, MeshListsDecodeToConsistentMeshes) {
  std::uint64_t decoded = 0;
  for (const VrpPlugin* mesh : scene->pluginsInDocumentOrder()) {
    if (mesh->type != "GeomStaticMesh") continue;
    SCOPED_TRACE(mesh->name);
    std::size_t vertexCount = 0, faceCount = 0, normalCount = 0, faceNormalCount = 0, idCount = 0;
    const auto vertices = mesh->getVectorList("vertices", vertexCount);
    const auto faces = mesh->getIntList("faces", faceCount);
    const auto normals = mesh->getVectorList("normals", normalCount);
    const auto faceNormals = mesh->getIntList("faceNormals", faceNormalCount);
    const auto ids = mesh->getIntList("face_mtlIDs", idCount);
    ASSERT_GT(faceCount, 0u);
    ASSERT_EQ(faceCount % 3, 0u);
    ASSERT_EQ(faceNormalCount, faceCount);
    ASSERT_EQ(idCount * 3, faceCount);
    for (std::size_t i = 0; i < faceCount; ++i) {
      ASSERT_LT(static_cast<std::size_t>(faces[i]), vertexCount);
      ASSERT_LT(static_cast<std::size_t>(faceNormals[i]), normalCount);
    }
    // map_channels = List(List(1, uvw vertices, uvw faces))
    const auto& channels = mesh->findAttribute("map_channels")->getValueList(scene);
    ASSERT_EQ(channels.size(), 1u);
    const auto& channel = channels[0].getValueList(scene);
    ASSERT_EQ(channel.size(), 3u);
    EXPECT_EQ(*channel[0].intValue(), 1);
    std::size_t uvwCount = 0, uvwFaceCount = 0;
    EXPECT_NE(channel[1].getVectorList(scene, uvwCount), nullptr);
    const auto uvwFaces = channel[2].getIntList(scene, uvwFaceCount);
    ASSERT_EQ(uvwFaceCount, faceCount);
    for (std::size_t i = 0; i < uvwFaceCount; ++i) ASSERT_LT(static_cast<std::size_t>(uvwFaces[i]), uvwCount);

    decoded += (vertexCount + normalCount + uvwCount) * kVectorElementSize +
               (faceCount + faceNormalCount + uvwFaceCount + idCount) * kIntElementSize;
  }
  EXPECT_EQ(decoded, totals.decodedBytes);
}

TEST_F(SmallDesign, NodesReferenceMeshesAndMaterials) {
  std::map<std::string, int> users;
  std::size_t hexTransforms = 0, textTransforms = 0, textured = 0, coloured = 0;
  for (const VrpPlugin* node : scene->pluginsInDocumentOrder()) {
    if (node->type != "Node") continue;
    SCOPED_TRACE(node->name);
    const VrpPlugin* mesh = target(*node, "geometry");
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->type, "GeomStaticMesh");
    users[mesh->name] += 1;

    const VrpFunction* transform = node->findAttribute("transform")->function();
    ASSERT_NE(transform, nullptr);
    (transform->name == "TransformHex" ? hexTransforms : textTransforms) += 1;
    const VrpTransform t = node->findAttribute("transform")->getTransform(scene);
    EXPECT_NEAR(t.matrix[2].z, 1.0f, 1e-6f);  // turned about the vertical only
    EXPECT_TRUE(t.offset.x > -1000 && t.offset.x < 11000 && t.offset.y > -1000 && t.offset.y < 10000)
        << "outside the flat";

    const VrpPlugin* material = target(*node, "material");
    ASSERT_NE(material, nullptr);
    ASSERT_EQ(material->type, "MtlSingleBRDF");
    const VrpPlugin* brdf = target(*material, "brdf");
    ASSERT_NE(brdf, nullptr);
    ASSERT_EQ(brdf->type, "BRDFVRayMtl");
    if (const VrpPlugin* texture = target(*brdf, "diffuse")) {
      ASSERT_EQ(texture->type, "TexBitmap");
      const VrpPlugin* bitmap = target(*texture, "bitmap");
      ASSERT_NE(bitmap, nullptr);
      EXPECT_TRUE(bitmap->getString("file").starts_with("Z:/vela/data/render/Vray/maps/"));
      const VrpPlugin* uvw = target(*texture, "uvwgen");
      ASSERT_NE(uvw, nullptr);
      EXPECT_EQ(uvw->type, "UVWGenChannel");
      textured += 1;
    } else {
      EXPECT_EQ(brdf->findAttribute("diffuse")->kind(), ValueKind::Color);
      coloured += 1;
    }
  }
  EXPECT_GT(hexTransforms, 0u);
  EXPECT_GT(textTransforms, 0u);
  EXPECT_GT(textured, 0u);
  EXPECT_GT(coloured, 0u);
  int shared = 0;
  for (const auto& [mesh, count] : users) shared += count > 1 ? 1 : 0;
  EXPECT_GE(shared, 10) << "instancing: meshes placed by several nodes";
}

// The split exporters write: the same plugins and values as the room
// layout, only in other files and so in another document order.
TEST_F(SmallDesign, OneGeometryFileHoldsTheSamePlugins) {
  test::TempDir categories;
  DesignOptions options = kSmall;
  options.layout = DesignLayout::Categories;
  const DesignTotals written = writeDesign(categories.path(), options);
  std::vector<std::string> names;
  for (const auto& [name, text] : filesIn(categories.path())) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"vr.vrscene", "vr_geometry.vrscene", "vr_materials.vrscene",
                                             "vr_nodes.vrscene"}));
  EXPECT_EQ(written.decodedBytes, totals.decodedBytes);

  const Loaded other(categories.path());
  ASSERT_TRUE(other.ok);
  EXPECT_EQ(other.output, "");
  EXPECT_EQ(digestDocument(*other.scene, PluginOrder::ByName), digestDocument(*scene, PluginOrder::ByName));
  EXPECT_NE(digestDocument(*other.scene).hash, digestDocument(*scene).hash);
}

TEST_F(SmallDesign, DigestCoversEveryDecodedByte) {
  const DocumentDigest before = digestDocument(*scene);
  EXPECT_EQ(before.plugins, scene->pluginCount());
  EXPECT_EQ(before.decodedBytes, totals.decodedBytes);
  EXPECT_EQ(before.undecodedLists, 0u);

  // The last byte of a list: a digest that left out the tail of a list would miss it.
  VrpFunction* list = nullptr;
  for (VrpPlugin* plugin : scene->pluginsInDocumentOrder()) {
    if (VrpValue* faces = plugin->findAttribute("face_mtlIDs")) list = faces->function();
  }
  ASSERT_NE(list, nullptr);
  ASSERT_NE(list->data, nullptr);
  std::uint8_t& last = list->data[list->count * kIntElementSize - 1];
  last ^= 1;
  const DocumentDigest changed = digestDocument(*scene);
  last ^= 1;
  EXPECT_NE(changed.hash, before.hash);
  EXPECT_EQ(digestDocument(*scene), before);
}

// Every list of a mesh, as the importer reads it.
std::vector<std::vector<std::uint8_t>> meshArrays(const VrpPlugin& mesh) {
  std::vector<std::vector<std::uint8_t>> arrays;
  auto add = [&](const PackedListView& view) {
    const std::uint8_t* data = view.data.get();
    arrays.emplace_back(data, data + (data == nullptr ? 0 : view.count * view.elementSize));
  };
  for (const char* name : {"vertices", "normals"}) add(mesh.viewVectorList(name));
  for (const char* name : {"faces", "faceNormals", "face_mtlIDs"}) add(mesh.viewIntList(name));
  const VrpValue channels = mesh.getValue("map_channels");
  for (const VrpValue& channel : channels.getValueList(mesh.scene)) {
    const std::vector<VrpValue>& items = channel.getValueList(mesh.scene);
    add(items.at(1).viewVectorList(mesh.scene));
    add(items.at(2).viewIntList(mesh.scene));
  }
  return arrays;
}

// The design with its lists as V-Ray for Blender and the App SDK write them:
// loaded without a word, the same document on one thread as on two when read
// in pieces, and meshes holding the packed design's arrays.
TEST(ListStyles, HexAndPlainListsHoldThePackedDesignsArrays) {
  DesignOptions options{0.04, 6};
  test::TempDir packedDirectory;
  const DesignTotals totals = writeDesign(packedDirectory.path(), options);
  const Loaded packed(packedDirectory.path());
  for (const ListStyle style : {ListStyle::Hex, ListStyle::Plain}) {
    test::TempDir directory;
    options.lists = style;
    EXPECT_EQ(writeDesign(directory.path(), options).decodedBytes, totals.decodedBytes);
    auto load = [&](int threads, std::size_t split) {
      const std::size_t setting = splitBytes();
      setSplitBytes(split);
      const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(threads));
      auto loaded = std::make_unique<Loaded>(directory.path());
      setSplitBytes(setting);
      EXPECT_TRUE(loaded->ok);
      EXPECT_EQ(loaded->output, "");
      return loaded;
    };
    const std::unique_ptr<Loaded> serial = load(1, 0);
    EXPECT_EQ(digestDocument(*load(2, 4096)->scene), digestDocument(*serial->scene));

    std::size_t meshes = 0;
    for (const VrpPlugin* mesh : packed.scene->pluginsInDocumentOrder()) {
      if (mesh->type != "GeomStaticMesh") continue;
      const VrpPlugin* same = serial->scene->findPlugin(mesh->name);
      ASSERT_NE(same, nullptr) << mesh->name;
      ASSERT_EQ(meshArrays(*same), meshArrays(*mesh)) << mesh->name;
      meshes += 1;
    }
    EXPECT_EQ(meshes, totals.meshes);
  }
}

// Every flat has its own files, meshes and nodes: a name shared between flats
// would merge two plugins into one and leave the counts short.
TEST(ScaledDesign, FlatsAddFilesAndPluginsOfTheirOwn) {
  test::TempDir directory;
  const DesignOptions options = scaledDesign(2, kSmall);
  ASSERT_EQ(options.flats, 2);
  const DesignTotals totals = writeDesign(directory.path(), options);
  const auto files = filesIn(directory.path());
  EXPECT_EQ(files.size(), 18u);
  EXPECT_NE(files.at("flat2_living_room.vrscene").find("#include \"flat2_textiles.vrscene\""), std::string::npos);
  const Loaded design(directory.path());
  ASSERT_TRUE(design.ok);
  EXPECT_EQ(design.output, "");
  EXPECT_EQ(design.scene->keptTextBytes(), totals.textBytes);
  auto types = design.types();
  EXPECT_EQ(types["GeomStaticMesh"], totals.meshes);
  EXPECT_EQ(types["Node"], totals.nodes);
  EXPECT_EQ(types["MtlSingleBRDF"], totals.materials);
}

}  // namespace
}  // namespace cvimp::bench
