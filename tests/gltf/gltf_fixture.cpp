#include "tests/gltf/gltf_fixture.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <set>

#include "builder/builder.h"
#include "host/stand_in.h"
#include "tools/scenegen/png_writer.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp::test {

void Bounds::add(const std::array<double, 3>& p) {
  for (std::size_t k = 0; k < 3; ++k) {
    min[k] = std::min(min[k], p[k]);
    max[k] = std::max(max[k], p[k]);
  }
}

bool GltfTest::importScene(const std::string& scene, bool quadrify) {
  PluginState state;
  state.quadrifyMesh = quadrify;
  state.scenePath = WStr::FromUTF8(scene.c_str(), static_cast<std::ptrdiff_t>(scene.size()));
  WStr result;
  bool succeeded = false;
  captureStdout([&] { succeeded = importDesign(state, result); });
  return succeeded;
}

std::string GltfTest::writeGlb(const std::string& name) {
  const std::string path = platform::utf8FromPath(dir.path() / name);
  std::string error;
  EXPECT_TRUE(writeSceneGlb(path, report, error)) << error;
  return path;
}

bool GltfTest::load(const std::string& glb, tinygltf::Model& model) {
  tinygltf::TinyGLTF loader;
  std::string error, warning;
  const bool loaded = loader.LoadBinaryFromFile(&model, &error, &warning, glb);
  EXPECT_TRUE(loaded) << error << warning;
  return loaded;
}

void GltfTest::expectValid(const std::string& glb) {
  const Validation v = validateGlb(glb);
  if (v.deferred) return;
  ASSERT_TRUE(v.ran) << v.output;
  EXPECT_EQ(v.errors, 0) << v.output;
  EXPECT_EQ(v.warnings, 0) << v.output;
}

Bounds GltfTest::hostBounds() {
  Bounds bounds;
  const double metres = GetSystemUnitScale(UNITS_METERS);
  for (const auto& node : host::scene().nodes()) {
    Object* object = node->GetObjectRef();
    std::vector<Point3> points;
    if (object != nullptr && object->ClassID() == TRIOBJ_CLASS_ID) {
      const Mesh& mesh = static_cast<TriObject*>(object)->GetMesh();
      points.assign(mesh.verts.begin(), mesh.verts.end());
    } else if (object != nullptr && object->ClassID() == POLYOBJ_CLASS_ID) {
      points = static_cast<PolyObject*>(object)->vertices;
    }
    const Matrix3 tm = node->GetNodeTM(0);
    for (const Point3& p : points) {
      double world[3];
      for (int k = 0; k < 3; ++k) {
        world[k] = p.x * tm.GetRow(0)[k] + p.y * tm.GetRow(1)[k] + p.z * tm.GetRow(2)[k] + tm.GetRow(3)[k];
      }
      bounds.add({world[0] * metres, world[2] * metres, -world[1] * metres});
    }
  }
  return bounds;
}

std::size_t GltfTest::hostTriangles() {
  std::size_t triangles = 0;
  for (const auto& node : host::scene().nodes()) {
    Object* object = node->GetObjectRef();
    if (object != nullptr && object->ClassID() == TRIOBJ_CLASS_ID) {
      triangles += static_cast<std::size_t>(static_cast<TriObject*>(object)->GetMesh().getNumFaces());
    } else if (object != nullptr && object->ClassID() == POLYOBJ_CLASS_ID) {
      for (const PolyFace& face : static_cast<PolyObject*>(object)->faces) triangles += face.vertices.size() - 2;
    }
  }
  return triangles;
}

std::size_t GltfTest::hostVertices() {
  std::size_t vertices = 0;
  for (const auto& node : host::scene().nodes()) {
    Object* object = node->GetObjectRef();
    std::set<std::array<float, 3>> distinct;
    if (object != nullptr && object->ClassID() == TRIOBJ_CLASS_ID) {
      const Mesh& mesh = static_cast<TriObject*>(object)->GetMesh();
      for (const Face& face : mesh.faces) {
        for (const DWORD v : face.v) distinct.insert({mesh.verts[v].x, mesh.verts[v].y, mesh.verts[v].z});
      }
    } else if (object != nullptr && object->ClassID() == POLYOBJ_CLASS_ID) {
      const auto* poly = static_cast<PolyObject*>(object);
      for (const PolyFace& face : poly->faces) {
        for (const int v : face.vertices) {
          const Point3& p = poly->vertices[static_cast<std::size_t>(v)];
          distinct.insert({p.x, p.y, p.z});
        }
      }
    }
    vertices += distinct.size();
  }
  return vertices;
}

