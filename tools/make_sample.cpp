// Writes the small sample design shipped in samples/room: a room with a
// floor, four walls, a rug on a displaced mesh, a ceiling lamp, the
// designer's view (a render view with a physical camera), a rectangle
// light under the lamp and a sphere light in a corner and, in an included
// file, a table and two chairs sharing one mesh. Materials come
// through wrappers, with a bump, a layered BRDF and a light BRDF; two real
// PNG bitmaps sit next to the scene, one named ".jpg" in the scene and
// stored as ".jpg.png" (as package extraction leaves it), one named under a
// render-farm path.
//
//   make_sample OUTPUT_DIRECTORY
#include <cmath>
#include <numbers>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/scenegen/png_writer.h"
#include "tools/scenegen/scene_writer.h"

using namespace cvimp::scenegen;

namespace {

struct Mesh {
  std::vector<Vec3> vertices;
  std::vector<std::int32_t> faces;
  std::vector<Vec3> normals;
  std::vector<std::int32_t> faceNormals;
  std::vector<Vec3> uvws;
  std::vector<std::int32_t> mtlIds;
};

// An axis-aligned box in millimetres, one normal per side, UVs per side.
Mesh box(Vec3 size) {
  Mesh m;
  const float x = size[0], y = size[1], z = size[2];
  struct Side {
    Vec3 normal;
    Vec3 corners[4];
  };
  const Side sides[6] = {
      {{0, 0, -1}, {{0, 0, 0}, {0, y, 0}, {x, y, 0}, {x, 0, 0}}},
      {{0, 0, 1}, {{0, 0, z}, {x, 0, z}, {x, y, z}, {0, y, z}}},
      {{0, -1, 0}, {{0, 0, 0}, {x, 0, 0}, {x, 0, z}, {0, 0, z}}},
      {{0, 1, 0}, {{0, y, 0}, {0, y, z}, {x, y, z}, {x, y, 0}}},
      {{-1, 0, 0}, {{0, 0, 0}, {0, 0, z}, {0, y, z}, {0, y, 0}}},
      {{1, 0, 0}, {{x, 0, 0}, {x, y, 0}, {x, y, z}, {x, 0, z}}},
  };
  const Vec3 uv[4] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
  for (int s = 0; s < 6; ++s) {
    const auto base = static_cast<std::int32_t>(m.vertices.size());
    for (int c = 0; c < 4; ++c) {
      m.vertices.push_back(sides[s].corners[c]);
      m.uvws.push_back(uv[c]);
    }
    m.normals.push_back(sides[s].normal);
    for (int tri = 0; tri < 2; ++tri) {
      const std::int32_t a = base, b = base + 1 + tri, c = base + 2 + tri;
      m.faces.insert(m.faces.end(), {a, b, c});
      m.faceNormals.insert(m.faceNormals.end(), {s, s, s});
      m.mtlIds.push_back(s == 1 ? 1 : 0);
    }
  }
  return m;
}

// A flat grid of nx by ny cells, each cell two triangles: what the quadrify
// step turns back into quads.
Mesh grid(float width, float depth, int nx, int ny) {
  Mesh m;
  for (int j = 0; j <= ny; ++j) {
    for (int i = 0; i <= nx; ++i) {
      m.vertices.push_back({width * static_cast<float>(i) / static_cast<float>(nx),
                            depth * static_cast<float>(j) / static_cast<float>(ny), 0});
      m.uvws.push_back({static_cast<float>(i) / static_cast<float>(nx), static_cast<float>(j) / static_cast<float>(ny),
                        0});
    }
  }
  m.normals.push_back({0, 0, 1});
  for (int j = 0; j < ny; ++j) {
    for (int i = 0; i < nx; ++i) {
      const std::int32_t a = j * (nx + 1) + i, b = a + 1, c = a + nx + 2, d = a + nx + 1;
      m.faces.insert(m.faces.end(), {a, b, c, a, c, d});
      m.faceNormals.insert(m.faceNormals.end(), {0, 0, 0, 0, 0, 0});
      m.mtlIds.insert(m.mtlIds.end(), {0, 0});
    }
  }
  return m;
}

std::string packedVectors(const std::vector<Vec3>& v) { return "ListVectorHex(\"" + packVectors(v) + "\")"; }
std::string packedInts(const std::vector<std::int32_t>& v) { return "ListIntHex(\"" + packInts(v) + "\")"; }

void writeMesh(SceneWriter& w, const std::string& name, const Mesh& m) {
  w.begin("GeomStaticMesh", name);
  w.attribute("vertices", packedVectors(m.vertices));
  w.attribute("faces", packedInts(m.faces));
  w.attribute("normals", packedVectors(m.normals));
  w.attribute("faceNormals", packedInts(m.faceNormals));
  // The UVW faces index the UVW vertices exactly like the faces index the vertices.
  w.attribute("map_channels", "List(List(1, " + packedVectors(m.uvws) + ", " + packedInts(m.faces) + "))");
  w.attribute("face_mtlIDs", packedInts(m.mtlIds));
  w.end();
}

// A bitmap texture with a UVW generator of the given tiling; a placement
// type of 1 crops it to its lower-left quarter.
void writeBitmap(SceneWriter& w, const std::string& name, const std::string& file, float tiling,
                 int placementType = 0) {
  w.begin("UVWGenChannel", name + "_uvw");
  w.attribute("uvw_channel", "1");
  w.attribute("uvw_transform", transformForm({{{tiling, 0, 0}, {0, tiling, 0}, {0, 0, 1}}}, {0, 0, 0}));
  w.end();
  w.begin("BitmapBuffer", name + "_bitmap");
  w.quoted("file", file);
  w.end();
  w.begin("TexBitmap", name);
  w.attribute("bitmap", name + "_bitmap");
  w.attribute("uvwgen", name + "_uvw");
  if (placementType != 0) {
    w.attribute("placement_type", std::to_string(placementType));
    w.attribute("u", "0");
    w.attribute("v", "0");
    w.attribute("w", "0.5");
    w.attribute("h", "0.5");
  }
  w.end();
}

void writeNode(SceneWriter& w, const std::string& name, const std::string& geometry, const std::string& material,
               const std::string& transform) {
  w.begin("Node", name);
  w.attribute("transform", transform);
  w.attribute("geometry", geometry);
  w.attribute("material", material);
  w.attribute("visible", "1");
  w.end();
}

const std::array<Vec3, 3> kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

std::string placed(const Vec3& offset) { return transformForm(kIdentity, offset); }

// A camera at `eye` looking at `target`, level: it looks down its local -Z
// with +Y up, as V-Ray's render views do.
std::string lookingAt(const Vec3& eye, const Vec3& target) {
  auto unit = [](Vec3 v) {
    const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    return Vec3{v[0] / length, v[1] / length, v[2] / length};
  };
  auto cross = [](const Vec3& a, const Vec3& b) {
    return Vec3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  };
  const Vec3 ahead = unit({target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]});
  const Vec3 right = unit(cross(ahead, {0, 0, 1}));
  const Vec3 up = cross(right, ahead);
  return transformForm({{right, up, {-ahead[0], -ahead[1], -ahead[2]}}}, eye);
}

