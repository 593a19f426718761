#pragma once
// One "Node" plugin as a host node: its static mesh (shared through the
// geometry cache), its transform, name and Physical Material.
#include "builder/import_context.h"
#include "plugin/cvimp_gup.h"
#include "host/node.h"
#include "vrscene/plugin.h"

namespace cvimp {

// The new node, or null when the plugin shows no usable static mesh.
INode* createSceneNode(const VrpPlugin& plugin, ImportContext& context, const CvimpGUP& gup);

}  // namespace cvimp
