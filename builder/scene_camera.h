#pragma once
// The scene's render view as a Physical Camera node, with the lens of its
// CameraPhysical; the render size from SettingsOutput.
#include <string_view>

#include "builder/import_context.h"
#include "host/max.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// The camera node for a "RenderView", or null; a scene shows one render
// view, so a second one is reported and makes nothing.
INode* createCamera(const VrpPlugin& renderView, ImportContext& context);

// After the walk, with cameras asked for: the render size, and the
// CameraPhysical plugins no render view took.
void finishCameras(const VrpScene& scene, ImportContext& context);

// Whether the camera conversion reads plugins of `type`.
bool cameraConversionReads(std::string_view type);

// The horizontal field of view, in radians, of a lens of `focalLength` on
// film `filmWidth` wide (both in mm).
float horizontalFov(float filmWidth, float focalLength);

}  // namespace cvimp
