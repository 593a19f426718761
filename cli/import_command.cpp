#include "cli/import_command.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "builder/builder.h"
#include "cli/file_output.h"
#include "gltf/gltf.h"
#include "host/stand_in.h"
#include "state/plugin_state.h"

namespace cvimp {

namespace {

std::atomic<int> interrupts{0};

// The first Ctrl-C presses the cancel button; the next one ends the program,
// as usual, should the work not stop.
extern "C" void pressCancelOnInterrupt(int) {
  if (interrupts.fetch_add(1) == 0) {
    host::pressCancel();
    return;
  }
  std::signal(SIGINT, SIG_DFL);
  std::raise(SIGINT);
}

}  // namespace

InterruptAsCancel::InterruptAsCancel() {
  interrupts.store(0);
  previous_ = std::signal(SIGINT, pressCancelOnInterrupt);
  // A caller that ignores Ctrl-C keeps ignoring it.
  if (previous_ == SIG_IGN) std::signal(SIGINT, SIG_IGN);
}

InterruptAsCancel::~InterruptAsCancel() { std::signal(SIGINT, previous_ == SIG_ERR ? SIG_DFL : previous_); }

void printHostSceneCounts(const host::SceneCounts& counts) {
  std::printf("Nodes: %zu\nObjects: %zu\nTriangles: %zu\nMaterials: %zu\nMaps: %zu\nBitmaps: %zu\n", counts.nodes,
              counts.objects, counts.triangles, counts.materials, counts.maps, counts.bitmaps);
  // Only scenes that hold them say so: most designs have neither.
  if (counts.cameras != 0 || counts.lights != 0) {
    std::printf("Cameras: %zu\nLights: %zu\n", counts.cameras, counts.lights);
  }
}

bool writeSceneFiles(const std::string& gltfPath, const std::string& jsonPath, Report& report) {
  bool written = true;
  if (!gltfPath.empty()) {
    std::string error;
    if (writeSceneGlb(gltfPath, report, error)) {
      std::printf("glTF: %s\n", gltfPath.c_str());
    } else {
      std::fprintf(stderr, "cvimp: %s\n", error.c_str());
      written = false;
    }
  }
  if (!jsonPath.empty() && !writeTextFile(jsonPath, withReport(host::sceneJson(), report))) {
    std::fprintf(stderr, "cvimp: cannot write \"%s\"\n", jsonPath.c_str());
    written = false;
  }
  return written;
}

int runImport(const ImportOptions& options) {
  host::setSystemUnit(options.unit);
  PluginState state;
  state.importMesh = options.importMesh;
  state.importMaterial = options.importMaterial;
  state.importCamera = options.importCamera;
  state.importLight = options.importLight;
  state.quadrifyMesh = options.quadrify;
  state.scenePath = WStr::FromUTF8(options.scenePath.c_str(), static_cast<std::ptrdiff_t>(options.scenePath.size()));

  // The import says only that the scene could not be read; say which file and why.
  if (!options.scenePath.empty()) {
    const std::string problem = sceneFileProblem(options.scenePath);
    if (!problem.empty()) std::fprintf(stderr, "cvimp: %s\n", problem.c_str());
  }

  WStr result;
  const auto start = std::chrono::steady_clock::now();
  bool succeeded = false;
  {
    InterruptAsCancel interrupt;
    succeeded = importDesign(state, result);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fflush(stdout);

  const host::SceneCounts counts = host::countScene();
  std::printf("%s\n", result.ToUTF8().data());
  printHostSceneCounts(counts);
  std::printf("Seconds: %.3f\n", seconds);

  Report report = reportFromScene();
  const bool written = writeSceneFiles(options.gltfPath, options.outputPath, report);
  std::printf("%s", report.table().c_str());
  std::fflush(stdout);
  return succeeded && written ? 0 : 1;
}

}  // namespace cvimp
