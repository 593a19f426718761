#pragma once
// A "GeomStaticMesh" plugin as a host triangle-mesh object.
#include "host/max.h"
#include "platform/platform.h"
#include "materials/materials.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// The new object, or null when the plugin holds too little geometry or
// indices that point outside its arrays (nothing half-built reaches the
// scene). Positions are scaled by `unitFactor`. Its warnings go to standard
// output and, when it is open, to the import log. With `fills`, the object
// is made and sized here and its elements are copied in by a task of that
// group: nothing may read the mesh until the group has been waited for.
TriObject* buildMeshObject(const VrpPlugin& plugin, float unitFactor, ImportLog* log = nullptr,
                           platform::TaskGroup* fills = nullptr);

}  // namespace cvimp
