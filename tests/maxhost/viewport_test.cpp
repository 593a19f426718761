// The viewport's pictures, drawn without a window system, checked by their
// pixels: colours worked out by hand from the materials, the maps'
// placement and the light, the selection's and the polygons' edges, zoom
// extents' framing and picking.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "builder/builder.h"
#include "maxhost/viewport/camera_view.h"
#include "maxhost/viewport/offscreen.h"
#include "maxhost/viewport/scene_renderer.h"
#include "state/plugin_state.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "tests/support/two_material_cube.h"
#include "tools/scenegen/png_writer.h"
#include "tools/scenegen/scene_writer.h"

namespace {

using Rgb = std::array<int, 3>;
namespace vp = maxhost::viewport;

constexpr Rgb kBackground{vp::kBackground[0], vp::kBackground[1], vp::kBackground[2]};
constexpr Rgb kWhite{255, 255, 255};
// The checker's two colours, 8 x 8 texels each in a 16 x 16 image.
constexpr std::uint32_t kCellA = 0x3060C0, kCellB = 0xE0A020;
constexpr Rgb kRgbA{0x30, 0x60, 0xC0}, kRgbB{0xE0, 0xA0, 0x20};
// A 16 x 16 image of four quadrants: top left, top right, bottom left,
// bottom right.
constexpr std::array<Rgb, 4> kQuadrants{Rgb{200, 40, 40}, Rgb{40, 200, 40}, Rgb{40, 40, 200}, Rgb{200, 200, 40}};

struct Image {
  int width = 0, height = 0;
  std::vector<unsigned char> rgba;
  Rgb at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 4;
    return {rgba[i], rgba[i + 1], rgba[i + 2]};
  }
  int count(const Rgb& color) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += at(x, y) == color ? 1 : 0;
    return n;
  }
};

class ViewportTest : public cvimp::test::HostTest {
 protected:
  static void SetUpTestSuite() { offscreen = std::make_unique<vp::OffscreenViewport>(); }
  static void TearDownTestSuite() { offscreen.reset(); }

  static Image render(int width = 400, int height = 400) {
    Image image{width, height, {}};
    std::string error;
    EXPECT_TRUE(offscreen->image(width, height, image.rgba, error)) << error;
    return image;
  }

  // A square of `size` in the ground plane from (x, y), two triangles whose
  // shared diagonal is hidden, in a wire colour and no material.
  static INode* square(const char16_t* name, float x, float y, float size, DWORD wire) {
    return quad(name, {{{x, y, 0}, {x + size, y, 0}, {x + size, y + size, 0}, {x, y + size, 0}}}, wire);
  }

  using Xyz = std::array<float, 3>;
  static Point3 point(const Xyz& p) { return {p[0], p[1], p[2]}; }

  static INode* quad(const char16_t* name, const std::array<Xyz, 4>& corners, DWORD wire) {
    TriObject* object = CreateNewTriObject();
    Mesh& mesh = object->GetMesh();
    mesh.setNumVerts(4);
    for (int i = 0; i < 4; ++i) mesh.setVert(i, point(corners[static_cast<std::size_t>(i)]));
    mesh.setNumFaces(2);
    mesh.faces[0].setVerts(0, 1, 2);
    mesh.faces[0].setEdgeVisFlags(1, 1, 0);
    mesh.faces[1].setVerts(0, 2, 3);
    mesh.faces[1].setEdgeVisFlags(0, 1, 1);
    INode* node = GetCOREInterface()->CreateObjectNode(object);
    node->SetName(name);
    node->SetWireColor(wire);
    return node;
  }

