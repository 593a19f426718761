#pragma once
// Physical Materials: creation with the importer's presets, the slot setters
// that carry a plugin attribute into a parameter or a sub-map slot, the
// mappings of the leaf BRDFs, and the even blend of two materials.
#include <string_view>

#include "host/max.h"
#include "materials/import_log.h"
#include "materials/materials.h"
#include "materials/texture_graph.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// Sub-map slots of the Physical Material.
enum SubMapSlot : int {
  kBaseColorSlot = 1,
  kReflColorSlot = 3,
  kRoughnessSlot = 4,
  kDiffRoughnessSlot = 6,
  kTransColorSlot = 10,
  kTransRoughnessSlot = 11,
  kTransIorSlot = 12,
  kEmissionSlot = 16,
  kEmitColorSlot = 17,
  kBumpSlot = 30,
  kCutoutSlot = 33,
};

// A Physical Material in the host scene with the presets applied; null when
// the host creates nothing.
Mtl* createPhysicalMaterial();

// Each returns true when it wrote something usable (see the mapping notes in
// the .cpp); messages go to `log` when it is open.
bool setFloatSlot(const VrpPlugin& plugin, Mtl* material, std::string_view attribute, std::u16string_view parameter,
                  ImportLog* log);
bool setMapColorSlot(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories,
                     std::string_view attribute, std::u16string_view parameter, int slot, ImportLog* log,
                     GraphPath& path);
bool setMapFloatSlot(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories,
                     std::string_view attribute, std::u16string_view parameter, int slot, ImportLog* log,
                     GraphPath& path);
bool setMapOnlySlot(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories,
                    std::string_view attribute, int slot, ImportLog* log, GraphPath& path);

// The leaf BRDFs.
void mapVRayMtl(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
                GraphPath& path);
void mapDiffuse(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
                GraphPath& path);
void mapLight(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
              GraphPath& path);

// Averages `a` and `b` into `destination` and deletes both; true when it
// did (all three materials present, with the parameters it averages).
bool blendPhysicalMaterials(Mtl* destination, Mtl* a, Mtl* b);

}  // namespace cvimp
