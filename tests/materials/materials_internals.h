#pragma once
// The conversion's inner parts, for its own tests: file lookup, texture and
// material graphs, the Physical Material mapping.
#include "materials/bitmap_file.h"
#include "materials/find_param.h"
#include "materials/graph_walk.h"
#include "materials/material_graph.h"
#include "materials/materials.h"
#include "materials/physical_mapping.h"
#include "materials/texture_graph.h"