  // Where a ground-plane point shows in a top view framed on `node` alone
  // (zoom extents: half the image's smaller side spans 1.1 x the half size).
  static std::array<int, 2> topPixel(const host::Box& box, double x, double y, int width, int height) {
    const double cx = (box.min[0] + box.max[0]) / 2, cy = (box.min[1] + box.max[1]) / 2;
    const double size = std::max(box.max[0] - box.min[0], box.max[1] - box.min[1]) / 2 * 1.1;
    const double half = std::min(width, height) / 2.0;
    return {static_cast<int>(std::floor(width / 2.0 + (x - cx) / size * half)),
            static_cast<int>(std::floor(height / 2.0 - (y - cy) / size * half))};
  }

  // The colour at (u, v) across a node's box, framed alone in a top view.
  static Rgb across(const Image& image, INode& node, double u, double v) {
    const host::Box box = host::worldBox(node);
    const auto [x, y] = topPixel(box, box.min[0] + u * (box.max[0] - box.min[0]),
                                 box.min[1] + v * (box.max[1] - box.min[1]), image.width, image.height);
    return image.at(x, y);
  }

  static std::unique_ptr<vp::OffscreenViewport> offscreen;
  cvimp::test::TempDir dir;
};

std::unique_ptr<vp::OffscreenViewport> ViewportTest::offscreen;

void importScene(const std::filesystem::path& path, const std::string& text);

// A floor of a plain colour and, beside it, a square metre whose map is
// the checker tiled twice, and one whose map of quadrants is turned a
// quarter and moved a quarter, imported through the import driver.
void importColourAndMap(const std::filesystem::path& folder) {
  using namespace cvimp::scenegen;
  std::filesystem::create_directories(folder / "textures");
  std::ofstream(folder / "textures" / "checker.png", std::ios::binary) << checkerPng(16, 8, kCellA, kCellB);
  std::vector<std::uint8_t> quadrants;
  for (int row = 0; row < 16; ++row)
    for (int column = 0; column < 16; ++column)
      for (const int channel : kQuadrants[(row / 8) * 2 + column / 8])
        quadrants.push_back(static_cast<std::uint8_t>(channel));
  std::ofstream(folder / "textures" / "quadrants.png", std::ios::binary) << encodePng(16, 16, quadrants);
  SceneWriter w;
  w.plugin("GeomStaticMesh", "mesh_square",
           {{"vertices", listVectorHex({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}})},
            {"faces", listIntHex({0, 1, 2, 0, 2, 3})},
            {"normals", listVectorHex({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}, {0, 0, 1}})},
            {"faceNormals", listIntHex({0, 1, 2, 0, 2, 3})},
            {"map_channels", "List(List(1, " + listVectorHex({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}) + ", " +
                                 listIntHex({0, 1, 2, 0, 2, 3}) + "))"}});
  w.plugin(
      "UVWGenChannel", "uvw_tiled",
      {{"uvw_channel", "1"},
       {"uvw_transform", "Transform(Matrix(Vector(2, 0, 0), Vector(0, 2, 0), Vector(0, 0, 1)), Vector(0, 0, 0))"}});
  w.plugin(
      "UVWGenChannel", "uvw_turned",
      {{"uvw_channel", "1"},
       {"uvw_transform", "Transform(Matrix(Vector(0, 1, 0), Vector(-1, 0, 0), Vector(0, 0, 1)), Vector(0.25, 0, 0))"}});
  w.plugin("BitmapBuffer", "bitmap_checker", {{"file", "\"textures/checker.png\""}});
  w.plugin("TexBitmap", "tex_checker", {{"bitmap", "bitmap_checker"}, {"uvwgen", "uvw_tiled"}});
  w.plugin("BitmapBuffer", "bitmap_quadrants", {{"file", "\"textures/quadrants.png\""}});
  w.plugin("TexBitmap", "tex_turned", {{"bitmap", "bitmap_quadrants"}, {"uvwgen", "uvw_turned"}});
  w.plugin("BRDFDiffuse", "brdf_turned", {{"color", "tex_turned"}});
  w.plugin("MtlSingleBRDF", "mtl_turned", {{"brdf", "brdf_turned"}});
  w.plugin("BRDFDiffuse", "brdf_plain", {{"color", "Color(0.8, 0.4, 0.2)"}});
  w.plugin("BRDFDiffuse", "brdf_map", {{"color", "tex_checker"}});
  w.plugin("MtlSingleBRDF", "mtl_plain", {{"brdf", "brdf_plain"}});
  w.plugin("MtlSingleBRDF", "mtl_map", {{"brdf", "brdf_map"}});
  const std::string identity = "Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1))";
  w.plugin("Node", "floor",
           {{"transform", "Transform(Matrix(Vector(4, 0, 0), Vector(0, 3, 0), Vector(0, 0, 1)), Vector(0, 0, 0))"},
            {"geometry", "mesh_square"},
            {"material", "mtl_plain"}});
  w.plugin("Node", "tiles",
           {{"transform", "Transform(" + identity + ", Vector(5000, 0, 0))"},
            {"geometry", "mesh_square"},
            {"material", "mtl_map"}});
  w.plugin("Node", "turned",
           {{"transform", "Transform(" + identity + ", Vector(7000, 0, 0))"},
            {"geometry", "mesh_square"},
            {"material", "mtl_turned"}});
  importScene(folder / "design.vrscene", w.text());
}

