#pragma once
// Material and texture conversion: a V-Ray material graph (wrappers, bumps,
// layered and leaf BRDFs, texture plugins) written into one of the host's
// Physical Materials with Mix and Bitmap maps, texture files found through
// the search directories and the render-farm prefixes; and the import log
// the conversion and the builder write to.
#include <string_view>

#include "host/max.h"
#include "materials/import_log.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// Writes what the graph below `plugin` holds into `material`; nothing when
// either is null. Never creates or replaces `material` itself.
void convertMaterial(const VrpPlugin* plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log);

// "material_mode" 1, "reflectivity" 0.0, "transparency" 0.0, each when
// present: how the import starts every Physical Material.
void applyPhysicalDefaults(IParamBlock2* block);

// Whether the material or the texture conversion reads plugins of `type`
// (the wrappers, BRDFs and texture plugins above); the import reports the
// types that nothing reads.
bool materialConversionReads(std::string_view type);
bool textureConversionReads(std::string_view type);

}  // namespace cvimp
