#include "gltf/mesh_export.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace cvimp::gltf {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

// A built object's vertex data.
struct MeshBuffers {
  std::uint32_t vertexCount = 0;
  std::vector<float> positions;  // 3 per vertex, metres, Y up
  std::vector<float> normals;    // 3 per vertex, unit length; empty: none
  std::vector<std::vector<float>> uvSets;  // 2 per vertex each, V flipped; map channels 1, 2, ... in order
  std::vector<std::uint32_t> indices;      // 3 per triangle, counter-clockwise seen from outside
  MeshSummary summary;                     // counts, bounds and losses
};

struct Channel {
  const Point3* uvs = nullptr;
  std::uint32_t uvCount = 0;
  std::vector<std::uint32_t> index;  // per corner
};

// An object's triangles as corners, three per triangle, each pointing into
// the object's own arrays: the form both kinds of object share.
struct Corners {
  const Point3* points = nullptr;
  std::uint32_t pointCount = 0;
  std::vector<std::uint32_t> vertex;
  bool hasNormals = false;
  const Point3* normals = nullptr;
  std::uint32_t normalCount = 0;
  std::vector<std::uint32_t> normal;  // kNone: the face's own normal
  std::vector<Channel> channels;      // map channels 1, 2, ... that pair with the faces
  std::vector<MtlID> ids;             // per triangle, when grouped
};

std::uint32_t count(std::size_t size) {
  return size > kNone - 1 ? kNone - 1 : static_cast<std::uint32_t>(size);
}

bool usable(const Point3& n) {
  const double length = static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y + static_cast<double>(n.z) * n.z;
  return std::isfinite(length) && length > 1e-24;
}

// Map channels 1, 2, ... that pair with the faces, in order, to `visit`;
// the others counted as skipped.
template <typename Visit>
void pairedChannels(const Mesh& mesh, std::uint64_t& skipped, Visit visit) {
  const std::size_t faces = mesh.faces.items().size();
  for (int channel = 1; channel < mesh.getNumMaps(); ++channel) {
    const MeshMap* map = mesh.findMap(channel);
    if (map == nullptr || !map->IsUsed()) continue;
    if (map->tf.items().size() != faces || map->tv.items().empty()) {
      ++skipped;
      continue;
    }
    visit(*map);
  }
}

void gatherMesh(const Mesh& mesh, Corners& corners, MeshBuffers& out) {
  const auto& faces = mesh.faces.items();
  corners.points = mesh.verts.items().data();
  corners.pointCount = count(mesh.verts.items().size());
  const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
  corners.hasNormals = spec != nullptr && spec->GetNumNormals() > 0;
  std::vector<char> good;
  if (corners.hasNormals) {
    corners.normalCount = static_cast<std::uint32_t>(spec->GetNumNormals());
    corners.normals = spec->GetNormalArray();
    good.resize(corners.normalCount);
    for (std::uint32_t i = 0; i < corners.normalCount; ++i) good[i] = usable(corners.normals[i]);
  }
  std::vector<const MeshMap*> maps;
  pairedChannels(mesh, out.summary.skippedChannels, [&](const MeshMap& map) {
    maps.push_back(&map);
    corners.channels.push_back({map.tv.items().data(), count(map.tv.items().size()), {}});
  });
  const std::size_t reserve = faces.size() * 3;
  corners.vertex.reserve(reserve);
  if (corners.hasNormals) corners.normal.reserve(reserve);
  for (Channel& channel : corners.channels) channel.index.reserve(reserve);

  const int normalFaces = corners.hasNormals ? spec->GetNumFaces() : 0;
  for (std::size_t f = 0; f < faces.size(); ++f) {
    const Face& face = faces[f];
    bool valid = face.v[0] < corners.pointCount && face.v[1] < corners.pointCount && face.v[2] < corners.pointCount;
    for (std::size_t c = 0; valid && c < maps.size(); ++c) {
      const TVFace& tf = maps[c]->tf.items()[f];
      valid = tf.t[0] < corners.channels[c].uvCount && tf.t[1] < corners.channels[c].uvCount &&
              tf.t[2] < corners.channels[c].uvCount;
    }
    if (!valid) {
      ++out.summary.skippedFaces;
      continue;
    }
    corners.vertex.insert(corners.vertex.end(), face.v, face.v + 3);
    corners.ids.push_back(face.getMatID());
    for (std::size_t c = 0; c < maps.size(); ++c) {
      const DWORD* t = maps[c]->tf.items()[f].t;
      corners.channels[c].index.insert(corners.channels[c].index.end(), t, t + 3);
    }
    if (!corners.hasNormals) continue;
    for (int corner = 0; corner < 3; ++corner) {
      std::uint32_t id = kNone;
      if (static_cast<long long>(f) < normalFaces) {
        const MeshNormalFace& normalFace = spec->GetFaceArray()[f];
        const int given = normalFace.GetNormalID(corner);
        if (given >= 0 && static_cast<std::uint32_t>(given) < corners.normalCount && good[given]) {
          id = static_cast<std::uint32_t>(given);
        }
      }
      corners.normal.push_back(id);
    }
  }
}

