#pragma once
// Which sub-material of a Multi/Sub-Object each face gets, decided once at
// import and written into the faces' IDs, so that every reader of the scene
// (the host's own lookup, the viewport, glTF) agrees without knowing the rule.
#include "builder/import_context.h"

namespace cvimp {

// For each mesh of the imported nodes whose material is a Multi/Sub-Object
// made by this import: a face's ID (with wrapping, first taken modulo the
// largest ID + 1) is matched against the slots' IDs; a face that matches none
// gets the first slot, counted in the report. The face then carries the ID of
// the slot it got. A mesh whose nodes' materials would rewrite it differently
// is copied once per further outcome. Runs after the meshes are filled, in
// node order: the result does not depend on threads.
void applyFaceIdRules(ImportContext& context);

}  // namespace cvimp
