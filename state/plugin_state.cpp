#include "state/plugin_state.h"

namespace cvimp {

void PluginState::resetImportOptions() {
  importMesh = true;
  importCamera = true;
  importMaterial = true;
  importLight = true;
  importAnimation = true;
  quadrifyMesh = false;
}

}  // namespace cvimp
