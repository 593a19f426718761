#pragma once
// V-Ray's light intensities (a value in the light's "units") as the
// photometric intensity of the host's Free Light: candela, lumen or lux.
#include <optional>
#include <string_view>

namespace cvimp {

// V-Ray's "units" of area and point lights.
enum class LightUnits : int { Image = 0, LuminousPower = 1, Luminance = 2, RadiantPower = 3, Radiance = 4 };

// Luminous efficacy taken for V-Ray's watts: that of 555 nm light.
inline constexpr float kLumensPerWatt = 683.0f;
// Image units per physical unit when the scene does not say: the
// photometric_scale V-Ray's exporters write.
inline constexpr float kDefaultPhotometricScale = 0.002094395f;

struct PhotometricIntensity {
  float value = 0.0f;
  std::u16string_view unit;  // "cd", "lm" or "lx"
};

// None for a "units" value outside V-Ray's five.
std::optional<LightUnits> lightUnits(int units);

// An area light (rectangle, disc, sphere) of `area` square metres lit on
// `sides` sides, as its luminous power in lm. Image units are luminance
// (cd/m²) times `photometricScale`, the scale V-Ray's sun and sky shine at
// in image units, so that lights and the sun keep their balance.
PhotometricIntensity areaLightIntensity(LightUnits units, float value, float area, int sides, float photometricScale);

// A point light (omni, spot): powers in lm; per-area units, which a point
// has no area for, as intensities in cd. Image units are luminous
// intensity times `photometricScale`, over distances in scene units of
// `metresPerUnit` metres each.
PhotometricIntensity pointLightIntensity(LightUnits units, float value, float photometricScale, float metresPerUnit);

}  // namespace cvimp