// The designer's view from the south-west corner over the table, as
// V-Ray's exporters write it: a render view and the physical camera's lens
// (18 mm on 36 mm film, 90 degrees across), and the output size.
void writeCamera(SceneWriter& w) {
  const double fov = 2 * std::atan(18.0 / 18.0);
  w.begin("SettingsOutput", "settingsOutput");
  w.attribute("img_width", "1200");
  w.attribute("img_height", "800");
  w.end();
  w.begin("CameraPhysical", "cameraPhysical");
  w.attribute("film_width", "36");
  w.attribute("focal_length", "18");
  w.attribute("specify_fov", "0");
  w.attribute("fov", std::to_string(fov));
  w.attribute("f_number", "8");
  w.attribute("shutter_speed", "125");
  w.attribute("ISO", "200");
  w.attribute("exposure", "1");
  w.attribute("focus_distance", "2700");
  w.attribute("target_distance", "2700");
  w.attribute("white_balance", colorForm(1, 1, 1));
  w.end();
  w.begin("RenderView", "renderView");
  w.attribute("transform", lookingAt({200, 150, 1700}, {2300, 1800, 700}));
  w.attribute("fov", std::to_string(fov));
  w.attribute("orthographic", "0");
  w.attribute("clipping", "0");
  w.end();
}