void importScene(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  cvimp::PluginState state;
  const std::string scene = path.string();
  state.scenePath = WStr::FromUTF8(scene.c_str(), static_cast<std::ptrdiff_t>(scene.size()));
  WStr result;
  bool succeeded = false;
  cvimp::test::captureStdout([&] { succeeded = cvimp::importDesign(state, result); });
  ASSERT_TRUE(succeeded) << result.ToUTF8().data();
}

INode* named(const char16_t* name) { return host::scene().findNode(name); }

TEST_F(ViewportTest, FlatColorShowsBaseColoursAndPlacedMapsExactly) {
  importColourAndMap(dir.path());
  ASSERT_NE(named(u"floor"), nullptr);
  host::setViewType(host::ViewType::Top);
  host::setFlatColor(true);

  // The floor, 4 x 3 m, framed alone: its colour everywhere inside.
  ASSERT_TRUE(host::zoomExtents({named(u"floor")}));
  Image image = render();
  EXPECT_EQ(image.at(200, 200), (Rgb{204, 102, 51}));
  EXPECT_EQ(image.at(30, 200), (Rgb{204, 102, 51}));
  EXPECT_EQ(image.at(5, 200), kBackground);  // beyond the margin

  // The map tiled twice about its centre: u' = 2u - 0.5. At u = 0.375 the
  // map is read at 0.25, in the left column of cells (A above, B below
  // with V up); at u = 0.625, at 0.75, in the right one.
  INode* tiles = named(u"tiles");
  ASSERT_TRUE(host::zoomExtents({tiles}));
  image = render();
  auto texel = [&](double u, double v) { return across(image, *tiles, u, v); };
  EXPECT_EQ(texel(0.375, 0.625), kRgbA);  // read at (0.25, 0.75): top left cell
  EXPECT_EQ(texel(0.625, 0.625), kRgbB);
  EXPECT_EQ(texel(0.375, 0.375), kRgbB);
  EXPECT_EQ(texel(0.625, 0.375), kRgbA);
  // A quarter further on, the tiling repeats.
  EXPECT_EQ(texel(0.875, 0.625), kRgbA);

  // Turned a quarter (W 90 degrees) after an offset of -0.25 in U: read at
  // Rot(90) (uv - c - o) + c = (1 - v, u + 0.25); rows go down from V = 1.
  INode* turned = named(u"turned");
  ASSERT_TRUE(host::zoomExtents({turned}));
  image = render();
  auto quadrant = [&](double u, double v) { return across(image, *turned, u, v); };
  EXPECT_EQ(quadrant(0.5, 0.75), kQuadrants[0]);   // (0.25, 0.75)
  EXPECT_EQ(quadrant(0.5, 0.25), kQuadrants[1]);   // (0.75, 0.75)
  EXPECT_EQ(quadrant(0.05, 0.75), kQuadrants[2]);  // (0.25, 0.3)
  EXPECT_EQ(quadrant(0.05, 0.25), kQuadrants[3]);  // (0.75, 0.3)
}

