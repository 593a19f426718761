#include "host/scene_json.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <map>

#include "host/bitmap_tex.h"
#include "host/host_state.h"
#include "host/multi_mtl.h"
#include "host/poly_object.h"
#include "host/scene.h"

namespace host {

namespace {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

// Floats widen exactly to double, whose shortest form reads back the same.
void number(Writer& out, double value) {
  if (std::isfinite(value)) {
    out.Double(value);
  } else {
    out.Null();
  }
}

void key(Writer& out, const char* name) { out.Key(name); }

void text(Writer& out, const std::string& value) {
  out.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

void point(Writer& out, const Point3& p) {
  out.StartArray();
  number(out, p.x);
  number(out, p.y);
  number(out, p.z);
  out.EndArray();
}

template <typename T>
void indexOr(Writer& out, const std::vector<std::unique_ptr<T>>& items, const void* item) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i].get() == item) {
      out.Uint64(i);
      return;
    }
  }
  out.Null();
}

void writeNode(Writer& out, const INode& node, const Scene& scene) {
  out.StartObject();
  key(out, "name");
  text(out, utf16ToUtf8(node.GetName()));
  key(out, "object");
  indexOr(out, scene.objects(), node.GetObjectRef());
  key(out, "material");
  indexOr(out, scene.materials(), node.GetMtl());
  key(out, "transform");
  out.StartArray();
  const Matrix3 tm = node.GetNodeTM(0);
  for (int row = 0; row < 4; ++row) point(out, tm.GetRow(row));
  out.EndArray();
  key(out, "wireColor");
  out.StartArray();
  const DWORD color = node.GetWireColor();
  out.Uint(color & 0xFF);
  out.Uint((color >> 8) & 0xFF);
  out.Uint((color >> 16) & 0xFF);
  out.EndArray();
  key(out, "selected");
  out.Bool(node.Selected() != 0);
  out.EndObject();
}

void writeNormals(Writer& out, const MeshNormalSpec* spec) {
  if (spec == nullptr) {
    out.Null();
    return;
  }
  out.StartObject();
  key(out, "normals");
  out.StartArray();
  for (int i = 0; i < spec->GetNumNormals(); ++i) point(out, spec->Normal(i));
  out.EndArray();
  key(out, "explicit");
  out.StartArray();
  for (int i = 0; i < spec->GetNumNormals(); ++i) out.Bool(spec->GetNormalExplicit(i));
  out.EndArray();
  key(out, "faces");
  out.StartArray();
  for (int i = 0; i < spec->GetNumFaces(); ++i) {
    out.StartArray();
    for (int corner = 0; corner < 3; ++corner) out.Int(spec->Face(i).GetNormalID(corner));
    out.EndArray();
  }
  out.EndArray();
  key(out, "specified");
  out.StartArray();
  for (int i = 0; i < spec->GetNumFaces(); ++i) {
    out.StartArray();
    for (int corner = 0; corner < 3; ++corner) out.Bool(spec->Face(i).GetSpecified(corner));
    out.EndArray();
  }
  out.EndArray();
  out.EndObject();
}

void writeMeshMap(Writer& out, const MeshMap& map) {
  out.StartObject();
  key(out, "vertices");
  out.StartArray();
  for (const UVVert& v : map.tv) point(out, v);
  out.EndArray();
  key(out, "faces");
  out.StartArray();
  for (const TVFace& f : map.tf) {
    out.StartArray();
    for (const DWORD t : f.t) out.Uint(t);
    out.EndArray();
  }
  out.EndArray();
  out.EndObject();
}

void writeMesh(Writer& out, const Mesh& mesh) {
  key(out, "class");
  out.String("mesh");
  key(out, "vertices");
  out.StartArray();
  for (const Point3& v : mesh.verts) point(out, v);
  out.EndArray();
  key(out, "faces");
  out.StartArray();
  for (const Face& face : mesh.faces) {
    out.StartObject();
    key(out, "v");
    out.StartArray();
    for (const DWORD v : face.v) out.Uint(v);
    out.EndArray();
    key(out, "mtlId");
    out.Uint(face.getMatID());
    key(out, "edges");
    out.StartArray();
    for (int edge = 0; edge < 3; ++edge) out.Bool(face.getEdgeVis(edge));
    out.EndArray();
    out.EndObject();
  }
  out.EndArray();
  key(out, "normals");
  writeNormals(out, mesh.GetSpecifiedNormals());
  key(out, "maps");
  out.StartObject();
  // Ordinary channels in ascending order, then the hidden ones.
  std::vector<int> channels;
  for (int channel = 0; channel < mesh.getNumMaps(); ++channel) channels.push_back(channel);
  channels.push_back(MAP_SHADING);
  channels.push_back(MAP_ALPHA);
  for (const int channel : channels) {
    const MeshMap* map = mesh.findMap(channel);
    if (map == nullptr || !map->IsUsed()) continue;
    const std::string name = std::to_string(channel);
    out.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
    writeMeshMap(out, *map);
  }
  out.EndObject();
}

