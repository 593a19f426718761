#pragma once
// A "GeomStaticMesh" plugin as a host triangle-mesh object.
#include "host/max.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// The new object, or null when the plugin holds too little geometry or
// indices that point outside its arrays (nothing half-built reaches the
// scene). Positions are scaled by `unitFactor`.
TriObject* buildMeshObject(const VrpPlugin& plugin, float unitFactor);

}  // namespace cvimp
