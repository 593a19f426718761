// Writes the loader benchmark's design: OUTPUT_DIR/vr.vrscene and its include
// files, the same bytes on every run.
//
//   generate_design OUTPUT_DIR [--detail X] [--zlib-level N]
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "bench/design_writer.h"

namespace {

double megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

int usage() {
  std::fprintf(stderr, "usage: generate_design OUTPUT_DIR [--detail X] [--zlib-level N]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const std::filesystem::path directory = argv[1];
  cvimp::bench::DesignOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (i + 1 >= argc) return usage();
    if (flag == "--detail") {
      options.detail = std::atof(argv[++i]);
    } else if (flag == "--zlib-level") {
      options.zlibLevel = std::atoi(argv[++i]);
    } else {
      return usage();
    }
  }
  if (!(options.detail > 0) || options.zlibLevel < 0 || options.zlibLevel > 9) return usage();

  try {
    const cvimp::bench::DesignTotals totals = cvimp::bench::writeDesign(directory, options);
    std::printf("design written to %s (detail %g, zlib level %d)\n", directory.string().c_str(), options.detail,
                options.zlibLevel);
    std::printf("  files          %zu\n", totals.files);
    std::printf("  text bytes     %llu (%.1f MB)\n", static_cast<unsigned long long>(totals.textBytes),
                megabytes(totals.textBytes));
    std::printf("  decoded bytes  %llu (%.1f MB) in %llu packed lists, largest mesh %.1f MB\n",
                static_cast<unsigned long long>(totals.decodedBytes), megabytes(totals.decodedBytes),
                static_cast<unsigned long long>(totals.packedLists), megabytes(totals.largestMeshBytes));
    std::printf("  meshes         %zu (%llu triangles)\n", totals.meshes,
                static_cast<unsigned long long>(totals.triangles));
    std::printf("  nodes          %zu\n", totals.nodes);
    std::printf("  materials      %zu\n", totals.materials);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "generate_design: %s\n", error.what());
    return 1;
  }
  return 0;
}
