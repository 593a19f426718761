#pragma once
// The scene builder: a design's scene file imported into the host scene
// with the plug-in's options, meshes and materials converted once and
// shared, the render view as a camera, the lights with the sun and the
// environment, ending with the optional quad conversion of the meshes.
#include <string>

#include "host/max.h"
#include "state/plugin_state.h"
#include "vrscene/vrscene.h"

namespace cvimp {

// The quadrify script the import ends with when asked, and the menu's
// quadrify command runs.
extern const char16_t* const kQuadrifyScript;
// Runs it, through the host's MAXScript, on the current selection.
void runQuadrifyScript();

// Imports state.scenePath with state's options. Sets `result` to "Succeed"
// (also after a cancel), "Invalid scene file", "Cannot parse scene" or
// "Cannot prebuild scene", and returns true exactly on "Succeed".
bool importDesign(PluginState& state, WStr& result);

// Where the files a scene names are looked for: the scene file's parent
// directory, its root path (empty for a relative path), and the current
// working directory (empty when it cannot be read).
SearchDirectories buildSearchDirectories(const std::string& scenePath);

}  // namespace cvimp