namespace {

// T R S of a node applied to a point.
std::array<double, 3> place(const tinygltf::Node& node, std::array<double, 3> p) {
  for (std::size_t k = 0; k < 3 && node.scale.size() == 3; ++k) p[k] *= node.scale[k];
  if (node.rotation.size() == 4) {
    const double x = node.rotation[0], y = node.rotation[1], z = node.rotation[2], w = node.rotation[3];
    const std::array<double, 3> u{x, y, z};
    auto cross = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
      return std::array<double, 3>{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    const auto t = cross(u, p);
    const std::array<double, 3> t2{2 * t[0], 2 * t[1], 2 * t[2]};
    const auto c = cross(u, t2);
    for (std::size_t k = 0; k < 3; ++k) p[k] += w * t2[k] + c[k];
  }
  for (std::size_t k = 0; k < 3 && node.translation.size() == 3; ++k) p[k] += node.translation[k];
  return p;
}

}  // namespace

const unsigned char* GltfTest::accessorBytes(const tinygltf::Model& model, int accessorIndex, std::size_t& count) {
  const tinygltf::Accessor& accessor = model.accessors[static_cast<std::size_t>(accessorIndex)];
  const tinygltf::BufferView& view = model.bufferViews[static_cast<std::size_t>(accessor.bufferView)];
  count = accessor.count;
  return model.buffers[0].data.data() + view.byteOffset + accessor.byteOffset;
}

namespace {

const float* floats(const tinygltf::Model& model, int accessorIndex, std::size_t& count) {
  return reinterpret_cast<const float*>(GltfTest::accessorBytes(model, accessorIndex, count));
}

}  // namespace

Bounds GltfTest::modelBounds(const tinygltf::Model& model) {
  Bounds bounds;
  for (const tinygltf::Node& node : model.nodes) {
    if (node.mesh < 0) continue;
    for (const tinygltf::Primitive& primitive : model.meshes[static_cast<std::size_t>(node.mesh)].primitives) {
      std::size_t count = 0;
      const float* p = floats(model, primitive.attributes.at("POSITION"), count);
      for (std::size_t i = 0; i < count; ++i) bounds.add(place(node, {p[3 * i], p[3 * i + 1], p[3 * i + 2]}));
    }
  }
  return bounds;
}

std::size_t GltfTest::modelVertices(const tinygltf::Model& model) {
  std::size_t vertices = 0;
  for (const tinygltf::Node& node : model.nodes) {
    if (node.mesh < 0) continue;
    // Primitives may share their vertex data: counted once for the node.
    std::set<std::array<float, 3>> distinct;
    for (const tinygltf::Primitive& primitive : model.meshes[static_cast<std::size_t>(node.mesh)].primitives) {
      std::size_t count = 0;
      const float* p = floats(model, primitive.attributes.at("POSITION"), count);
      for (std::size_t i = 0; i < count; ++i) distinct.insert({p[3 * i], p[3 * i + 1], p[3 * i + 2]});
    }
    vertices += distinct.size();
  }
  return vertices;
}

std::size_t GltfTest::modelTriangles(const tinygltf::Model& model) {
  std::size_t triangles = 0;
  for (const tinygltf::Node& node : model.nodes) {
    if (node.mesh < 0) continue;
    for (const tinygltf::Primitive& primitive : model.meshes[static_cast<std::size_t>(node.mesh)].primitives) {
      triangles += model.accessors[static_cast<std::size_t>(primitive.indices)].count / 3;
    }
  }
  return triangles;
}

std::string writeMappingDesign(const std::filesystem::path& folder) {
  using namespace scenegen;
  std::filesystem::create_directories(folder / "textures");
  const std::pair<const char*, std::string> images[] = {
      {"diffuse.png", checkerPng(16, 4, 0xC08040, 0x604020)},
      {"cutout.png", checkerPng(16, 8, 0xFFFFFF, 0x000000)},
      {"bump.png", checkerPng(8, 2, 0x808080, 0x404040)},
  };
  for (const auto& [name, bytes] : images) std::ofstream(folder / "textures" / name, std::ios::binary) << bytes;

  SceneWriter w;
  // A square metre in the XY plane: two triangles, a normal per corner (one
  // of them zero), channel 1 by vertex, channel 2 by corner.
  w.plugin("GeomStaticMesh", "mesh_square",
           {{"vertices", listVectorHex({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}})},
            {"faces", listIntHex({0, 1, 2, 0, 2, 3})},
            {"normals", listVectorHex({{0, 0, 1}, {0, 0, 2}, {0, 0, 1}, {0, 0, 0}, {0, 0, 1}, {0, 0, 1}})},
            {"faceNormals", listIntHex({0, 1, 2, 3, 4, 5})},
            {"map_channels",
             "List(List(1, " + listVectorHex({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}) + ", " +
                 listIntHex({0, 1, 2, 0, 2, 3}) + "), List(2, " +
                 listVectorHex({{0, 0, 0}, {.5f, 0, 0}, {.5f, .5f, 0}, {0, 0, 0}, {.5f, .5f, 0}, {0, .5f, 0}}) + ", " +
                 listIntHex({0, 1, 2, 3, 4, 5}) + "))"},
            {"face_mtlIDs", listIntHex({0, 1})}});
  // The platform's usual form: normals and UVs in lists parallel to the
  // vertices, indexed by the same faces.
  w.plugin("GeomStaticMesh", "mesh_parallel",
           {{"vertices", listVectorHex({{0, 0, 0}, {500, 0, 0}, {500, 0, 500}, {0, 0, 500}})},
            {"faces", listIntHex({0, 1, 2, 0, 2, 3})},
            {"normals", listVectorHex({{0, -1, 0}, {0, -2, 0}, {0, -1, 0}, {0, -1, 0}})},
            {"faceNormals", listIntHex({0, 1, 2, 0, 2, 3})},
            {"map_channels", "List(List(1, " + listVectorHex({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}) + ", " +
                                 listIntHex({0, 1, 2, 0, 2, 3}) + "))"}});
  w.plugin("GeomStaticMesh", "mesh_bare",
           {{"vertices", listVectorHex({{0, 0, 0}, {500, 0, 0}, {0, 500, 0}})}, {"faces", listIntHex({0, 1, 2})}});
  const std::string identity = "Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1))";
  w.plugin(
      "UVWGenChannel", "uvw_tiled",
      {{"uvw_channel", "1"},
       {"uvw_transform", "Transform(Matrix(Vector(2, 0, 0), Vector(0, 2, 0), Vector(0, 0, 1)), Vector(0, 0, 0))"}});
  for (const char* name : {"diffuse", "cutout", "bump", "missing"}) {
    const std::string bitmap = std::string("bitmap_") + name;
    const std::string file = std::string(name) == "missing" ? "Z:/vela/data/render/Vray/textures/missing.jpg"
                                                            : std::string("textures/") + name + ".png";
    w.plugin("BitmapBuffer", bitmap.c_str(), {{"file", "\"" + file + "\""}});
    w.plugin("TexBitmap", (std::string("tex_") + name).c_str(), {{"bitmap", bitmap}, {"uvwgen", "uvw_tiled"}});
  }
  w.plugin("BRDFVRayMtl", "brdf_full",
           {{"diffuse", "tex_diffuse"},
            {"reflect", "Color(0.5, 0.5, 0.5)"},
            {"reflect_glossiness", "0.8"},
            {"refract", "Color(0.2, 0.2, 0.2)"},
            {"refract_ior", "1.6"},
            {"opacity", "tex_cutout"},
            {"bump_map", "tex_bump"},
            {"bump_amount", "0.5"}});
  w.plugin("BRDFLight", "brdf_light", {{"color", "Color(1, 0.9, 0.8)"}, {"colorMultiplier", "3"}});
  w.plugin("BRDFDiffuse", "brdf_missing", {{"color", "tex_missing"}});
  for (const char* name : {"full", "light", "missing"}) {
    w.plugin("MtlSingleBRDF", (std::string("mtl_") + name).c_str(), {{"brdf", std::string("brdf_") + name}});
  }
  const struct {
    const char* name;
    std::string matrix;
    const char* offset;
    const char* material;
    const char* geometry = "mesh_square";
  } nodes[] = {
      {"plain", identity, "Vector(0, 0, 0)", "mtl_full"},
      {"instance", identity, "Vector(2000, 0, 0)", "mtl_light"},
      {"mirrored", "Matrix(Vector(-1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1))", "Vector(0, 3000, 0)", "mtl_full"},
      {"sheared", "Matrix(Vector(1, 0, 0), Vector(0.5, 1, 0), Vector(0, 0, 1))", "Vector(0, -3000, 0)", "mtl_missing"},
      {"parallel", identity, "Vector(-2000, 0, 0)", "mtl_full", "mesh_parallel"},
      {"bare", identity, "Vector(-4000, 0, 0)", "mtl_full", "mesh_bare"},
  };
  for (const auto& node : nodes) {
    w.plugin("Node", node.name,
             {{"transform", "Transform(" + node.matrix + ", " + node.offset + ")"},
              {"geometry", node.geometry},
              {"material", node.material}});
  }
  const std::filesystem::path scene = folder / "design.vrscene";
  std::ofstream(scene, std::ios::binary) << w.text();
  return platform::utf8FromPath(scene);
}

}  // namespace cvimp::test
