#pragma once
// Material and texture conversion: a V-Ray material graph (wrappers, bumps,
// layered and leaf BRDFs, texture plugins) written into one of the host's
// Physical Materials with Mix and Bitmap maps, texture files found through
// the search directories and the render-farm prefixes; and the import log
// the conversion and the builder write to.
#include <string>
#include <string_view>
#include <vector>

#include "host/max.h"
#include "materials/find_param.h"  // findParamId: host parameters by internal name
#include "materials/import_log.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// Writes what the graph below `plugin` holds into `material`; nothing when
// either is null. Never creates or replaces `material` itself.
void convertMaterial(const VrpPlugin* plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log);

// A V-Ray MtlMulti as the host's Multi/Sub-Object is made from it: the
// sub-material plugins (null for an entry that names none) with their
// material IDs, in list order, and whether face IDs wrap around.
struct MultiMaterialEntry {
  const VrpPlugin* material = nullptr;
  int id = 0;
};
struct MultiMaterialGraph {
  const VrpPlugin* plugin = nullptr;  // the MtlMulti itself
  std::vector<MultiMaterialEntry> entries;
  bool wrapIds = false;
};

// Whether `root`, seen through the wrappers, is an MtlMulti. IDs come from
// "ids_list", else the list positions; an entry whose ID an earlier one has,
// or that lies outside the host's 0 to 65535, is dropped and reported.
bool isMultiMaterial(const VrpPlugin& root);
MultiMaterialGraph readMultiMaterial(const VrpPlugin& root, ImportLog* log);

// "material_mode" 1, "reflectivity" 0.0, "transparency" 0.0, each when
// present: how the import starts every Physical Material.
void applyPhysicalDefaults(IParamBlock2* block);

// A texture plugin as a map of its own, outside any material (a light's
// colour, the environment); null when nothing converts.
Texmap* convertStandaloneTexture(const VrpPlugin* plugin, const SearchDirectories& directories, ImportLog* log);

// A file that `owner` names (a light's profile), found as bitmap files
// are; empty when not found, with the places tried in `tried`.
std::string resolveSceneFile(const VrpPlugin& owner, const std::string& name, const SearchDirectories& directories,
                             std::string& tried);

// Whether the material or the texture conversion reads plugins of `type`
// (the wrappers, BRDFs and texture plugins above); the import reports the
// types that nothing reads.
bool materialConversionReads(std::string_view type);
bool textureConversionReads(std::string_view type);

}  // namespace cvimp
