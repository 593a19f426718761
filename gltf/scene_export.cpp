#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "gltf/camera_light_export.h"
#include "gltf/gltf.h"
#include "gltf/json_out.h"
#include "gltf/material_export.h"
#include "gltf/mesh_export.h"
#include "gltf/node_transform.h"
#include "host/stand_in.h"
#include "platform/platform.h"

namespace cvimp {

namespace {

using namespace gltf;

constexpr unsigned kFloat = 5126;
constexpr unsigned kUnsignedInt = 5125;
constexpr unsigned kArrayBuffer = 34962;
constexpr unsigned kElementArrayBuffer = 34963;

// The vertex data of one host object (or of one sheared node's copy of it),
// as the first pass found it.
struct Unit {
  Object* object = nullptr;
  std::optional<Mat3> bake;
  std::string firstNode;
  bool grouped = false;  // a node shows it with a Multi/Sub-Object material
  bool usable = false;
  MeshSummary summary;
  bool wholeIndices = false;  // a primitive draws all its triangles
  // Filled when the layout is made.
  int firstAccessor = -1;
  int wholeAccessor = -1;
};

// A stretch of a unit's triangles in one material (-1: none).
struct Primitive {
  int material = -1;
  std::uint64_t firstTriangle = 0, triangles = 0;
  int indices = -1;  // the accessor, filled when the layout is made
  auto key() const { return std::tuple(material, firstTriangle, triangles); }
};

struct MeshEntry {
  int unit = -1;
  std::vector<Primitive> primitives;
};

struct NodeEntry {
  std::string name;
  NodeTransform transform;
  int unit = -1;
  int mesh = -1;
  int camera = -1;
  int light = -1;
};

struct Layout {
  std::vector<Unit> units;
  std::vector<NodeEntry> nodes;
  std::vector<MeshEntry> meshes;
  std::vector<CameraDesc> cameras;
  std::vector<LightDesc> lights;
  std::uint64_t binaryLength = 0;
};

std::uint64_t padded(std::uint64_t length) { return (length + 3) & ~std::uint64_t{3}; }

// Pass one: what each node shows, what each unit of vertex data holds.
void plan(Layout& layout, MaterialTable& materials, const Frame& frame, Report& report) {
  std::map<Object*, int> shared;
  auto addUnit = [&layout](Object* object, const std::optional<Mat3>& bake, const std::string& firstNode) {
    Unit unit;
    unit.object = object;
    unit.bake = bake;
    unit.firstNode = firstNode;
    layout.units.push_back(std::move(unit));
    return static_cast<int>(layout.units.size()) - 1;
  };
  const auto& nodes = host::scene().nodes();
  for (const auto& node : nodes) {
    NodeEntry entry;
    entry.name = platform::utf16ToUtf8(node->GetName());
    Object* object = node->GetObjectRef();
    const SClass_ID kind = object != nullptr ? object->SuperClassID() : 0;
    const bool view = kind == CAMERA_CLASS_ID || kind == LIGHT_CLASS_ID;
    entry.transform = (view ? viewTransform : nodeTransform)(node->GetNodeTM(0), frame);
    if (entry.transform.notFinite) {
      report.add(ReportStage::Export, loss::kObjectLeftOut, entry.name, "transform not finite: placed at the origin");
    }
    if (view) {
      if (entry.transform.noDirection) {
        report.add(ReportStage::Export, kind == CAMERA_CLASS_ID ? loss::kCameraApproximated : loss::kLightApproximated,
                   entry.name, "its -Z axis has no length: looks down -Z");
      }
      if (kind == CAMERA_CLASS_ID) {
        entry.camera = static_cast<int>(layout.cameras.size());
        layout.cameras.push_back(describeCamera(*object, frame, entry.name, report));
      } else if (auto light = describeLight(*object, entry.name, report)) {
        entry.light = static_cast<int>(layout.lights.size());
        layout.lights.push_back(std::move(*light));
      }
      layout.nodes.push_back(std::move(entry));
      continue;
    }
    const bool multi = node->GetMtl() != nullptr && node->GetMtl()->ClassID() == MULTI_CLASS_ID;
    if (object != nullptr) {
      if (entry.transform.bake) {
        report.add(ReportStage::Export, loss::kShearBaked, entry.name, "its mesh written again for it");
        entry.unit = addUnit(object, entry.transform.bake, entry.name);
      } else if (const auto known = shared.find(object); known != shared.end()) {
        entry.unit = known->second;
      } else {
        entry.unit = addUnit(object, std::nullopt, entry.name);
        shared.emplace(object, entry.unit);
      }
    }
    if (entry.unit >= 0 && multi) layout.units[static_cast<std::size_t>(entry.unit)].grouped = true;
    if (entry.transform.mirrored) {
      report.add(ReportStage::Export, loss::kMirroredNode, entry.name,
                 entry.transform.bake ? "faces turned in its baked mesh" : "kept as a negative scale");
    }
    layout.nodes.push_back(std::move(entry));
  }

  // The objects whose own arrays serve are read on worker threads (they
  // read the host's arrays and nothing else); the others are built here,
  // one at a time.
  std::vector<char> isMesh(layout.units.size());
  platform::parallelFor(layout.units.size(), [&](std::size_t i) {
    Unit& unit = layout.units[i];
    isMesh[i] = summarizeDirect(*unit.object, frame, unit.bake, unit.grouped, unit.summary);
  });
  for (std::size_t i = 0; i < layout.units.size(); ++i) {
    Unit& unit = layout.units[i];
    if (!isMesh[i] && !summarizeBuilt(*unit.object, frame, unit.bake, unit.grouped, unit.summary)) {
      report.add(ReportStage::Export, loss::kObjectLeftOut, unit.firstNode,
                 platform::utf16ToUtf8(unit.object->ClassName().str()) + ": not a mesh");
      continue;
    }
    const MeshSummary& summary = unit.summary;
    if (summary.replacedNormals > 0) {
      report.add(ReportStage::Export, loss::kNormalReplaced, unit.firstNode,
                 "zero, non-finite or missing normals: their faces' normals used",
                 static_cast<std::uint32_t>(std::min<std::uint64_t>(summary.replacedNormals, UINT32_MAX)));
    }
    if (summary.replacedPositions > 0) {
      report.add(ReportStage::Export, loss::kMeshPartSkipped, unit.firstNode,
                 "non-finite vertex positions written as 0");
    }
    if (summary.skippedFaces > 0) {
      report.add(ReportStage::Export, loss::kMeshPartSkipped, unit.firstNode,
                 "faces with an index outside their arrays left out");
    }
    if (summary.skippedChannels > 0) {
      report.add(ReportStage::Export, loss::kMeshPartSkipped, unit.firstNode,
                 "map channels that do not pair with the faces left out");
    }
    if (summary.indexCount == 0) {
      report.add(ReportStage::Export, loss::kObjectLeftOut, unit.firstNode, "no faces");
      continue;
    }
    unit.usable = true;
  }

  // One glTF mesh per object and material: instances with different
  // materials share the accessors. With a Multi/Sub-Object material, one
  // primitive per run of ID groups that show the same material.
  std::map<std::pair<int, std::vector<std::tuple<int, std::uint64_t, std::uint64_t>>>, int> meshes;
  for (std::size_t i = 0; i < layout.nodes.size(); ++i) {
    NodeEntry& entry = layout.nodes[i];
    if (entry.unit < 0 || !layout.units[static_cast<std::size_t>(entry.unit)].usable) continue;
    Unit& unit = layout.units[static_cast<std::size_t>(entry.unit)];
    auto materialOf = [&](Mtl* worn) {
      int material = materials.indexOf(worn);
      // glTF reads a texture through TEXCOORD_0, which a mesh without UVs
      // lacks: such a mesh wears the material's colour alone.
      if (unit.summary.uvSets == 0) {
        const int plain = materials.untextured(material);
        if (plain != material) {
          report.add(ReportStage::Export, loss::kMapLeftOut, "Base Color Map",
                     "on a mesh without UVs: its colour alone");
          material = plain;
        }
      }
      return material;
    };
    Mtl* worn = nodes[i]->GetMtl();
    const std::uint64_t triangles = unit.summary.indexCount / 3;
    std::vector<Primitive> primitives;
    if (worn != nullptr && worn->ClassID() == MULTI_CLASS_ID) {
      std::uint64_t first = 0;
      for (const auto& [id, count] : unit.summary.groups) {
        const int material = materialOf(host::faceMaterial(worn, id));
        if (!primitives.empty() && primitives.back().material == material) {
          primitives.back().triangles += count;
        } else {
          primitives.push_back({material, first, count, -1});
        }
        first += count;
      }
    } else {
      primitives.push_back({materialOf(worn), 0, triangles, -1});
    }
    std::vector<std::tuple<int, std::uint64_t, std::uint64_t>> keys;
    for (const Primitive& primitive : primitives) {
      keys.push_back(primitive.key());
      if (primitive.triangles == triangles) unit.wholeIndices = true;
    }
    const auto [found, added] =
        meshes.emplace(std::pair{entry.unit, std::move(keys)}, static_cast<int>(layout.meshes.size()));
    if (added) layout.meshes.push_back({entry.unit, std::move(primitives)});
    entry.mesh = found->second;
  }
}

void writeAccessor(Writer& out, int view, unsigned component, std::uint64_t count, const char* type,
                   const std::array<float, 3>* min = nullptr, const std::array<float, 3>* max = nullptr,
                   std::uint64_t byteOffset = 0) {
  out.StartObject();
  out.Key("bufferView");
  out.Int(view);
  if (byteOffset != 0) {
    out.Key("byteOffset");
    out.Uint64(byteOffset);
  }
  out.Key("componentType");
  out.Uint(component);
  out.Key("count");
  out.Uint64(count);
  out.Key("type");
  out.String(type);
  if (min != nullptr && max != nullptr) {
    for (const auto& [key, values] : {std::pair{"min", min}, std::pair{"max", max}}) {
      out.Key(key);
      out.StartArray();
      for (const float v : *values) out.Double(v);
      out.EndArray();
    }
  }
  out.EndObject();
}

struct View {
  std::uint64_t offset, length;
  unsigned target;  // 0: none (images)
};

void writeTextureInfo(Writer& out, const TextureUse& use, std::set<std::string>& extensions) {
  out.StartObject();
  out.Key("index");
  out.Uint64(use.image);
  if (!use.transform.identity()) {
    extensions.insert("KHR_texture_transform");
    out.Key("extensions");
    out.StartObject();
    out.Key("KHR_texture_transform");
    out.StartObject();
    out.Key("offset");
    numbers(out, use.transform.offset);
    out.Key("rotation");
    number(out, use.transform.rotation);
    out.Key("scale");
    numbers(out, use.transform.scale);
    out.EndObject();
    out.EndObject();
  }
  out.EndObject();
}

void writeMaterial(Writer& out, const MaterialDesc& m, std::set<std::string>& extensions) {
  out.StartObject();
  out.Key("pbrMetallicRoughness");
  out.StartObject();
  out.Key("baseColorFactor");
  numbers(out, m.baseColor);
  if (m.baseColorTexture) {
    out.Key("baseColorTexture");
    writeTextureInfo(out, *m.baseColorTexture, extensions);
  }
  out.Key("metallicFactor");
  number(out, m.metallic);
  out.Key("roughnessFactor");
  number(out, m.roughness);
  out.EndObject();
  if (m.emissive != std::array<double, 3>{0, 0, 0}) {
    out.Key("emissiveFactor");
    numbers(out, m.emissive);
  }
  if (m.mask) {
    out.Key("alphaMode");
    out.String("MASK");
    out.Key("alphaCutoff");
    number(out, 0.5);
  }
  const bool strength = m.emissiveStrength > 1.0;
  const bool transmission = m.transmission > 0.0;
  const bool specular = m.specular != 1.0 || m.specularColor != std::array<double, 3>{1, 1, 1};
  if (strength || transmission || specular) {
    out.Key("extensions");
    out.StartObject();
    // One extension object: its name noted for the file's list, then its members.
    auto extension = [&](const char* name, auto members) {
      extensions.insert(name);
      out.Key(name);
      out.StartObject();
      members();
      out.EndObject();
    };
    if (strength) {
      extension("KHR_materials_emissive_strength", [&] {
        out.Key("emissiveStrength");
        number(out, m.emissiveStrength);
      });
    }
    if (transmission) {
      extension("KHR_materials_ior", [&] {
        out.Key("ior");
        number(out, m.ior);
      });
    }
    if (specular) {
      extension("KHR_materials_specular", [&] {
        out.Key("specularFactor");
        number(out, m.specular);
        out.Key("specularColorFactor");
        numbers(out, m.specularColor);
      });
    }
    if (transmission) {
      extension("KHR_materials_transmission", [&] {
        out.Key("transmissionFactor");
        number(out, m.transmission);
      });
    }
    out.EndObject();
  }
  out.EndObject();
}

// Into `buffer`, which the file is written from: a large design's JSON
// runs to megabytes, not worth a second copy.
void documentJson(Layout& layout, const MaterialTable& materials, rapidjson::StringBuffer& buffer) {
  // Buffer views: per usable unit positions, normals, UV sets, indices; then
  // the images. Accessors follow the same order.
  std::vector<View> views;
  std::uint64_t offset = 0;
  auto addView = [&](std::uint64_t length, unsigned target) {
    views.push_back({offset, length, target});
    offset += padded(length);
  };
  // Accessors: per usable unit its attributes and, when a primitive draws
  // them all, its indices; then the primitives' stretches of indices.
  int accessors = 0;
  for (Unit& unit : layout.units) {
    if (!unit.usable) continue;
    const MeshSummary& summary = unit.summary;
    unit.firstAccessor = accessors;
    accessors += 1 + (summary.normals ? 1 : 0) + static_cast<int>(summary.uvSets);
    if (unit.wholeIndices) unit.wholeAccessor = accessors++;
    addView(std::uint64_t{summary.vertexCount} * 12, kArrayBuffer);
    if (summary.normals) addView(std::uint64_t{summary.vertexCount} * 12, kArrayBuffer);
    for (std::size_t s = 0; s < summary.uvSets; ++s) addView(std::uint64_t{summary.vertexCount} * 8, kArrayBuffer);
    addView(summary.indexCount * 4, kElementArrayBuffer);
  }
  std::map<std::tuple<int, std::uint64_t, std::uint64_t>, int> stretches;
  std::vector<std::tuple<int, std::uint64_t, std::uint64_t>> stretchOrder;
  for (MeshEntry& mesh : layout.meshes) {
    const Unit& unit = layout.units[static_cast<std::size_t>(mesh.unit)];
    for (Primitive& primitive : mesh.primitives) {
      if (primitive.triangles == unit.summary.indexCount / 3) {
        primitive.indices = unit.wholeAccessor;
        continue;
      }
      const std::tuple key{mesh.unit, primitive.firstTriangle, primitive.triangles};
      const auto [found, added] = stretches.emplace(key, accessors);
      if (added) {
        stretchOrder.push_back(key);
        ++accessors;
      }
      primitive.indices = found->second;
    }
  }
  const std::size_t firstImageView = views.size();
  for (const ImageDesc& image : materials.images()) addView(image.size, 0);
  layout.binaryLength = offset;

  Writer out(buffer);
  std::set<std::string> extensions;
  out.StartObject();
  out.Key("asset");
  out.StartObject();
  out.Key("version");
  out.String("2.0");
  out.Key("generator");
  out.String("cvimp");
  out.EndObject();
  out.Key("scene");
  out.Int(0);
  out.Key("scenes");
  out.StartArray();
  out.StartObject();
  if (!layout.nodes.empty()) {
    out.Key("nodes");
    out.StartArray();
    for (std::size_t i = 0; i < layout.nodes.size(); ++i) out.Uint64(i);
    out.EndArray();
  }
  out.EndObject();
  out.EndArray();

  if (!layout.nodes.empty()) {
    out.Key("nodes");
    out.StartArray();
    for (const NodeEntry& node : layout.nodes) {
      out.StartObject();
      out.Key("name");
      text(out, node.name);
      if (node.mesh >= 0) {
        out.Key("mesh");
        out.Int(node.mesh);
      }
      if (node.camera >= 0) {
        out.Key("camera");
        out.Int(node.camera);
      }
      if (node.light >= 0) {
        out.Key("extensions");
        out.StartObject();
        out.Key("KHR_lights_punctual");
        out.StartObject();
        out.Key("light");
        out.Int(node.light);
        out.EndObject();
        out.EndObject();
      }
      const NodeTransform& t = node.transform;
      if (t.translation != Vec3{0, 0, 0}) {
        out.Key("translation");
        numbers(out, t.translation);
      }
      if (t.rotation != std::array<double, 4>{0, 0, 0, 1}) {
        out.Key("rotation");
        numbers(out, t.rotation);
      }
      if (t.scale != Vec3{1, 1, 1}) {
        out.Key("scale");
        numbers(out, t.scale);
      }
      out.EndObject();
    }
    out.EndArray();
  }

  if (!layout.meshes.empty()) {
    out.Key("meshes");
    out.StartArray();
    for (const MeshEntry& mesh : layout.meshes) {
      const Unit& unit = layout.units[static_cast<std::size_t>(mesh.unit)];
      const MeshSummary& summary = unit.summary;
      out.StartObject();
      out.Key("primitives");
      out.StartArray();
      // The primitives share the vertex data: the same attribute accessors.
      for (const Primitive& primitive : mesh.primitives) {
        int accessor = unit.firstAccessor;
        out.StartObject();
        out.Key("attributes");
        out.StartObject();
        out.Key("POSITION");
        out.Int(accessor++);
        if (summary.normals) {
          out.Key("NORMAL");
          out.Int(accessor++);
        }
        for (std::size_t s = 0; s < summary.uvSets; ++s) {
          const std::string name = "TEXCOORD_" + std::to_string(s);
          out.Key(name.c_str());
          out.Int(accessor++);
        }
        out.EndObject();
        out.Key("indices");
        out.Int(primitive.indices);
        if (primitive.material >= 0) {
          out.Key("material");
          out.Int(primitive.material);
        }
        out.EndObject();
      }
      out.EndArray();
      out.EndObject();
    }
    out.EndArray();

    out.Key("accessors");
    out.StartArray();
    int view = 0;
    std::vector<int> indexViews(layout.units.size(), -1);
    for (std::size_t u = 0; u < layout.units.size(); ++u) {
      const Unit& unit = layout.units[u];
      if (!unit.usable) continue;
      const MeshSummary& summary = unit.summary;
      writeAccessor(out, view++, kFloat, summary.vertexCount, "VEC3", &summary.min, &summary.max);
      if (summary.normals) writeAccessor(out, view++, kFloat, summary.vertexCount, "VEC3");
      for (std::size_t s = 0; s < summary.uvSets; ++s) writeAccessor(out, view++, kFloat, summary.vertexCount, "VEC2");
      indexViews[u] = view++;
      if (unit.wholeIndices) writeAccessor(out, indexViews[u], kUnsignedInt, summary.indexCount, "SCALAR");
    }
    for (const auto& [unit, first, triangles] : stretchOrder) {
      writeAccessor(out, indexViews[static_cast<std::size_t>(unit)], kUnsignedInt, triangles * 3, "SCALAR", nullptr,
                    nullptr, first * 12);
    }
    out.EndArray();
  }

  if (!materials.materials().empty()) {
    out.Key("materials");
    out.StartArray();
    for (const MaterialDesc& material : materials.materials()) writeMaterial(out, material, extensions);
    out.EndArray();
  }
  if (!materials.images().empty()) {
    out.Key("textures");
    out.StartArray();
    for (std::size_t i = 0; i < materials.images().size(); ++i) {
      out.StartObject();
      out.Key("source");
      out.Uint64(i);
      out.EndObject();
    }
    out.EndArray();
    out.Key("images");
    out.StartArray();
    for (std::size_t i = 0; i < materials.images().size(); ++i) {
      out.StartObject();
      out.Key("bufferView");
      out.Uint64(firstImageView + i);
      out.Key("mimeType");
      text(out, materials.images()[i].mimeType);
      out.EndObject();
    }
    out.EndArray();
  }
  if (!views.empty()) {
    out.Key("bufferViews");
    out.StartArray();
    for (const View& v : views) {
      out.StartObject();
      out.Key("buffer");
      out.Int(0);
      out.Key("byteOffset");
      out.Uint64(v.offset);
      out.Key("byteLength");
      out.Uint64(v.length);
      if (v.target != 0) {
        out.Key("target");
        out.Uint(v.target);
      }
      out.EndObject();
    }
    out.EndArray();
    out.Key("buffers");
    out.StartArray();
    out.StartObject();
    out.Key("byteLength");
    out.Uint64(layout.binaryLength);
    out.EndObject();
    out.EndArray();
  }
  if (!layout.cameras.empty()) {
    out.Key("cameras");
    out.StartArray();
    for (const CameraDesc& camera : layout.cameras) writeCamera(out, camera);
    out.EndArray();
  }
  if (!layout.lights.empty()) {
    extensions.insert("KHR_lights_punctual");
    out.Key("extensions");
    out.StartObject();
    out.Key("KHR_lights_punctual");
    out.StartObject();
    out.Key("lights");
    out.StartArray();
    for (const LightDesc& light : layout.lights) writeLight(out, light);
    out.EndArray();
    out.EndObject();
    out.EndObject();
  }
  if (!extensions.empty()) {
    out.Key("extensionsUsed");
    out.StartArray();
    for (const std::string& name : extensions) text(out, name);
    out.EndArray();
  }
  out.EndObject();
}

// The file as it is written: counts what reaches it.
class Output {
 public:
  explicit Output(std::FILE* file) : file_(file) {}
  bool put(const void* data, std::size_t size) {
    if (size == 0) return true;
    written_ += size;
    return std::fwrite(data, 1, size, file_) == size;
  }
  bool word(std::uint32_t value) {
    std::uint8_t bytes[4] = {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                             static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    return put(bytes, 4);
  }
  bool pad(char fill) {
    static const char spaces[4] = {' ', ' ', ' ', ' '}, zeros[4] = {0, 0, 0, 0};
    return put(fill == ' ' ? spaces : zeros, padded(written_) - written_);
  }
  template <typename T>
  bool all(const std::vector<T>& items) {
    return put(items.data(), items.size() * sizeof(T));
  }
  std::uint64_t written() const { return written_; }

 private:
  std::FILE* file_;
  std::uint64_t written_ = 0;
};

// A stretch of the binary chunk, encoded apart from the others: parts of
// one or more units, in file order.
struct Part {
  std::size_t unit = 0;
  bool whole = false;  // a built unit, all of it
  Section section = Section::Positions;
  std::uint32_t set = 0;
  std::size_t first = 0, count = 0;
  std::uint64_t bytes = 0;
};

struct Piece {
  std::vector<Part> parts;
  std::uint64_t bytes = 0;
  bool built = false;  // holds a built unit: encoded on this thread
};

// Large enough for few writes, small enough that a few of them in flight
// stay well below the largest mesh.
constexpr std::uint64_t kPieceBytes = std::uint64_t{1} << 20;

std::vector<Piece> cutPieces(const Layout& layout) {
  std::vector<Piece> pieces(1);
  auto add = [&pieces](const Part& part) {
    pieces.back().parts.push_back(part);
    pieces.back().bytes += part.bytes;
  };
  for (std::size_t u = 0; u < layout.units.size(); ++u) {
    const Unit& unit = layout.units[u];
    if (!unit.usable) continue;
    const MeshSummary& summary = unit.summary;
    if (!summary.direct) {
      add({u, true, Section::Positions, 0, 0, 0, summary.bytes()});
      pieces.back().built = true;
      if (pieces.back().bytes >= kPieceBytes) pieces.emplace_back();
      continue;
    }
    auto section = [&](Section kind, std::uint32_t set, std::size_t elements) {
      const std::size_t stride = sectionStride(kind);
      for (std::size_t first = 0; first < elements;) {
        if (pieces.back().bytes + stride > kPieceBytes) pieces.emplace_back();
        const std::size_t count = std::min<std::size_t>(elements - first, (kPieceBytes - pieces.back().bytes) / stride);
        add({u, false, kind, set, first, count, std::uint64_t{count} * stride});
        first += count;
      }
    };
    section(Section::Positions, 0, summary.vertexCount);
    if (summary.normals) section(Section::Normals, 0, summary.vertexCount);
    for (std::uint32_t s = 0; s < summary.uvSets; ++s) section(Section::Uvs, s, summary.vertexCount);
    section(Section::Indices, 0, summary.indexCount / 3);
  }
  if (pieces.back().parts.empty()) pieces.pop_back();
  return pieces;
}

bool encodePiece(const Layout& layout, const Piece& piece, const Frame& frame, std::uint8_t* to) {
  for (const Part& part : piece.parts) {
    const Unit& unit = layout.units[part.unit];
    const bool ok = part.whole ? encodeBuilt(*unit.object, frame, unit.bake, unit.summary, to)
                               : encodeDirect(*unit.object, frame, unit.summary, part.section, part.set, part.first,
                                              part.count, to);
    if (!ok) return false;
    to += part.bytes;
  }
  return true;
}

// The pieces written in order, the next ones encoded meanwhile on worker
// threads, a few at a time. The host is not changed while the file is
// written, so its objects may be read from those threads.
class PieceWriter {
 public:
  PieceWriter(const Layout& layout, const Frame& frame) : layout_(layout), frame_(frame), pieces_(cutPieces(layout)) {}
  PieceWriter(const PieceWriter&) = delete;
  PieceWriter& operator=(const PieceWriter&) = delete;