void writePoly(Writer& out, const PolyObject& poly) {
  key(out, "class");
  out.String("poly");
  key(out, "vertices");
  out.StartArray();
  for (const Point3& v : poly.vertices) point(out, v);
  out.EndArray();
  key(out, "faces");
  out.StartArray();
  for (const PolyFace& face : poly.faces) {
    out.StartObject();
    key(out, "v");
    out.StartArray();
    for (const int v : face.vertices) out.Int(v);
    out.EndArray();
    key(out, "mtlId");
    out.Uint(face.materialId);
    out.EndObject();
  }
  out.EndArray();
  key(out, "maps");
  out.StartObject();
  // Ordinary channels in ascending order, then the hidden ones.
  std::vector<const std::pair<int, PolyMap>*> ordered;
  for (const auto& map : poly.maps) {
    if (map.first >= 0) ordered.push_back(&map);
  }
  for (const int hidden : {MAP_SHADING, MAP_ALPHA}) {
    for (const auto& map : poly.maps) {
      if (map.first == hidden) ordered.push_back(&map);
    }
  }
  for (const auto* map : ordered) {
    const std::string name = std::to_string(map->first);
    out.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
    out.StartObject();
    key(out, "vertices");
    out.StartArray();
    for (const UVVert& v : map->second.vertices) point(out, v);
    out.EndArray();
    key(out, "faces");
    out.StartArray();
    for (const std::vector<int>& face : map->second.faces) {
      out.StartArray();
      for (const int t : face) out.Int(t);
      out.EndArray();
    }
    out.EndArray();
    out.EndObject();
  }
  out.EndObject();
}

void writeParams(Writer& out, const IParamBlock2& block) {
  out.StartObject();
  for (const IParamBlock2::Entry& entry : block.entries()) {
    const std::string name = utf16ToUtf8(entry.name);
    out.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
    if (const float* value = std::get_if<float>(&entry.value)) {
      number(out, *value);
    } else if (const int* integer = std::get_if<int>(&entry.value)) {
      out.Int(*integer);
    } else if (const Color* color = std::get_if<Color>(&entry.value)) {
      out.StartArray();
      number(out, color->r);
      number(out, color->g);
      number(out, color->b);
      out.EndArray();
    } else if (const std::u16string* string = std::get_if<std::u16string>(&entry.value)) {
      text(out, utf16ToUtf8(*string));
    }
  }
  out.EndObject();
}

void writeObject(Writer& out, Object& object) {
  out.StartObject();
  if (object.ClassID() == TRIOBJ_CLASS_ID) {
    writeMesh(out, static_cast<TriObject&>(object).GetMesh());
  } else if (object.ClassID() == POLYOBJ_CLASS_ID) {
    writePoly(out, static_cast<const PolyObject&>(object));
  } else {
    key(out, "class");
    text(out, utf16ToUtf8(object.ClassName().str()));
    if (const IParamBlock2* block = object.GetParamBlock(0)) {
      key(out, "params");
      writeParams(out, *block);
    }
  }
  out.EndObject();
}

void writeSlots(Writer& out, const MtlBase& owner, const Scene& scene) {
  out.StartObject();
  for (int slot = 0; slot < owner.NumSubTexmaps(); ++slot) {
    const Texmap* map = owner.GetSubTexmap(slot);
    if (map == nullptr) continue;
    const std::string name = std::to_string(slot);
    out.Key(name.data(), static_cast<rapidjson::SizeType>(name.size()));
    indexOr(out, scene.maps(), map);
  }
  out.EndObject();
}

