#include "builder/scene_lights.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "builder/host_params.h"
#include "builder/light_units.h"
#include "builder/scene_node.h"
#include "materials/materials.h"

namespace cvimp {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kDegreesPerRadian = 180.0f / kPi;
constexpr DWORD kLightWireColor = RGB(255, 221, 0);

constexpr std::string_view kLightTypes[] = {"LightRectangle", "LightSphere", "LightOmni", "LightSpot",
                                            "LightIES",       "SunLight",    "LightDome"};

float length(const VrpVector& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }

std::u16string wide(std::string_view text) {
  return WStr::FromUTF8(text.data(), static_cast<std::ptrdiff_t>(text.size())).str();
}

// A light attribute that holds a texture.
const VrpPlugin* textureOf(const VrpPlugin& light, std::string_view attribute) {
  const VrpValue* value = light.findAttribute(attribute);
  return value != nullptr && value->kind() == ValueKind::Plugin ? value->getPlugin(light.scene) : nullptr;
}

// A texture's mean colour: a constant's own, a bitmap's image averaged;
// none for other textures.
std::optional<Color> averageColor(const VrpPlugin& texture, ImportContext& context) {
  if (texture.type == "TexAColor") {
    const VrpAColor c = texture.getValue("texture").getAColor(texture.scene);
    return Color(c.r, c.g, c.b);
  }
  if (texture.type != "TexBitmap" && texture.type != "BitmapBuffer") return std::nullopt;
  Texmap* map = convertStandaloneTexture(&texture, context.searchDirectories, context.importLog.get());
  if (map == nullptr) return std::nullopt;
  std::optional<Color> mean;
  if (map->ClassID() == BMTEX_CLASS_ID) {
    const AColor c = static_cast<BitmapTex*>(map)->averageLinearColor();
    mean = Color(c.r, c.g, c.b);
  }
  // Only its colour comes across: the map itself stays out of the scene.
  map->DeleteThis();
  return mean;
}

// "color" (Color or AColor), or the texture in "color_tex" or "color"
// reduced to its average.
Color lightColor(const VrpPlugin& light, ImportContext& context) {
  ImportLog* log = context.importLog.get();
  const VrpPlugin* texture = textureOf(light, "color_tex");
  if (texture == nullptr) texture = textureOf(light, "color");
  if (texture != nullptr) {
    if (const std::optional<Color> mean = averageColor(*texture, context)) {
      logLine(log, "Light %s: colour texture %s reduced to its average\n", light.name.c_str(), texture->name.c_str());
      reportLoss(log, loss::kApproximated, light.name, "colour texture " + texture->name + " reduced to its average");
      return *mean;
    }
    logLine(log, "Light %s: colour texture %s left out\n", light.name.c_str(), texture->name.c_str());
    reportLoss(log, loss::kLeftOut, light.name, "colour texture " + texture->name + " (" + texture->type + ")");
  }
  // A plain colour beside a texture that could not be averaged still holds.
  if (textureOf(light, "color") == nullptr && light.findAttribute("color") != nullptr) {
    const VrpColor c = light.getValue("color").getColor(light.scene);
    return Color(c.r, c.g, c.b);
  }
  return Color(1.0f, 1.0f, 1.0f);
}

LightUnits unitsOf(const VrpPlugin& light, ImportLog* log) {
  const int units = light.getInt("units", 0);
  if (const std::optional<LightUnits> known = lightUnits(units)) return *known;
  logLine(log, "Light %s: units %d unknown; image units taken\n", light.name.c_str(), units);
  reportLoss(log, loss::kApproximated, light.name, "units " + std::to_string(units) + " unknown; image units taken");
  return LightUnits::Image;
}

void setIntensity(IParamBlock2* block, const PhotometricIntensity& intensity) {
  setFloatParam(block, u"intensity", intensity.value);
  setTextParam(block, u"unit", std::u16string(intensity.unit));
}

// Textures on a light's surface or intensity have no counterpart. V-Ray
// shows the rectangle's texture only when use_rect_tex says so.
void reportLightTextures(const VrpPlugin& light, ImportLog* log) {
  for (const char* attribute : {"rect_tex", "intensity_tex"}) {
    const VrpPlugin* texture = textureOf(light, attribute);
    if (texture == nullptr || (attribute == std::string_view("rect_tex") && light.getInt("use_rect_tex", 0) == 0)) {
      continue;
    }
    logLine(log, "Light %s: texture %s in %s left out\n", light.name.c_str(), texture->name.c_str(), attribute);
    reportLoss(log, loss::kLeftOut, light.name, std::string(attribute) + " " + texture->name);
  }
}

// Shape, size and intensity of one light type. Sizes are in system units
// and areas, for the intensity, in square metres of the world: the
// transform's scale counts.
void applyShape(const VrpPlugin& light, const VrpTransform& transform, IParamBlock2* block, ImportContext& context) {
  ImportLog* log = context.importLog.get();
  const float f = context.unitFactor;
  const float metres = f * static_cast<float>(GetSystemUnitScale(UNITS_METERS));
  const float sx = length(transform.matrix[0]);
  const float sy = length(transform.matrix[1]);
  const float sz = length(transform.matrix[2]);
  const std::string& type = light.type;
  const float value = light.getFloat("intensity", 1.0f);
  if (type == "LightRectangle") {
    // u_size and v_size are half sizes.
    const float u = std::abs(light.getFloat("u_size", 1.0f));
    const float v = std::abs(light.getFloat("v_size", 1.0f));
    const bool disc = light.getInt("is_disc", 0) != 0;
    const bool twoSided = light.getInt("doubleSided", 0) != 0;
    if (disc) {
      setTextParam(block, u"shape", u"disc");
      setFloatParam(block, u"radius", u * f);
    } else {
      setTextParam(block, u"shape", u"rectangle");
      setFloatParam(block, u"width", 2.0f * u * f);
      setFloatParam(block, u"length", 2.0f * v * f);
    }
    setTextParam(block, u"distribution", u"uniform diffuse");
    setBoolParam(block, u"two_sided", twoSided);
    setBoolParam(block, u"visible", light.getInt("invisible", 0) == 0);
    const float area = (disc ? kPi * u * u : 4.0f * u * v) * metres * metres * sx * sy;
    setIntensity(block,
                 areaLightIntensity(unitsOf(light, log), value, area, twoSided ? 2 : 1, context.photometricScale));
  } else if (type == "LightSphere") {
    const float r = std::abs(light.getFloat("radius", 1.0f));
    setTextParam(block, u"shape", u"sphere");
    setFloatParam(block, u"radius", r * f);
    setBoolParam(block, u"visible", light.getInt("invisible", 0) == 0);
    const float scaled = r * metres * std::cbrt(sx * sy * sz);
    setIntensity(block, areaLightIntensity(unitsOf(light, log), value, 4.0f * kPi * scaled * scaled, 1,
                                           context.photometricScale));
  } else if (type == "LightIES") {
    const std::string file = light.getString("ies_file");
    std::string tried;
    const std::string path = resolveSceneFile(light, file, context.searchDirectories, tried);
    if (path.empty()) {
      // Without its profile the light still shines, evenly.
      logLine(log, "Cannot resolve light file: %s\n", file.c_str());
      reportLoss(log, loss::kLightFileNotFound, file, tried + "; the light shines evenly");
    } else {
      setTextParam(block, u"distribution", u"web");
      setTextParam(block, u"web_file", wide(path));
    }
    const float power = light.getFloat("power", 0.0f);
    if (power > 0.0f) {
      setIntensity(block, {power, u"lm"});
    } else {
      logLine(log, "Light %s: the intensity of its file is not read\n", light.name.c_str());
      reportLoss(log, loss::kApproximated, light.name, "intensity of the IES file not read; the host's default kept");
    }
  } else {
    if (type == "LightSpot") {
      // The penumbra widens the cone outward when positive, inward when
      // negative, on each side: hotspot and falloff are full angles.
      const float cone = light.getFloat("coneAngle", kPi / 4.0f);
      const float widened = cone + 2.0f * light.getFloat("penumbraAngle", 0.0f);
      const auto degrees = [](float a) { return std::clamp(a * kDegreesPerRadian, 0.0f, 180.0f); };
      setTextParam(block, u"distribution", u"spotlight");
      setFloatParam(block, u"hotspot", degrees(std::min(cone, widened)));
      setFloatParam(block, u"falloff", degrees(std::max(cone, widened)));
    }
    setIntensity(block, pointLightIntensity(unitsOf(light, log), value, context.photometricScale, metres));
  }
}

INode* createSun(const VrpPlugin& sun, const VrpTransform& transform, ImportContext& context) {
  if (context.sun != nullptr) {
    logLine(context.importLog.get(), "Sun %s left out: a scene has one sun\n", sun.name.c_str());
    reportLoss(context.importLog.get(), loss::kLeftOut, sun.name, "a scene has one sun; the first is kept");
    return nullptr;
  }
  Animatable* positioner = GetCOREInterface()->CreateInstance(LIGHT_CLASS_ID, SUN_POSITIONER_CLASS_ID);
  auto* object = dynamic_cast<LightObject*>(positioner);
  if (object == nullptr) return nullptr;
  context.sun = &sun;
  return placeObject(object, sun, nodeTransform(transform, context.unitFactor), kLightWireColor);
}

// The plugin the sky comes from, for the report: a TexSky if the scene
// has one, else the sun.
const VrpPlugin* skyPlugin(const VrpScene& scene, const VrpPlugin& sun) {
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    if (plugin->type == "TexSky") return plugin;
  }
  return &sun;
}

