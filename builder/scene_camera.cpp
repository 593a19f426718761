#include "builder/scene_camera.h"

#include <cmath>
#include <numbers>
#include <optional>
#include <string>

#include "builder/host_params.h"
#include "builder/scene_node.h"

namespace cvimp {

namespace {

constexpr float kDegreesPerRadian = 180.0f / std::numbers::pi_v<float>;
// V-Ray's defaults: a 45 degree view, a 36 mm film.
constexpr float kDefaultFov = std::numbers::pi_v<float> / 4.0f;
constexpr float kDefaultFilmWidth = 36.0f;
constexpr DWORD kCameraWireColor = RGB(87, 120, 204);

bool usableFov(float fov) { return std::isfinite(fov) && fov > 0.0f && fov < std::numbers::pi_v<float>; }

// The first CameraPhysical in document order: the one V-Ray renders with.
const VrpPlugin* physicalCamera(const VrpScene& scene) {
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    if (plugin->type == "CameraPhysical") return plugin;
  }
  return nullptr;
}

// Film, lens and field of view agree on the host's camera: a field of view
// given outright decides the focal length.
void setLens(IParamBlock2* block, float filmWidth, float fov) {
  setFloatParam(block, u"fov", fov * kDegreesPerRadian);
  setFloatParam(block, u"film_width", filmWidth);
  setFloatParam(block, u"focal_length", filmWidth / (2.0f * std::tan(fov / 2.0f)));
}

void applyPhysicalCamera(const VrpPlugin& lens, float viewFov, IParamBlock2* block, ImportContext& context) {
  ImportLog* log = context.importLog.get();
  float film = lens.getFloat("film_width", kDefaultFilmWidth);
  if (!(film > 0.0f) || !std::isfinite(film)) film = kDefaultFilmWidth;
  float fov = viewFov;
  if (lens.getInt("specify_fov", 0) != 0) {
    fov = lens.getFloat("fov", viewFov);
  } else {
    const float focal = lens.getFloat("focal_length", 40.0f) * lens.getFloat("zoom_factor", 1.0f);
    fov = horizontalFov(film, focal);
  }
  if (!usableFov(fov)) {
    logLine(log, "Camera %s: its lens gives no field of view; the render view's kept\n", lens.name.c_str());
    reportLoss(log, loss::kApproximated, lens.name, "lens gives no field of view; the render view's used");
    fov = viewFov;
  }
  setLens(block, film, fov);
  setFloatParam(block, u"f_number", lens.getFloat("f_number", 8.0f));
  const float shutterSpeed = lens.getFloat("shutter_speed", 300.0f);
  if (shutterSpeed > 0.0f && std::isfinite(shutterSpeed)) setFloatParam(block, u"shutter", 1.0f / shutterSpeed);
  setFloatParam(block, u"iso", lens.getFloat("ISO", 200.0f));
  setBoolParam(block, u"exposure", lens.getInt("exposure", 1) != 0);
  const char* focus = lens.findAttribute("focus_distance") != nullptr ? "focus_distance" : "target_distance";
  if (lens.findAttribute(focus) != nullptr) {
    setFloatParam(block, u"target_distance", lens.getFloat(focus, 0.0f) * context.unitFactor);
  }
}

// Projections the host's camera has no counterpart for come out standard.
void reportCameraType(const VrpScene& scene, ImportLog* log) {
  const VrpPlugin* settings = findSettings(scene, "SettingsCamera", "type");
  if (settings == nullptr) return;
  const int type = settings->getInt("type", 0);
  if (type == 0) return;
  const std::string name = settings->name.empty() ? settings->type : settings->name;
  logLine(log, "Camera type %d of %s made a standard camera\n", type, name.c_str());
  reportLoss(log, loss::kApproximated, name, "camera type " + std::to_string(type) + " made a standard camera");
}

}  // namespace

float horizontalFov(float filmWidth, float focalLength) { return 2.0f * std::atan(filmWidth / (2.0f * focalLength)); }

bool cameraConversionReads(std::string_view type) { return type == "RenderView" || type == "CameraPhysical"; }

INode* createCamera(const VrpPlugin& renderView, ImportContext& context) {
  ImportLog* log = context.importLog.get();
  if (context.camerasMade > 0) {
    logLine(log, "Render view %s left out: a scene shows one\n", renderView.name.c_str());
    reportLoss(log, loss::kLeftOut, renderView.name, "a scene shows one render view; the first is the camera");
    return nullptr;
  }
  auto* camera =
      dynamic_cast<CameraObject*>(GetCOREInterface()->CreateInstance(CAMERA_CLASS_ID, PHYSICAL_CAMERA_CLASS_ID));
  if (camera == nullptr) return nullptr;
  IParamBlock2* block = camera->GetParamBlock(0);
  float viewFov = renderView.getFloat("fov", kDefaultFov);
  if (!usableFov(viewFov)) viewFov = kDefaultFov;
  setLens(block, kDefaultFilmWidth, viewFov);
  setBoolParam(block, u"orthographic", renderView.getInt("orthographic", 0) != 0);
  if (renderView.scene != nullptr) {
    if (const VrpPlugin* lens = physicalCamera(*renderView.scene)) applyPhysicalCamera(*lens, viewFov, block, context);
    reportCameraType(*renderView.scene, log);
  }
  // An orthographic view shows orthographicWidth across; the host's camera
  // shows the width its field of view spans at its target distance.
  if (renderView.getInt("orthographic", 0) != 0 && renderView.findAttribute("orthographicWidth") != nullptr) {
    const float width = std::abs(renderView.getFloat("orthographicWidth", 0.0f)) * context.unitFactor;
    const std::optional<ParamID> fovId = findParamId(block, u"fov");
    const float fov = fovId ? block->GetFloat(*fovId) / kDegreesPerRadian : kDefaultFov;
    if (width > 0.0f && std::isfinite(width)) {
      setFloatParam(block, u"target_distance", width / (2.0f * std::tan(fov / 2.0f)));
    }
  }
  const VrpTransform transform = standaloneTransform(renderView);
  INode* node = placeObject(camera, renderView, nodeTransform(transform, context.unitFactor), kCameraWireColor);
  if (node != nullptr) ++context.camerasMade;
  return node;
}

void finishCameras(const VrpScene& scene, ImportContext& context) {
  if (const VrpPlugin* output = findSettings(scene, "SettingsOutput", "img_width")) {
    const int width = output->getInt("img_width", 0);
    const int height = output->getInt("img_height", 0);
    if (width > 0 && height > 0) {
      GetCOREInterface()->SetRendWidth(width);
      GetCOREInterface()->SetRendHeight(height);
    }
  }
  ImportLog* log = context.importLog.get();
  const VrpPlugin* used = context.camerasMade > 0 ? physicalCamera(scene) : nullptr;
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    if (plugin->type != "CameraPhysical" || plugin == used) continue;
    const char* why = used == nullptr ? "no render view places it" : "the render view takes the first CameraPhysical";
    logLine(log, "Camera %s left out: %s\n", plugin->name.c_str(), why);
    reportLoss(log, loss::kLeftOut, plugin->name, why);
  }
}

}  // namespace cvimp
