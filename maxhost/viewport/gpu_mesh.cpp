#include "maxhost/viewport/gpu_mesh.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "host/max.h"
#include "platform/platform.h"

namespace maxhost::viewport {

namespace {

// Faces per task of the parallel passes: large enough that a task costs
// more than handing it out.
constexpr std::size_t kChunk = 1 << 16;

// The most vertices or indices one draw takes (GLsizei).
constexpr std::size_t kMaxElements = INT_MAX;

void forChunks(std::size_t count, const std::function<void(std::size_t, std::size_t)>& body) {
  const std::size_t chunks = (count + kChunk - 1) / kChunk;
  cvimp::platform::parallelFor(chunks, [&](std::size_t chunk) {
    const std::size_t first = chunk * kChunk;
    body(first, std::min(count, first + kChunk));
  });
}

// The lowest map channel from 1 up whose faces pair with the mesh's: the
// one whose texture coordinates the base colour map reads, as in the glTF
// export.
const MeshMap* uvMap(const Mesh& mesh) {
  for (int channel = 1; channel < mesh.getNumMaps(); ++channel) {
    const MeshMap* map = mesh.findMap(channel);
    if (map != nullptr && map->IsUsed() && map->getNumFaces() == mesh.getNumFaces() && map->getNumVerts() > 0)
      return map;
  }
  return nullptr;
}

// A buffer of `bytes` bytes that `fill` writes through a mapping, on any
// thread; false when the mapping failed or its contents were lost.
bool fillBuffer(GLenum target, const gl::Buffer& buffer, std::size_t bytes,
                const std::function<void(std::uint8_t*)>& fill) {
  glBindBuffer(target, buffer.get());
  glBufferData(target, static_cast<GLsizeiptr>(bytes), nullptr, GL_STATIC_DRAW);
  if (bytes == 0) return true;
  auto* to = static_cast<std::uint8_t*>(
      glMapBufferRange(target, 0, static_cast<GLsizeiptr>(bytes), GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT));
  if (to == nullptr) return false;
  fill(to);
  return glUnmapBuffer(target) == GL_TRUE;
}

// A copy of `bytes` bytes at `data`, made in pieces on the worker threads
// too: large host arrays go up at the speed of both cores.
void copyBuffer(GLenum target, const gl::Buffer& buffer, const void* data, std::size_t bytes) {
  constexpr std::size_t kPiece = 1 << 20;
  const bool copied = fillBuffer(target, buffer, bytes, [&](std::uint8_t* to) {
    cvimp::platform::parallelFor((bytes + kPiece - 1) / kPiece, [&](std::size_t piece) {
      const std::size_t first = piece * kPiece;
      std::memcpy(to + first, static_cast<const std::uint8_t*>(data) + first, std::min(kPiece, bytes - first));
    });
  });
  // A mapping that failed or lost its contents: the driver copies instead.
  if (!copied) glBufferData(target, static_cast<GLsizeiptr>(bytes), data, GL_STATIC_DRAW);
}

void attribute(GLuint location, const gl::Buffer& buffer, GLint components, GLsizei stride) {
  glBindBuffer(GL_ARRAY_BUFFER, buffer.get());
  glEnableVertexAttribArray(location);
  glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, stride, nullptr);
}

// Faces grouped by ID, stable within an ID (a counting sort: IDs are
// 16-bit): each face's place in that order, or none when they all share
// one ID; and the groups, in faces.
std::vector<std::uint32_t> groupFaces(std::size_t count, const std::function<MtlID(std::size_t)>& idOf,
                                      std::vector<GpuMesh::Group>& groups) {
  // Most meshes have one ID: a scan finds it, without the table of counts.
  std::size_t same = 0;
  while (same < count && idOf(same) == idOf(0)) ++same;
  if (same == count) {
    if (count > 0) groups.push_back({idOf(0), 0, static_cast<GLsizei>(count)});
    return {};
  }
  std::vector<std::uint32_t> start(std::size_t{0x10000} + 1, 0);
  for (std::size_t f = 0; f < count; ++f) ++start[std::size_t{idOf(f)} + 1];
  for (std::size_t id = 0; id < 0x10000; ++id) {
    if (start[id + 1] > 0) {
      groups.push_back({static_cast<MtlID>(id), static_cast<GLint>(start[id]), static_cast<GLsizei>(start[id + 1])});
    }
    start[id + 1] += start[id];
  }
  if (groups.size() < 2) return {};
  std::vector<std::uint32_t> place(count);
  for (std::size_t f = 0; f < count; ++f) place[f] = start[idOf(f)]++;
  return place;
}

// Split corners: three per face (or per fan triangle), each with its own
// position, normal (zero: none, the shader uses the face's) and UV.
struct Corners {
  std::vector<Point3> positions;
  std::vector<Point3> normals;
  std::vector<std::array<float, 2>> uvs;
};

}  // namespace

