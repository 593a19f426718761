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

// Whether node assembly reads plugins of `type` ("Node" and the geometry it shows).
bool sceneNodeReads(std::string_view type);

}  // namespace cvimp
