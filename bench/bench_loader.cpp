// Times the scene reader and the import as whole programs (`cvimp inspect`,
// `cvimp import`) and inside this process, against the decode floor (the
// bare Base64 + inflate of a design's packed lists on one thread), and
// measures their peak resident memory against the size of text and decoded
// data; on larger designs, how both grow per MB of text. Checks that the
// reader gives the same document on one thread as on two. All figures come
// from one run of this program and are reported next to their goals; only a
// step or program that fails, or a document that changes with the number of
// threads, is an error.
//
//   bench_loader MAIN_SCENE [--cvimp PROGRAM] [--one-file SCENE]
//                [--scale FACTOR SCENE]... [--runs N] [--scaling-runs N]
//                [--windows PROGRAM.exe WINE_RUN WINE_PREFIX]
//
// MAIN_SCENE is the design at 1x in the room layout, --one-file the same
// design with all geometry in one file, --scale the design grown FACTOR
// times. Without --cvimp only the floor and the in-process runs are timed.
// --windows adds the Windows build's cvimp.exe on the 1x design, run under
// Wine through the WINE_RUN script in WINE_PREFIX, against --cvimp: Wine is
// not Windows, so the ratio is a sanity check (the assembly inflater and the
// parallel loops are in that build), not a Windows figure.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "bench/document_digest.h"
#include "bench/in_process.h"
#include "bench/packed_floor.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace {

using cvimp::bench::DocumentDigest;
using cvimp::platform::ProgramRun;

constexpr double kInspectRatioGoal = 0.35;
constexpr double kInspectMemoryGoal = 1.10;
constexpr double kImportRatioGoal = 0.60;
constexpr double kImportMemoryGoal = 1.6;
constexpr double kGrowthGoal = 0.10;  // per MB of text, from 1x to the largest design

double megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

const char* verdict(bool met) { return met ? "met" : "MISSED"; }

// Every goal's line, printed again together at the end.
struct Goals {
  std::vector<std::string> lines;
  void add(const std::string& design, const char* format, double value, double goal, bool met) {
    char text[200];
    std::snprintf(text, sizeof text, format, value, goal);
    lines.push_back(design + ": " + text + " " + verdict(met));
  }
};

struct Samples {
  std::vector<double> values;

  void add(double value) { values.push_back(value); }
  bool empty() const { return values.empty(); }
  std::size_t size() const { return values.size(); }
  double median() const {
    if (values.empty()) return 0;
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const std::size_t middle = sorted.size() / 2;
    return sorted.size() % 2 == 1 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
  }
  double max() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
  double min() const { return values.empty() ? 0 : *std::min_element(values.begin(), values.end()); }
  // "0.123 s median of 5 (0.120, 0.123, ...)", the runs in the order they ran.
  std::string described() const {
    char text[64];
    std::snprintf(text, sizeof text, "%.3f s median of %zu (", median(), values.size());
    std::string out = text;
    for (std::size_t i = 0; i < values.size(); ++i) {
      std::snprintf(text, sizeof text, "%s%.3f", i ? ", " : "", values[i]);
      out += text;
    }
    return out + ")";
  }
};

struct ProgramFigures {
  Samples seconds;
  Samples peakBytes;
  Samples cpuSeconds;
  int failures = 0;
  int failedStatus = 0;
};

// What the runs of one design gave.
struct DesignResult {
  std::string label;
  std::string layout;
  double scale = 1;
  std::string mainScene;
  std::size_t files = 0;
  std::uint64_t textBytes = 0;
  std::uint64_t decodedBytes = 0;  // the floor's count, else the reader's
  std::uint64_t packedLists = 0;
  std::size_t plugins = 0;
  DocumentDigest oneThread;
  DocumentDigest twoThreads;
  double oneThreadSeconds = 0;
  double twoThreadsSeconds = 0;
  Samples floor;
  double limitSeconds = -1;  // the reader's decoding alone, two threads, warm buffers
  std::vector<cvimp::bench::LoaderRun> loader;
  std::vector<cvimp::bench::ImportRun> imports;
  ProgramFigures inspect;
  ProgramFigures import;
  ProgramFigures windowsInspect;  // the Windows build under Wine
  ProgramFigures windowsImport;

