// Times loadScene + prebuildScene on a scene, and the whole import of it into
// the stand-in host, against the decode floor (the bare Base64 + inflate of
// its packed lists on one thread), and measures the peak resident memory of
// each against the size of text and decoded data. All figures come from one
// run of this program. Reports the goals next to the figures; only failures to
// run are errors.
//
//   bench_loader MAIN_SCENE

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/packed_floor.h"
#include "builder/builder.h"
#include "cli/import_command.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "platform/platform.h"
#include "state/plugin_state.h"
#include "vrscene/vrscene.h"

namespace fs = std::filesystem;

namespace {

constexpr int kRuns = 3;
constexpr double kRatioGoal = 0.6;
constexpr double kMemoryGoal = 1.15;
constexpr double kImportRatioGoal = 1.0;
constexpr double kImportMemoryGoal = 2.0;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

using Usage = cvimp::platform::ProcessUsage;

Usage usage() { return cvimp::platform::processUsage(); }

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return std::move(bytes).str();
}

// A "Vm..." line of /proc/self/status, in bytes.
std::optional<std::uint64_t> statusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with(key + ":")) {
      std::istringstream fields(line.substr(key.size() + 1));
      std::uint64_t kilobytes = 0;
      if (fields >> kilobytes) return kilobytes * 1024;
    }
  }
  return std::nullopt;
}

// Makes the kernel's high-water mark (VmHWM) restart from the current RSS.
bool resetPeakRss() {
  std::ofstream clearRefs("/proc/self/clear_refs");
  clearRefs << "5";
  clearRefs.flush();
  return static_cast<bool>(clearRefs);
}

// Decoded bytes held by a value: its own packed data and that of nested forms.
void countDecoded(const cvimp::VrpValue& value, int depth, std::uint64_t& bytes, std::uint64_t& lists,
                  std::uint64_t& undecoded) {
  const cvimp::VrpFunction* function = value.function();
  if (function == nullptr || depth >= cvimp::kMaxValueDepth) return;
  if (cvimp::isPackedListName(function->name)) {
    if (function->data) {
      bytes += function->count * cvimp::packedElementSize(function->name);
      lists += 1;
    } else {
      undecoded += 1;
    }
  }
  for (const cvimp::VrpValue& element : function->values) countDecoded(element, depth + 1, bytes, lists, undecoded);
}

struct FloorRun {
  double seconds = 0;
  cvimp::bench::FloorTotals totals;
};

struct LoaderRun {
  double loadSeconds = 0;
  double prebuildSeconds = 0;
  double seconds() const { return loadSeconds + prebuildSeconds; }
  Usage usage;  // of this run
  std::optional<std::uint64_t> baselineRss;
  std::optional<std::uint64_t> peakRss;
  bool peakReset = false;
  std::uint64_t textBytes = 0;
  std::uint64_t decodedBytes = 0;
  std::uint64_t decodedLists = 0;
  std::uint64_t undecodedLists = 0;
  std::size_t plugins = 0;
};

LoaderRun runLoader(const std::string& mainScene, const std::string& directory) {
  LoaderRun run;
  run.peakReset = resetPeakRss();
  run.baselineRss = statusBytes("VmRSS");
  {
    cvimp::VrpScene scene;
    std::vector<cvimp::VrpPlugin*> ordered;
    const Usage before = usage();
    const auto start = Clock::now();
    const bool loaded = cvimp::loadScene(mainScene, scene, {directory}, true);
    run.loadSeconds = secondsSince(start);
    if (!loaded) throw std::runtime_error("loadScene failed on " + mainScene);
    const auto prebuildStart = Clock::now();
    const bool prebuilt = cvimp::prebuildScene(scene, ordered);
    run.prebuildSeconds = secondsSince(prebuildStart);
    const Usage after = usage();
    if (!prebuilt) throw std::runtime_error("prebuildScene failed on " + mainScene);
    run.usage = {after.userSeconds - before.userSeconds, after.systemSeconds - before.systemSeconds,
                 after.pageFaults - before.pageFaults};
    run.peakRss = statusBytes("VmHWM");

    run.textBytes = scene.keptTextBytes();
    run.plugins = scene.pluginCount();
    for (const cvimp::VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
      for (const auto& attribute : plugin->attributes()) {
        countDecoded(attribute->value, 0, run.decodedBytes, run.decodedLists, run.undecodedLists);
      }
    }
  }
  cvimp::platform::releaseFreeMemory();
  return run;
}