TEST_F(ViewportTest, ShadingLightsFromTheViewer) {
  importColourAndMap(dir.path());
  host::setViewType(host::ViewType::Top);
  ASSERT_TRUE(host::zoomExtents({named(u"floor")}));
  // Facing the head light: the base colour itself.
  Image image = render();
  const Rgb facing = image.at(200, 200);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(facing[c], (Rgb{204, 102, 51})[c], 1);
  // Turned 60 degrees from it: 0.3 + 0.7 cos 60 = 0.65 of it.
  host::orbit(0, -3.14159265358979 / 3);
  EXPECT_EQ(host::viewport().camera.type, host::ViewType::Orthographic);
  image = render();
  const Rgb turned = image.at(200, 200);
  for (int c = 0; c < 3; ++c) EXPECT_NEAR(turned[c], (Rgb{204, 102, 51})[c] * 0.65, 1.5);
}

// Worked by hand: the cube's top is wood (ID 3) and its front glass (ID 0),
// in Flat Color exactly and shaded facing the light alike; the same as
// quadrified polygons; a face whose ID matches no slot shows the first.
TEST_F(ViewportTest, MultiSubObjectDrawsEachFaceWithItsSubMaterial) {
  using namespace cvimp::test;
  const TwoMaterialCube cube = twoMaterialCube();
  const Rgb wood{kWoodRgb[0], kWoodRgb[1], kWoodRgb[2]}, glass{kGlassRgb[0], kGlassRgb[1], kGlassRgb[2]};
  std::string error;
  vp::SceneRenderer* renderer = offscreen->renderer(error);
  ASSERT_NE(renderer, nullptr) << error;
  const vp::UploadStats stats = renderer->sync();
  EXPECT_EQ(stats.objects, 1u);  // once, whatever the sub-materials
  EXPECT_EQ(stats.triangles, 12u);
  auto centre = [](host::ViewType view) {
    host::setViewType(view);
    EXPECT_TRUE(host::zoomExtents());
    return render().at(200, 200);
  };
  host::setFlatColor(true);
  EXPECT_EQ(centre(host::ViewType::Top), wood);
  EXPECT_EQ(centre(host::ViewType::Front), glass);
  host::setFlatColor(false);
  const Rgb top = centre(host::ViewType::Top), front = centre(host::ViewType::Front);
  for (int c = 0; c < 3; ++c) {
    EXPECT_NEAR(top[c], wood[c], 1);
    EXPECT_NEAR(front[c], glass[c], 1);
  }

  host::setFlatColor(true);
  Mesh& mesh = cube.object->GetMesh();
  for (const int face : {kFront * 2, kFront * 2 + 1}) mesh.faces[face].setMatID(9);
  mesh.InvalidateTopologyCache();
  EXPECT_EQ(centre(host::ViewType::Front), wood);

  std::unique_ptr<PolyObject> poly = host::polyFromMesh(mesh);
  ASSERT_EQ(host::quadrify(*poly), 6);
  poly->faces[kFront].materialId = kGlassId;
  host::scene().replaceObject(cube.object, std::move(poly));
  EXPECT_EQ(centre(host::ViewType::Top), wood);
  EXPECT_EQ(centre(host::ViewType::Front), glass);
}