// The dome's texture as the environment map; null when it has none.
Texmap* domeEnvironment(const VrpPlugin& dome, ImportContext& context) {
  ImportLog* log = context.importLog.get();
  const VrpPlugin* texture = dome.getInt("use_dome_tex", 1) != 0 ? textureOf(dome, "dome_tex") : nullptr;
  Texmap* map = texture != nullptr ? convertStandaloneTexture(texture, context.searchDirectories, log) : nullptr;
  if (map == nullptr) {
    logLine(log, "Dome light %s left out: no texture to show\n", dome.name.c_str());
    reportLoss(log, loss::kLeftOut, dome.name, "dome light without a usable texture");
  }
  return map;
}

Texmap* sunSkyEnvironment(const VrpPlugin& sun) {
  auto* sky = dynamic_cast<Texmap*>(GetCOREInterface()->CreateInstance(TEXMAP_CLASS_ID, SUNSKY_ENV_CLASS_ID));
  if (sky == nullptr) return nullptr;
  IParamBlock2* block = sky->GetParamBlock(0);
  setFloatParam(block, u"turbidity", sun.getFloat("turbidity", 3.0f));
  setFloatParam(block, u"intensity", sun.getFloat("intensity_multiplier", 1.0f));
  return sky;
}

}  // namespace

