#include "materials/physical_mapping.h"

#include <optional>
#include <string>

#include "host/max.h"
#include "materials/find_param.h"
#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

IParamBlock2* block0(Mtl* material) { return material != nullptr ? material->GetParamBlock(0) : nullptr; }

// Sets a parameter by name when the material has it.
void setNamed(Mtl* material, std::u16string_view name, float value) {
  IParamBlock2* block = block0(material);
  if (const std::optional<ParamID> id = findParamId(block, name)) block->SetValue(*id, 0, value);
}

void setNamed(Mtl* material, std::u16string_view name, int value) {
  IParamBlock2* block = block0(material);
  if (const std::optional<ParamID> id = findParamId(block, name)) block->SetValue(*id, 0, value);
}

void message(ImportLog* log, const char* format, std::string_view attribute, ValueKind kind) {
  logLine(log, format, std::string(attribute).c_str(), static_cast<int>(kind));
}

// An Int or Float value as single precision.
float numberOf(const VrpValue& value) {
  if (const std::int64_t* integer = value.intValue()) return static_cast<float>(*integer);
  if (const double* floating = value.floatValue()) return toSingle(*floating);
  return 0.0f;
}

// The texture a reference names, in `slot`; false when it gives no map.
bool placeSlotMap(const VrpPlugin& plugin, const VrpValue& value, Mtl* material, const SearchDirectories& directories,
                  int slot, ImportLog* log, GraphPath& path) {
  const VrpPlugin* texture = value.getPlugin(plugin.scene);
  Texmap* map = convertTexture(texture, directories, nullptr, log, path);
  if (map == nullptr) return false;
  material->SetSubTexmap(slot, map);
  return true;
}

}  // namespace

Mtl* createPhysicalMaterial() {
  Animatable* created = GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, PHYSICAL_MATERIAL_CLASS_ID);
  auto* material = dynamic_cast<Mtl*>(created);
  if (material == nullptr) return nullptr;
  if (IParamBlock2* block = material->GetParamBlock(0)) applyPhysicalDefaults(block);
  return material;
}

void applyPhysicalDefaults(IParamBlock2* block) {
  if (block == nullptr) return;
  if (const auto id = findParamId(block, u"material_mode")) block->SetValue(*id, 0, 1);
  if (const auto id = findParamId(block, u"reflectivity")) block->SetValue(*id, 0, 0.0f);
  if (const auto id = findParamId(block, u"transparency")) block->SetValue(*id, 0, 0.0f);
}

namespace {

// A number into the float parameter; with `slot`, a texture reference into
// that sub-map slot.
bool setNumberOrMap(const VrpPlugin& plugin, Mtl* material, const SearchDirectories* directories,
                    std::string_view attribute, std::u16string_view parameter, std::optional<int> slot,
                    const char* unknownTypeMessage, ImportLog* log, GraphPath* path) {
  IParamBlock2* block = block0(material);
  const std::optional<ParamID> id = findParamId(block, parameter);
  if (!id) return false;
  const VrpValue value = plugin.getValue(attribute);
  const ValueKind kind = value.kind();
  if (kind == ValueKind::Int || kind == ValueKind::Float) {
    block->SetValue(*id, 0, numberOf(value));
    return true;
  }
  if (slot && kind == ValueKind::Plugin) return placeSlotMap(plugin, value, material, *directories, *slot, log, *path);
  message(log, unknownTypeMessage, attribute, kind);
  return false;
}

}  // namespace

bool setFloatSlot(const VrpPlugin& plugin, Mtl* material, std::string_view attribute, std::u16string_view parameter,
                  ImportLog* log) {
  return setNumberOrMap(plugin, material, nullptr, attribute, parameter, std::nullopt,
                        "Float slot %s has unknown type: %d\n", log, nullptr);
}

