#include "cli/inspect.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "builder/builder.h"
#include "cli/file_output.h"
#include "cli/scene_json.h"
#include "platform/platform.h"
#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

void printSummary(const VrpScene& scene, bool loaded, const bool* prebuilt, double seconds) {
  std::map<std::string, std::size_t> byType;
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) ++byType[plugin->type];
  std::vector<std::pair<std::string, std::size_t>> types(byType.begin(), byType.end());
  std::stable_sort(types.begin(), types.end(), [](const auto& a, const auto& b) { return a.second > b.second; });

  const PackedListStats packed = countPackedLists(scene);
  std::printf("Load: %s\n", loaded ? "ok" : "failed");
  std::printf("Prebuild: %s\n", prebuilt == nullptr ? "not run" : (*prebuilt ? "ok" : "failed"));
  std::printf("Plugins: %zu\n", scene.pluginCount());
  for (const auto& [type, count] : types) std::printf("  %-28s %zu\n", type.c_str(), count);
  std::printf("Packed lists decoded: %llu of %llu\n", static_cast<unsigned long long>(packed.decoded),
              static_cast<unsigned long long>(packed.lists));
  std::printf("Decoded bytes: %llu\n", static_cast<unsigned long long>(packed.decodedBytes));
  std::printf("Scene text bytes: %llu in %zu files\n", static_cast<unsigned long long>(scene.keptTextBytes()),
              scene.keptTextCount());
  std::printf("Seconds: %.3f\n", seconds);
}

}  // namespace

int runInspect(const InspectOptions& options) {
  const SearchDirectories directories = buildSearchDirectories(options.scenePath);
  VrpScene scene;
  std::vector<VrpPlugin*> ordered;
  bool loaded = false;
  bool prebuilt = false;
  bool prebuildRan = false;

  const std::string found = resolveFile(options.scenePath, directories);
  const std::string problem = sceneFileProblem(options.scenePath);
  const auto start = std::chrono::steady_clock::now();
  if (!problem.empty()) {
    std::fprintf(stderr, "cvimp: %s\n", problem.c_str());
  } else {
    loaded = loadScene(options.scenePath, scene, directories, !options.verbose);
    if (loaded) {
      prebuildRan = true;
      prebuilt = prebuildScene(scene, ordered);
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fflush(stdout);

  const bool* prebuiltResult = prebuildRan ? &prebuilt : nullptr;
  if (!found.empty()) printSummary(scene, loaded, prebuiltResult, seconds);

  int status = loaded && prebuilt ? 0 : 1;
  if (!options.outputPath.empty()) {
    if (!writeTextFile(options.outputPath, sceneDocumentJson(scene, loaded, prebuiltResult, ordered))) {
      std::fprintf(stderr, "cvimp: cannot write \"%s\"\n", options.outputPath.c_str());
      status = 1;
    }
  }
  std::fflush(stdout);
  return status;
}

}  // namespace cvimp
