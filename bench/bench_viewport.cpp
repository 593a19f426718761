// The viewport against the import: imports a design into an empty host
// scene, uploads it to the GPU (Mesa's software renderer, no window
// system) and draws frames of it, three times, and prints the best import
// and upload seconds, their ratio (goal: the upload at most 0.5 x the
// import) and the median frame (goal: under 1 s), shaded and with edged
// faces, and the first of each, which decodes the maps and works out the
// edges.
//   bench_viewport SCENE [WIDTHxHEIGHT]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "bench/in_process.h"
#include "host/stand_in.h"
#include "maxhost/viewport/offscreen.h"
#include "maxhost/viewport/scene_renderer.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Run {
  double importSeconds = 0;
  double uploadSeconds = 0;
  maxhost::viewport::UploadStats upload;
  std::vector<double> frames, edgedFrames;
  double first = 0, firstEdged = 0;
};

bool runOnce(const std::string& scene, maxhost::viewport::SceneRenderer& renderer, int width, int height, Run& run) {
  try {
    run.importSeconds = cvimp::bench::runImport(scene, true).seconds;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_viewport: %s\n", error.what());
    return false;
  }
  auto start = Clock::now();
  run.upload = renderer.sync();
  renderer.finish();
  run.uploadSeconds = secondsSince(start);

  std::vector<unsigned char> rgba;
  std::string error;
  for (const bool edged : {false, true}) {
    host::setEdgedFaces(edged);
    for (int i = 0; i < 3; ++i) {
      start = Clock::now();
      // Reading the picture back waits for the whole frame.
      if (!renderer.image(width, height, host::viewport(), rgba, error)) {
        std::fprintf(stderr, "bench_viewport: %s\n", error.c_str());
        return false;
      }
      // The first of each works out what it draws the first time: the
      // maps' images, then the edges.
      const double seconds = secondsSince(start);
      if (i == 0) {
        (edged ? run.firstEdged : run.first) = seconds;
      } else {
        (edged ? run.edgedFrames : run.frames).push_back(seconds);
      }
    }
  }
  host::reset();
  renderer.sync();  // lets go of the design's buffers
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: bench_viewport SCENE [WIDTHxHEIGHT]\n");
    return 2;
  }
  int width = 1280, height = 720;
  if (argc == 3 && std::sscanf(argv[2], "%dx%d", &width, &height) != 2) {
    std::fprintf(stderr, "bench_viewport: not a size: %s\n", argv[2]);
    return 2;
  }
  host::setProgressOnTerminal(false);
  maxhost::viewport::OffscreenViewport offscreen;
  std::string error;
  maxhost::viewport::SceneRenderer* renderer = offscreen.renderer(error);
  if (renderer == nullptr) {
    std::fprintf(stderr, "bench_viewport: %s\n", error.c_str());
    return 1;
  }
  Run best;
  std::vector<double> frames, edgedFrames;
  for (int i = 0; i < 3; ++i) {
    Run run;
    if (!runOnce(argv[1], *renderer, width, height, run)) return 1;
    if (i == 0 || run.importSeconds < best.importSeconds) best.importSeconds = run.importSeconds;
    if (i == 0 || run.uploadSeconds < best.uploadSeconds) best.uploadSeconds = run.uploadSeconds;
    if (i == 0 || run.first < best.first) best.first = run.first;
    if (i == 0 || run.firstEdged < best.firstEdged) best.firstEdged = run.firstEdged;
    best.upload = run.upload;
    frames.insert(frames.end(), run.frames.begin(), run.frames.end());
    edgedFrames.insert(edgedFrames.end(), run.edgedFrames.begin(), run.edgedFrames.end());
  }
  const double mb = 1024.0 * 1024.0;
  std::printf("viewport: %zu objects, %zu triangles, %.1f MB of vertex data and indices; %s\n", best.upload.objects,
              best.upload.triangles, static_cast<double>(best.upload.bytes) / mb,
              maxhost::viewport::SceneRenderer::device().c_str());
  std::printf("import  %.3f s (best of 3)\n", best.importSeconds);
  std::printf("upload  %.3f s (best of 3)\n", best.uploadSeconds);
  std::printf("ratio upload / import: %.2f (goal 0.50: %s)\n", best.uploadSeconds / best.importSeconds,
              best.uploadSeconds <= 0.5 * best.importSeconds ? "met" : "not met");
  const double frame = median(frames), edged = median(edgedFrames);
  std::printf("frame %dx%d, median of 6: %.3f s shaded, %.3f s with edged faces (goal under 1 s: %s)\n", width, height,
              frame, edged, std::max({frame, edged, best.first, best.firstEdged}) < 1.0 ? "met" : "not met");
  std::printf("first frames (best of 3): %.3f s with the maps decoded, %.3f s with the edges worked out\n", best.first,
              best.firstEdged);
  return 0;
}
