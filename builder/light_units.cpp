#include "builder/light_units.h"

#include <numbers>

namespace cvimp {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

}  // namespace

std::optional<LightUnits> lightUnits(int units) {
  if (units < 0 || units > static_cast<int>(LightUnits::Radiance)) return std::nullopt;
  return static_cast<LightUnits>(units);
}

// A Lambertian surface of luminance L (cd/m²) sends pi * L lm from each
// square metre of each side it lights.
PhotometricIntensity areaLightIntensity(LightUnits units, float value, float area, int sides, float photometricScale) {
  const float lambertian = kPi * area * static_cast<float>(sides);
  switch (units) {
    case LightUnits::Image:
      return {value / photometricScale * lambertian, u"lm"};
    case LightUnits::LuminousPower:
      return {value, u"lm"};
    case LightUnits::Luminance:
      return {value * lambertian, u"lm"};
    case LightUnits::RadiantPower:
      return {kLumensPerWatt * value, u"lm"};
    case LightUnits::Radiance:
      return {kLumensPerWatt * value * lambertian, u"lm"};
  }
  return {value, u"lm"};
}

PhotometricIntensity pointLightIntensity(LightUnits units, float value, float photometricScale, float metresPerUnit) {
  switch (units) {
    case LightUnits::Image:
      // Image units fall off with distance in scene units.
      return {value / photometricScale * metresPerUnit * metresPerUnit, u"cd"};
    case LightUnits::LuminousPower:
      return {value, u"lm"};
    case LightUnits::Luminance:
      return {value, u"cd"};
    case LightUnits::RadiantPower:
      return {kLumensPerWatt * value, u"lm"};
    case LightUnits::Radiance:
      return {kLumensPerWatt * value, u"cd"};
  }
  return {value, u"cd"};
}

}  // namespace cvimp