void gatherPoly(const PolyObject& poly, Corners& corners, MeshBuffers& out) {
  corners.points = poly.vertices.data();
  corners.pointCount = count(poly.vertices.size());
  std::vector<const PolyMap*> maps;
  for (const auto& [number, map] : poly.maps) {
    if (number < 1) continue;
    bool pairs = map.faces.size() == poly.faces.size() && !map.vertices.empty();
    for (std::size_t f = 0; pairs && f < poly.faces.size(); ++f) pairs = map.faces[f].size() == poly.faces[f].vertices.size();
    if (!pairs) {
      ++out.summary.skippedChannels;
      continue;
    }
    maps.push_back(&map);
    corners.channels.push_back({map.vertices.data(), count(map.vertices.size()), {}});
  }
  for (std::size_t f = 0; f < poly.faces.size(); ++f) {
    const std::vector<int>& v = poly.faces[f].vertices;
    bool valid = v.size() >= 3;
    for (const int index : v) valid = valid && index >= 0 && static_cast<std::uint32_t>(index) < corners.pointCount;
    for (std::size_t c = 0; valid && c < maps.size(); ++c) {
      for (const int index : maps[c]->faces[f]) {
        valid = valid && index >= 0 && static_cast<std::uint32_t>(index) < corners.channels[c].uvCount;
      }
    }
    if (!valid) {
      ++out.summary.skippedFaces;
      continue;
    }
    // Polygons of the host are convex (quadrify makes only convex quads): a
    // fan covers them.
    for (std::size_t k = 1; k + 1 < v.size(); ++k) {
      corners.ids.push_back(poly.faces[f].materialId);
      for (const std::size_t corner : {std::size_t{0}, k, k + 1}) {
        corners.vertex.push_back(static_cast<std::uint32_t>(v[corner]));
        for (std::size_t c = 0; c < maps.size(); ++c) {
          corners.channels[c].index.push_back(static_cast<std::uint32_t>(maps[c]->faces[f][corner]));
        }
      }
    }
  }
}

