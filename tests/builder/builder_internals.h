#pragma once
// The builder's inner parts, for its own tests: the import context and the
// conversion of one mesh.
#include "builder/builder.h"
#include "builder/import_context.h"
#include "builder/mesh_object.h"