std::unique_ptr<GpuMesh> GpuMesh::upload(Object& object) {
  auto gpu = std::unique_ptr<GpuMesh>(new GpuMesh());
  Corners corners;
  bool split = false;
  gpu->faces_ = gl::newVertexArray();
  glBindVertexArray(gpu->faces_.get());
  gpu->positions_ = gl::newBuffer();
  gpu->normals_ = gl::newBuffer();
  gpu->uvs_ = gl::newBuffer();
  gpu->indices_ = gl::newBuffer();

  gpu->box_ = host::objectBox(object);
  if (object.ClassID() == TRIOBJ_CLASS_ID) {
    const Mesh& mesh = static_cast<TriObject&>(object).mesh;
    const std::size_t points = static_cast<std::size_t>(std::max(mesh.getNumVerts(), 0));
    const std::size_t faces = static_cast<std::size_t>(std::max(mesh.getNumFaces(), 0));
    if (points == 0 || faces == 0 || faces * 3 > kMaxElements) {
      glBindVertexArray(0);
      return nullptr;
    }
    const Face* faceArray = mesh.faces.begin();
    gpu->place_ = groupFaces(
        faces, [&](std::size_t f) { return faceArray[f].getMatID(); }, gpu->groups_);
    for (Group& group : gpu->groups_) {
      group.first *= 3;
      group.count *= 3;
    }
    const std::uint32_t* place = gpu->place_.empty() ? nullptr : gpu->place_.data();
    auto at = [place](std::size_t f) { return place != nullptr ? std::size_t{place[f]} : f; };
    const MeshNormalSpec* spec = mesh.GetSpecifiedNormals();
    if (spec != nullptr && spec->GetNumFaces() != mesh.getNumFaces()) spec = nullptr;
    const MeshMap* map = uvMap(mesh);
    const bool normalsDirect = spec != nullptr && spec->GetNumNormals() == mesh.getNumVerts();
    const bool uvsDirect = map != nullptr && map->getNumVerts() == mesh.getNumVerts();
    gpu->hasNormals_ = spec != nullptr;
    gpu->hasUvs_ = map != nullptr;

    // The direct form: the faces' own indices, checked as they are copied.
    // A face with a point out of range becomes an empty triangle.
    std::atomic<bool> indexedAlike = (spec == nullptr || normalsDirect) && (map == nullptr || uvsDirect);
    if (indexedAlike) {
      const bool filled = fillBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu->indices_, faces * 12, [&](std::uint8_t* bytes) {
        auto* to = reinterpret_cast<std::uint32_t*>(bytes);
        // Straight through the arrays: this pass reads every face of the
        // design.
        const MeshNormalFace* normalFaces = spec != nullptr ? spec->GetFaceArray() : nullptr;
        const TVFace* uvFaces = map != nullptr ? map->tf.begin() : nullptr;
        forChunks(faces, [&](std::size_t first, std::size_t end) {
          bool alike = true;
          for (std::size_t i = first; i < end; ++i) {
            const Face& face = faceArray[i];
            const bool inRange = face.v[0] < points && face.v[1] < points && face.v[2] < points;
            const std::size_t slot = at(i) * 3;
            to[slot] = inRange ? face.v[0] : 0;
            to[slot + 1] = inRange ? face.v[1] : 0;
            to[slot + 2] = inRange ? face.v[2] : 0;
            if (normalFaces != nullptr) {
              const MeshNormalFace& normal = normalFaces[i];
              alike &= static_cast<DWORD>(normal.GetNormalID(0)) == face.v[0] &&
                       static_cast<DWORD>(normal.GetNormalID(1)) == face.v[1] &&
                       static_cast<DWORD>(normal.GetNormalID(2)) == face.v[2];
            }
            if (uvFaces != nullptr) {
              alike &= uvFaces[i].t[0] == face.v[0] && uvFaces[i].t[1] == face.v[1] && uvFaces[i].t[2] == face.v[2];
            }
          }
          if (!alike) indexedAlike.store(false, std::memory_order_relaxed);
        });
      });
      if (!filled) indexedAlike = false;
    }
    if (indexedAlike) {
      gpu->direct_ = true;
      copyBuffer(GL_ARRAY_BUFFER, gpu->positions_, mesh.verts.begin(), points * sizeof(Point3));
      attribute(kPosition, gpu->positions_, 3, sizeof(Point3));
      if (spec != nullptr) {
        copyBuffer(GL_ARRAY_BUFFER, gpu->normals_, spec->GetNormalArray(), points * sizeof(Point3));
        attribute(kNormal, gpu->normals_, 3, sizeof(Point3));
      }
      if (map != nullptr) {
        copyBuffer(GL_ARRAY_BUFFER, gpu->uvs_, map->tv.begin(), points * sizeof(UVVert));
        attribute(kUv, gpu->uvs_, 2, sizeof(UVVert));
      }
      gpu->indexCount_ = static_cast<GLsizei>(faces * 3);
      gpu->bytes_ = faces * 12 + points * sizeof(Point3) * (1 + (spec != nullptr ? 1 : 0) + (map != nullptr ? 1 : 0));
    } else {
      split = true;
      corners.positions.resize(faces * 3);
      corners.normals.resize(faces * 3);
      corners.uvs.resize(faces * 3);
      const std::size_t normalCount = spec != nullptr ? static_cast<std::size_t>(spec->GetNumNormals()) : 0;
      const std::size_t uvCount = map != nullptr ? static_cast<std::size_t>(map->getNumVerts()) : 0;
      forChunks(faces, [&](std::size_t first, std::size_t end) {
        for (std::size_t i = first; i < end; ++i) {
          const Face& face = faceArray[i];
          const bool inRange = face.v[0] < points && face.v[1] < points && face.v[2] < points;
          for (int k = 0; k < 3; ++k) {
            const std::size_t corner = at(i) * 3 + k;
            corners.positions[corner] = inRange ? mesh.verts[face.v[k]] : Point3();
            if (spec != nullptr) {
              const int id = spec->Face(static_cast<int>(i)).GetNormalID(k);
              if (id >= 0 && static_cast<std::size_t>(id) < normalCount) corners.normals[corner] = spec->Normal(id);
            }
            if (map != nullptr) {
              const DWORD id = map->tf[static_cast<long long>(i)].t[k];
              if (id < uvCount) corners.uvs[corner] = {map->tv[id].x, map->tv[id].y};
            }
          }
        }
      });
    }
  } else if (object.ClassID() == POLYOBJ_CLASS_ID) {
    const PolyObject& poly = static_cast<PolyObject&>(object);
    const std::size_t points = poly.vertices.size();
    const PolyMap* map = nullptr;
    for (const auto& [channel, candidate] : poly.maps) {
      if (channel >= 1 && candidate.faces.size() == poly.faces.size()) {
        map = &candidate;
        break;
      }
    }
    gpu->hasUvs_ = map != nullptr;
    split = true;
    // Fans of triangles, polygons grouped by ID; the sides of each polygon
    // are its edges.
    std::vector<Group> polygonGroups;
    const std::vector<std::uint32_t> place = groupFaces(
        poly.faces.size(), [&](std::size_t f) { return poly.faces[f].materialId; }, polygonGroups);
    std::vector<std::uint32_t> order(poly.faces.size());
    for (std::size_t f = 0; f < order.size(); ++f) order[place.empty() ? f : place[f]] = static_cast<std::uint32_t>(f);
    std::vector<std::uint32_t> edges;
    for (const std::uint32_t f : order) {
      const std::vector<int>& ids = poly.faces[f].vertices;
      const bool inRange = ids.size() >= 3 && std::all_of(ids.begin(), ids.end(), [&](int id) {
                             return id >= 0 && static_cast<std::size_t>(id) < points;
                           });
      if (!inRange) continue;
      const std::vector<int>* uvIds = map != nullptr && map->faces[f].size() == ids.size() ? &map->faces[f] : nullptr;
      auto cornerUv = [&](std::size_t k) -> std::array<float, 2> {
        if (uvIds == nullptr) return {0, 0};
        const int id = (*uvIds)[k];
        if (id < 0 || static_cast<std::size_t>(id) >= map->vertices.size()) return {0, 0};
        return {map->vertices[static_cast<std::size_t>(id)].x, map->vertices[static_cast<std::size_t>(id)].y};
      };
      if (corners.positions.size() + (ids.size() - 2) * 3 > kMaxElements) break;
      const MtlID id = poly.faces[f].materialId;
      if (gpu->groups_.empty() || gpu->groups_.back().id != id) {
        gpu->groups_.push_back({id, static_cast<GLint>(corners.positions.size()), 0});
      }
      gpu->groups_.back().count += static_cast<GLsizei>((ids.size() - 2) * 3);
      for (std::size_t k = 1; k + 1 < ids.size(); ++k) {
        for (const std::size_t corner : {std::size_t{0}, k, k + 1}) {
          corners.positions.push_back(poly.vertices[static_cast<std::size_t>(ids[corner])]);
          corners.normals.push_back(Point3());
          corners.uvs.push_back(cornerUv(corner));
        }
      }
      // Each side once per polygon, between the fan's corners that hold
      // its ends: corner 0 of the first triangle, then the second corners.
      const std::size_t base = corners.positions.size() - (ids.size() - 2) * 3;
      auto cornerIndex = [&](std::size_t k) {
        if (k == 0) return static_cast<std::uint32_t>(base);
        if (k == ids.size() - 1) return static_cast<std::uint32_t>(base + (k - 2) * 3 + 2);
        return static_cast<std::uint32_t>(base + (k - 1) * 3 + 1);
      };
      for (std::size_t k = 0; k < ids.size(); ++k) {
        edges.push_back(cornerIndex(k));
        edges.push_back(cornerIndex((k + 1) % ids.size()));
      }
    }
    gpu->edges_ = gl::newVertexArray();
    glBindVertexArray(gpu->edges_.get());
    gpu->edgeIndices_ = gl::newBuffer();
    copyBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu->edgeIndices_, edges.data(), edges.size() * 4);
    gpu->edgeCount_ = static_cast<GLsizei>(edges.size());
    glBindVertexArray(gpu->faces_.get());
  } else {
    glBindVertexArray(0);
    return nullptr;
  }

  if (split) {
    const std::size_t count = corners.positions.size();
    if (count == 0) {
      glBindVertexArray(0);
      return nullptr;
    }
    copyBuffer(GL_ARRAY_BUFFER, gpu->positions_, corners.positions.data(), count * sizeof(Point3));
    attribute(kPosition, gpu->positions_, 3, sizeof(Point3));
    copyBuffer(GL_ARRAY_BUFFER, gpu->normals_, corners.normals.data(), count * sizeof(Point3));
    attribute(kNormal, gpu->normals_, 3, sizeof(Point3));
    copyBuffer(GL_ARRAY_BUFFER, gpu->uvs_, corners.uvs.data(), count * 8);
    attribute(kUv, gpu->uvs_, 2, 8);
    gpu->hasNormals_ = true;
    gpu->indexCount_ = static_cast<GLsizei>(count);
    gpu->bytes_ = count * (12 + 12 + 8);
    if (gpu->edges_) {
      // The edge array reads the same vertices.
      glBindVertexArray(gpu->edges_.get());
      attribute(kPosition, gpu->positions_, 3, sizeof(Point3));
    }
  }
  glBindVertexArray(0);
  return gpu;
}

