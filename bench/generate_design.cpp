// Writes the loader benchmark's design: OUTPUT_DIR/vr.vrscene and its include
// files, the same bytes on every run.
//
//   generate_design OUTPUT_DIR [--scale S] [--layout rooms|categories]
//                   [--detail X] [--zlib-level N] [--lists zipc|hex|plain] [--reuse]
//
// --scale grows the design about S times (more flats, then more detail);
// --lists writes the meshes' lists packed (the default), as plain hex or as
// numbers written out, the forms other exporters write;
// --reuse keeps a design the same generator wrote with the same options,
// which the stamp file it leaves beside the design tells.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "bench/design_writer.h"
#include "platform/platform.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kStampName = "design.stamp";

double megabytes(std::uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }

int usage() {
  std::fprintf(stderr,
               "usage: generate_design OUTPUT_DIR [--scale S] [--layout rooms|categories] [--detail X] "
               "[--zlib-level N] [--lists zipc|hex|plain] [--reuse]\n");
  return 2;
}

std::string contents(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* listStyleName(cvimp::bench::ListStyle style) {
  switch (style) {
    case cvimp::bench::ListStyle::Hex:
      return "hex";
    case cvimp::bench::ListStyle::Plain:
      return "plain";
    default:
      return "zipc";
  }
}

// What the design's files depend on: this program's own bytes and the options.
std::string generatorIdentity(const cvimp::bench::DesignOptions& options) {
  const std::string self = contents(cvimp::platform::executablePath());
  std::ostringstream identity;
  identity.precision(17);
  identity << "generator " << std::hash<std::string_view>{}(self) << " " << self.size() << "\n"
           << "options detail " << options.detail << " zlib " << options.zlibLevel << " flats " << options.flats
           << " layout " << (options.layout == cvimp::bench::DesignLayout::Rooms ? "rooms" : "categories");
  // Named only when not packed, so that a packed design's stamp stays as it was.
  if (options.lists != cvimp::bench::ListStyle::Zipc) identity << " lists " << listStyleName(options.lists);
  identity << "\n";
  return identity.str();
}

// The stamp: the identity, then every file with its size.
std::string stampText(const std::string& identity, const fs::path& directory) {
  std::vector<std::string> lines;
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.is_regular_file() && entry.path().extension() == ".vrscene") {
      lines.push_back(entry.path().filename().string() + " " + std::to_string(entry.file_size()));
    }
  }
  std::sort(lines.begin(), lines.end());
  std::string text = identity;
  for (const std::string& line : lines) text += "file " + line + "\n";
  return text;
}

bool isCurrent(const std::string& identity, const fs::path& directory) {
  const fs::path stamp = directory / kStampName;
  return fs::is_regular_file(stamp) && contents(stamp) == stampText(identity, directory);
}

// Files of an earlier design would be taken for part of this one.
void removeDesignFiles(const fs::path& directory) {
  if (!fs::is_directory(directory)) return;
  fs::remove(directory / kStampName);
  for (const auto& entry : fs::directory_iterator(directory)) {
    if (entry.is_regular_file() && entry.path().extension() == ".vrscene") fs::remove(entry.path());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return usage();
  const fs::path directory = argv[1];
  cvimp::bench::DesignOptions options;
  double scale = 1;
  bool reuse = false;
  for (int i = 2; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag == "--reuse") {
      reuse = true;
      continue;
    }
    if (i + 1 >= argc) return usage();
    const std::string_view value = argv[++i];
    if (flag == "--detail") {
      options.detail = std::atof(value.data());
    } else if (flag == "--zlib-level") {
      options.zlibLevel = std::atoi(value.data());
    } else if (flag == "--scale") {
      scale = std::atof(value.data());
    } else if (flag == "--lists" && (value == "zipc" || value == "hex" || value == "plain")) {
      options.lists = value == "zipc"  ? cvimp::bench::ListStyle::Zipc
                      : value == "hex" ? cvimp::bench::ListStyle::Hex
                                       : cvimp::bench::ListStyle::Plain;
    } else if (flag == "--layout" && (value == "rooms" || value == "categories")) {
      options.layout = value == "rooms" ? cvimp::bench::DesignLayout::Rooms : cvimp::bench::DesignLayout::Categories;
    } else {
      return usage();
    }
  }
  if (!(options.detail > 0) || !(scale >= 1) || options.zlibLevel < 0 || options.zlibLevel > 9) return usage();
  options = cvimp::bench::scaledDesign(scale, options);

  try {
    const std::string identity = generatorIdentity(options);
    if (reuse && isCurrent(identity, directory)) {
      std::printf("design in %s is current (scale %g)\n", directory.string().c_str(), scale);
      return 0;
    }
    removeDesignFiles(directory);
    const cvimp::bench::DesignTotals totals = cvimp::bench::writeDesign(directory, options);
    std::ofstream stamp(directory / kStampName, std::ios::binary | std::ios::trunc);
    stamp << stampText(identity, directory);
    if (!stamp.flush()) throw std::runtime_error("cannot write the stamp in " + directory.string());

    std::printf("design written to %s (scale %g: %d flat%s, detail %g, %s layout, %s lists, zlib level %d)\n",
                directory.string().c_str(), scale, options.flats, options.flats == 1 ? "" : "s", options.detail,
                options.layout == cvimp::bench::DesignLayout::Rooms ? "room" : "category", listStyleName(options.lists),
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
