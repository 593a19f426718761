#pragma once
// V-Ray's lights as photometric Free Lights, its sun as a Sun Positioner,
// and the scene's environment: the dome light's texture, else the sun's
// Physical Sun & Sky.
#include <string_view>

#include "builder/import_context.h"
#include "host/max.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// Whether `type` is a light the import converts.
bool isLightType(std::string_view type);

// The node for a light plugin, or null: a dome light and a portal make
// none (the dome is kept for the environment), nor does a second sun.
INode* createLight(const VrpPlugin& light, ImportContext& context);

// After the walk, with lights asked for: the environment, and light
// linking reported.
void finishLights(const VrpScene& scene, ImportContext& context);

// Whether the light conversion reads plugins of `type` (the lights and
// the sky that goes with the sun).
bool lightConversionReads(std::string_view type);

}  // namespace cvimp
