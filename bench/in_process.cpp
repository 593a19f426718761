#include "bench/in_process.h"

#include <tbb/global_control.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "builder/builder.h"
#include "host/max.h"
#include "state/plugin_state.h"
#include "vrscene/vrscene.h"

namespace cvimp::bench {

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

platform::ProcessUsage difference(const platform::ProcessUsage& after, const platform::ProcessUsage& before) {
  return {after.userSeconds - before.userSeconds, after.systemSeconds - before.systemSeconds,
          after.pageFaults - before.pageFaults};
}

std::string directoryOf(const std::string& mainScene) {
  const std::filesystem::path parent = std::filesystem::path(mainScene).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

// Bytes of vertices, faces, specified normals and mapping channels the host's
// triangle meshes hold.
std::uint64_t hostMeshBytes() {
  std::uint64_t bytes = 0;
  for (const auto& object : host::scene().objects()) {
    if (object->ClassID() != TRIOBJ_CLASS_ID) continue;
    const Mesh& mesh = static_cast<TriObject&>(*object).GetMesh();
    bytes += static_cast<std::uint64_t>(mesh.getNumVerts()) * sizeof(Point3);
    bytes += static_cast<std::uint64_t>(mesh.getNumFaces()) * sizeof(Face);
    if (const MeshNormalSpec* normals = mesh.GetSpecifiedNormals()) {
      bytes += static_cast<std::uint64_t>(normals->GetNumNormals()) * (sizeof(Point3) + 1);
      bytes += static_cast<std::uint64_t>(normals->GetNumFaces()) * sizeof(MeshNormalFace);
    }
    for (int channel = -NUM_HIDDENMAPS; channel < mesh.getNumMaps(); ++channel) {
      if (const MeshMap* map = mesh.findMap(channel)) {
        bytes += static_cast<std::uint64_t>(map->getNumVerts()) * sizeof(UVVert);
        bytes += static_cast<std::uint64_t>(map->getNumFaces()) * sizeof(TVFace);
      }
    }
  }
  return bytes;
}

}  // namespace

LoaderRun runLoader(const std::string& mainScene) {
  LoaderRun run;
  run.memory = startPeak();
  {
    VrpScene scene;
    std::vector<VrpPlugin*> ordered;
    const platform::ProcessUsage before = platform::processUsage();
    const auto start = Clock::now();
    const bool loaded = loadScene(mainScene, scene, {directoryOf(mainScene)}, true);
    run.loadSeconds = secondsSince(start);
    if (!loaded) throw std::runtime_error("loadScene failed on " + mainScene);
    const auto prebuildStart = Clock::now();
    const bool prebuilt = prebuildScene(scene, ordered);
    run.prebuildSeconds = secondsSince(prebuildStart);
    run.usage = difference(platform::processUsage(), before);
    if (!prebuilt) throw std::runtime_error("prebuildScene failed on " + mainScene);
    endPeak(run.memory);
    run.textBytes = scene.keptTextBytes();
    run.plugins = scene.pluginCount();
  }
  platform::releaseFreeMemory();
  return run;
}

DocumentDigest loadAndDigest(const std::string& mainScene, int threads, double& seconds) {
  DocumentDigest digest;
  {
    VrpScene scene;
    std::vector<VrpPlugin*> ordered;
    const auto start = Clock::now();
    {
      const tbb::global_control limit(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(threads));
      if (!loadScene(mainScene, scene, {directoryOf(mainScene)}, true)) {
        throw std::runtime_error("loadScene failed on " + mainScene);
      }
      if (!prebuildScene(scene, ordered)) throw std::runtime_error("prebuildScene failed on " + mainScene);
    }
    seconds = secondsSince(start);
    digest = digestDocument(scene);
  }
  platform::releaseFreeMemory();
  return digest;
}

ImportRun runImport(const std::string& mainScene, bool keepScene) {
  ImportRun run;
  host::reset();
  platform::releaseFreeMemory();
  run.memory = startPeak();
  host::setSystemUnit(host::SystemUnit::Millimeters);
  {
    PluginState state;
    state.importMesh = true;
    state.importMaterial = true;
    state.quadrifyMesh = false;
    state.scenePath = WStr::FromUTF8(mainScene.c_str(), static_cast<std::ptrdiff_t>(mainScene.size()));
    WStr result;
    const platform::ProcessUsage before = platform::processUsage();
    const auto start = Clock::now();
    const bool imported = importDesign(state, result);
    run.seconds = secondsSince(start);
    run.usage = difference(platform::processUsage(), before);
    endPeak(run.memory);
    if (!imported) throw std::runtime_error("importDesign failed on " + mainScene + ": " + result.ToUTF8().str());
  }
  run.counts = host::countScene();
  run.meshBytes = hostMeshBytes();
  run.journalEntries = host::journal().calls().size();
  if (keepScene) return run;
  host::reset();
  platform::releaseFreeMemory();
  return run;
}

}  // namespace cvimp::bench
