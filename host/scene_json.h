#pragma once
// The whole host scene as JSON: deterministic, every list in creation
// order, objects, materials and maps referred to by their index.
#include <string>

namespace host {

std::string sceneJson();

}  // namespace host