// Imported as 3ds Max writes a Multi/Sub-Object: wood (ID 4) and glass
// (ID 1), IDs wrapping modulo 5. The top's ID 4 is wood as it stands, the
// front's 6 wraps to glass, the left's 3 matches nothing and takes wood.
TEST_F(ViewportTest, ImportedMultiSubObjectShowsEachFaceInItsSubMaterial) {
  using namespace cvimp::test;
  using namespace cvimp::scenegen;
  std::vector<Vec3> vertices;
  for (int i = 0; i < 8; ++i) {
    vertices.push_back({(i & 1) != 0 ? 1000.0f : 0.0f, (i & 2) != 0 ? 1000.0f : 0.0f, (i & 4) != 0 ? 1000.0f : 0.0f});
  }
  const std::array<std::array<int, 4>, 6> sides{
      {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}}};
  const std::array<int, 6> sideIds{9, 4, 6, 8, 2, 3};  // bottom, top, front, right, back, left
  std::vector<std::int32_t> faces, ids;
  for (std::size_t k = 0; k < sides.size(); ++k) {
    const auto& q = sides[k];
    faces.insert(faces.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
    ids.insert(ids.end(), {sideIds[k], sideIds[k]});
  }
  SceneWriter w;
  w.plugin("GeomStaticMesh", "Box001@mesh1",
           {{"vertices", listVectorHex(vertices)}, {"faces", listIntHex(faces)}, {"face_mtlIDs", listIntHex(ids)}});
  w.plugin("BRDFVRayMtl", "mtl_Wood@1", {{"diffuse", "AColor(0.8, 0.4, 0.2, 1)"}});
  w.plugin("BRDFVRayMtl", "mtl_Glass@2", {{"diffuse", "AColor(0.2, 0.6, 1, 1)"}});
  w.plugin("MtlMulti", "mtl_Box@3",
           {{"mtls_list", "List(mtl_Wood@1, mtl_Glass@2)"}, {"ids_list", "ListInt(4, 1)"}, {"wrap_id", "1"}});
  w.plugin("MtlRenderStats", "mtl_Box@3|stats", {{"base_mtl", "mtl_Box@3"}});
  w.plugin("Node", "Box001@node_1",
           {{"transform", "Transform(Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)), Vector(0, 0, 0))"},
            {"geometry", "Box001@mesh1"},
            {"material", "mtl_Box@3|stats"}});
  importScene(dir.path() / "box.vrscene", w.text());

  const Rgb wood{kWoodRgb[0], kWoodRgb[1], kWoodRgb[2]}, glass{kGlassRgb[0], kGlassRgb[1], kGlassRgb[2]};
  host::setFlatColor(true);
  auto centre = [](host::ViewType view) {
    host::setViewType(view);
    EXPECT_TRUE(host::zoomExtents());
    return render().at(200, 200);
  };
  EXPECT_EQ(centre(host::ViewType::Top), wood);
  EXPECT_EQ(centre(host::ViewType::Front), glass);
  EXPECT_EQ(centre(host::ViewType::Left), wood);
}

TEST_F(ViewportTest, EdgesShowPolygonsAndTheSelectionInWhite) {
  INode* node = square(u"quad", 0, 0, 1000, RGB(200, 0, 0));
  host::setViewType(host::ViewType::Top);
  host::setFlatColor(true);
  ASSERT_TRUE(host::zoomExtents());
  const host::Box box = host::worldBox(*node);
  // Along the hidden diagonal and along a side, a few pixels in from the
  // corners.
  auto along = [&](const Image& image, double x0, double y0, double x1, double y1, const Rgb& color) {
    int hits = 0;
    for (int i = 10; i <= 90; i += 10) {
      const double t = i / 100.0;
      const auto [x, y] = topPixel(box, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, 400, 400);
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (image.at(x + dx, y + dy) == color) {
            hits += 1;
            dy = dx = 2;
          }
        }
    }
    return hits;
  };
  Image image = render();
  EXPECT_EQ(image.count(kWhite), 0);
  EXPECT_EQ(image.at(200, 200), (Rgb{200, 0, 0}));

  GetCOREInterface()->SelectNode(node);
  image = render();
  EXPECT_EQ(along(image, 0, 0, 1000, 0, kWhite), 9);     // a side
  EXPECT_EQ(along(image, 0, 0, 1000, 1000, kWhite), 0);  // the diagonal stays hidden

  // As an editable poly quadrified, with edged faces: the quad's sides, no
  // diagonal. Without a material its surface shows the wire colour, and its
  // edges half of it.
  GetCOREInterface()->ClearNodeSelection();
  std::unique_ptr<PolyObject> poly = host::polyFromMesh(static_cast<TriObject*>(node->GetObjectRef())->GetMesh());
  ASSERT_EQ(host::quadrify(*poly), 1);
  host::scene().replaceObject(node->GetObjectRef(), std::move(poly));
  node->SetWireColor(RGB(0, 0, 180));
  host::setEdgedFaces(true);
  image = render();
  EXPECT_EQ(along(image, 0, 1000, 1000, 1000, Rgb{0, 0, 90}), 9);
  EXPECT_EQ(along(image, 0, 0, 1000, 1000, Rgb{0, 0, 90}), 0);
}