  // False when a piece no longer matches the layout.
  template <typename Put>
  bool write(Put put) {
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
      for (; launched_ < pieces_.size() && launched_ < i + kWindow; ++launched_) launch(launched_);
      const Piece& piece = pieces_[i];
      Slot& slot = slots_[i % kWindow];
      if (piece.built) {
        slot.ok = encodePiece(layout_, piece, frame_, slot.bytes.data());
      } else {
        slot.task.wait();
      }
      if (!slot.ok) return false;
      if (!put(slot.bytes.data(), static_cast<std::size_t>(piece.bytes))) return false;
      // A built unit's piece may be large: not kept.
      if (slot.bytes.size() > kPieceBytes) slot.bytes = std::vector<std::uint8_t>();
    }
    return true;
  }

 private:
  static constexpr std::size_t kWindow = 4;

  struct Slot {
    platform::TaskGroup task;
    std::vector<std::uint8_t> bytes;
    bool ok = false;
  };

  void launch(std::size_t index) {
    const Piece& piece = pieces_[index];
    Slot& slot = slots_[index % kWindow];
    // Sized once to a whole piece: grown bit by bit, a vector would take
    // up to twice that.
    if (slot.bytes.size() < piece.bytes) {
      slot.bytes = std::vector<std::uint8_t>(static_cast<std::size_t>(std::max(piece.bytes, kPieceBytes)));
    }
    if (piece.built) return;
    slot.task.run([this, &piece, &slot] { slot.ok = encodePiece(layout_, piece, frame_, slot.bytes.data()); });
  }