// Points through the optional baked linear part and into glTF's frame.
class Placement {
 public:
  Placement(const Frame& frame, const std::optional<Mat3>& bake) : frame_(frame), bake_(bake) {
    if (!bake_) return;
    const Mat3& m = *bake_;
    auto cross = [](const Vec3& a, const Vec3& b) {
      return Vec3{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    // Normals go through the inverse transpose, here as the cofactors
    // (b x c, c x a, a x b) with the determinant's sign: defined for a
    // flattening transform too.
    const Vec3 bc = cross(m[1], m[2]), ca = cross(m[2], m[0]), ab = cross(m[0], m[1]);
    const double det = m[0][0] * bc[0] + m[0][1] * bc[1] + m[0][2] * bc[2];
    mirrors_ = det < 0;
    const double sign = mirrors_ ? -1.0 : 1.0;
    for (int k = 0; k < 3; ++k) cofactors_[0][k] = sign * bc[k], cofactors_[1][k] = sign * ca[k], cofactors_[2][k] = sign * ab[k];
  }

  bool mirrors() const { return mirrors_; }

  Vec3 point(const Point3& p) const {
    if (!bake_) return frame_.point(p);
    const Mat3& m = *bake_;
    Point3 q;
    q.x = static_cast<float>(p.x * m[0][0] + p.y * m[1][0] + p.z * m[2][0]);
    q.y = static_cast<float>(p.x * m[0][1] + p.y * m[1][1] + p.z * m[2][1]);
    q.z = static_cast<float>(p.x * m[0][2] + p.y * m[1][2] + p.z * m[2][2]);
    return frame_.point(q);
  }

  // Unit length; null when it has none.
  std::optional<Vec3> normal(const Point3& n) const {
    Vec3 d{n.x, n.y, n.z};
    if (bake_) {
      const Vec3 given = d;
      for (int k = 0; k < 3; ++k) {
        d[k] = given[0] * cofactors_[0][k] + given[1] * cofactors_[1][k] + given[2] * cofactors_[2][k];
      }
    }
    return unit(Frame::direction(d));
  }

  static std::optional<Vec3> unit(const Vec3& d) {
    const double length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (!(length > 1e-30) || !std::isfinite(length)) return std::nullopt;
    return Vec3{d[0] / length, d[1] / length, d[2] / length};
  }

 private:
  const Frame& frame_;
  const std::optional<Mat3>& bake_;
  bool mirrors_ = false;
  Mat3 cofactors_{};
};

class Builder {
 public:
  Builder(Corners& corners, const Placement& placement, MeshBuffers& out)
      : corners_(corners), placement_(placement), out_(out) {}

  void build() {
    const std::size_t cornerCount = corners_.vertex.size();
    out_.uvSets.resize(corners_.channels.size());
    buildSplit();
    // Winding as the placement leaves it: a mirroring bake turns every face.
    if (placement_.mirrors()) {
      for (std::size_t c = 0; c + 2 < cornerCount; c += 3) std::swap(out_.indices[c + 1], out_.indices[c + 2]);
    }
    bounds();
  }

 private:
  // One glTF vertex per distinct (point, normal, UVs) of the corners, found
  // through a chain per point: corners of one point are few.
  void buildSplit() {
    const std::size_t cornerCount = corners_.vertex.size();
    const std::size_t sets = corners_.channels.size();
    std::vector<std::uint32_t> head(corners_.pointCount, kNone);
    std::vector<std::uint32_t> next;
    std::vector<std::uint32_t> keys;  // per vertex: point, normal key, UV indices
    const std::size_t width = 2 + sets;
    out_.indices.resize(cornerCount);
    std::vector<std::uint32_t> key(width);
    for (std::size_t c = 0; c < cornerCount; ++c) {
      key[0] = corners_.vertex[c];
      // A face's own normal is told apart by the face, above every index.
      key[1] = !corners_.hasNormals              ? 0
               : corners_.normal[c] != kNone     ? corners_.normal[c]
                                                 : kNone - 1 - static_cast<std::uint32_t>(c / 3);
      if (corners_.hasNormals && corners_.normal[c] == kNone) ++out_.summary.replacedNormals;
      for (std::size_t s = 0; s < sets; ++s) key[2 + s] = corners_.channels[s].index[c];
      std::uint32_t found = head[key[0]];
      while (found != kNone && !std::equal(key.begin(), key.end(), keys.begin() + static_cast<std::ptrdiff_t>(found * width))) {
        found = next[found];
      }
      if (found == kNone) {
        found = static_cast<std::uint32_t>(next.size());
        next.push_back(head[key[0]]);
        head[key[0]] = found;
        keys.insert(keys.end(), key.begin(), key.end());
        addVertex(key, c);
      }
      out_.indices[c] = found;
    }
    out_.vertexCount = static_cast<std::uint32_t>(next.size());
  }

  void addVertex(const std::vector<std::uint32_t>& key, std::size_t corner) {
    const std::uint32_t i = static_cast<std::uint32_t>(out_.positions.size() / 3);
    out_.positions.resize(out_.positions.size() + 3);
    putPosition(i, corners_.points[key[0]]);
    if (corners_.hasNormals) {
      out_.normals.resize(out_.normals.size() + 3);
      const std::optional<Vec3> given =
          corners_.normal[corner] != kNone ? placement_.normal(corners_.normals[corners_.normal[corner]]) : std::nullopt;
      putNormal(i, given ? *given : faceNormal(corner / 3));
    }
    for (std::size_t s = 0; s < out_.uvSets.size(); ++s) {
      out_.uvSets[s].resize(out_.uvSets[s].size() + 2);
      putUv(s, i, corners_.channels[s].uvs[key[2 + s]]);
    }
  }

  // The normal of a triangle as written (placed and wound); straight up
  // for a triangle without area.
  Vec3 faceNormal(std::size_t triangle) const {
    const std::size_t c = triangle * 3;
    Vec3 a = placement_.point(corners_.points[corners_.vertex[c]]);
    Vec3 b = placement_.point(corners_.points[corners_.vertex[c + 1]]);
    Vec3 d = placement_.point(corners_.points[corners_.vertex[c + 2]]);
    if (placement_.mirrors()) std::swap(b, d);
    const Vec3 u{b[0] - a[0], b[1] - a[1], b[2] - a[2]};
    const Vec3 v{d[0] - a[0], d[1] - a[1], d[2] - a[2]};
    const Vec3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    return Placement::unit(n).value_or(Vec3{0, 1, 0});
  }

  void putPosition(std::uint32_t i, const Point3& p) {
    const Vec3 g = placement_.point(p);
    float* to = &out_.positions[std::size_t{i} * 3];
    for (int k = 0; k < 3; ++k) to[k] = static_cast<float>(g[k]);
    if (!std::isfinite(to[0]) || !std::isfinite(to[1]) || !std::isfinite(to[2])) {
      ++out_.summary.replacedPositions;
      to[0] = to[1] = to[2] = 0.0f;
    }
  }

  void putNormal(std::uint32_t i, const Vec3& n) {
    float* to = &out_.normals[std::size_t{i} * 3];
    for (int k = 0; k < 3; ++k) to[k] = static_cast<float>(n[k]);
  }

  // glTF's V runs down the image, 3ds Max's up.
  void putUv(std::size_t set, std::uint32_t i, const Point3& uv) {
    float* to = &out_.uvSets[set][std::size_t{i} * 2];
    to[0] = std::isfinite(uv.x) ? uv.x : 0.0f;
    to[1] = std::isfinite(uv.y) ? 1.0f - uv.y : 0.0f;
  }

  void bounds() {
    MeshSummary& summary = out_.summary;
    if (out_.vertexCount == 0) return;
    summary.min = {out_.positions[0], out_.positions[1], out_.positions[2]};
    summary.max = summary.min;
    for (std::size_t i = 0; i < out_.positions.size(); i += 3) {
      for (std::size_t k = 0; k < 3; ++k) {
        summary.min[k] = std::min(summary.min[k], out_.positions[i + k]);
        summary.max[k] = std::max(summary.max[k], out_.positions[i + k]);
      }
    }
  }

  Corners& corners_;
  const Placement& placement_;
  MeshBuffers& out_;
};

// Triangle order grouped by ID, stable within an ID (a counting sort: IDs
// are 16-bit), and the triangles of each ID.
std::vector<std::uint32_t> groupOrder(const std::vector<MtlID>& ids, MeshSummary& summary) {
  // Most meshes have one ID: a scan finds it, without the table of counts.
  if (std::all_of(ids.begin(), ids.end(), [&](MtlID id) { return id == ids.front(); })) {
    if (!ids.empty()) summary.groups.emplace_back(ids.front(), ids.size());
    return {};
  }
  std::vector<std::uint64_t> start(std::size_t{0x10000} + 1, 0);
  for (const MtlID id : ids) ++start[std::size_t{id} + 1];
  for (std::size_t id = 0; id < 0x10000; ++id) {
    if (start[id + 1] > 0) summary.groups.emplace_back(static_cast<MtlID>(id), start[id + 1]);
    start[id + 1] += start[id];
  }
  if (summary.groups.size() < 2) return {};
  std::vector<std::uint32_t> order(ids.size());
  for (std::size_t t = 0; t < ids.size(); ++t) order[start[ids[t]]++] = static_cast<std::uint32_t>(t);
  return order;
}

bool buildMeshBuffers(Object& object, const Frame& frame, const std::optional<Mat3>& bake, bool grouped,
                      MeshBuffers& out) {
  out = MeshBuffers();
  Corners corners;
  if (object.ClassID() == TRIOBJ_CLASS_ID) {
    gatherMesh(static_cast<TriObject&>(object).GetMesh(), corners, out);
  } else if (object.ClassID() == POLYOBJ_CLASS_ID) {
    gatherPoly(static_cast<const PolyObject&>(object), corners, out);
  } else {
    return false;
  }
  const Placement placement(frame, bake);
  Builder(corners, placement, out).build();
  MeshSummary& summary = out.summary;
  if (grouped) {
    const std::vector<std::uint32_t> order = groupOrder(corners.ids, summary);
    if (!order.empty()) {
      std::vector<std::uint32_t> indices(out.indices.size());
      for (std::size_t t = 0; t < order.size(); ++t) {
        std::copy_n(out.indices.begin() + static_cast<std::ptrdiff_t>(order[t]) * 3, 3,
                    indices.begin() + static_cast<std::ptrdiff_t>(t) * 3);
      }
      out.indices = std::move(indices);
    }
  }
  summary.vertexCount = out.vertexCount;
  summary.indexCount = out.indices.size();
  summary.normals = !out.normals.empty();
  summary.uvSets = static_cast<std::uint32_t>(out.uvSets.size());
  return true;
}

// A position as written: metres, Y up, a non-finite one at the origin.
inline bool putPosition(const Frame& frame, const Point3& p, float* to) {
  const Vec3 g = frame.point(p);
  for (int k = 0; k < 3; ++k) to[k] = static_cast<float>(g[k]);
  if (std::isfinite(to[0]) && std::isfinite(to[1]) && std::isfinite(to[2])) return true;
  to[0] = to[1] = to[2] = 0.0f;
  return false;
}

// Whether the mesh's own arrays serve as glTF's: every face's normal and UV
// corners name the face's own points, every index lies within its array and
// every normal of a point is usable.
bool indexedLikePoints(const Mesh& mesh, std::uint64_t& skippedChannels, std::uint32_t& uvSets) {
  const auto faces = mesh.faces.items();
  const std::size_t n = mesh.verts.items().size();
  const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
  const bool hasNormals = spec != nullptr && spec->GetNumNormals() > 0;
  const MeshNormalFace* normalFaces = nullptr;
  if (hasNormals) {
    if (static_cast<std::size_t>(spec->GetNumNormals()) < n || static_cast<std::size_t>(spec->GetNumFaces()) < faces.size()) {
      return false;
    }
    const Point3* normals = spec->GetNormalArray();
    for (std::size_t i = 0; i < n; ++i) {
      if (!usable(normals[i])) return false;
    }
    normalFaces = spec->GetFaceArray();
  }
  constexpr std::size_t kMostChannels = MAX_MESHMAPS;
  std::array<const TVFace*, kMostChannels> maps{};
  std::size_t mapCount = 0;
  bool fits = true;
  pairedChannels(mesh, skippedChannels, [&](const MeshMap& map) {
    fits = fits && map.tv.items().size() >= n;
    maps[mapCount++] = map.tf.items().data();
  });
  uvSets = static_cast<std::uint32_t>(mapCount);
  if (!fits) return false;
  const Face* face = faces.data();
  for (std::size_t f = 0; f < faces.size(); ++f) {
    const DWORD* v = face[f].v;
    bool same = v[0] < n && v[1] < n && v[2] < n;
    if (normalFaces != nullptr) {
      const MeshNormalFace& normal = normalFaces[f];
      same = same && normal.GetNormalID(0) == static_cast<int>(v[0]) && normal.GetNormalID(1) == static_cast<int>(v[1]) &&
             normal.GetNormalID(2) == static_cast<int>(v[2]);
    }
    for (std::size_t c = 0; c < mapCount; ++c) {
      const DWORD* t = maps[c][f].t;
      same = same && t[0] == v[0] && t[1] == v[1] && t[2] == v[2];
    }
    if (!same) return false;
  }
  return true;
}

// The `set`th map channel that pairs with the faces.
const MeshMap* pairedChannel(const Mesh& mesh, std::uint32_t set) {
  const MeshMap* found = nullptr;
  std::uint64_t skipped = 0;
  std::uint32_t seen = 0;
  pairedChannels(mesh, skipped, [&](const MeshMap& map) {
    if (seen++ == set) found = &map;
  });
  return found;
}

}  // namespace

bool summarizeDirect(Object& object, const Frame& frame, const std::optional<Mat3>& bake, bool grouped,
                     MeshSummary& out) {
  out = MeshSummary();
  // A baked copy's normals go through the bake, which may flatten some:
  // the corners then name them one by one.
  if (bake || object.ClassID() != TRIOBJ_CLASS_ID) return false;
  const Mesh& mesh = static_cast<TriObject&>(object).GetMesh();
  if (!indexedLikePoints(mesh, out.skippedChannels, out.uvSets)) return false;
  const auto points = mesh.verts.items();
  out.direct = true;
  out.vertexCount = count(points.size());
  out.indexCount = std::uint64_t{mesh.faces.items().size()} * 3;
  const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
  out.normals = spec != nullptr && spec->GetNumNormals() > 0;
  if (grouped) {
    std::vector<MtlID> ids;
    ids.reserve(mesh.faces.items().size());
    for (const Face& face : mesh.faces.items()) ids.push_back(face.getMatID());
    out.order = groupOrder(ids, out);
  }
  for (std::size_t i = 0; i < points.size(); ++i) {
    float p[3];
    if (!putPosition(frame, points[i], p)) ++out.replacedPositions;
    if (i == 0) {
      out.min = {p[0], p[1], p[2]};
      out.max = out.min;
    }
    for (std::size_t k = 0; k < 3; ++k) {
      out.min[k] = std::min(out.min[k], p[k]);
      out.max[k] = std::max(out.max[k], p[k]);
    }
  }
  return true;
}

bool summarizeBuilt(Object& object, const Frame& frame, const std::optional<Mat3>& bake, bool grouped,
                    MeshSummary& out) {
  MeshBuffers buffers;
  const bool mesh = buildMeshBuffers(object, frame, bake, grouped, buffers);
  out = buffers.summary;
  return mesh;
}

bool encodeDirect(Object& object, const Frame& frame, const MeshSummary& summary, Section section, std::uint32_t set,
                  std::size_t first, std::size_t count, std::uint8_t* to) {
  if (object.ClassID() != TRIOBJ_CLASS_ID) return false;
  const Mesh& mesh = static_cast<TriObject&>(object).GetMesh();
  auto holds = [&](std::size_t size) { return first <= size && count <= size - first; };
  switch (section) {
    case Section::Positions: {
      if (!holds(mesh.verts.items().size())) return false;
      const Point3* points = mesh.verts.items().data() + first;
      for (std::size_t i = 0; i < count; ++i) {
        float p[3];
        putPosition(frame, points[i], p);
        std::memcpy(to + i * 12, p, 12);
      }
      return true;
    }
    case Section::Normals: {
      const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
      if (spec == nullptr || !holds(static_cast<std::size_t>(spec->GetNumNormals()))) return false;
      const Point3* normals = spec->GetNormalArray() + first;
      for (std::size_t i = 0; i < count; ++i) {
        const std::optional<Vec3> n = Placement::unit(Frame::direction({normals[i].x, normals[i].y, normals[i].z}));
        if (!n) return false;
        const float f[3] = {static_cast<float>((*n)[0]), static_cast<float>((*n)[1]), static_cast<float>((*n)[2])};
        std::memcpy(to + i * 12, f, 12);
      }
      return true;
    }
    case Section::Uvs: {
      const MeshMap* map = pairedChannel(mesh, set);
      if (map == nullptr || !holds(map->tv.items().size())) return false;
      const UVVert* uvs = map->tv.items().data() + first;
      // glTF's V runs down the image, 3ds Max's up.
      for (std::size_t i = 0; i < count; ++i) {
        const float f[2] = {std::isfinite(uvs[i].x) ? uvs[i].x : 0.0f, std::isfinite(uvs[i].y) ? 1.0f - uvs[i].y : 0.0f};
        std::memcpy(to + i * 8, f, 8);
      }
      return true;
    }
    case Section::Indices: {
      const std::size_t faceCount = mesh.faces.items().size();
      if (!holds(faceCount)) return false;
      const Face* faces = mesh.faces.items().data();
      if (summary.order.empty()) {
        for (std::size_t f = 0; f < count; ++f) std::memcpy(to + f * 12, faces[first + f].v, 12);
        return true;
      }
      if (summary.order.size() != faceCount) return false;
      for (std::size_t f = 0; f < count; ++f) std::memcpy(to + f * 12, faces[summary.order[first + f]].v, 12);
      return true;
    }
  }
  return false;
}

bool encodeBuilt(Object& object, const Frame& frame, const std::optional<Mat3>& bake, const MeshSummary& summary,
                 std::uint8_t* to) {
  MeshBuffers buffers;
  if (!buildMeshBuffers(object, frame, bake, !summary.groups.empty(), buffers)) return false;
  const MeshSummary& built = buffers.summary;
  if (built.vertexCount != summary.vertexCount || built.indexCount != summary.indexCount ||
      built.normals != summary.normals || built.uvSets != summary.uvSets || built.groups != summary.groups) {
    return false;
  }
  auto put = [&to](const auto& items) {
    const std::size_t size = items.size() * sizeof(items[0]);
    if (size > 0) std::memcpy(to, items.data(), size);
    to += size;
  };
  put(buffers.positions);
  put(buffers.normals);
  for (const auto& set : buffers.uvSets) put(set);
  put(buffers.indices);
  return true;
}

}  // namespace cvimp::gltf