TEST_F(ViewportTest, ZoomExtentsShowsTheWholeSceneWithAMargin) {
  square(u"near", -3000, 200, 500, RGB(255, 0, 0));
  square(u"far", 2500, -1800, 500, RGB(255, 0, 0));
  // Both lie in the ground plane, which the side views see edge-on.
  for (const host::ViewType view : {host::ViewType::Perspective, host::ViewType::Top}) {
    host::setViewType(view);
    ASSERT_TRUE(host::zoomExtents());
    for (const auto& [width, height] : {std::pair{400, 300}, std::pair{300, 400}}) {
      const Image image = render(width, height);
      int inside = 0, margin = 0;
      const int band = std::min(width, height) / 40;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
          if (image.at(x, y) != (Rgb{255, 0, 0}) && image.at(x, y)[0] < 120) continue;
          const bool edge = x < band || y < band || x >= width - band || y >= height - band;
          (edge ? margin : inside) += 1;
        }
      EXPECT_GT(inside, 0) << host::viewName(view) << " " << width << "x" << height;
      EXPECT_EQ(margin, 0) << host::viewName(view) << " " << width << "x" << height;
    }
  }
}

TEST_F(ViewportTest, PickingFindsTheNodeUnderThePointer) {
  INode* left = square(u"left", 0, 0, 1000, RGB(0, 200, 0));
  INode* right = square(u"right", 2000, 0, 1000, RGB(0, 0, 200));
  host::setViewType(host::ViewType::Top);
  ASSERT_TRUE(host::zoomExtents());
  std::string error;
  vp::SceneRenderer* renderer = offscreen->renderer(error);
  ASSERT_NE(renderer, nullptr) << error;
  const host::Box box = host::sceneBox({left, right});
  const auto [lx, ly] = topPixel(box, 500, 500, 400, 300);
  const auto [rx, ry] = topPixel(box, 2500, 500, 400, 300);
  EXPECT_EQ(renderer->pick(400, 300, host::viewport(), lx, ly), left);
  EXPECT_EQ(renderer->pick(400, 300, host::viewport(), rx, ry), right);
  EXPECT_EQ(renderer->pick(400, 300, host::viewport(), 2, 2), nullptr);
  EXPECT_EQ(renderer->pick(400, 300, host::viewport(), 400, 2), nullptr);  // outside the picture
}

// Cameras and lights, made in the host as an import makes them.
class CameraLightTest : public ViewportTest {
 protected:
  // A room of 4 x 3 m, 2.7 m high, each wall in its own colour.
  void SetUp() override {
    ViewportTest::SetUp();
    quad(u"north", {{{0, 3000, 0}, {4000, 3000, 0}, {4000, 3000, 2700}, {0, 3000, 2700}}}, RGB(200, 0, 0));
    quad(u"east", {{{4000, 0, 0}, {4000, 3000, 0}, {4000, 3000, 2700}, {4000, 0, 2700}}}, RGB(0, 200, 0));
    quad(u"west", {{{0, 0, 0}, {0, 3000, 0}, {0, 3000, 2700}, {0, 0, 2700}}}, RGB(0, 0, 200));
    host::setFlatColor(true);
  }