struct ImportRun {
  double seconds = 0;
  Usage usage;  // of this run
  std::optional<std::uint64_t> baselineRss;
  std::optional<std::uint64_t> peakRss;
  bool peakReset = false;
  host::SceneCounts counts;
  std::uint64_t meshBytes = 0;  // held by the host's meshes
  std::size_t journalEntries = 0;
};

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

// One import as the import command runs it: millimetres, meshes and
// materials, no quadrify, into an empty host scene. Everything it made is
// released before returning.
ImportRun runImport(const std::string& mainScene) {
  ImportRun run;
  host::reset();
  cvimp::platform::releaseFreeMemory();
  run.peakReset = resetPeakRss();
  run.baselineRss = statusBytes("VmRSS");
  host::setSystemUnit(host::SystemUnit::Millimeters);
  {
    cvimp::PluginState state;
    state.importMesh = true;
    state.importMaterial = true;
    state.quadrifyMesh = false;
    state.scenePath = WStr::FromACP(mainScene.c_str(), static_cast<std::ptrdiff_t>(mainScene.size()));
    WStr result;
    const Usage before = usage();
    const auto start = Clock::now();
    const bool imported = cvimp::importDesign(state, result);
    run.seconds = secondsSince(start);
    const Usage after = usage();
    run.usage = {after.userSeconds - before.userSeconds, after.systemSeconds - before.systemSeconds,
                 after.pageFaults - before.pageFaults};
    run.peakRss = statusBytes("VmHWM");
    if (!imported) throw std::runtime_error("importDesign failed on " + mainScene + ": " + result.ToACP().str());
  }
  run.counts = host::countScene();
  run.meshBytes = hostMeshBytes();
  run.journalEntries = host::journal().calls().size();
  host::reset();
  cvimp::platform::releaseFreeMemory();
  return run;
}

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: bench_loader MAIN_SCENE\n");
    return 2;
  }
  try {
    // The import's log is a file opened for appending: it would time the
    // disk and grow with every run.
    cvimp::platform::setEnvironmentVariable("CVIMP_LOG_FILENAME", nullptr);
    const fs::path mainPath = argv[1];
    if (!fs::is_regular_file(mainPath)) throw std::runtime_error("no scene file " + mainPath.string());
    const fs::path directory = mainPath.parent_path().empty() ? fs::path(".") : mainPath.parent_path();

    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(directory)) {
      if (entry.is_regular_file() && entry.path().extension() == ".vrscene") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());

    const Usage startUsage = usage();
    const double startBusy = cvimp::platform::machineBusySeconds();
    const auto startTime = Clock::now();

    // ---- decode floor ----
    std::uint64_t fileBytes = 0;
    double readSeconds = 0;
    std::vector<FloorRun> floorRuns;
    {
      std::vector<std::string> texts;
      const auto readStart = Clock::now();
      for (const fs::path& file : files) {
        texts.push_back(readFile(file));
        fileBytes += texts.back().size();
      }
      readSeconds = secondsSince(readStart);

      cvimp::bench::FloorDecoder decoder;
      for (int run = 0; run < kRuns; ++run) {
        FloorRun result;
        const auto start = Clock::now();
        for (const std::string& text : texts) decoder.decodeText(text, result.totals);
        result.seconds = secondsSince(start);
        if (result.totals.failures != 0) {
          throw std::runtime_error(std::to_string(result.totals.failures) + " packed texts did not decode");
        }
        floorRuns.push_back(result);
      }
    }
    cvimp::platform::releaseFreeMemory();

    // ---- loader ----
    std::vector<LoaderRun> loaderRuns;
    for (int run = 0; run < kRuns; ++run) loaderRuns.push_back(runLoader(mainPath.string(), directory.string()));

    // ---- import ----
    std::vector<ImportRun> importRuns;
    for (int run = 0; run < kRuns; ++run) importRuns.push_back(runImport(mainPath.string()));

    const double elapsed = secondsSince(startTime);
    const double othersBusy =
        (cvimp::platform::machineBusySeconds() - startBusy) - (usage().cpuSeconds() - startUsage.cpuSeconds());

    // ---- report ----
    const auto bestFloor = std::min_element(floorRuns.begin(), floorRuns.end(),
                                            [](const auto& a, const auto& b) { return a.seconds < b.seconds; });
    const auto bestLoader = std::min_element(loaderRuns.begin(), loaderRuns.end(),
                                             [](const auto& a, const auto& b) { return a.seconds() < b.seconds(); });
    const cvimp::bench::FloorTotals& floorTotals = bestFloor->totals;
    const std::uint64_t dataBytes = fileBytes + floorTotals.decodedBytes;
    std::optional<std::uint64_t> peak;
    bool peakReset = true;
    std::uint64_t growth = 0;
    for (const LoaderRun& run : loaderRuns) {
      if (run.peakRss) peak = std::max(peak.value_or(0), *run.peakRss);
      if (run.peakRss) growth = std::max(growth, *run.peakRss - std::min(*run.peakRss, run.baselineRss.value_or(0)));
      peakReset = peakReset && run.peakReset;
    }

    std::printf("scene      %s: %zu .vrscene files in its directory, %zu plugins\n", mainPath.string().c_str(),
                files.size(), bestLoader->plugins);
    std::printf("text       %llu bytes (%.1f MB)\n", static_cast<unsigned long long>(fileBytes), megabytes(fileBytes));
    std::printf("decoded    %llu bytes (%.1f MB) in %llu packed lists\n",
                static_cast<unsigned long long>(floorTotals.decodedBytes), megabytes(floorTotals.decodedBytes),
                static_cast<unsigned long long>(floorTotals.packedTexts));
    if (bestLoader->textBytes != fileBytes || bestLoader->decodedBytes != floorTotals.decodedBytes ||
        bestLoader->undecodedLists != 0) {
      std::printf(
          "  note: the loader kept %llu text bytes and decoded %llu bytes in %llu lists (%llu left "
          "undecoded)\n",
          static_cast<unsigned long long>(bestLoader->textBytes),
          static_cast<unsigned long long>(bestLoader->decodedBytes),
          static_cast<unsigned long long>(bestLoader->decodedLists),
          static_cast<unsigned long long>(bestLoader->undecodedLists));
    }
    std::printf("reading    %.3f s for all files (outside the floor's timing)\n", readSeconds);
    std::printf("floor      %.3f s best of %d (", bestFloor->seconds, kRuns);
    for (std::size_t i = 0; i < floorRuns.size(); ++i) std::printf("%s%.3f", i ? ", " : "", floorRuns[i].seconds);
    std::printf("): one thread, Base64 + inflate only\n");
    std::printf("loader     %.3f s best of %d (", bestLoader->seconds(), kRuns);
    for (std::size_t i = 0; i < loaderRuns.size(); ++i) {
      std::printf("%s%.3f", i ? ", " : "", loaderRuns[i].seconds());
    }
    std::printf("): loadScene + prebuildScene, %u hardware threads\n", std::thread::hardware_concurrency());
    std::printf("           best run: load (read + parse) %.3f s, prebuild (walk + decode) %.3f s;\n",
                bestLoader->loadSeconds, bestLoader->prebuildSeconds);
    const Usage& cpu = bestLoader->usage;
    std::printf("           CPU %.3f s user + %.3f s system (%.2f threads busy on average), %ld page faults\n",
                cpu.userSeconds, cpu.systemSeconds, cpu.cpuSeconds() / bestLoader->seconds(), cpu.pageFaults);
    const double ratio = bestLoader->seconds() / bestFloor->seconds;
    std::printf("ratio      %.3f loader / floor (goal: at most %.2f) %s\n", ratio, kRatioGoal,
                verdict(ratio <= kRatioGoal));
    if (othersBusy > 0.1 * elapsed) {
      std::printf("note       other processes kept %.2f cores busy during the runs: the ratios are pessimistic\n",
                  othersBusy / elapsed);
    }
    if (peak) {
      // What a run adds to the resident set it starts from: the program and
      // its libraries (the plug-in's, the browser engine's) are no part of it.
      const double memory = static_cast<double>(growth) / static_cast<double>(dataBytes);
      std::printf("peak RSS   %.1f MB, max over loader runs (baseline before a run %.1f MB; %.3f x with it)\n",
                  megabytes(*peak), megabytes(loaderRuns.front().baselineRss.value_or(0)),
                  static_cast<double>(*peak) / static_cast<double>(dataBytes));
      std::printf("memory     %.3f x (text + decoded) above the baseline (goal: at most %.2f) %s%s\n", memory,
                  kMemoryGoal, verdict(memory <= kMemoryGoal),
                  peakReset ? "" : " [peak not reset: /proc/self/clear_refs not writable]");
    } else {
      std::printf("memory     unknown: no VmHWM in /proc/self/status\n");
    }

    const auto bestImport = std::min_element(importRuns.begin(), importRuns.end(),
                                             [](const auto& a, const auto& b) { return a.seconds < b.seconds; });
    std::printf("import     %.3f s best of %d (", bestImport->seconds, kRuns);
    for (std::size_t i = 0; i < importRuns.size(); ++i) std::printf("%s%.3f", i ? ", " : "", importRuns[i].seconds);
    std::printf("): importDesign into an empty host scene, mm, meshes + materials, no quadrify\n");
    const host::SceneCounts& counts = bestImport->counts;
    std::printf(
        "           host scene: %zu nodes, %zu objects, %zu triangles, %zu materials, %zu maps "
        "(%zu bitmaps loaded)\n",
        counts.nodes, counts.objects, counts.triangles, counts.materials, counts.maps, counts.bitmaps);
    std::printf("           host meshes hold %.1f MB; %zu journal entries\n", megabytes(bestImport->meshBytes),
                bestImport->journalEntries);
    std::printf("           best run: conversion after load + prebuild about %.3f s (import less best loader)\n",
                bestImport->seconds - bestLoader->seconds());
    const Usage& importCpu = bestImport->usage;
    std::printf("           CPU %.3f s user + %.3f s system (%.2f threads busy on average), %ld page faults\n",
                importCpu.userSeconds, importCpu.systemSeconds, importCpu.cpuSeconds() / bestImport->seconds,
                importCpu.pageFaults);
    const double importRatio = bestImport->seconds / bestFloor->seconds;
    std::printf("ratio      %.3f import / floor (goal: at most %.2f) %s\n", importRatio, kImportRatioGoal,
                verdict(importRatio <= kImportRatioGoal));
    std::optional<std::uint64_t> importPeak;
    bool importPeakReset = true;
    std::uint64_t importGrowth = 0;
    for (const ImportRun& run : importRuns) {
      if (run.peakRss) importPeak = std::max(importPeak.value_or(0), *run.peakRss);
      if (run.peakRss)
        importGrowth = std::max(importGrowth, *run.peakRss - std::min(*run.peakRss, run.baselineRss.value_or(0)));
      importPeakReset = importPeakReset && run.peakReset;
    }
    if (importPeak) {
      const double memory = static_cast<double>(importGrowth) / static_cast<double>(dataBytes);
      std::printf("peak RSS   %.1f MB, max over import runs (baseline before a run %.1f MB; %.3f x with it)\n",
                  megabytes(*importPeak), megabytes(importRuns.front().baselineRss.value_or(0)),
                  static_cast<double>(*importPeak) / static_cast<double>(dataBytes));
      std::printf("memory     %.3f x (text + decoded) for the import above the baseline (goal: at most %.2f) %s%s\n",
                  memory, kImportMemoryGoal, verdict(memory <= kImportMemoryGoal),
                  importPeakReset ? "" : " [peak not reset: /proc/self/clear_refs not writable]");
    } else {
      std::printf("memory     unknown for the import: no VmHWM in /proc/self/status\n");
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_loader: %s\n", error.what());
    return 1;
  }
  return 0;
}