  const Layout& layout_;
  const Frame& frame_;
  std::vector<Piece> pieces_;
  std::size_t launched_ = 0;
  // Last: destroyed first, waiting for the tasks still running.
  std::array<Slot, kWindow> slots_;
};

bool fail(std::string& error, std::string text) {
  error = std::move(text);
  return false;
}

}  // namespace

bool writeSceneGlb(const std::string& path, Report& report, std::string& error) {
  Frame frame;
  frame.metres = GetSystemUnitScale(UNITS_METERS);
  Layout layout;
  MaterialTable materials(report);
  plan(layout, materials, frame, report);
  rapidjson::StringBuffer json;
  documentJson(layout, materials, json);

  const std::uint64_t jsonChunk = padded(json.GetSize());
  const bool hasBinary = layout.binaryLength > 0;
  const std::uint64_t total = 12 + 8 + jsonChunk + (hasBinary ? 8 + layout.binaryLength : 0);
  if (total > std::numeric_limits<std::uint32_t>::max()) {
    return fail(error, "scene too large for one .glb file (4 GiB)");
  }

  const std::string temporary = path + ".part";
  platform::File file = platform::openFile(temporary, "wb");
  if (!file) return fail(error, "cannot write \"" + path + "\"");
  // Large writes go straight through; the buffer only gathers the headers
  // and the padding.
  std::setvbuf(file.get(), nullptr, _IOFBF, std::size_t{64} << 10);
  Output out(file.get());
  bool ok = out.put("glTF", 4) && out.word(2) && out.word(static_cast<std::uint32_t>(total)) &&
            out.word(static_cast<std::uint32_t>(jsonChunk)) && out.put("JSON", 4) &&
            out.put(json.GetString(), json.GetSize()) && out.pad(' ');
  if (ok && hasBinary) {
    ok = out.word(static_cast<std::uint32_t>(layout.binaryLength)) && out.put("BIN\0", 4);
    const std::uint64_t start = out.written();
    // Pass two: the units' data encoded again, piece by piece, and written.
    if (ok) {
      PieceWriter pieces(layout, frame);
      bool written = true;
      ok = pieces.write([&](const std::uint8_t* data, std::size_t size) { return written = out.put(data, size); });
      if (!ok && written) fail(error, "the scene changed while it was written");
    }
    std::vector<std::uint8_t> bytes;
    for (const ImageDesc& image : materials.images()) {
      if (!ok) break;
      if (!imageBytes(image, bytes)) {
        ok = fail(error, "image \"" + image.path + "\" changed while it was written");
        break;
      }
      ok = out.all(bytes) && out.pad('\0');
    }
    ok = ok && out.written() - start == layout.binaryLength;
  }
  ok = ok && out.written() == total;
  const bool closed = platform::closeFile(file);
  if (!ok || !closed) {
    std::remove(temporary.c_str());
    return error.empty() ? fail(error, "cannot write \"" + path + "\"") : false;
  }
  if (!platform::replaceFile(temporary, path)) {
    std::remove(temporary.c_str());
    return fail(error, "cannot write \"" + path + "\"");
  }
  return true;
}

}  // namespace cvimp