bool isLightType(std::string_view type) {
  return std::find(std::begin(kLightTypes), std::end(kLightTypes), type) != std::end(kLightTypes);
}

bool lightConversionReads(std::string_view type) { return isLightType(type) || type == "TexSky"; }

INode* createLight(const VrpPlugin& light, ImportContext& context) {
  ImportLog* log = context.importLog.get();
  if (light.type == "LightDome") {
    if (context.dome == nullptr) {
      context.dome = &light;
    } else {
      logLine(log, "Dome light %s left out: a scene has one environment\n", light.name.c_str());
      reportLoss(log, loss::kLeftOut, light.name, "a scene has one environment; the first dome light is kept");
    }
    return nullptr;
  }
  const VrpTransform transform = standaloneTransform(light);
  INode* node = nullptr;
  if (light.type == "SunLight") {
    node = createSun(light, transform, context);
  } else if (light.type == "LightRectangle" && light.getInt("lightPortal", 0) != 0) {
    logLine(log, "Light %s left out: a portal light has no counterpart\n", light.name.c_str());
    reportLoss(log, loss::kLeftOut, light.name, "portal light");
  } else if (auto* object =
                 dynamic_cast<LightObject*>(GetCOREInterface()->CreateInstance(LIGHT_CLASS_ID, FREE_LIGHT_CLASS_ID))) {
    IParamBlock2* block = object->GetParamBlock(0);
    applyShape(light, transform, block, context);
    setColorParam(block, u"color", lightColor(light, context));
    setBoolParam(block, u"on", light.getInt("enabled", 1) != 0);
    reportLightTextures(light, log);
    node = placeObject(object, light, nodeTransform(transform, context.unitFactor), kLightWireColor);
  }
  if (node != nullptr) ++context.lightsMade;
  return node;
}

void finishLights(const VrpScene& scene, ImportContext& context) {
  ImportLog* log = context.importLog.get();
  Texmap* environment = context.dome != nullptr ? domeEnvironment(*context.dome, context) : nullptr;
  if (environment != nullptr && context.sun != nullptr) {
    const VrpPlugin* sky = skyPlugin(scene, *context.sun);
    logLine(log, "Sky %s left out: the dome light's texture is the environment\n", sky->name.c_str());
    reportLoss(log, loss::kLeftOut, sky->name, "sky: the dome light's texture is the environment");
  }
  if (environment == nullptr && context.sun != nullptr) environment = sunSkyEnvironment(*context.sun);
  if (environment != nullptr) GetCOREInterface()->SetEnvironmentMap(environment);

  for (const char* links : {"ignored_lights", "ignored_shadow_lights"}) {
    const VrpPlugin* linker = findSettings(scene, "SettingsLightLinker", links);
    if (linker == nullptr) continue;
    // Exporters write the linker with empty lists when nothing is linked.
    const VrpValue value = linker->getValue(links);
    const VrpFunction* list = value.resolveFunction(&scene);
    if (list != nullptr && list->values.empty()) continue;
    const std::string name = linker->name.empty() ? linker->type : linker->name;
    logLine(log, "Light linking of %s left out\n", name.c_str());
    reportLoss(log, loss::kLeftOut, name, "light linking");
    break;
  }
}

}  // namespace cvimp
