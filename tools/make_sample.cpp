// Writes the small sample scene shipped in samples/room: a room with a floor,
// walls, a table and two chairs that share one mesh, materials with a bitmap,
// and an include holding the furniture.
//
//   make_sample OUTPUT_DIRECTORY
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

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

// An axis-aligned box in millimetres, one normal per face corner, UVs per quad.
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

void writeMesh(SceneWriter& w, const std::string& name, const Mesh& m) {
  w.begin("GeomStaticMesh", name);
  w.attribute("vertices", "ListVectorHex(\"" + packVectors(m.vertices) + "\")");
  w.attribute("faces", "ListIntHex(\"" + packInts(m.faces) + "\")");
  w.attribute("normals", "ListVectorHex(\"" + packVectors(m.normals) + "\")");
  w.attribute("faceNormals", "ListIntHex(\"" + packInts(m.faceNormals) + "\")");
  // The UVW faces index the UVW vertices exactly like the faces index the vertices.
  w.attribute("map_channels", "List(List(1, ListVectorHex(\"" + packVectors(m.uvws) + "\"), ListIntHex(\"" +
                                  packInts(m.faces) + "\")))");
  w.attribute("face_mtlIDs", "ListIntHex(\"" + packInts(m.mtlIds) + "\")");
  w.end();
}

void writeMaterial(SceneWriter& w, const std::string& name, float r, float g, float b, const std::string& bitmap) {
  std::string diffuse = colorForm(r, g, b);
  if (!bitmap.empty()) {
    w.begin("UVWGenChannel", name + "_uvw");
    w.attribute("uvw_channel", "1");
    w.attribute("uvw_transform", transformForm({{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}, {0, 0, 0}));
    w.end();
    w.begin("BitmapBuffer", name + "_bitmap");
    w.quoted("file", bitmap);
    w.end();
    w.begin("TexBitmap", name + "_tex");
    w.attribute("bitmap", name + "_bitmap");
    w.attribute("uvwgen", name + "_uvw");
    w.end();
    diffuse = name + "_tex";
  }
  w.begin("BRDFVRayMtl", name + "_brdf");
  w.attribute("diffuse", diffuse);
  w.attribute("reflect", colorForm(0.2f, 0.2f, 0.2f));
  w.attribute("reflect_glossiness", "0.65");
  w.end();
  w.begin("MtlSingleBRDF", name);
  w.attribute("brdf", name + "_brdf");
  w.end();
}

const std::array<Vec3, 3> kIdentity = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

void writeNode(SceneWriter& w, const std::string& name, const std::string& geometry, const std::string& material,
               const std::string& transform) {
  w.begin("Node", name);
  w.attribute("transform", transform);
  w.attribute("geometry", geometry);
  w.attribute("material", material);
  w.attribute("visible", "1");
  w.end();
}

bool save(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sample OUTPUT_DIRECTORY\n");
    return 2;
  }
  const std::string dir = argv[1];

  SceneWriter room;
  room.comment("Casavia sample design: a small room");
  room.begin("SettingsUnitsInfo", "settingsUnitsInfo");
  room.attribute("meters_scale", "0.001");
  room.end();
  writeMesh(room, "mesh_floor", box({4000, 3000, 20}));
  writeMesh(room, "mesh_wall", box({4000, 120, 2700}));
  writeMaterial(room, "mtl_floor", 0.6f, 0.45f, 0.3f, "Z:/vela/data/render/Vray/maps/oak.jpg");
  writeMaterial(room, "mtl_wall", 0.9f, 0.9f, 0.88f, "");
  writeNode(room, "floor", "mesh_floor", "mtl_floor", transformForm(kIdentity, {0, 0, -20}));
  writeNode(room, "wall_north", "mesh_wall", "mtl_wall", transformForm(kIdentity, {0, 3000, 0}));
  writeNode(room, "wall_south", "mesh_wall", "mtl_wall", transformForm(kIdentity, {0, -120, 0}));
  room.include("furniture.vrscene");

  SceneWriter furniture;
  furniture.comment("Furniture of the sample room");
  writeMesh(furniture, "mesh_table", box({1600, 900, 740}));
  writeMesh(furniture, "mesh_chair", box({450, 450, 900}));
  writeMaterial(furniture, "mtl_wood", 0.5f, 0.32f, 0.2f, "maps/walnut.png");
  const double c = std::cos(M_PI / 2), s = std::sin(M_PI / 2);
  const std::array<Vec3, 3> turned = {{{static_cast<float>(c), static_cast<float>(s), 0},
                                       {static_cast<float>(-s), static_cast<float>(c), 0},
                                       {0, 0, 1}}};
  writeNode(furniture, "table", "mesh_table", "mtl_wood", transformForm(kIdentity, {1200, 1000, 0}));
  writeNode(furniture, "chair_1", "mesh_chair", "mtl_wood",
            "TransformHex(\"" + transformHexText(kIdentity, {1400, 500, 0}) + "\")");
  writeNode(furniture, "chair_2", "mesh_chair", "mtl_wood",
            "TransformHex(\"" + transformHexText(turned, {2500, 1500, 0}) + "\")");

  if (!save(dir + "/vr.vrscene", room.take()) || !save(dir + "/furniture.vrscene", furniture.take())) {
    std::fprintf(stderr, "cannot write to %s\n", dir.c_str());
    return 1;
  }
  return 0;
}