bool setMapColorSlot(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories,
                     std::string_view attribute, std::u16string_view parameter, int slot, ImportLog* log,
                     GraphPath& path) {
  IParamBlock2* block = block0(material);
  const std::optional<ParamID> id = findParamId(block, parameter);
  if (!id) return false;
  const VrpValue value = plugin.getValue(attribute);
  const ValueKind kind = value.kind();
  Color color;
  switch (kind) {
    case ValueKind::Color: {
      const VrpColor c = value.getColor(plugin.scene);
      color = Color(c.r, c.g, c.b);
      break;
    }
    case ValueKind::AColor: {
      const VrpAColor c = value.getAColor(plugin.scene);
      color = Color(c.r, c.g, c.b);
      break;
    }
    case ValueKind::Plugin:
      return placeSlotMap(plugin, value, material, directories, slot, log, path);
    default:
      message(log, "Map color slot %s has unknown type: %d\n", attribute, kind);
      return false;
  }
  // A black colour is written all the same; it only does not count as set.
  block->SetValue(*id, 0, color);
  return color.r > 0.0f || color.g > 0.0f || color.b > 0.0f;
}

bool setMapFloatSlot(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories,
                     std::string_view attribute, std::u16string_view parameter, int slot, ImportLog* log,
                     GraphPath& path) {
  return setNumberOrMap(plugin, material, &directories, attribute, parameter, slot,
                        "Map float slot %s has unknown type: %d\n", log, &path);
}

bool setMapOnlySlot(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories,
                    std::string_view attribute, int slot, ImportLog* log, GraphPath& path) {
  if (block0(material) == nullptr) return false;
  const VrpValue value = plugin.getValue(attribute);
  const ValueKind kind = value.kind();
  if (kind == ValueKind::Plugin) return placeSlotMap(plugin, value, material, directories, slot, log, path);
  message(log, "Map only slot %s has unknown type: %d\n", attribute, kind);
  return false;
}

void mapVRayMtl(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
                GraphPath& path) {
  setMapColorSlot(plugin, material, directories, "diffuse", u"base_color", kBaseColorSlot, log, path);
  setMapFloatSlot(plugin, material, directories, "roughness", u"diff_roughness", kDiffRoughnessSlot, log, path);
  if (setMapColorSlot(plugin, material, directories, "reflect", u"refl_color", kReflColorSlot, log, path)) {
    setNamed(material, u"reflectivity", 1.0f);
  }
  // Glossiness is stored as it is, with the host's inversion flag.
  if (setMapFloatSlot(plugin, material, directories, "reflect_glossiness", u"roughness", kRoughnessSlot, log, path)) {
    setNamed(material, u"roughness_inv", 1);
  }
  if (setMapColorSlot(plugin, material, directories, "refract", u"trans_color", kTransColorSlot, log, path)) {
    setNamed(material, u"transparency", 1.0f);
  }
  if (setMapFloatSlot(plugin, material, directories, "refract_glossiness", u"trans_roughness", kTransRoughnessSlot, log,
                      path)) {
    setNamed(material, u"trans_roughness_inv", 1);
    setNamed(material, u"trans_roughness_lock", 0);
  }
  setMapFloatSlot(plugin, material, directories, "refract_ior", u"trans_ior", kTransIorSlot, log, path);
  setMapOnlySlot(plugin, material, directories, "bump_map", kBumpSlot, log, path);
  setFloatSlot(plugin, material, "bump_amount", u"bump_map_amt", log);
  setMapOnlySlot(plugin, material, directories, "opacity", kCutoutSlot, log, path);
}

void mapDiffuse(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
                GraphPath& path) {
  setMapColorSlot(plugin, material, directories, "color", u"base_color", kBaseColorSlot, log, path);
  setMapColorSlot(plugin, material, directories, "transparency", u"trans_color", kTransColorSlot, log, path);
}

