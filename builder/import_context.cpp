#include "builder/import_context.h"

#include <cmath>
#include <string>

#include "host/max.h"

namespace cvimp {

float importUnitFactor() { return static_cast<float>(1.0 / GetSystemUnitScale(UNITS_MILLIMETERS)); }

const VrpPlugin* findSettings(const VrpScene& scene, std::string_view type, std::string_view attribute) {
  const VrpPlugin* found = scene.unnamedSettings(type);
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    if (plugin->type != type || plugin->findAttribute(attribute) == nullptr) continue;
    if (found == nullptr || found->findAttribute(attribute) == nullptr ||
        documentOrderLess(found->definitionPath, plugin->definitionPath)) {
      found = plugin;
    }
  }
  return found != nullptr && found->findAttribute(attribute) != nullptr ? found : nullptr;
}

float importPhotometricScale(const VrpScene& scene, ImportLog* log) {
  const VrpPlugin* units = findSettings(scene, "SettingsUnitsInfo", "photometric_scale");
  if (units == nullptr) return kDefaultPhotometricScale;
  const float scale = units->getFloat("photometric_scale", 0.0f);
  if (scale > 0.0f && std::isfinite(scale)) return scale;
  const std::string name = units->name.empty() ? units->type : units->name;
  logLine(log, "Scene units ignored: photometric_scale of %s is not a positive number\n", name.c_str());
  reportLoss(log, loss::kUnitsIgnored, name, "photometric_scale not a positive number; V-Ray's default assumed");
  return kDefaultPhotometricScale;
}

float importUnitFactor(const VrpScene& scene, ImportLog* log) {
  const VrpPlugin* units = findSettings(scene, "SettingsUnitsInfo", "meters_scale");
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
