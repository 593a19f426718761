#pragma once
// A V-Ray material graph written into one Physical Material: wrappers are
// looked through, bumps applied over their base, layered BRDFs flattened by
// even blends, and the leaf BRDFs mapped parameter by parameter.
#include <vector>

#include "host/max.h"
#include "materials/import_log.h"
#include "materials/materials.h"
#include "materials/texture_graph.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// Flattens the layers (the value list of "brdfs" of `layered`) into `material`.
void convertLayeredBrdf(const std::vector<VrpValue>& layers, const VrpPlugin& layered, Mtl* material,
                        const SearchDirectories& directories, ImportLog* log);

}  // namespace cvimp