  static Matrix3 rows(const Xyz& x, const Xyz& y, const Xyz& z, const Xyz& at) {
    Matrix3 tm;
    tm.SetRow(0, point(x));
    tm.SetRow(1, point(y));
    tm.SetRow(2, point(z));
    tm.SetRow(3, point(at));
    return tm;
  }
  static INode* place(SClass_ID superClass, Class_ID classId, const char16_t* name, Matrix3 tm, DWORD wire) {
    auto* object = static_cast<Object*>(GetCOREInterface()->CreateInstance(superClass, classId));
    INode* node = GetCOREInterface()->CreateObjectNode(object);
    node->SetName(name);
    node->SetNodeTM(0, tm);
    node->SetWireColor(wire);
    return node;
  }
  // In the middle of the room at eye height, looking north (local -Z to +Y,
  // +Y up).
  static INode* camera(const char16_t* name, float fov) {
    INode* node = place(CAMERA_CLASS_ID, PHYSICAL_CAMERA_CLASS_ID, name,
                        rows({1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {2000, 1500, 1350}), RGB(0, 160, 160));
    set(*node, u"fov", fov);
    return node;
  }
  static INode* light(const char16_t* shape, const Xyz& at, DWORD wire) {
    INode* node = place(LIGHT_CLASS_ID, FREE_LIGHT_CLASS_ID, u"light", rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, at), wire);
    IParamBlock2* block = node->GetObjectRef()->GetParamBlock(0);
    block->SetValue(paramId(*node, u"shape"), 0, shape);
    set(*node, u"width", 1000.0f);
    set(*node, u"length", 600.0f);
    return node;
  }
  static ParamID paramId(INode& node, const char16_t* name) {
    IParamBlock2* block = node.GetObjectRef()->GetParamBlock(0);
    for (int i = 0; i < block->NumParams(); ++i)
      if (std::u16string_view(block->GetParamDef(block->IndextoID(i)).int_name) == name) return block->IndextoID(i);
    ADD_FAILURE() << "no parameter";
    return -1;
  }
  template <typename Value>  // float, or int for a boolean
  static void set(INode& node, const char16_t* name, Value value) {
    node.GetObjectRef()->GetParamBlock(0)->SetValue(paramId(node, name), 0, value);
  }
};

// The horizontal field of view spans the frame's width: from the middle of
// a room 4 m wide, 1.5 m from the north wall, 90 degrees see x from 500 to
// 3500 (all north wall), 120 degrees past both corners (tan 60 x 1.5 m =
// 2.6 m). Orthographic at 1 m, even 120 degrees span only 3.46 m.
TEST_F(CameraLightTest, CameraViewShowsWhatTheCameraFacesLetterboxed) {
  INode* node = camera(u"Camera001", 90);
  GetCOREInterface()->SetRendWidth(800);
  GetCOREInterface()->SetRendHeight(400);
  ASSERT_TRUE(host::lookThrough(node));
  Image image = render();
  const Rgb north{200, 0, 0}, east{0, 200, 0}, west{0, 0, 200};
  EXPECT_EQ(image.at(200, 200), north);
  EXPECT_EQ(image.at(2, 200), north);
  // 2:1 in a square: bands above and below.
  EXPECT_EQ(image.at(200, 20), (Rgb{vp::kLetterbox[0], vp::kLetterbox[1], vp::kLetterbox[2]}));
  EXPECT_EQ(image.count(north), 400 * 200);

  set(*node, u"fov", 120.0f);
  image = render();
  EXPECT_EQ(image.at(200, 200), north);
  EXPECT_EQ(image.at(397, 200), east);
  EXPECT_EQ(image.at(2, 200), west);
  set(*node, u"orthographic", 1);
  set(*node, u"target_distance", 1000.0f);
  image = render();
  EXPECT_EQ(image.at(2, 200), north);
  EXPECT_EQ(image.at(397, 200), north);

  // Turned to face east; a move of the view leaves the camera as it is.
  set(*node, u"orthographic", 0);
  Matrix3 facingEast = rows({0, -1, 0}, {0, 0, 1}, {-1, 0, 0}, {2000, 1500, 1350});
  node->SetNodeTM(0, facingEast);
  EXPECT_EQ(render().at(200, 200), east);
  host::orbit(0.1, 0);
  EXPECT_EQ(host::viewport().camera.type, host::ViewType::Perspective);
  EXPECT_EQ(host::viewedCamera(host::viewport().camera), nullptr);
  EXPECT_EQ(node->GetNodeTM(0).GetRow(3), point({2000, 1500, 1350}));
}