// Slots in order: their IDs as stored (zero-based), their sub-materials
// by index (null for an empty slot) and their names.
void writeMultiMaterial(Writer& out, MultiMtl& material, const Scene& scene) {
  const int slots = material.NumSubMtls();
  key(out, "ids");
  out.StartArray();
  for (int slot = 0; slot < slots; ++slot) out.Int(material.GetSubMtlID(slot));
  out.EndArray();
  key(out, "materials");
  out.StartArray();
  for (int slot = 0; slot < slots; ++slot) indexOr(out, scene.materials(), material.GetSubMtl(slot));
  out.EndArray();
  key(out, "names");
  out.StartArray();
  for (int slot = 0; slot < slots; ++slot) text(out, utf16ToUtf8(material.GetSubMtlSlotName(slot).str()));
  out.EndArray();
}

void writeMaterial(Writer& out, Mtl& material, const Scene& scene) {
  out.StartObject();
  key(out, "class");
  text(out, utf16ToUtf8(material.ClassName().str()));
  if (material.ClassID() == MULTI_CLASS_ID) {
    writeMultiMaterial(out, static_cast<MultiMtl&>(material), scene);
    out.EndObject();
    return;
  }
  if (const IParamBlock2* block = material.GetParamBlock(0)) {
    key(out, "params");
    writeParams(out, *block);
  }
  key(out, "maps");
  writeSlots(out, material, scene);
  out.EndObject();
}

void writeBitmapTex(Writer& out, const BitmapTex& map) {
  key(out, "file");
  text(out, utf16ToUtf8(map.GetMap().GetFullFilePath()));
  key(out, "cropping");
  const Bitmap* bitmap = map.bitmap();
  if (bitmap == nullptr || !bitmap->cropping()) {
    out.Null();
  } else {
    const Bitmap::Cropping& crop = *bitmap->cropping();
    out.StartObject();
    key(out, "u");
    number(out, crop.u);
    key(out, "v");
    number(out, crop.v);
    key(out, "w");
    number(out, crop.w);
    key(out, "h");
    number(out, crop.h);
    key(out, "place");
    out.Bool(crop.place);
    out.EndObject();
  }
  const StdUVGen& uv = map.uvGen();
  key(out, "uvGen");
  out.StartObject();
  key(out, "uTiling");
  number(out, uv.GetUScl(0));
  key(out, "vTiling");
  number(out, uv.GetVScl(0));
  key(out, "uAngle");
  number(out, uv.GetUAng(0));
  key(out, "vAngle");
  number(out, uv.GetVAng(0));
  key(out, "wAngle");
  number(out, uv.GetWAng(0));
  key(out, "uOffset");
  number(out, uv.GetUOffs(0));
  key(out, "vOffset");
  number(out, uv.GetVOffs(0));
  out.EndObject();
}

void writeMap(Writer& out, Texmap& map, const Scene& scene) {
  out.StartObject();
  key(out, "class");
  text(out, utf16ToUtf8(map.ClassName().str()));
  if (map.ClassID() == BMTEX_CLASS_ID) {
    writeBitmapTex(out, static_cast<const BitmapTex&>(map));
  }
  if (const IParamBlock2* block = map.GetParamBlock(0)) {
    key(out, "params");
    writeParams(out, *block);
  }
  if (map.NumSubTexmaps() > 0) {
    key(out, "maps");
    writeSlots(out, map, scene);
  }
  out.EndObject();
}

}  // namespace

std::string sceneJson() {
  const Scene& current = scene();
  rapidjson::StringBuffer buffer;
  Writer out(buffer);
  out.StartObject();
  key(out, "systemUnit");
  text(out, std::string(unitName(systemUnit())));
  key(out, "nodes");
  out.StartArray();
  for (const auto& node : current.nodes()) writeNode(out, *node, current);
  out.EndArray();
  key(out, "objects");
  out.StartArray();
  for (const auto& object : current.objects()) writeObject(out, *object);
  out.EndArray();
  key(out, "materials");
  out.StartArray();
  for (const auto& material : current.materials()) writeMaterial(out, *material, current);
  out.EndArray();
  key(out, "maps");
  out.StartArray();
  for (const auto& map : current.maps()) writeMap(out, *map, current);
  out.EndArray();
  key(out, "environment");
  indexOr(out, current.maps(), current.environment());
  out.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace host
