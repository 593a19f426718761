#pragma once
// The import of one design's scene file into the host scene.
#include "state/plugin_state.h"
#include "host/wstr.h"

namespace cvimp {

// The quadrify script the import ends with when asked, and the menu's
// quadrify command runs.
extern const char16_t* const kQuadrifyScript;

// Imports state.scenePath with state's options. Sets `result` to "Succeed"
// (also after a cancel), "Invalid scene file", "Cannot parse scene" or
// "Cannot prebuild scene", and returns true exactly on "Succeed".
bool importDesign(PluginState& state, WStr& result);

}  // namespace cvimp
