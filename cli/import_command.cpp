#include "cli/import_command.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "builder/builder.h"
#include "cli/file_output.h"
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
}

int runImport(const ImportOptions& options) {
  host::setSystemUnit(options.unit);
  PluginState state;
  state.importMesh = options.importMesh;
  state.importMaterial = options.importMaterial;
  state.quadrifyMesh = options.quadrify;
  state.scenePath = WStr::FromACP(options.scenePath.c_str(), static_cast<std::ptrdiff_t>(options.scenePath.size()));

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
  std::printf("%s\n", result.ToACP().data());
  printHostSceneCounts(counts);
  std::printf("Seconds: %.3f\n", seconds);
  std::fflush(stdout);

  int status = succeeded ? 0 : 1;
  if (!options.outputPath.empty()) {
    if (!writeTextFile(options.outputPath, host::sceneJson())) {
      std::fprintf(stderr, "cvimp: cannot write \"%s\"\n", options.outputPath.c_str());
      status = 1;
    }
  }
  return status;
}

}  // namespace cvimp
