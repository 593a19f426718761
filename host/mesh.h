#pragma once
// Triangle meshes as the host keeps them: vertices, faces with a flags word
// (edge visibility in the low bits, material ID in the upper 16), specified
// normals and mapping channels 0 to 99 plus the hidden channels -1 and -2.
#include <array>
#include <cstdint>
#include <memory>

#include "host/geometry.h"
#include "host/host_array.h"
#include "host/host_types.h"

constexpr DWORD EDGE_INVIS = 0;
constexpr DWORD EDGE_VIS = 1;
constexpr DWORD EDGE_A = 1;
constexpr DWORD EDGE_B = 2;
constexpr DWORD EDGE_C = 4;
constexpr DWORD EDGE_ALL = EDGE_A | EDGE_B | EDGE_C;
constexpr int FACE_MATID_SHIFT = 16;
constexpr DWORD FACE_MATID_MASK = 0xFFFF;

constexpr int MAX_MESHMAPS = 100;
constexpr int NUM_HIDDENMAPS = 2;
constexpr int MAP_SHADING = -1;
constexpr int MAP_ALPHA = -2;

class Face {
 public:
  DWORD v[3] = {0, 0, 0};
  DWORD smGroup = 0;
  DWORD flags = 0;

  void setVerts(DWORD a, DWORD b, DWORD c) {
    v[0] = a;
    v[1] = b;
    v[2] = c;
  }
  void setEdgeVisFlags(DWORD ab, DWORD bc, DWORD ca) {
    flags = (flags & ~EDGE_ALL) | (ab ? EDGE_A : 0) | (bc ? EDGE_B : 0) | (ca ? EDGE_C : 0);
  }
  bool getEdgeVis(int edge) const { return edge >= 0 && edge < 3 && (flags & (DWORD{1} << edge)) != 0; }
  void setMatID(MtlID id) { flags = (flags & 0xFFFF) | (DWORD{id} << FACE_MATID_SHIFT); }
  MtlID getMatID() const { return static_cast<MtlID>((flags >> FACE_MATID_SHIFT) & FACE_MATID_MASK); }
  void setSmGroup(DWORD group) { smGroup = group; }
};

class TVFace {
 public:
  DWORD t[3] = {0, 0, 0};

  void setTVerts(DWORD a, DWORD b, DWORD c) {
    t[0] = a;
    t[1] = b;
    t[2] = c;
  }
};

// All three hold zero bytes by default.
namespace host {
template <>
inline constexpr bool kZeroIsDefault<Point3> = true;
template <>
inline constexpr bool kZeroIsDefault<Face> = true;
template <>
inline constexpr bool kZeroIsDefault<TVFace> = true;
}  // namespace host

class MeshMap {
 public:
  host::HostArray<UVVert> tv{"MeshMap::tv"};
  host::HostArray<TVFace> tf{"MeshMap::tf"};

  void setNumVerts(int count, BOOL keep = FALSE);
  void setNumFaces(int count, BOOL keep = FALSE, int oldCount = 0);
  int getNumVerts() const { return tv.size(); }
  int getNumFaces() const { return tf.size(); }
  bool IsUsed() const { return used_; }
  void setUsed(bool used) { used_ = used; }

 private:
  bool used_ = false;
};

class MeshNormalFace {
 public:
  void SetNormalID(int corner, int id) {
    if (corner >= 0 && corner < 3) ids_[corner] = id;
  }
  int GetNormalID(int corner) const { return corner >= 0 && corner < 3 ? ids_[corner] : -1; }
  void SetSpecified(int corner, bool value) {
    if (corner < 0 || corner > 2) return;
    const auto bit = static_cast<std::uint8_t>(1u << corner);
    specified_ = static_cast<std::uint8_t>(value ? (specified_ | bit) : (specified_ & ~bit));
  }
  bool GetSpecified(int corner) const { return corner >= 0 && corner < 3 && (specified_ & (1u << corner)) != 0; }
  void SpecifyAll() { specified_ = 7; }
  std::uint8_t GetFlags() const { return specified_; }

 private:
  std::array<int, 3> ids_{-1, -1, -1};
  std::uint8_t specified_ = 0;
};

class MeshNormalSpec {
 public:
  void ClearNormals();
  void SetNumNormals(int count);
  int GetNumNormals() const { return normals_.size(); }
  Point3& Normal(int i) { return normals_[i]; }
  const Point3& Normal(int i) const { return normals_[i]; }
  void SetNormalExplicit(int i, bool value);
  bool GetNormalExplicit(int i) const;
  void SetNumFaces(int count);
  int GetNumFaces() const { return faces_.size(); }
  MeshNormalFace& Face(int i) { return faces_[i]; }
  const MeshNormalFace& Face(int i) const { return faces_[i]; }
  // The arrays themselves, GetNumNormals() and GetNumFaces() long.
  const Point3* GetNormalArray() const { return normals_.begin(); }
  const MeshNormalFace* GetFaceArray() const { return faces_.begin(); }

 private:
  host::HostArray<Point3> normals_{"MeshNormalSpec::Normal"};
  host::HostArray<char> explicit_{"MeshNormalSpec::explicit"};
  host::HostArray<MeshNormalFace> faces_{"MeshNormalSpec::Face"};
};

class Mesh {
 public:
  Mesh();
  ~Mesh();
  Mesh(const Mesh&) = delete;
  // Copies everything the mesh holds, as the SDK's does: vertices, faces
  // with their flags, smoothing, specified normals and every channel.
  Mesh& operator=(const Mesh& from);

  host::HostArray<Point3> verts{"Mesh::verts"};
  host::HostArray<Face> faces{"Mesh::faces"};

  BOOL setNumVerts(int count, BOOL keep = FALSE, BOOL synchSel = TRUE);
  int getNumVerts() const { return verts.size(); }
  BOOL setNumFaces(int count, BOOL keep = FALSE, BOOL synchSel = TRUE);
  int getNumFaces() const { return faces.size(); }
  void setVert(int i, const Point3& p) { verts[i] = p; }
  const Point3& getVert(int i) const { return verts[i]; }
  void setSmoothFlags(int flags);
  int getSmoothFlags() const { return smoothFlags_; }

  // Specified normals: absent until SpecifyNormals.
  void SpecifyNormals();
  MeshNormalSpec* GetSpecifiedNormals() { return normals_.get(); }
  const MeshNormalSpec* GetSpecifiedNormals() const { return normals_.get(); }
  void ClearSpecifiedNormals();

  // Ordinary channels 0 to getNumMaps() - 1; hidden channels -1 and -2.
  void setNumMaps(int count, BOOL keep = FALSE);
  int getNumMaps() const { return static_cast<int>(maps_.size()); }
  void setMapSupport(int channel, BOOL support = TRUE);
  BOOL mapSupport(int channel) const;
  MeshMap& Map(int channel);
  const MeshMap* findMap(int channel) const;

  void InvalidateGeomCache();
  void InvalidateTopologyCache();
  // How often each cache was invalidated, for checks.
  int geomCacheInvalidations() const { return geomInvalidations_; }
  int topologyCacheInvalidations() const { return topologyInvalidations_; }

 private:
  bool validChannel(int channel) const;

  int smoothFlags_ = 0;
  std::unique_ptr<MeshNormalSpec> normals_;
  std::vector<MeshMap> maps_;
  MeshMap hidden_[NUM_HIDDENMAPS];
  MeshMap scratchMap_;
  int geomInvalidations_ = 0;
  int topologyInvalidations_ = 0;
};
