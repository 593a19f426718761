#include "host/mtl.h"

#include "host/journal.h"
#include "host/param_entries.h"
#include "host/scene.h"

namespace {

using host::boolParam;
using host::colorParam;
using host::floatParam;
using host::intParam;
using Entry = host::ParamEntry;

// The Physical Material's parameters with the real material's defaults.
std::unique_ptr<IParamBlock2> physicalParameters() {
  std::vector<Entry> entries = {
      intParam(u"material_mode", 0),
      floatParam(u"base_weight", 1.0f),
      colorParam(u"base_color", 0.5f, 0.5f, 0.5f),
      floatParam(u"reflectivity", 1.0f),
      floatParam(u"roughness", 0.0f),
      boolParam(u"roughness_inv", false),
      floatParam(u"metalness", 0.0f),
      colorParam(u"refl_color", 1.0f, 1.0f, 1.0f),
      floatParam(u"diff_roughness", 0.0f),
      intParam(u"brdf_mode", 1),
      floatParam(u"brdf_low", 0.05f),
      floatParam(u"brdf_high", 1.0f),
      floatParam(u"brdf_curve", 5.0f),
      floatParam(u"anisotropy", 0.0f),
      floatParam(u"anisoangle", 0.0f),
      intParam(u"aniso_mode", 0),
      intParam(u"aniso_channel", 0),
      floatParam(u"transparency", 0.0f),
      colorParam(u"trans_color", 1.0f, 1.0f, 1.0f),
      floatParam(u"trans_depth", 0.0f),
      floatParam(u"trans_roughness", 0.0f),
      boolParam(u"trans_roughness_inv", false),
      boolParam(u"trans_roughness_lock", true),
      floatParam(u"trans_ior", 1.52f),
      boolParam(u"thin_walled", false),
      floatParam(u"scattering", 0.0f),
      colorParam(u"sss_color", 1.0f, 1.0f, 1.0f),
      floatParam(u"sss_depth", 10.0f),
      floatParam(u"sss_scale", 1.0f),
      colorParam(u"sss_scatter_color", 1.0f, 0.5f, 0.25f),
      floatParam(u"emission", 1.0f),
      colorParam(u"emit_color", 0.0f, 0.0f, 0.0f),
      floatParam(u"emit_luminance", 1500.0f),
      floatParam(u"emit_kelvin", 6500.0f),
      floatParam(u"coating", 0.0f),
      colorParam(u"coat_color", 1.0f, 1.0f, 1.0f),
      floatParam(u"coat_roughness", 0.0f),
      boolParam(u"coat_roughness_inv", false),
      floatParam(u"coat_affect_color", 0.5f),
      floatParam(u"coat_affect_roughness", 0.0f),
      floatParam(u"coat_ior", 1.52f),
      floatParam(u"bump_map_amt", 0.3f),
      floatParam(u"clearcoat_bump_map_amt", 0.3f),
      floatParam(u"displacement_map_amt", 1.0f),
  };
  return host::paramBlock(std::move(entries));
}

std::vector<std::u16string> physicalSlots() {
  return {u"Base Weight Map",
          u"Base Color Map",
          u"Reflectivity Map",
          u"Reflection Color Map",
          u"Roughness Map",
          u"Metalness Map",
          u"Diffuse Roughness Map",
          u"Anisotropy Map",
          u"Anisotropy Angle Map",
          u"Transparency Map",
          u"Transparency Color Map",
          u"Transparency Roughness Map",
          u"IOR Map",
          u"Scattering Weight Map",
          u"Scattering Color Map",
          u"Scattering Scale Map",
          u"Emission Weight Map",
          u"Emission Color Map",
          u"Coating Weight Map",
          u"Coating Color Map",
          u"Coating Roughness Map",
          u"Coating Affect Color Map",
          u"Coating Affect Roughness Map",
          u"Coating IOR Map",
          u"Sheen Weight Map",
          u"Sheen Color Map",
          u"Sheen Roughness Map",
          u"Thin Film Weight Map",
          u"Thin Film IOR Map",
          u"Translucency Map",
          u"Bump Map",
          u"Coating Bump Map",
          u"Displacement Map",
          u"Cutout Map"};
}

std::unique_ptr<IParamBlock2> mixParameters() {
  std::vector<Entry> entries = {
      floatParam(u"mixAmount", 0.0f),
      floatParam(u"lower", 0.3f),
      floatParam(u"upper", 0.7f),
      boolParam(u"useCurve", false),
      colorParam(u"color1", 0.0f, 0.0f, 0.0f),
      colorParam(u"color2", 1.0f, 1.0f, 1.0f),
      boolParam(u"map1Enabled", true),
      boolParam(u"map2Enabled", true),
      boolParam(u"maskEnabled", true),
  };
  return host::paramBlock(std::move(entries));
}

}  // namespace

MtlBase::MtlBase(std::unique_ptr<IParamBlock2> paramBlock, std::vector<std::u16string> slotNames)
    : paramBlock_(std::move(paramBlock)), slotNames_(std::move(slotNames)), slots_(slotNames_.size(), nullptr) {}

Texmap* MtlBase::GetSubTexmap(int i) const {
  return i >= 0 && i < NumSubTexmaps() ? slots_[static_cast<std::size_t>(i)] : nullptr;
}

void MtlBase::SetSubTexmap(int i, Texmap* map) {
  host::journal().record("SetSubTexmap", std::to_string(i) + ", " + (map != nullptr ? "map" : "none"));
  if (i < 0 || i >= NumSubTexmaps()) {
    host::journal().record("IndexRejected", "MtlBase::SetSubTexmap " + std::to_string(i));
    return;
  }
  slots_[static_cast<std::size_t>(i)] = map;
}

MSTR MtlBase::GetSubTexmapSlotName(int i, bool) const {
  // The stand-in's language is English: localized names and internal ones agree.
  if (i < 0 || i >= NumSubTexmaps()) return MSTR();
  return MSTR(slotNames_[static_cast<std::size_t>(i)]);
}

void MtlBase::Update(TimeValue t, Interval& valid) {
  host::journal().record("MtlBase::Update", std::to_string(t) + ", [" + std::to_string(valid.Start()) + ", " +
                                                std::to_string(valid.End()) + "]");
  ++updates_;
}

PhysicalMaterial::PhysicalMaterial() : Mtl(physicalParameters(), physicalSlots()) {}

MixTex::MixTex() : Texmap(mixParameters(), {u"Color 1", u"Color 2", u"Mix Amount"}) {}

Texmap* NewDefaultMixTex() {
  host::journal().record("NewDefaultMixTex");
  return host::scene().addMap(std::make_unique<MixTex>());
}
