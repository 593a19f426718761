#include "host/mesh.h"

#include <string>

#include "host/journal.h"

namespace {

std::string counts(int count, BOOL keep) { return std::to_string(count) + ", " + host::flag(keep != 0); }

}  // namespace

void MeshMap::setNumVerts(int count, BOOL keep) {
  host::journal().record("MeshMap::setNumVerts", counts(count, keep));
  tv.resize(count, keep != 0);
}

void MeshMap::setNumFaces(int count, BOOL keep, int oldCount) {
  host::journal().record("MeshMap::setNumFaces", counts(count, keep) + ", " + std::to_string(oldCount));
  tf.resize(count, keep != 0);
}

void MeshNormalSpec::ClearNormals() {
  host::journal().record("MeshNormalSpec::ClearNormals");
  normals_.resize(0, false);
  explicit_.resize(0, false);
  faces_.resize(0, false);
}

void MeshNormalSpec::SetNumNormals(int count) {
  host::journal().record("MeshNormalSpec::SetNumNormals", std::to_string(count));
  normals_.resize(count, true);
  explicit_.resize(count, true);
}

void MeshNormalSpec::SetNormalExplicit(int i, bool value) { explicit_[i] = value ? 1 : 0; }

bool MeshNormalSpec::GetNormalExplicit(int i) const { return explicit_[i] != 0; }

void MeshNormalSpec::SetNumFaces(int count) {
  host::journal().record("MeshNormalSpec::SetNumFaces", std::to_string(count));
  faces_.resize(count, true);
}

Mesh::Mesh() = default;
Mesh::~Mesh() = default;

Mesh& Mesh::operator=(const Mesh& from) {
  host::journal().record("Mesh::operator=");
  if (this == &from) return *this;
  verts = from.verts;
  faces = from.faces;
  smoothFlags_ = from.smoothFlags_;
  normals_ = from.normals_ ? std::make_unique<MeshNormalSpec>(*from.normals_) : nullptr;
  maps_ = from.maps_;
  for (int i = 0; i < NUM_HIDDENMAPS; ++i) hidden_[i] = from.hidden_[i];
  return *this;
}

BOOL Mesh::setNumVerts(int count, BOOL keep, BOOL synchSel) {
  host::journal().record("Mesh::setNumVerts", counts(count, keep) + ", " + host::flag(synchSel != 0));
  verts.resize(count, keep != 0);
  return TRUE;
}

BOOL Mesh::setNumFaces(int count, BOOL keep, BOOL synchSel) {
  host::journal().record("Mesh::setNumFaces", counts(count, keep) + ", " + host::flag(synchSel != 0));
  faces.resize(count, keep != 0);
  return TRUE;
}

void Mesh::setSmoothFlags(int flags) {
  host::journal().record("Mesh::setSmoothFlags", std::to_string(flags));
  smoothFlags_ = flags;
}

void Mesh::SpecifyNormals() {
  host::journal().record("Mesh::SpecifyNormals");
  if (!normals_) normals_ = std::make_unique<MeshNormalSpec>();
}

void Mesh::ClearSpecifiedNormals() {
  host::journal().record("Mesh::ClearSpecifiedNormals");
  normals_.reset();
}

void Mesh::setNumMaps(int count, BOOL keep) {
  host::journal().record("Mesh::setNumMaps", counts(count, keep));
  if (count < 0) count = 0;
  if (count > MAX_MESHMAPS) count = MAX_MESHMAPS;
  if (keep == 0) maps_.clear();
  maps_.resize(static_cast<std::size_t>(count));
}

bool Mesh::validChannel(int channel) const { return channel >= -NUM_HIDDENMAPS && channel < MAX_MESHMAPS; }

void Mesh::setMapSupport(int channel, BOOL support) {
  host::journal().record("Mesh::setMapSupport", std::to_string(channel) + ", " + host::flag(support != 0));
  if (!validChannel(channel)) {
    host::journal().record("IndexRejected", "Mesh::setMapSupport channel " + std::to_string(channel));
    return;
  }
  if (channel >= getNumMaps()) {
    if (support == 0) return;
    maps_.resize(static_cast<std::size_t>(channel) + 1);
  }
  MeshMap& map = Map(channel);
  map.setUsed(support != 0);
  if (support == 0) {
    map.tv.resize(0, false);
    map.tf.resize(0, false);
  }
}

BOOL Mesh::mapSupport(int channel) const {
  const MeshMap* map = findMap(channel);
  return map != nullptr && map->IsUsed() ? TRUE : FALSE;
}

MeshMap& Mesh::Map(int channel) {
  if (channel < 0 && channel >= -NUM_HIDDENMAPS) return hidden_[-1 - channel];
  if (channel >= 0 && channel < getNumMaps()) return maps_[static_cast<std::size_t>(channel)];
  host::journal().record("IndexRejected", "Mesh::Map channel " + std::to_string(channel));
  scratchMap_ = MeshMap();
  return scratchMap_;
}

const MeshMap* Mesh::findMap(int channel) const {
  if (channel < 0 && channel >= -NUM_HIDDENMAPS) return &hidden_[-1 - channel];
  if (channel >= 0 && channel < getNumMaps()) return &maps_[static_cast<std::size_t>(channel)];
  return nullptr;
}

void Mesh::InvalidateGeomCache() {
  host::journal().record("Mesh::InvalidateGeomCache");
  ++geomInvalidations_;
}

void Mesh::InvalidateTopologyCache() {
  host::journal().record("Mesh::InvalidateTopologyCache");
  ++topologyInvalidations_;
}
