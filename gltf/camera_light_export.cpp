#include "gltf/camera_light_export.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "host/stand_in.h"
#include "platform/platform.h"

namespace cvimp::gltf {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegrees = kPi / 180;
// The Physical Camera's own default, for a field of view it cannot use.
constexpr double kDefaultFov = 48.4555;
// glTF wants a near plane above 0; in a design nothing a camera is meant
// to show lies within a centimetre of its lens.
constexpr double kNear = 0.01;
// An orthographic view needs a far plane: past a kilometre, or ten times
// its target distance, nothing of a design is left.
constexpr double kFar = 1000;
// A clear sky's direct sun at a high elevation, in lux: what the Physical
// Sun & Sky gives at an intensity of 1.
constexpr double kClearSkySunLux = 100000;
// The narrowest cone kept: a spot narrower still would divide its power by
// next to nothing.
constexpr double kNarrowestHalfCone = 0.001;

bool finitePositive(double value) { return std::isfinite(value) && value > 0; }
double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

double aspectOfRender() {
  Interface* core = GetCOREInterface();
  const int width = core->GetRendWidth(), height = core->GetRendHeight();
  return width > 0 && height > 0 ? double(width) / height : 4.0 / 3.0;
}

// The solid angle a light's distribution fills, in steradians: its power
// over its peak intensity. A Lambertian emitter's cosine lobe gives pi per
// side; a spot's cone 2 pi (1 - cos half angle).
double solidAngle(const std::u16string& distribution, bool twoSided, double outerHalfCone) {
  if (distribution == u"uniform diffuse") return twoSided ? 2 * kPi : kPi;
  if (distribution == u"spotlight") return 2 * kPi * (1 - std::cos(outerHalfCone));
  return 4 * kPi;
}

}  // namespace

CameraDesc describeCamera(Object& camera, const Frame& frame, const std::string& node, Report& report) {
  const host::NamedParams p(camera.GetParamBlock(0));
  CameraDesc d;
  d.name = node;
  double fov = p.number(u"fov", float(kDefaultFov));
  if (!(std::isfinite(fov) && fov > 0 && fov < 180)) {
    report.add(ReportStage::Export, loss::kCameraApproximated, node,
               "field of view outside 0 to 180 degrees: 48.46 used");
    fov = kDefaultFov;
  }
  if (p.flag(u"exposure", true)) {
    report.add(ReportStage::Export, loss::kCameraApproximated, "cameras with exposure control",
               "f-number, shutter and ISO left out: a viewer sets its own exposure");
  }
  const double aspect = aspectOfRender();
  const double halfWidth = std::tan(fov * kDegrees / 2);  // at a distance of 1
  d.znear = kNear;
  d.orthographic = p.flag(u"orthographic");
  if (d.orthographic) {
    // The frame a perspective camera would show at its target distance.
    double distance = p.number(u"target_distance", 0.0f) * frame.metres;
    if (!finitePositive(distance)) {
      report.add(ReportStage::Export, loss::kCameraApproximated, node, "target distance not positive: 1 m used");
      distance = 1;
    }
    d.xmag = distance * halfWidth;
    d.ymag = d.xmag / aspect;
    d.zfar = std::max(kFar, 10 * distance);
  } else {
    d.aspectRatio = aspect;
    d.yfov = 2 * std::atan(halfWidth / aspect);
  }
  return d;
}