// A 50 x 50 cm panel just under the ceiling lamp, shining down (u_size and
// v_size are half sizes), and a bulb in the north-east corner.
void writeLights(SceneWriter& w) {
  w.begin("LightRectangle", "VRayLight001");
  w.attribute("enabled", "1");
  w.attribute("transform", placed({2000, 1500, 2630}));
  w.attribute("color", colorForm(1.0f, 0.92f, 0.8f));
  w.attribute("units", "0");
  w.attribute("intensity", "30");
  w.attribute("u_size", "250");
  w.attribute("v_size", "250");
  w.attribute("is_disc", "0");
  w.attribute("invisible", "1");
  w.attribute("doubleSided", "0");
  w.end();
  w.begin("LightSphere", "VRayLight002");
  w.attribute("enabled", "1");
  w.attribute("transform", placed({3600, 2600, 1600}));
  w.attribute("color", colorForm(1.0f, 0.85f, 0.7f));
  w.attribute("units", "1");
  w.attribute("intensity", "800");
  w.attribute("radius", "60");
  w.attribute("invisible", "0");
  w.end();
}

// The room: floor with a bumped oak texture under a render-farm path, walls
// through a render-stats wrapper, a rug on a displaced mesh, a lamp.
std::string roomScene() {
  SceneWriter w;
  w.comment("Casavia sample design: a small room");
  w.begin("SettingsUnitsInfo", "settingsUnitsInfo");
  w.attribute("meters_scale", "0.001");
  w.attribute("photometric_scale", "0.002");
  w.end();
  writeCamera(w);

  writeMesh(w, "mesh_floor", grid(4000, 3000, 4, 3));
  writeMesh(w, "mesh_wall_long", box({4000, 120, 2700}));
  writeMesh(w, "mesh_wall_short", box({120, 3240, 2700}));
  writeMesh(w, "mesh_rug", grid(2000, 1400, 2, 2));
  writeMesh(w, "mesh_lamp", box({600, 600, 40}));
  w.begin("GeomDisplacedMesh", "rug_displaced");
  w.attribute("mesh", "mesh_rug");
  w.attribute("displacement_amount", "5");
  w.end();

  writeBitmap(w, "tex_oak", "Z:/vela/data/render/Vray/textures/oak.png", 2.0f);
  w.begin("BRDFVRayMtl", "brdf_oak");
  w.attribute("diffuse", "tex_oak");
  w.attribute("reflect", colorForm(0.3f, 0.3f, 0.3f));
  w.attribute("reflect_glossiness", "0.7");
  w.attribute("refract_ior", "1.5");
  w.end();
  w.begin("BRDFBump", "brdf_oak_bump");
  w.attribute("base_brdf", "brdf_oak");
  w.attribute("bump_tex", "tex_oak");
  w.attribute("bump_tex_mult", "0.4");
  w.end();
  w.begin("MtlSingleBRDF", "mtl_floor");
  w.attribute("brdf", "brdf_oak_bump");
  w.end();

  w.begin("BRDFDiffuse", "brdf_plaster");
  w.attribute("color", colorForm(0.9f, 0.9f, 0.88f));
  w.end();
  w.begin("MtlSingleBRDF", "mtl_plaster");
  w.attribute("brdf", "brdf_plaster");
  w.end();
  w.begin("MtlRenderStats", "mtl_wall");
  w.attribute("base_mtl", "mtl_plaster");
  w.attribute("camera_visibility", "1");
  w.end();

  w.begin("BRDFDiffuse", "brdf_rug");
  w.attribute("color", colorForm(0.55f, 0.12f, 0.1f));
  w.end();
  w.begin("MtlSingleBRDF", "mtl_rug");
  w.attribute("brdf", "brdf_rug");
  w.end();

  w.begin("BRDFLight", "brdf_lamp");
  w.attribute("color", colorForm(1.0f, 0.92f, 0.8f));
  w.attribute("colorMultiplier", "3");
  w.end();
  w.begin("MtlSingleBRDF", "mtl_lamp");
  w.attribute("brdf", "brdf_lamp");
  w.end();

  writeNode(w, "floor", "mesh_floor", "mtl_floor", placed({0, 0, 0}));
  writeNode(w, "wall_north", "mesh_wall_long", "mtl_wall", placed({0, 3000, 0}));
  writeNode(w, "wall_south", "mesh_wall_long", "mtl_wall", placed({0, -120, 0}));
  writeNode(w, "wall_east", "mesh_wall_short", "mtl_wall", placed({4000, -120, 0}));
  writeNode(w, "wall_west", "mesh_wall_short", "mtl_wall", placed({-120, -120, 0}));
  writeNode(w, "rug", "rug_displaced", "mtl_rug", placed({1000, 800, 5}));
  writeNode(w, "ceiling_lamp", "mesh_lamp", "mtl_lamp", placed({1700, 1200, 2640}));
  writeLights(w);
  w.include("furniture.vrscene");
  return w.take();
}

