#include "gltf/mesh_export.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace cvimp::gltf {

namespace {

constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

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
  // Normals and UVs indexed like the points, every normal usable: the
  // object's own arrays serve as they are, and the corner lists of normals
  // and UVs stay empty.
  bool shared = false;
};

std::uint32_t count(std::size_t size) {
  return size > kNone - 1 ? kNone - 1 : static_cast<std::uint32_t>(size);
}

bool usable(const Point3& n) {
  const double length = static_cast<double>(n.x) * n.x + static_cast<double>(n.y) * n.y + static_cast<double>(n.z) * n.z;
  return std::isfinite(length) && length > 1e-24;
}

// Whether every face's normal and UV corners name the face's own vertices,
// every index lies within its array and every normal of a vertex is usable:
// read without copying anything, so that the common case holds no more
// than it writes.
bool sharesVertexIndices(const Mesh& mesh, const Corners& corners, const std::vector<const MeshMap*>& maps,
                         const std::vector<char>& good) {
  const auto& faces = mesh.faces.items();
  const std::uint32_t n = corners.pointCount;
  const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
  if (corners.hasNormals) {
    if (corners.normalCount < n || spec->GetNumFaces() < static_cast<long long>(faces.size())) return false;
    for (std::uint32_t i = 0; i < n; ++i) {
      if (!good[i]) return false;
    }
  }
  for (const Channel& channel : corners.channels) {
    if (channel.uvCount < n) return false;
  }
  for (std::size_t f = 0; f < faces.size(); ++f) {
    const DWORD* v = faces[f].v;
    if (v[0] >= n || v[1] >= n || v[2] >= n) return false;
    if (corners.hasNormals) {
      const MeshNormalFace& normals = spec->Face(static_cast<int>(f));
      for (int c = 0; c < 3; ++c) {
        if (normals.GetNormalID(c) != static_cast<int>(v[c])) return false;
      }
    }
    for (const MeshMap* map : maps) {
      const DWORD* t = map->tf.items()[f].t;
      if (t[0] != v[0] || t[1] != v[1] || t[2] != v[2]) return false;
    }
  }
  return true;
}

void gatherMesh(const Mesh& mesh, bool mayShare, Corners& corners, MeshBuffers& out) {
  const auto& faces = mesh.faces.items();
  corners.points = mesh.verts.items().data();
  corners.pointCount = count(mesh.verts.items().size());
  const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
  corners.hasNormals = spec != nullptr && spec->GetNumNormals() > 0;
  std::vector<char> good;
  if (corners.hasNormals) {
    corners.normalCount = static_cast<std::uint32_t>(spec->GetNumNormals());
    corners.normals = &spec->Normal(0);
    good.resize(corners.normalCount);
    for (std::uint32_t i = 0; i < corners.normalCount; ++i) good[i] = usable(corners.normals[i]);
  }
  std::vector<const MeshMap*> maps;
  for (int channel = 1; channel < mesh.getNumMaps(); ++channel) {
    const MeshMap* map = mesh.findMap(channel);
    if (map == nullptr || !map->IsUsed()) continue;
    if (map->tf.items().size() != faces.size() || map->tv.items().empty()) {
      ++out.skippedChannels;
      continue;
    }
    maps.push_back(map);
    corners.channels.push_back({map->tv.items().data(), count(map->tv.items().size()), {}});
  }
  const std::size_t reserve = faces.size() * 3;
  corners.vertex.reserve(reserve);
  corners.shared = mayShare && sharesVertexIndices(mesh, corners, maps, good);
  if (corners.shared) {
    for (const Face& face : faces) corners.vertex.insert(corners.vertex.end(), face.v, face.v + 3);
    return;
  }
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
      ++out.skippedFaces;
      continue;
    }
    corners.vertex.insert(corners.vertex.end(), face.v, face.v + 3);
    for (std::size_t c = 0; c < maps.size(); ++c) {
      const DWORD* t = maps[c]->tf.items()[f].t;
      corners.channels[c].index.insert(corners.channels[c].index.end(), t, t + 3);
    }
    if (!corners.hasNormals) continue;
    for (int corner = 0; corner < 3; ++corner) {
      std::uint32_t id = kNone;
      if (static_cast<long long>(f) < normalFaces) {
        const MeshNormalFace& normalFace = spec->Face(static_cast<int>(f));
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
      ++out.skippedChannels;
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
      ++out.skippedFaces;
      continue;
    }
    // Polygons of the host are convex (quadrify makes only convex quads): a
    // fan covers them.
    for (std::size_t k = 1; k + 1 < v.size(); ++k) {
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
    if (corners_.shared) {
      buildShared();
    } else {
      buildSplit();
    }
    // Winding as the placement leaves it: a mirroring bake turns every face.
    if (placement_.mirrors()) {
      for (std::size_t c = 0; c + 2 < cornerCount; c += 3) std::swap(out_.indices[c + 1], out_.indices[c + 2]);
    }
    bounds();
  }

 private:
  void buildShared() {
    const std::uint32_t n = corners_.pointCount;
    out_.vertexCount = n;
    out_.positions.resize(std::size_t{n} * 3);
    for (std::uint32_t i = 0; i < n; ++i) putPosition(i, corners_.points[i]);
    if (corners_.hasNormals) {
      out_.normals.resize(std::size_t{n} * 3);
      for (std::uint32_t i = 0; i < n; ++i) putNormal(i, *placement_.normal(corners_.normals[i]));
    }
    for (std::size_t c = 0; c < corners_.channels.size(); ++c) {
      out_.uvSets[c].resize(std::size_t{n} * 2);
      for (std::uint32_t i = 0; i < n; ++i) putUv(c, i, corners_.channels[c].uvs[i]);
    }
    out_.indices = std::move(corners_.vertex);
  }

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
      if (corners_.hasNormals && corners_.normal[c] == kNone) ++out_.replacedNormals;
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
      ++out_.replacedPositions;
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
    if (out_.vertexCount == 0) return;
    out_.min = {out_.positions[0], out_.positions[1], out_.positions[2]};
    out_.max = out_.min;
    for (std::size_t i = 0; i < out_.positions.size(); i += 3) {
      for (std::size_t k = 0; k < 3; ++k) {
        out_.min[k] = std::min(out_.min[k], out_.positions[i + k]);
        out_.max[k] = std::max(out_.max[k], out_.positions[i + k]);
      }
    }
  }

  Corners& corners_;
  const Placement& placement_;
  MeshBuffers& out_;
};

}  // namespace

bool buildMeshBuffers(Object& object, const Frame& frame, const std::optional<Mat3>& bake, MeshBuffers& out) {
  out = MeshBuffers();
  Corners corners;
  if (object.ClassID() == TRIOBJ_CLASS_ID) {
    // A baked copy's normals go through the bake, which may flatten some:
    // the corners then name them one by one.
    gatherMesh(static_cast<TriObject&>(object).GetMesh(), !bake, corners, out);
  } else if (object.ClassID() == POLYOBJ_CLASS_ID) {
    gatherPoly(static_cast<const PolyObject&>(object), corners, out);
  } else {
    return false;
  }
  const Placement placement(frame, bake);
  Builder(corners, placement, out).build();
  return true;
}

}  // namespace cvimp::gltf
