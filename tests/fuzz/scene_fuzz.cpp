// libFuzzer harness: any bytes as a scene text, then the prebuild step and
// every typed accessor on every attribute. Built by `make fuzz` (clang).
#include <cstdio>
#include <string>

#include "tests/vrscene/vrscene_internals.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The parser's diagnostics are not what is being tested here.
  return std::freopen("/dev/null", "w", stdout) != nullptr ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  using namespace cvimp;
  VrpScene scene;
  IncludeSet includes;
  parseSceneText(scene, includes, std::string(reinterpret_cast<const char*>(data), size), {}, DefinitionPath{0}, true);
  std::vector<VrpPlugin*> order;
  prebuildScene(scene, order);
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    for (const auto& attribute : plugin->attributes()) {
      const VrpValue& value = attribute->value;
      std::size_t count = 0;
      plugin->getFloat(attribute->name, 0);
      plugin->getInt(attribute->name, 0);
      getFloatByKind(*plugin, attribute->name);
      value.getString(&scene);
      value.getPlugin(&scene);
      value.getAColor(&scene);
      value.getTransform(&scene);
      value.getValueList(&scene);
      value.getIntList(&scene, count);
      value.getVectorList(&scene, count);
      if (const std::string_view* text = value.stringValue()) {
        decodeZipc(*text, 12);
        decodeTransformHex(*text);
      }
    }
  }
  return 0;
}
