#pragma once
// Cameras as glTF cameras and lights as KHR_lights_punctual lights, in the
// extension's photometric units (cd for point and spot lights, lx for the
// sun). What a light's glTF form cannot show, an area or a photometric web,
// is reported as approximated; lights switched off are left out.
#include <array>
#include <optional>
#include <string>

#include "gltf/json_out.h"
#include "gltf/node_transform.h"
#include "host/max.h"
#include "report/report.h"

namespace cvimp::gltf {

struct CameraDesc {
  std::string name;
  bool orthographic = false;
  double yfov = 0, aspectRatio = 0;  // perspective: radians, width over height
  double xmag = 0, ymag = 0;         // orthographic: half the view's width and height, metres
  double znear = 0;
  double zfar = 0;  // orthographic only: a perspective view reaches to infinity
};

enum class LightType { Point, Spot, Directional };

struct LightDesc {
  std::string name;
  LightType type = LightType::Point;
  std::array<double, 3> color{1, 1, 1};           // linear, within [0, 1]
  double intensity = 0;                           // cd, or lx for a directional light
  double innerConeAngle = 0, outerConeAngle = 0;  // spot: half angles, radians
};

// A camera object of node `node`, seen at the render size's aspect.
CameraDesc describeCamera(Object& camera, const Frame& frame, const std::string& node, Report& report);
// A light object of node `node`; none when it is switched off or of a class
// glTF has no form for (both reported).
std::optional<LightDesc> describeLight(Object& light, const std::string& node, Report& report);

void writeCamera(Writer& out, const CameraDesc& camera);
void writeLight(Writer& out, const LightDesc& light);

}  // namespace cvimp::gltf
