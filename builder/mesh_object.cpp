#include "builder/mesh_object.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

// Elements of the decoded lists, read in place: the lists of a large design
// run to tens of megabytes, not worth a copy each.
VrpVector vectorAt(const PackedListView& list, std::size_t i) {
  VrpVector v;
  std::memcpy(&v, list.element(i), sizeof v);
  return v;
}

std::int32_t intAt(const PackedListView& list, std::size_t i) {
  std::int32_t value = 0;
  std::memcpy(&value, list.element(i), sizeof value);
  return value;
}

// Every one of the first `used` indices lies in [0, limit).
// Read as unsigned, a negative index is larger than any limit, so one
// maximum answers for both ends (and the loop vectorises).
bool indicesWithin(const PackedListView& indices, std::size_t used, std::size_t limit) {
  const std::uint8_t* bytes = indices.element(0);
  std::uint32_t largest = 0;
  for (std::size_t i = 0; i < used; ++i) {
    std::uint32_t index = 0;
    std::memcpy(&index, bytes + 4 * i, sizeof index);
    largest = std::max(largest, index);
  }
  return used == 0 || largest < limit;
}

// A mesh that loses something says so where the user looks: on standard
// output, as the reader's diagnostics, and in the import log.
void warn(const VrpPlugin& plugin, const std::string& what, ImportLog* log) {
  vrpPrint("[VRP] WARNING: Mesh \"%s\": %s.\n", plugin.name.c_str(), what.c_str());
  logLine(log, "[VRP] WARNING: Mesh \"%s\": %s.\n", plugin.name.c_str(), what.c_str());
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

// What a mesh's arrays are filled with once the host has sized them.
struct MeshFill {
  PackedListView vertices;
  PackedListView faces;
  PackedListView materialIds;  // empty when the faces keep their IDs
  PackedListView normals;      // empty without explicit normals
  PackedListView faceNormals;
  struct Channel {
    int channel;
    PackedListView uvw;
    PackedListView uvwFaces;
  };
  std::vector<Channel> channels;
  float unitFactor = 1.0f;
};

void sizeChannels(Mesh& mesh, const VrpPlugin& plugin, std::size_t faceIndexCount, ImportLog* log, MeshFill& fill) {
  const VrpValue channels = plugin.getValue("map_channels");
  const std::vector<VrpValue>& entries = channels.getValueList(plugin.scene);
  if (entries.empty()) return;
  mesh.setNumMaps(static_cast<int>(std::min<std::size_t>(entries.size(), INT_MAX)), FALSE);
  for (const VrpValue& entry : entries) {
    const std::vector<VrpValue>& items = entry.getValueList(plugin.scene);
    if (items.size() < 3) continue;
    const std::int32_t channel = channelNumber(items[0], plugin.scene);
    const ListOrigin origin{&plugin, "map_channels"};
    PackedListView uvw = items[1].viewVectorList(plugin.scene, origin);
    PackedListView uvwFaces = items[2].viewIntList(plugin.scene, origin);
    if (uvw.count == 0 || uvwFaces.count != faceIndexCount) continue;

    const std::size_t faceCount = uvwFaces.count / 3;
    if (channel < -NUM_HIDDENMAPS || channel >= MAX_MESHMAPS) {
      warn(plugin, "map channel " + std::to_string(channel) + " out of range; channel skipped", log);
      continue;
    }
    if (uvw.count > INT_MAX || !indicesWithin(uvwFaces, faceCount * 3, uvw.count)) {
      warn(plugin, "UVW index out of range in map channel " + std::to_string(channel) + "; channel skipped", log);
      continue;
    }
    mesh.setMapSupport(channel, TRUE);
    MeshMap& map = mesh.Map(channel);
    map.setNumVerts(static_cast<int>(uvw.count), FALSE);
    map.setNumFaces(static_cast<int>(faceCount), FALSE, 0);
    // A later entry for the same channel sized it anew: its elements replace
    // the earlier entry's, which are not written at all.
    std::erase_if(fill.channels, [&](const MeshFill::Channel& queued) { return queued.channel == channel; });
    fill.channels.push_back({channel, std::move(uvw), std::move(uvwFaces)});
  }
}

// Copies the elements into arrays the host has sized; no host call, so it
// may run on another thread while the host goes on with other objects.
// The host's arrays are sized for every index used here, so they are
// written through plain pointers, as the host's own arrays are.
void fillMesh(Mesh& mesh, const MeshFill& fill) {
  const float unit = fill.unitFactor;
  Point3* verts = &mesh.verts[0];
  for (std::size_t k = 0; k < fill.vertices.count; ++k) {
    const VrpVector v = vectorAt(fill.vertices, k);
    verts[k] = Point3(v.x * unit, v.y * unit, v.z * unit);
  }
  const std::size_t faceCount = fill.faces.count / 3;
  const bool useMaterialIds = fill.materialIds.count != 0;
  Face* faces = &mesh.faces[0];
  for (std::size_t k = 0; k < faceCount; ++k) {
    Face& face = faces[k];
    face.setVerts(static_cast<DWORD>(intAt(fill.faces, 3 * k)), static_cast<DWORD>(intAt(fill.faces, 3 * k + 1)),
                  static_cast<DWORD>(intAt(fill.faces, 3 * k + 2)));
    face.setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_VIS);
    // The stored ID is the host's own, zero-based, in 16 bits.
    if (useMaterialIds) face.setMatID(static_cast<MtlID>(intAt(fill.materialIds, k) & 0xFFFF));
  }
  if (MeshNormalSpec* spec = fill.normals.count != 0 ? mesh.GetSpecifiedNormals() : nullptr) {
    for (std::size_t l = 0; l < fill.normals.count; ++l) {
      const VrpVector n = vectorAt(fill.normals, l);
      spec->Normal(static_cast<int>(l)) = Point3(n.x, n.y, n.z);
      spec->SetNormalExplicit(static_cast<int>(l), true);
    }
    for (std::size_t l = 0; l < fill.faceNormals.count / 3; ++l) {
      MeshNormalFace& normalFace = spec->Face(static_cast<int>(l));
      for (int corner = 0; corner < 3; ++corner) {
        normalFace.SetNormalID(corner, intAt(fill.faceNormals, 3 * l + corner));
      }
      normalFace.SpecifyAll();
    }
  }
  for (const MeshFill::Channel& channel : fill.channels) {
    MeshMap& map = mesh.Map(channel.channel);
    UVVert* tv = &map.tv[0];
    for (std::size_t i = 0; i < channel.uvw.count; ++i) {
      const VrpVector v = vectorAt(channel.uvw, i);
      tv[i] = UVVert(v.x, v.y, v.z);
    }
    TVFace* tf = &map.tf[0];
    for (std::size_t i = 0; i < channel.uvwFaces.count / 3; ++i) {
      tf[i].setTVerts(static_cast<DWORD>(intAt(channel.uvwFaces, 3 * i)),
                      static_cast<DWORD>(intAt(channel.uvwFaces, 3 * i + 1)),
                      static_cast<DWORD>(intAt(channel.uvwFaces, 3 * i + 2)));
    }
  }
}

}  // namespace