// The furniture: walnut (named ".jpg", stored as ".jpg.png") with cropping,
// and chair seats of two layered BRDFs.
std::string furnitureScene() {
  SceneWriter w;
  w.comment("Furniture of the sample room");
  writeMesh(w, "mesh_table", box({1600, 900, 740}));
  writeMesh(w, "mesh_chair", box({450, 450, 900}));

  writeBitmap(w, "tex_walnut", "textures/walnut.jpg", 1.0f, 1);
  w.begin("BRDFVRayMtl", "brdf_walnut");
  w.attribute("diffuse", "tex_walnut");
  w.attribute("reflect", colorForm(0.2f, 0.2f, 0.2f));
  w.attribute("reflect_glossiness", "0.65");
  w.end();
  w.begin("MtlSingleBRDF", "mtl_walnut");
  w.attribute("brdf", "brdf_walnut");
  w.end();

  // Exporters write every colour of a BRDF, a black transparency included.
  w.begin("BRDFDiffuse", "brdf_fabric");
  w.attribute("color", colorForm(0.2f, 0.3f, 0.6f));
  w.attribute("transparency", colorForm(0, 0, 0));
  w.end();
  w.begin("BRDFVRayMtl", "brdf_sheen");
  w.attribute("diffuse", colorForm(0.1f, 0.1f, 0.1f));
  w.attribute("reflect", colorForm(0.5f, 0.5f, 0.5f));
  w.attribute("reflect_glossiness", "0.4");
  w.attribute("refract", colorForm(0, 0, 0));
  w.end();
  w.begin("BRDFLayered", "brdf_upholstery");
  w.attribute("brdfs", "List(brdf_fabric, brdf_sheen)");
  w.end();
  w.begin("MtlSingleBRDF", "mtl_upholstery");
  w.attribute("brdf", "brdf_upholstery");
  w.end();

  const double c = std::cos(std::numbers::pi / 2), s = std::sin(std::numbers::pi / 2);
  const std::array<Vec3, 3> turned = {{{static_cast<float>(c), static_cast<float>(s), 0},
                                       {static_cast<float>(-s), static_cast<float>(c), 0},
                                       {0, 0, 1}}};
  writeNode(w, "table", "mesh_table", "mtl_walnut", placed({1200, 1000, 0}));
  writeNode(w, "chair_1", "mesh_chair", "mtl_upholstery",
            "TransformHex(\"" + transformHexText(kIdentity, {1400, 500, 0}) + "\")");
  writeNode(w, "chair_2", "mesh_chair", "mtl_upholstery",
            "TransformHex(\"" + transformHexText(turned, {2500, 1500, 0}) + "\")");
  return w.take();
}

bool save(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUTPUT_DIRECTORY\n");
    return 2;
  }
  const std::filesystem::path dir = argv[1];
  const bool saved = save(dir / "vr.vrscene", roomScene()) && save(dir / "furniture.vrscene", furnitureScene()) &&
                     save(dir / "textures" / "oak.png", checkerPng(16, 4, 0xA0784A, 0x8A6238)) &&
                     save(dir / "textures" / "walnut.jpg.png", checkerPng(16, 2, 0x5A3A22, 0x4A2E1A));
  if (!saved) {
    std::fprintf(stderr, "cannot write to %s\n", dir.string().c_str());
    return 1;
  }
  return 0;
}
