#pragma once
// The state of one import: where files are looked for, the unit factor,
// the caches that make shared geometry and materials convert once, the
// nodes made so far and the optional log.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "builder/light_units.h"
#include "host/max.h"
#include "materials/materials.h"
#include "platform/platform.h"
#include "vrscene/vrscene.h"

namespace cvimp {

struct ImportContext {
  SearchDirectories searchDirectories;
  float unitFactor = 1.0f;  // system units per millimetre
  float photometricScale = kDefaultPhotometricScale;  // V-Ray's image units per physical unit
  // Keyed by plugin identity; a stored null is final for the import.
  std::unordered_map<const VrpPlugin*, TriObject*> geometryCache;
  std::unordered_map<const VrpPlugin*, Mtl*> materialCache;
  // Node materials that are multi-materials (through their wrappers): a
  // plugin may also be an entry of another one, where it is one material.
  std::unordered_map<const VrpPlugin*, Mtl*> multiMaterialCache;
  // How the faces of a Multi/Sub-Object made here choose their slot.
  struct FaceIdRule {
    bool wrapIds = false;
    std::string name;  // the MtlMulti's
  };
  std::unordered_map<const Mtl*, FaceIdRule> faceIdRules;
  // The geometry plugin's name of each mesh object, for the report.
  std::unordered_map<const TriObject*, std::string> meshNames;
  INodeTab importedNodes;
  // What the lights made that the environment is chosen from, and the
  // cameras and lights made, for the report.
  const VrpPlugin* sun = nullptr;
  const VrpPlugin* dome = nullptr;
  int camerasMade = 0;
  int lightsMade = 0;
  std::unique_ptr<ImportLog> importLog;
  bool logSlotNames = true;
  // Meshes being filled on other threads; last, so it waits before the rest goes.
  platform::TaskGroup meshFills;
};

// 1 / GetSystemUnitScale(millimetres), rounded to float: a scene in millimetres.
float importUnitFactor();
// The factor for the scene's own unit: its SettingsUnitsInfo "meters_scale"
// (metres per scene unit; the last such block in document order, named or
// not) against the system unit; millimetres without one. A value that is
// not a positive number is reported and millimetres are kept.
float importUnitFactor(const VrpScene& scene, ImportLog* log);

// The block of a settings type that holds `attribute` and speaks last: the
// last such in document order, named or not; null when none holds it.
const VrpPlugin* findSettings(const VrpScene& scene, std::string_view type, std::string_view attribute);
// The scene's photometric_scale (SettingsUnitsInfo), V-Ray's default
// without one; a value that is not a positive number is reported.
float importPhotometricScale(const VrpScene& scene, ImportLog* log);

}  // namespace cvimp