TriObject* buildMeshObject(const VrpPlugin& plugin, float unitFactor, ImportLog* log, platform::TaskGroup* fills) {
  MeshFill fill;
  fill.unitFactor = unitFactor;
  fill.vertices = plugin.viewVectorList("vertices");
  fill.faces = plugin.viewIntList("faces");
  const PackedListView& vertices = fill.vertices;
  const PackedListView& faces = fill.faces;
  if (vertices.count == 0 || faces.count < 3) return nullptr;

  PackedListView normals = plugin.viewVectorList("normals");
  PackedListView faceNormals = plugin.viewIntList("faceNormals");
  PackedListView materialIds = plugin.viewIntList("face_mtlIDs");

  const std::size_t faceCount = faces.count / 3;
  // The host counts in int; lists this large never come from a real design.
  if (vertices.count > INT_MAX || faceCount > INT_MAX) {
    warn(plugin, "too large; mesh skipped", log);
    return nullptr;
  }
  if (!indicesWithin(faces, faceCount * 3, vertices.count)) {
    warn(plugin, "face vertex index out of range; mesh skipped", log);
    return nullptr;
  }
  bool useNormals = normals.count != 0 && faceNormals.count == faces.count;
  if (useNormals && (normals.count > INT_MAX || !indicesWithin(faceNormals, faceCount * 3, normals.count))) {
    warn(plugin, "normal index out of range; explicit normals skipped", log);
    useNormals = false;
  }
  if (materialIds.count == faceCount) fill.materialIds = std::move(materialIds);

  // Every host call that sizes the object happens here, in order; only the
  // copying of elements may go to another thread.
  TriObject* object = CreateNewTriObject();
  Mesh& mesh = object->GetMesh();
  mesh.setNumVerts(static_cast<int>(vertices.count), FALSE, TRUE);
  mesh.setNumFaces(static_cast<int>(faceCount), FALSE, TRUE);
  mesh.setSmoothFlags(1);
  if (useNormals) {
    mesh.SpecifyNormals();
    MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    spec->ClearNormals();
    spec->SetNumNormals(static_cast<int>(normals.count));
    spec->SetNumFaces(static_cast<int>(faceNormals.count / 3));
    fill.normals = std::move(normals);
    fill.faceNormals = std::move(faceNormals);
  }
  sizeChannels(mesh, plugin, faces.count, log, fill);
  mesh.InvalidateGeomCache();
  mesh.InvalidateTopologyCache();

  if (fills == nullptr) {
    fillMesh(mesh, fill);
  } else {
    fills->run([&mesh, fill = std::move(fill)] { fillMesh(mesh, fill); });
  }
  return object;
}

}  // namespace cvimp