// A light's icon in its wire colour, white once selected, picked within a
// few pixels of its lines; zoom extents takes in a light far away.
TEST_F(CameraLightTest, LightIconsAreSelectedWhitePickedAndFramed) {
  const Rgb wire{250, 200, 0};
  INode* node = light(u"rectangle", {20000, 1500, 2000}, RGB(250, 200, 0));
  host::setViewType(host::ViewType::Top);
  ASSERT_TRUE(host::zoomExtents());
  Image image = render();
  EXPECT_GT(image.count(wire), 20);
  EXPECT_EQ(image.count(kWhite), 0);
  EXPECT_NEAR(host::viewport().camera.target[0], (0 + 20500) / 2.0, 1);  // the room to the light's far side

  // Framed on the light alone: its 1 x 0.6 m rectangle fills the middle.
  ASSERT_TRUE(host::zoomExtents({node}));
  image = render();
  // Its right side, found from the picture's right (its diagonals cross
  // the middle).
  int edge = 399;
  while (edge > 200 && image.at(edge, 250) != wire) --edge;
  ASSERT_GT(edge, 300);
  std::string error;
  vp::SceneRenderer* renderer = offscreen->renderer(error);
  ASSERT_NE(renderer, nullptr) << error;
  EXPECT_EQ(renderer->pick(400, 400, host::viewport(), edge - 3, 250), node);
  EXPECT_EQ(renderer->pick(400, 400, host::viewport(), edge - 8, 250), nullptr);
  GetCOREInterface()->SelectNode(node);
  image = render();
  EXPECT_EQ(image.count(wire), 0);
  EXPECT_GT(image.count(kWhite), 20);
}

TEST_F(CameraLightTest, CameraViewChoosesByNameOrSelectionOrFirst) {
  std::string text;
  EXPECT_FALSE(vp::viewThroughCamera("", text));
  EXPECT_EQ(text, "No camera in the scene");
  EXPECT_EQ(host::viewport().camera.type, host::ViewType::Perspective);
  INode* first = camera(u"Camera001", 60);
  INode* second = camera(u"Camera002", 60);
  EXPECT_FALSE(vp::viewThroughCamera("Camera003", text));
  EXPECT_EQ(text, "No camera named Camera003");
  EXPECT_FALSE(host::lookThrough(named(u"north")));
  EXPECT_TRUE(vp::viewThroughCamera("Camera002", text));
  EXPECT_EQ(host::viewedCamera(host::viewport().camera), second);
  EXPECT_TRUE(vp::viewThroughCamera("", text));
  EXPECT_EQ(text, "Camera001");
  GetCOREInterface()->SelectNode(second);
  EXPECT_TRUE(vp::viewThroughCamera("", text));
  EXPECT_EQ(host::viewedCamera(host::viewport().camera), second);
  // Its object replaced by a mesh, the view shows the default perspective.
  host::scene().replaceObject(second->GetObjectRef(), std::make_unique<TriObject>());
  EXPECT_EQ(host::viewedCamera(host::viewport().camera), nullptr);
  EXPECT_GT(render().count(kBackground), 0);
  EXPECT_NE(first, nullptr);
}

}  // namespace
