#include "builder/mesh_object.h"

#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "vrscene/diagnostics.h"
#include "vrscene/value.h"

namespace cvimp {

namespace {

template <typename T>
struct List {
  std::unique_ptr<T[]> items;
  std::size_t count = 0;
};

// Every one of the first `used` indices lies in [0, limit).
bool indicesWithin(const std::int32_t* indices, std::size_t used, std::size_t limit) {
  for (std::size_t i = 0; i < used; ++i) {
    if (indices[i] < 0 || static_cast<std::size_t>(indices[i]) >= limit) return false;
  }
  return true;
}

void warn(const VrpPlugin& plugin, const std::string& what) {
  vrpPrint("[VRP] WARNING: Mesh \"%s\": %s.\n", plugin.name.c_str(), what.c_str());
}

// A channel number: an integer (at the scene's frame) as its low 32 bits, a
// float truncated toward zero, anything else 0 with a message.
std::int32_t channelNumber(const VrpValue& item, const VrpScene* scene) {
  if (const std::int64_t* integer = item.resolveInt(scene)) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*integer));
  }
  if (const double* floating = item.floatValue()) return truncateToInt32(*floating);
  vrpPrint("[VRP] ERROR: Cannot get int.\n");
  return 0;
}

void fillChannels(Mesh& mesh, const VrpPlugin& plugin, std::size_t faceIndexCount) {
  const VrpValue channels = plugin.getValue("map_channels");
  const std::vector<VrpValue>& entries = channels.getValueList(plugin.scene);
  if (entries.empty()) return;
  mesh.setNumMaps(static_cast<int>(std::min<std::size_t>(entries.size(), INT_MAX)), FALSE);
  for (const VrpValue& entry : entries) {
    const std::vector<VrpValue>& items = entry.getValueList(plugin.scene);
    if (items.size() < 3) continue;
    const std::int32_t channel = channelNumber(items[0], plugin.scene);
    List<VrpVector> uvw;
    uvw.items = items[1].getVectorList(plugin.scene, uvw.count);
    List<std::int32_t> uvwFaces;
    uvwFaces.items = items[2].getIntList(plugin.scene, uvwFaces.count);
    if (uvw.count == 0 || uvwFaces.count != faceIndexCount) continue;

    const std::size_t faceCount = uvwFaces.count / 3;
    if (channel < -NUM_HIDDENMAPS || channel >= MAX_MESHMAPS) {
      warn(plugin, "map channel " + std::to_string(channel) + " out of range; channel skipped");
      continue;
    }
    if (uvw.count > INT_MAX || !indicesWithin(uvwFaces.items.get(), faceCount * 3, uvw.count)) {
      warn(plugin, "UVW index out of range in map channel " + std::to_string(channel) + "; channel skipped");
      continue;
    }
    mesh.setMapSupport(channel, TRUE);
    MeshMap& map = mesh.Map(channel);
    map.setNumVerts(static_cast<int>(uvw.count), FALSE);
    for (std::size_t i = 0; i < uvw.count; ++i) {
      const VrpVector& v = uvw.items[i];
      map.tv[static_cast<long long>(i)] = UVVert(v.x, v.y, v.z);
    }
    map.setNumFaces(static_cast<int>(faceCount), FALSE, 0);
    for (std::size_t i = 0; i < faceCount; ++i) {
      const std::int32_t* t = &uvwFaces.items[3 * i];
      map.tf[static_cast<long long>(i)].setTVerts(static_cast<DWORD>(t[0]), static_cast<DWORD>(t[1]),
                                                  static_cast<DWORD>(t[2]));
    }
  }
}

}  // namespace

TriObject* buildMeshObject(const VrpPlugin& plugin, float unitFactor) {
  List<VrpVector> vertices;
  vertices.items = plugin.getVectorList("vertices", vertices.count);
  List<std::int32_t> faces;
  faces.items = plugin.getIntList("faces", faces.count);
  if (vertices.count == 0 || faces.count < 3) return nullptr;

  List<VrpVector> normals;
  normals.items = plugin.getVectorList("normals", normals.count);
  List<std::int32_t> faceNormals;
  faceNormals.items = plugin.getIntList("faceNormals", faceNormals.count);
  List<std::int32_t> materialIds;
  materialIds.items = plugin.getIntList("face_mtlIDs", materialIds.count);

  const std::size_t faceCount = faces.count / 3;
  // The host counts in int; lists this large never come from a real design.
  if (vertices.count > INT_MAX || faceCount > INT_MAX) {
    warn(plugin, "too large; mesh skipped");
    return nullptr;
  }
  if (!indicesWithin(faces.items.get(), faceCount * 3, vertices.count)) {
    warn(plugin, "face vertex index out of range; mesh skipped");
    return nullptr;
  }
  bool useNormals = normals.count != 0 && faceNormals.count == faces.count;
  if (useNormals && (normals.count > INT_MAX || !indicesWithin(faceNormals.items.get(), faceCount * 3, normals.count))) {
    warn(plugin, "normal index out of range; explicit normals skipped");
    useNormals = false;
  }

  TriObject* object = CreateNewTriObject();
  Mesh& mesh = object->GetMesh();
  mesh.setNumVerts(static_cast<int>(vertices.count), FALSE, TRUE);
  mesh.setNumFaces(static_cast<int>(faceCount), FALSE, TRUE);
  mesh.setSmoothFlags(1);
  for (std::size_t k = 0; k < vertices.count; ++k) {
    const VrpVector& v = vertices.items[k];
    mesh.verts[static_cast<long long>(k)] = Point3(v.x * unitFactor, v.y * unitFactor, v.z * unitFactor);
  }
  for (std::size_t k = 0; k < faceCount; ++k) {
    const std::int32_t* v = &faces.items[3 * k];
    Face& face = mesh.faces[static_cast<long long>(k)];
    face.setVerts(static_cast<DWORD>(v[0]), static_cast<DWORD>(v[1]), static_cast<DWORD>(v[2]));
    face.setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);
  }

  if (useNormals) {
    mesh.SpecifyNormals();
    MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    spec->ClearNormals();
    spec->SetNumNormals(static_cast<int>(normals.count));
    for (std::size_t l = 0; l < normals.count; ++l) {
      const VrpVector& n = normals.items[l];
      spec->Normal(static_cast<int>(l)) = Point3(n.x, n.y, n.z);
      spec->SetNormalExplicit(static_cast<int>(l), true);
    }
    spec->SetNumFaces(static_cast<int>(faceNormals.count / 3));
    for (std::size_t l = 0; l < faceNormals.count / 3; ++l) {
      MeshNormalFace& normalFace = spec->Face(static_cast<int>(l));
      for (int corner = 0; corner < 3; ++corner) normalFace.SetNormalID(corner, faceNormals.items[3 * l + corner]);
      normalFace.SpecifyAll();
    }
  }

  fillChannels(mesh, plugin, faces.count);

  if (materialIds.count == faceCount) {
    for (std::size_t l = 0; l < faceCount; ++l) {
      mesh.faces[static_cast<long long>(l)].setMatID(static_cast<MtlID>(materialIds.items[l] & 0xFFFF));
    }
  }

  mesh.InvalidateGeomCache();
  mesh.InvalidateTopologyCache();
  return object;
}

}  // namespace cvimp