void GpuMesh::drawFaces() const { drawFaces({0, 0, indexCount_}); }

void GpuMesh::drawFaces(const Group& group) const {
  glBindVertexArray(faces_.get());
  if (direct_) {
    glDrawElements(GL_TRIANGLES, group.count, GL_UNSIGNED_INT,
                   reinterpret_cast<const void*>(static_cast<std::uintptr_t>(group.first) * 4));
  } else {
    glDrawArrays(GL_TRIANGLES, group.first, group.count);
  }
}

void GpuMesh::drawEdges(Object& object) {
  if (edgeCount_ < 0) {
    // Visible triangle edges, as pairs of the vertices the faces draw.
    std::vector<std::uint32_t> pairs;
    if (object.ClassID() == TRIOBJ_CLASS_ID) {
      const Mesh& mesh = static_cast<TriObject&>(object).mesh;
      const std::size_t faces = std::min(static_cast<std::size_t>(std::max(mesh.getNumFaces(), 0)),
                                         static_cast<std::size_t>(indexCount_ / 3));
      const std::size_t points = static_cast<std::size_t>(std::max(mesh.getNumVerts(), 0));
      auto valid = [&](const Face& face) { return face.v[0] < points && face.v[1] < points && face.v[2] < points; };
      // An edge two faces share is drawn once: from the face that runs it
      // from the lower point to the higher, or from the other face when
      // that one does not show it. The visible edges leaving each point,
      // gathered once, tell which.
      std::vector<std::uint32_t> first(points + 1, 0);
      for (std::size_t i = 0; i < faces; ++i) {
        const Face& face = mesh.faces[static_cast<long long>(i)];
        if (!valid(face)) continue;
        for (int k = 0; k < 3; ++k) {
          if (face.getEdgeVis(k)) first[face.v[k] + 1] += 1;
        }
      }
      for (std::size_t p = 0; p < points; ++p) first[p + 1] += first[p];
      std::vector<std::uint32_t> ends(first[points]);
      std::vector<std::uint32_t> filled(first.begin(), first.end() - 1);
      for (std::size_t i = 0; i < faces; ++i) {
        const Face& face = mesh.faces[static_cast<long long>(i)];
        if (!valid(face)) continue;
        for (int k = 0; k < 3; ++k) {
          if (face.getEdgeVis(k)) ends[filled[face.v[k]]++] = face.v[(k + 1) % 3];
        }
      }
      auto shows = [&](std::uint32_t from, std::uint32_t to) {
        return std::find(ends.begin() + first[from], ends.begin() + first[from + 1], to) !=
               ends.begin() + first[from + 1];
      };
      for (std::size_t i = 0; i < faces; ++i) {
        const Face& face = mesh.faces[static_cast<long long>(i)];
        if (!valid(face)) continue;
        for (int k = 0; k < 3; ++k) {
          const int next = (k + 1) % 3;
          const std::uint32_t a = face.v[k], b = face.v[next];
          if (!face.getEdgeVis(k) || a == b || (a > b && shows(b, a))) continue;
          const std::size_t at = place_.empty() ? i : place_[i];
          pairs.push_back(direct_ ? a : static_cast<std::uint32_t>(at * 3 + k));
          pairs.push_back(direct_ ? b : static_cast<std::uint32_t>(at * 3 + next));
        }
      }
    }
    edges_ = gl::newVertexArray();
    glBindVertexArray(edges_.get());
    edgeIndices_ = gl::newBuffer();
    copyBuffer(GL_ELEMENT_ARRAY_BUFFER, edgeIndices_, pairs.data(), pairs.size() * 4);
    attribute(kPosition, positions_, 3, sizeof(Point3));
    edgeCount_ = static_cast<GLsizei>(std::min(pairs.size(), kMaxElements));
  }
  glBindVertexArray(edges_.get());
  glDrawElements(GL_LINES, edgeCount_, GL_UNSIGNED_INT, nullptr);
}

}  // namespace maxhost::viewport