void mapLight(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
              GraphPath& path) {
  setNamed(material, u"base_weight", 0.0f);
  setMapFloatSlot(plugin, material, directories, "colorMultiplier", u"emission", kEmissionSlot, log, path);
  setMapColorSlot(plugin, material, directories, "color", u"emit_color", kEmitColorSlot, log, path);
  setMapColorSlot(plugin, material, directories, "transparency", u"trans_color", kTransColorSlot, log, path);
}

namespace {

Color average(const Color& a, const Color& b) {
  return Color((a.r + b.r) * 0.5f, (a.g + b.g) * 0.5f, (a.b + b.b) * 0.5f);
}

bool anyAbove0(const Color& c) { return c.r > 0.0f || c.g > 0.0f || c.b > 0.0f; }

Texmap* mixSlot(Mtl* destination, Mtl* a, Mtl* b, int slot) {
  Texmap* mixed = mixTexmaps(a->GetSubTexmap(slot), b->GetSubTexmap(slot));
  destination->SetSubTexmap(slot, mixed);
  return mixed;
}

}  // namespace

bool blendPhysicalMaterials(Mtl* destination, Mtl* a, Mtl* b) {
  IParamBlock2* d = block0(destination);
  if (d == nullptr || a == nullptr || b == nullptr) return false;
  IParamBlock2* pa = block0(a);
  IParamBlock2* pb = block0(b);
  if (pa == nullptr || pb == nullptr) return false;
  const auto baseColor = findParamId(d, u"base_color");
  const auto diffRoughness = findParamId(d, u"diff_roughness");
  const auto reflColor = findParamId(d, u"refl_color");
  const auto roughness = findParamId(d, u"roughness");
  const auto transColor = findParamId(d, u"trans_color");
  const auto transRoughness = findParamId(d, u"trans_roughness");
  const auto transIor = findParamId(d, u"trans_ior");
  const auto bumpAmount = findParamId(d, u"bump_map_amt");
  if (!baseColor || !diffRoughness || !reflColor || !roughness || !transColor || !transRoughness || !transIor ||
      !bumpAmount) {
    return false;
  }
  const auto averageColor = [&](ParamID id) {
    const Color value = average(pa->GetColor(id), pb->GetColor(id));
    d->SetValue(id, 0, value);
    return value;
  };
  const auto averageFloat = [&](ParamID id) {
    const float value = (pa->GetFloat(id) + pb->GetFloat(id)) * 0.5f;
    d->SetValue(id, 0, value);
    return value;
  };

  averageColor(*baseColor);
  mixSlot(destination, a, b, kBaseColorSlot);
  averageFloat(*diffRoughness);
  mixSlot(destination, a, b, kDiffRoughnessSlot);

  const Color reflection = averageColor(*reflColor);
  if (mixSlot(destination, a, b, kReflColorSlot) != nullptr || anyAbove0(reflection)) {
    setNamed(destination, u"reflectivity", 1.0f);
  }
  const float gloss = averageFloat(*roughness);
  if (mixSlot(destination, a, b, kRoughnessSlot) != nullptr || gloss >= 0.0f) {
    setNamed(destination, u"roughness_inv", 1);
  }
  const Color transmission = averageColor(*transColor);
  if (mixSlot(destination, a, b, kTransColorSlot) != nullptr || anyAbove0(transmission)) {
    setNamed(destination, u"transparency", 1.0f);
  }
  const float transGloss = averageFloat(*transRoughness);
  if (mixSlot(destination, a, b, kTransRoughnessSlot) != nullptr || transGloss >= 0.0f) {
    setNamed(destination, u"trans_roughness_inv", 1);
    setNamed(destination, u"trans_roughness_lock", 0);
  }
  averageFloat(*transIor);
  mixSlot(destination, a, b, kTransIorSlot);
  mixSlot(destination, a, b, kBumpSlot);
  averageFloat(*bumpAmount);
  mixSlot(destination, a, b, kCutoutSlot);

  a->DeleteThis();
  b->DeleteThis();
  return true;
}

}  // namespace cvimp