std::optional<LightDesc> describeLight(Object& light, const std::string& node, Report& report) {
  LightDesc d;
  d.name = node;
  const host::NamedParams p(light.GetParamBlock(0));
  if (light.ClassID() == SUN_POSITIONER_CLASS_ID) {
    double multiplier = 1;
    Texmap* environment = GetCOREInterface()->GetEnvironmentMap();
    if (environment != nullptr && environment->ClassID() == SUNSKY_ENV_CLASS_ID) {
      multiplier = host::NamedParams(environment->GetParamBlock(0)).number(u"intensity", 1.0f);
    }
    if (!(std::isfinite(multiplier) && multiplier >= 0)) {
      report.add(ReportStage::Export, loss::kLightApproximated, node, "sky intensity not usable: 1 used");
      multiplier = 1;
    }
    d.type = LightType::Directional;
    d.intensity = multiplier * kClearSkySunLux;
    return d;
  }
  if (light.ClassID() != FREE_LIGHT_CLASS_ID) {
    report.add(ReportStage::Export, loss::kObjectLeftOut, node,
               platform::utf16ToUtf8(light.ClassName().str()) + ": no glTF light for it");
    return std::nullopt;
  }
  if (!p.flag(u"on", true)) {
    report.add(ReportStage::Export, loss::kObjectLeftOut, "lights switched off", "their nodes kept, without light");
    return std::nullopt;
  }
  const std::u16string shape = p.text(u"shape"), distribution = p.text(u"distribution"), unit = p.text(u"unit");
  const bool spot = distribution == u"spotlight";
  if (spot) {
    d.type = LightType::Spot;
    d.outerConeAngle =
        std::clamp(finiteOr(p.number(u"falloff", 60.0f), 60) * kDegrees / 2, kNarrowestHalfCone, kPi / 2);
    d.innerConeAngle = std::clamp(finiteOr(p.number(u"hotspot", 30.0f), 30) * kDegrees / 2, 0.0, d.outerConeAngle);
    // glTF wants the inner edge strictly inside the outer one.
    if (!(d.innerConeAngle < d.outerConeAngle)) d.innerConeAngle = 0.99 * d.outerConeAngle;
  }
  if (shape != u"point") {
    report.add(ReportStage::Export, loss::kLightApproximated, "area lights",
               spot ? "as spot lights of the same peak intensity" : "as point lights of the same luminous power");
  }
  if (distribution == u"web") {
    report.add(ReportStage::Export, loss::kLightApproximated, "web lights",
               "as point lights of the same luminous power: the web's distribution left out");
  } else if (distribution == u"uniform diffuse" && shape == u"point") {
    report.add(ReportStage::Export, loss::kLightApproximated, "diffuse lights",
               "as point lights of the same luminous power");
  }

  // The peak intensity in cd, and the solid angle that turns it into power.
  const double angle = solidAngle(distribution, p.flag(u"two_sided"), d.outerConeAngle);
  double value = p.number(u"intensity", 0.0f);
  if (!(std::isfinite(value) && value >= 0)) {
    report.add(ReportStage::Export, loss::kLightApproximated, node, "intensity not usable: 0 used");
    value = 0;
  }
  if (unit != u"cd" && unit != u"lm" && unit != u"lx") {
    report.add(ReportStage::Export, loss::kLightApproximated, node,
               "unit \"" + platform::utf16ToUtf8(unit) + "\" read as cd");
  }
  // lx: the illuminance 1 m away along its axis, which is its intensity.
  const double candela = unit == u"lm" ? value / angle : value;
  d.intensity = spot ? candela : candela * angle / (4 * kPi);

  // Brighter than white: the excess goes into the intensity.
  std::array<double, 3> color = p.color(u"color", {1, 1, 1});
  double brightest = 0;
  for (double& c : color) {
    c = std::isfinite(c) ? std::max(c, 0.0) : 0.0;
    brightest = std::max(brightest, c);
  }
  if (brightest > 1) {
    for (double& c : color) c /= brightest;
    d.intensity *= brightest;
  }
  d.color = color;
  return d;
}

void writeCamera(Writer& out, const CameraDesc& camera) {
  const char* type = camera.orthographic ? "orthographic" : "perspective";
  out.StartObject();
  if (!camera.name.empty()) {
    out.Key("name");
    text(out, camera.name);
  }
  out.Key("type");
  out.String(type);
  out.Key(type);
  out.StartObject();
  if (camera.orthographic) {
    out.Key("xmag");
    number(out, camera.xmag);
    out.Key("ymag");
    number(out, camera.ymag);
    out.Key("zfar");
    number(out, camera.zfar);
  } else {
    out.Key("aspectRatio");
    number(out, camera.aspectRatio);
    out.Key("yfov");
    number(out, camera.yfov);
  }
  out.Key("znear");
  number(out, camera.znear);
  out.EndObject();
  out.EndObject();
}

void writeLight(Writer& out, const LightDesc& light) {
  out.StartObject();
  if (!light.name.empty()) {
    out.Key("name");
    text(out, light.name);
  }
  out.Key("type");
  out.String(light.type == LightType::Point ? "point" : light.type == LightType::Spot ? "spot" : "directional");
  if (light.color != std::array<double, 3>{1, 1, 1}) {
    out.Key("color");
    numbers(out, light.color);
  }
  out.Key("intensity");
  number(out, light.intensity);
  if (light.type == LightType::Spot) {
    out.Key("spot");
    out.StartObject();
    out.Key("innerConeAngle");
    number(out, light.innerConeAngle);
    out.Key("outerConeAngle");
    number(out, light.outerConeAngle);
    out.EndObject();
  }
  out.EndObject();
}

}  // namespace cvimp::gltf
