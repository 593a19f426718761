#pragma once
// Texture plugin graphs as host maps: bitmaps with their placement, Mix maps
// for combiners and layers; adjusting textures are looked through.
#include <vector>

#include "host/max.h"
#include "materials/graph_walk.h"
#include "materials/import_log.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// Placement handed from a "TexBitmap" to its bitmap.
struct BitmapPlacement {
  VrpTransform transform;          // "uvw_transform" of a "UVWGenChannel", else identity
  std::int32_t placementType = 0;  // 0 none, 2 place, other crop
  float u = 0.0f;
  float v = 0.0f;
  float w = 1.0f;
  float h = 1.0f;
};

// The map for a texture plugin, or null. Messages go to `log` when open.
Texmap* convertTexture(const VrpPlugin* plugin, const SearchDirectories& directories, const BitmapPlacement* placement,
                       ImportLog* log);

// A Mix map of the two at an even mix; one of them alone when the other is
// null; null when the Mix map cannot be set up.
Texmap* mixTexmaps(Texmap* a, Texmap* b);

// The placement transform as tiling, angles and offsets of a UV generator.
void applyPlacementTransform(const VrpTransform& transform, StdUVGen& uvGen);

Texmap* convertTexture(const VrpPlugin* plugin, const SearchDirectories& directories, const BitmapPlacement* placement,
                       ImportLog* log, GraphPath& path);

}  // namespace cvimp
