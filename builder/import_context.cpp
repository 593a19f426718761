#include "builder/import_context.h"

#include <cmath>
#include <string>

#include "host/max.h"

namespace cvimp {

float importUnitFactor() { return static_cast<float>(1.0 / GetSystemUnitScale(UNITS_MILLIMETERS)); }

namespace {

// The SettingsUnitsInfo that speaks last in document order, or null.
const VrpPlugin* unitsInfo(const VrpScene& scene) {
  const VrpPlugin* found = scene.unnamedSettings("SettingsUnitsInfo");
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    if (plugin->type != "SettingsUnitsInfo" || plugin->findAttribute("meters_scale") == nullptr) continue;
    if (found == nullptr || found->findAttribute("meters_scale") == nullptr ||
        documentOrderLess(found->definitionPath, plugin->definitionPath)) {
      found = plugin;
    }
  }
  return found != nullptr && found->findAttribute("meters_scale") != nullptr ? found : nullptr;
}

}  // namespace

float importUnitFactor(const VrpScene& scene, ImportLog* log) {
  const VrpPlugin* units = unitsInfo(scene);
  if (units == nullptr) return importUnitFactor();
  const double metres = units->getFloat("meters_scale", 0.0f);
  // Millimetres per scene unit, as a float first: a scene in millimetres
  // (0.001) gives exactly 1 and imports as one without the setting does.
  const auto millimetres = static_cast<float>(metres * 1000.0);
  if (!(millimetres > 0.0f) || !std::isfinite(millimetres)) {
    const std::string name = units->name.empty() ? units->type : units->name;
    logLine(log, "Scene units ignored: meters_scale of %s is not a positive number\n", name.c_str());
    reportLoss(log, loss::kUnitsIgnored, name, "meters_scale not a positive number; millimetres assumed");
    return importUnitFactor();
  }
  return static_cast<float>(static_cast<double>(millimetres) / GetSystemUnitScale(UNITS_MILLIMETERS));
}

}  // namespace cvimp
