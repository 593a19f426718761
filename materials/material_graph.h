#pragma once
// A V-Ray material graph written into one Physical Material: wrappers are
// looked through, bumps applied over their base, layered BRDFs flattened by
// even blends, and the leaf BRDFs mapped parameter by parameter.
#include <vector>

#include "materials/import_log.h"
#include "materials/texture_graph.h"
#include "host/mtl.h"
#include "vrscene/file_lookup.h"
#include "vrscene/plugin.h"

namespace cvimp {

// Writes what the graph below `plugin` holds into `material`; nothing when
// either is null. Never creates or replaces `material` itself.
void convertMaterial(const VrpPlugin* plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log);

// Flattens the layers (the value list of "brdfs" of `layered`) into `material`.
void convertLayeredBrdf(const std::vector<VrpValue>& layers, const VrpPlugin& layered, Mtl* material,
                        const SearchDirectories& directories, ImportLog* log);

}  // namespace cvimp
