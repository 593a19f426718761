#pragma once
// One "Node" plugin as a host node: its static mesh (shared through the
// geometry cache), its transform, name and Physical Material.
#include <string_view>

#include "builder/import_context.h"
#include "host/max.h"
#include "state/plugin_state.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// The new node, or null when the plugin shows no usable static mesh.
INode* createSceneNode(const VrpPlugin& plugin, ImportContext& context, const PluginState& state);

// A transform of the scene as a host node transform: its rows as they
// stand, its offset in system units.
Matrix3 nodeTransform(const VrpTransform& transform, float unitFactor);
// A light's or render view's "transform": V-Ray's identity when the plugin
// has none (a sun is often written without one).
VrpTransform standaloneTransform(const VrpPlugin& plugin);

// Places `object` in a new node named after `plugin`, in `wireColor`; null
// when the host makes none.
INode* placeObject(Object* object, const VrpPlugin& plugin, Matrix3 transform, DWORD wireColor);

// Whether node assembly reads plugins of `type` ("Node" and the geometry it shows).
bool sceneNodeReads(std::string_view type);

}  // namespace cvimp
