// libFuzzer harness: any bytes as a design's scene file, read, prebuilt and
// read through every typed accessor, then imported whole into the stand-in
// host (meshes, materials, textures found beside it, quadrify on odd sizes).
// Built by `make fuzz` (clang).
#include <cstdio>
#include <filesystem>
#include <string>

#include "builder/builder.h"
#include "gltf/gltf.h"
#include "host/stand_in.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/vrscene/vrscene_internals.h"

namespace {

cvimp::fuzz::Sandbox* design = nullptr;

void readEveryValue(const cvimp::VrpScene& scene) {
  using namespace cvimp;
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
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cvimp::fuzz::silenceStandardOutput();
  host::setProgressOnTerminal(false);
  // Every input is read in pieces, as a large file is.
  cvimp::setSplitBytes(1);
  // The sample design's other files and textures, for includes and bitmaps
  // the input names.
  static cvimp::fuzz::Sandbox sandbox("cvimp-scene-fuzz-");
  design = &sandbox;
  std::filesystem::copy(CVIMP_SAMPLES_DIR "/room", sandbox.root(), std::filesystem::copy_options::recursive);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  using namespace cvimp;
  {
    VrpScene scene;
    IncludeSet includes;
    parseSceneText(scene, includes, std::string(reinterpret_cast<const char*>(data), size), {}, DefinitionPath{0},
                   true);
    std::vector<VrpPlugin*> order;
    prebuildScene(scene, order);
    readEveryValue(scene);
  }
  const std::filesystem::path scene = design->root() / "vr.vrscene";
  if (!fuzz::writeFile(scene, data, size)) std::abort();
  host::reset();
  host::setSystemUnit(size % 3 == 0 ? host::SystemUnit::Centimeters : host::SystemUnit::Millimeters);
  PluginState state;
  state.scenePath = WStr::FromUTF8(scene.string().c_str());
  state.quadrifyMesh = size % 2 == 1;
  WStr result;
  importDesign(state, result);
  // Whatever the import made, the glTF writer takes it.
  Report report;
  std::string error;
  if (!writeSceneGlb((design->root() / "scene.glb").string(), report, error)) std::abort();
  return 0;
}
