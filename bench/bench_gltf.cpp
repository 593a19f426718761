// The glTF writer against the import: imports a design into an empty host
// scene, then writes the host scene as .glb, three times, and prints the
// best seconds of each, their ratio (goal: writing at most 0.5 x the
// import) and how much the write adds to the peak resident memory against
// the largest mesh (goal: at most its size, the writer holding one mesh at a
// time).
//   bench_gltf SCENE OUT.glb
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>

#include "bench/peak_memory.h"
#include "builder/builder.h"
#include "gltf/gltf.h"
#include "host/stand_in.h"
#include "platform/platform.h"
#include "state/plugin_state.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The largest mesh: as the host holds it (vertices, faces, specified
// normals, mapping channels, counted as the loader benchmark counts them),
// and the bytes its vertex data and indices take in the .glb when its
// vertices serve as they are.
struct MeshSize {
  std::uint64_t host = 0;
  std::uint64_t gltf = 0;
};

MeshSize largestMesh() {
  MeshSize largest;
  for (const auto& object : host::scene().objects()) {
    if (object->ClassID() != TRIOBJ_CLASS_ID) continue;
    const Mesh& mesh = static_cast<TriObject&>(*object).GetMesh();
    std::uint64_t bytes = static_cast<std::uint64_t>(mesh.getNumVerts()) * sizeof(Point3) +
                          static_cast<std::uint64_t>(mesh.getNumFaces()) * sizeof(Face);
    std::uint64_t perVertex = 12;
    if (const MeshNormalSpec* normals = mesh.GetSpecifiedNormals()) {
      bytes += static_cast<std::uint64_t>(normals->GetNumNormals()) * (sizeof(Point3) + 1) +
               static_cast<std::uint64_t>(normals->GetNumFaces()) * sizeof(MeshNormalFace);
      perVertex += 12;
    }
    for (int channel = -NUM_HIDDENMAPS; channel < mesh.getNumMaps(); ++channel) {
      if (const MeshMap* map = mesh.findMap(channel)) {
        bytes += static_cast<std::uint64_t>(map->getNumVerts()) * sizeof(UVVert) +
                 static_cast<std::uint64_t>(map->getNumFaces()) * sizeof(TVFace);
        if (channel >= 1 && map->IsUsed()) perVertex += 8;
      }
    }
    if (bytes > largest.host) {
      largest = {bytes, static_cast<std::uint64_t>(mesh.getNumVerts()) * perVertex +
                            static_cast<std::uint64_t>(mesh.getNumFaces()) * 12};
    }
  }
  return largest;
}

struct Run {
  double importSeconds = 0;
  double writeSeconds = 0;
  std::uint64_t writeGrowth = 0;
  MeshSize largestMesh;
  std::uint64_t fileBytes = 0;
  std::size_t triangles = 0;
};

bool runOnce(const std::string& scene, const std::string& out, Run& run) {
  host::reset();
  cvimp::platform::releaseFreeMemory();
  host::setSystemUnit(host::SystemUnit::Millimeters);
  cvimp::PluginState state;
  state.scenePath = WStr::FromUTF8(scene.c_str(), static_cast<std::ptrdiff_t>(scene.size()));
  WStr result;
  auto start = Clock::now();
  if (!cvimp::importDesign(state, result)) {
    std::fprintf(stderr, "bench_gltf: import of %s: %s\n", scene.c_str(), result.ToUTF8().data());
    return false;
  }
  run.importSeconds = secondsSince(start);
  run.triangles = host::countScene().triangles;
  run.largestMesh = largestMesh();

  cvimp::platform::releaseFreeMemory();
  cvimp::bench::PeakMemory memory = cvimp::bench::startPeak();
  cvimp::Report report;
  std::string error;
  start = Clock::now();
  if (!cvimp::writeSceneGlb(out, report, error)) {
    std::fprintf(stderr, "bench_gltf: %s\n", error.c_str());
    return false;
  }
  run.writeSeconds = secondsSince(start);
  cvimp::bench::endPeak(memory);
  run.writeGrowth = memory.growth();
  std::ifstream file(out, std::ios::binary | std::ios::ate);
  run.fileBytes = static_cast<std::uint64_t>(file.tellg());
  host::reset();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_gltf SCENE OUT.glb\n");
    return 2;
  }
  host::setProgressOnTerminal(false);
  Run best;
  for (int i = 0; i < 3; ++i) {
    Run run;
    if (!runOnce(argv[1], argv[2], run)) return 1;
    if (i == 0 || run.importSeconds < best.importSeconds) best.importSeconds = run.importSeconds;
    if (i == 0 || run.writeSeconds < best.writeSeconds) best.writeSeconds = run.writeSeconds;
    best.writeGrowth = std::max(best.writeGrowth, run.writeGrowth);
    best.largestMesh = run.largestMesh;
    best.fileBytes = run.fileBytes;
    best.triangles = run.triangles;
  }
  const double mb = 1024.0 * 1024.0;
  std::printf("glTF: %zu triangles, %.1f MB of .glb\n", best.triangles, static_cast<double>(best.fileBytes) / mb);
  std::printf("import     %.3f s (best of 3)\n", best.importSeconds);
  std::printf("glTF write %.3f s (best of 3)\n", best.writeSeconds);
  std::printf("ratio write / import: %.2f (goal 0.50: %s)\n", best.writeSeconds / best.importSeconds,
              best.writeSeconds <= 0.5 * best.importSeconds ? "met" : "not met");
  const MeshSize& largest = best.largestMesh;
  std::printf("peak memory the write adds: %.1f MB; largest mesh %.1f MB in the host (%.2f x: goal 1.0 %s), "
              "%.1f MB as glTF (%.2f x)\n",
              static_cast<double>(best.writeGrowth) / mb, static_cast<double>(largest.host) / mb,
              static_cast<double>(best.writeGrowth) / static_cast<double>(std::max<std::uint64_t>(largest.host, 1)),
              best.writeGrowth <= largest.host ? "met" : "not met", static_cast<double>(largest.gltf) / mb,
              static_cast<double>(best.writeGrowth) / static_cast<double>(std::max<std::uint64_t>(largest.gltf, 1)));
  return 0;
}