  double dataBytes() const { return static_cast<double>(textBytes + decodedBytes); }
  double textMegabytes() const { return megabytes(textBytes); }
  bool digestsEqual() const { return oneThread == twoThreads; }
};

struct Plan {
  bool floor = true;
  bool inProcess = true;
  int runs = 5;
  bool windows = false;
};

struct Options {
  std::string mainScene;
  std::string cvimp;
  std::string oneFile;
  std::vector<std::pair<double, std::string>> scaled;
  std::string windowsCvimp;
  std::string wineRun;
  std::string winePrefix;
  int runs = 5;
  int scalingRuns = 0;  // 0: as many as runs
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<fs::path> sceneFiles(const std::string& mainScene) {
  const fs::path main = mainScene;
  if (!fs::is_regular_file(main)) throw std::runtime_error("no scene file " + mainScene);
  const fs::path directory = main.parent_path().empty() ? fs::path(".") : main.parent_path();
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.is_regular_file() && entry.path().extension() == ".vrscene") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The file as a Windows program under Wine names it: Wine's Z: drive is the
// root of the file system.
std::string windowsPath(const std::string& path) {
  std::string name = "Z:" + fs::absolute(path).string();
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

void runProgram(cvimp::platform::ProgramRunner& runner, const std::string& cvimp,
                const std::vector<std::string>& arguments, ProgramFigures& figures) {
  const ProgramRun run = runner.run(cvimp, arguments);
  if (!run.started || run.exitStatus != 0) {
    figures.failures += 1;
    figures.failedStatus = run.started ? run.exitStatus : -1;
    return;
  }
  figures.seconds.add(run.wallSeconds);
  figures.peakBytes.add(static_cast<double>(run.peakResidentBytes));
  figures.cpuSeconds.add(run.userSeconds + run.systemSeconds);
}

// Every run of a design, interleaved (floor, reader, import, programs, then
// again), so that a change in the machine's load falls on all of them alike.
DesignResult measureDesign(cvimp::platform::ProgramRunner& runner, const Options& options, const Plan& plan,
                           std::string label, std::string layout, double scale, const std::string& mainScene) {
  DesignResult result;
  result.label = std::move(label);
  result.layout = std::move(layout);
  result.scale = scale;
  result.mainScene = mainScene;
  const std::vector<fs::path> files = sceneFiles(mainScene);
  result.files = files.size();

  result.oneThread = cvimp::bench::loadAndDigest(mainScene, 1, result.oneThreadSeconds);
  result.twoThreads = cvimp::bench::loadAndDigest(mainScene, 2, result.twoThreadsSeconds);
  result.plugins = result.oneThread.plugins;
  result.decodedBytes = result.oneThread.decodedBytes;
  result.packedLists = result.oneThread.decodedLists;

  for (const fs::path& file : files) result.textBytes += fs::file_size(file);
  if (plan.floor) {
    std::vector<std::string> texts;
    for (const fs::path& file : files) texts.push_back(readFile(file));
    result.limitSeconds = cvimp::bench::warmDecodeSeconds(texts, 2, 3);
  }
  cvimp::bench::FloorDecoder decoder;
  for (int run = 0; run < plan.runs; ++run) {
    if (plan.floor) {
      // Read again for every run, outside the timing, and let go before the
      // other runs: they start from what this process holds.
      std::vector<std::string> texts;
      for (const fs::path& file : files) texts.push_back(readFile(file));
      cvimp::bench::FloorTotals totals;
      const auto start = std::chrono::steady_clock::now();
      for (const std::string& text : texts) decoder.decodeText(text, totals);
      result.floor.add(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
      if (totals.failures != 0)
        throw std::runtime_error(std::to_string(totals.failures) + " packed texts did not decode");
      result.decodedBytes = totals.decodedBytes;
      result.packedLists = totals.packedTexts;
    }
    if (plan.inProcess) {
      result.loader.push_back(cvimp::bench::runLoader(mainScene));
      result.imports.push_back(cvimp::bench::runImport(mainScene));
    }
    if (!options.cvimp.empty()) {
      runProgram(runner, options.cvimp, {"inspect", mainScene}, result.inspect);
      runProgram(runner, options.cvimp, {"import", mainScene, "--unit", "mm"}, result.import);
    }
    if (plan.windows && !options.windowsCvimp.empty()) {
      const std::string scene = windowsPath(mainScene);
      runProgram(runner, options.wineRun, {options.winePrefix, options.windowsCvimp, "inspect", scene},
                 result.windowsInspect);
      runProgram(runner, options.wineRun, {options.winePrefix, options.windowsCvimp, "import", scene, "--unit", "mm"},
                 result.windowsImport);
    }
  }
  return result;
}

template <typename Run, typename Seconds>
Samples samplesOf(const std::vector<Run>& runs, Seconds seconds) {
  Samples samples;
  for (const Run& run : runs) samples.add(seconds(run));
  return samples;
}

// Largest growth a run added, over the data size; notes when the mark could not be restarted.
template <typename Run>
std::string memoryAdded(const std::vector<Run>& runs, double dataBytes) {
  std::uint64_t growth = 0;
  bool reset = true;
  for (const Run& run : runs) {
    growth = std::max(growth, run.memory.growth());
    reset = reset && run.memory.reset;
  }
  char text[160];
  std::snprintf(text, sizeof text, "adds %.3f x (text + decoded) at its peak (%.1f MB over a %.1f MB start)%s",
                static_cast<double>(growth) / dataBytes, megabytes(growth),
                megabytes(runs.front().memory.baseline.value_or(0)),
                reset ? "" : " [peak not restarted: /proc/self/clear_refs not writable]");
  return text;
}

void reportProgram(const char* name, const ProgramFigures& figures, const DesignResult& design, double ratioGoal,
                   double memoryGoal, Goals* goals) {
  const std::string who = design.label + " " + design.layout + ", " + name;
  std::printf("%-11s %s: whole program\n", name, figures.seconds.described().c_str());
  if (figures.failures > 0) {
    std::printf("            FAILED %d of its runs (exit status %d)\n", figures.failures, figures.failedStatus);
  }
  if (figures.seconds.empty()) return;
  std::printf(
      "            CPU %.3f s median (%.2f threads busy); peak RSS %.1f MB, the largest of %zu runs (least %.1f)\n",
      figures.cpuSeconds.median(), figures.cpuSeconds.median() / figures.seconds.median(),
      megabytes(static_cast<std::uint64_t>(figures.peakBytes.max())), figures.peakBytes.size(),
      megabytes(static_cast<std::uint64_t>(figures.peakBytes.min())));
  if (!design.floor.empty()) {
    const double ratio = figures.seconds.median() / design.floor.median();
    if (goals == nullptr) {
      std::printf("            ratio %.3f x floor, medians\n", ratio);
    } else {
      std::printf("            ratio %.3f x floor, medians (goal: at most %.2f) %s\n", ratio, ratioGoal,
                  verdict(ratio <= ratioGoal));
      goals->add(who, "%.3f x floor (at most %.2f)", ratio, ratioGoal, ratio <= ratioGoal);
    }
  }
  const double memory = figures.peakBytes.max() / design.dataBytes();
  if (goals == nullptr) {
    std::printf("            memory %.3f x (text + decoded) at peak\n", memory);
    return;
  }
  std::printf("            memory %.3f x (text + decoded) at peak (goal: at most %.2f) %s\n", memory, memoryGoal,
              verdict(memory <= memoryGoal));
  goals->add(who, "peak %.3f x (text + decoded) (at most %.2f)", memory, memoryGoal, memory <= memoryGoal);
}

void reportDesign(const DesignResult& d, Goals& goals) {
  std::printf("\n== %s, %s: %s\n", d.label.c_str(), d.layout.c_str(), d.mainScene.c_str());
  std::printf("scene       %zu files, %.1f MB of text; %zu plugins; %.1f MB decoded in %llu packed lists\n", d.files,
              d.textMegabytes(), d.plugins, megabytes(d.decodedBytes), static_cast<unsigned long long>(d.packedLists));
  if (d.oneThread.decodedBytes != d.decodedBytes || d.oneThread.undecodedLists != 0) {
    std::printf("  note: the reader decoded %.1f MB in %llu lists (%llu left undecoded)\n",
                megabytes(d.oneThread.decodedBytes), static_cast<unsigned long long>(d.oneThread.decodedLists),
                static_cast<unsigned long long>(d.oneThread.undecodedLists));
  }
  std::printf("digest      one thread %s, two threads %s: %s (loads of %.3f s and %.3f s)\n", d.oneThread.hex().c_str(),
              d.twoThreads.hex().c_str(), d.digestsEqual() ? "equal" : "DIFFERENT", d.oneThreadSeconds,
              d.twoThreadsSeconds);
  if (!d.floor.empty()) {
    std::printf("floor       %s: one thread, zlib, Base64 + inflate only\n", d.floor.described().c_str());
    if (d.limitSeconds > 0) {
      std::printf(
          "limit       %.3f s best of 3, %.3f x floor: the reader's own decoding alone (AVX2 Base64, ISA-L), "
          "2 threads, into warm buffers\n",
          d.limitSeconds, d.limitSeconds / d.floor.median());
    }
  }
  if (!d.loader.empty()) {
    const Samples loader = samplesOf(d.loader, [](const auto& run) { return run.seconds(); });
    std::printf("in-process  loadScene + prebuildScene %s\n", loader.described().c_str());
    std::printf("            %.3f x floor; %s\n", loader.median() / d.floor.median(),
                memoryAdded(d.loader, d.dataBytes()).c_str());
    if (d.loader.front().textBytes != d.textBytes) {
      std::printf("  note: the reader kept %llu text bytes of the directory's %llu\n",
                  static_cast<unsigned long long>(d.loader.front().textBytes),
                  static_cast<unsigned long long>(d.textBytes));
    }
    const Samples imports = samplesOf(d.imports, [](const auto& run) { return run.seconds; });
    std::printf("            importDesign (mm, meshes + materials, no quadrify) %s\n", imports.described().c_str());
    std::printf("            %.3f x floor; %s\n", imports.median() / d.floor.median(),
                memoryAdded(d.imports, d.dataBytes()).c_str());
    const auto& last = d.imports.back();
    std::printf(
        "            host scene: %zu nodes, %zu objects, %zu triangles, %zu materials, %zu maps; meshes %.1f MB\n",
        last.counts.nodes, last.counts.objects, last.counts.triangles, last.counts.materials, last.counts.maps,
        megabytes(last.meshBytes));
  }
  if (!d.inspect.seconds.empty() || d.inspect.failures > 0) {
    // Goals on the whole programs hold at 1x; larger designs are judged by growth.
    Goals* judged = d.scale == 1 ? &goals : nullptr;
    reportProgram("inspect", d.inspect, d, kInspectRatioGoal, kInspectMemoryGoal, judged);
    reportProgram("import", d.import, d, kImportRatioGoal, kImportMemoryGoal, judged);
  }
  if (!d.windowsInspect.seconds.empty() || d.windowsInspect.failures > 0) {
    std::printf("Windows build, cvimp.exe under Wine (a sanity check, not Windows' figures):\n");
    for (const auto& [name, windows, native] : {std::tuple("inspect.exe", &d.windowsInspect, &d.inspect),
                                                std::tuple("import.exe", &d.windowsImport, &d.import)}) {
      reportProgram(name, *windows, d, 0, 0, nullptr);
      if (!windows->seconds.empty() && !native->seconds.empty()) {
        std::printf("            %.3f x the Linux build's, medians\n",
                    windows->seconds.median() / native->seconds.median());
      }
    }
  }
  std::fflush(stdout);
}

double growth(double first, double last) { return first > 0 ? last / first - 1 : 0; }

// Seconds and peak memory per MB of text, for each size; the goal is on the
// growth from the smallest to the largest.
void reportScaling(const std::vector<const DesignResult*>& rows, int runs, Goals& goals) {
  std::printf(
      "\n== growth with the design's size: whole programs, room layout, per MB of text; medians of %d runs at 1x, "
      "%d above; peaks the largest of those runs\n",
      static_cast<int>(rows.front()->floor.size()), runs);
  std::printf("%-5s %6s %8s %8s %10s | %11s %11s %11s | %13s %13s\n", "size", "files", "plugins", "text MB",
              "decoded MB", "floor s/MB", "inspect s/MB", "import s/MB", "inspect MB/MB", "import MB/MB");
  struct PerMegabyte {
    double floor, inspect, import, inspectMemory, importMemory;
  };
  std::vector<PerMegabyte> values;
  for (const DesignResult* d : rows) {
    const double text = d->textMegabytes();
    const PerMegabyte v{d->floor.median() / text, d->inspect.seconds.median() / text, d->import.seconds.median() / text,
                        megabytes(static_cast<std::uint64_t>(d->inspect.peakBytes.max())) / text,
                        megabytes(static_cast<std::uint64_t>(d->import.peakBytes.max())) / text};
    values.push_back(v);
    std::printf("%-5s %6zu %8zu %8.1f %10.1f | %11.5f %11.5f %11.5f | %13.3f %13.3f\n", d->label.c_str(), d->files,
                d->plugins, text, megabytes(d->decodedBytes), v.floor, v.inspect, v.import, v.inspectMemory,
                v.importMemory);
  }
  const PerMegabyte& first = values.front();
  const PerMegabyte& last = values.back();
  const std::string span = rows.front()->label + " to " + rows.back()->label;
  std::printf("%-5s %6s %8s %8s %10s | %+10.1f%% %+10.1f%% %+10.1f%% | %+12.1f%% %+12.1f%%\n", "growth", "", "", "", "",
              100 * growth(first.floor, last.floor), 100 * growth(first.inspect, last.inspect),
              100 * growth(first.import, last.import), 100 * growth(first.inspectMemory, last.inspectMemory),
              100 * growth(first.importMemory, last.importMemory));
  auto goal = [&](const char* what, double from, double to) {
    const double g = growth(from, to);
    std::printf("%-34s %+6.1f %% from %s (goal: at most +%.0f %%) %s\n", what, 100 * g, span.c_str(), 100 * kGrowthGoal,
                verdict(g <= kGrowthGoal));
    goals.add(span + ", " + what, "%+.1f %% (at most +%.0f %%)", 100 * g, 100 * kGrowthGoal, g <= kGrowthGoal);
  };
  goal("inspect seconds per MB of text", first.inspect, last.inspect);
  goal("inspect peak MB per MB of text", first.inspectMemory, last.inspectMemory);
  goal("import seconds per MB of text", first.import, last.import);
  goal("import peak MB per MB of text", first.importMemory, last.importMemory);
}

void usage() {
  std::fprintf(stderr,
               "usage: bench_loader MAIN_SCENE [--cvimp PROGRAM] [--one-file SCENE] [--scale FACTOR SCENE]... "
               "[--runs N] [--scaling-runs N] [--windows PROGRAM.exe WINE_RUN WINE_PREFIX]\n");
}

bool parseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view flag = argv[i];
    auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    if (!flag.starts_with("--")) {
      if (!options.mainScene.empty()) return false;
      options.mainScene = argv[i];
    } else if (flag == "--cvimp" || flag == "--one-file" || flag == "--runs" || flag == "--scaling-runs") {
      const char* value = next();
      if (value == nullptr) return false;
      if (flag == "--cvimp") options.cvimp = value;
      if (flag == "--one-file") options.oneFile = value;
      if (flag == "--runs") options.runs = std::atoi(value);
      if (flag == "--scaling-runs") options.scalingRuns = std::atoi(value);
    } else if (flag == "--windows") {
      const char* program = next();
      const char* wineRun = next();
      const char* prefix = next();
      if (program == nullptr || wineRun == nullptr || prefix == nullptr) return false;
      options.windowsCvimp = program;
      options.wineRun = wineRun;
      options.winePrefix = prefix;
    } else if (flag == "--scale") {
      const char* factor = next();
      const char* scene = next();
      if (factor == nullptr || scene == nullptr || !(std::atof(factor) > 1)) return false;
      options.scaled.emplace_back(std::atof(factor), scene);
    } else {
      return false;
    }
  }
  if (options.scalingRuns == 0) options.scalingRuns = options.runs;
  return !options.mainScene.empty() && options.runs > 0 && options.scalingRuns > 0;
}

std::string scaleLabel(double scale) {
  char text[16];
  std::snprintf(text, sizeof text, "%gx", scale);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  // The import's log is a file opened for appending: it would time the disk
  // and grow with every run. Unset before the runner copies the environment.
  cvimp::platform::setEnvironmentVariable("CVIMP_LOG_FILENAME", nullptr);
  cvimp::platform::ProgramRunner runner;

  Options options;
  if (!parseOptions(argc, argv, options)) {
    usage();
    return 2;
  }
  int status = 0;
  try {
    if (!options.cvimp.empty() && !runner.ready()) throw std::runtime_error("cannot start the program runner");
    const cvimp::platform::ProcessUsage startUsage = cvimp::platform::processUsage();
    const double startBusy = cvimp::platform::machineBusySeconds();
    const auto startTime = std::chrono::steady_clock::now();
    double childSeconds = 0;

    std::printf("machine     %u hardware threads; medians of %d runs at 1x, %d for larger designs\n",
                std::thread::hardware_concurrency(), options.runs, options.scalingRuns);
    if (!options.cvimp.empty()) {
      // A scene that does not exist: the program's own start, libraries and all.
      const ProgramRun empty = runner.run(options.cvimp, {"inspect", "/nonexistent/scene.vrscene"});
      std::printf("program     %s; its resident set on a missing scene %.1f MB (in every peak below)\n",
                  options.cvimp.c_str(), megabytes(empty.peakResidentBytes));
      childSeconds += empty.userSeconds + empty.systemSeconds;
    }

    Goals goals;
    std::vector<DesignResult> results;
    const Plan full{true, true, options.runs};
    Plan withWindows = full;
    withWindows.windows = true;
    results.push_back(measureDesign(runner, options, withWindows, "1x", "room layout", 1, options.mainScene));
    reportDesign(results.back(), goals);
    if (!options.oneFile.empty()) {
      results.push_back(measureDesign(runner, options, full, "1x", "all geometry in one file", 1, options.oneFile));
      reportDesign(results.back(), goals);
    }
    for (const auto& [scale, scene] : options.scaled) {
      const Plan programs{true, false, options.scalingRuns};
      results.push_back(measureDesign(runner, options, programs, scaleLabel(scale), "room layout", scale, scene));
      reportDesign(results.back(), goals);
    }

    for (const DesignResult& d : results) {
      for (const ProgramFigures* figures : {&d.inspect, &d.import, &d.windowsInspect, &d.windowsImport}) {
        for (double cpu : figures->cpuSeconds.values) childSeconds += cpu;
        if (figures->failures > 0) status = 1;
      }
      if (!d.digestsEqual()) status = 1;
    }

    if (!options.cvimp.empty() && !options.scaled.empty()) {
      std::vector<const DesignResult*> rows{&results.front()};
      for (const DesignResult& d : results) {
        if (d.scale > 1) rows.push_back(&d);
      }
      reportScaling(rows, options.scalingRuns, goals);
    }
    std::printf("\n== goals\n");
    for (const std::string& line : goals.lines) std::printf("%s\n", line.c_str());

    std::printf("\n");
    bool digestsEqual = true;
    for (const DesignResult& d : results) digestsEqual = digestsEqual && d.digestsEqual();
    std::printf("documents   %s\n", digestsEqual ? "the same on one thread as on two, on every design"
                                                 : "DIFFERENT on one thread and on two: the parallel reader changed "
                                                   "the document");
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - startTime).count();
    const double ownSeconds = cvimp::platform::processUsage().cpuSeconds() - startUsage.cpuSeconds();
    const double othersBusy = (cvimp::platform::machineBusySeconds() - startBusy) - ownSeconds - childSeconds;
    std::printf("elapsed     %.1f s; other processes kept %.2f cores busy on average%s\n", elapsed,
                std::max(0.0, othersBusy) / elapsed, othersBusy > 0.1 * elapsed ? ": the ratios are pessimistic" : "");
  } catch (const std::exception& error) {
    std::fflush(stdout);
    std::fprintf(stderr, "bench_loader: %s\n", error.what());
    return 1;
  }
  return status;
}
