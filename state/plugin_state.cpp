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

bool setOutcome(WStr& result, std::u16string_view text, bool succeeded) {
  result = WStr(text);
  return succeeded;
}

}  // namespace cvimp
