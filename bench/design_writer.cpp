#include "bench/design_writer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/mesh_shapes.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp::bench {

namespace {

using scenegen::SceneWriter;

constexpr double kPi = 3.141592653589793;
constexpr std::uint64_t kSeed = 0x5EEDCA5A2024ull;
constexpr double kCeiling = 2800;
constexpr double kStorey = 3200;  // floor to floor

// Deterministic value in [0, 1) for a cell of a pattern (a plank, a tile).
double cellNoise(std::uint64_t seed, std::int64_t a, std::int64_t b) {
  Random r(seed + static_cast<std::uint64_t>(a) * 0x9E3779B97F4A7C15ull +
           static_cast<std::uint64_t>(b) * 0xC2B2AE3D27D4EB4Full);
  return r.uniform();
}

std::string numbered(const std::string& stem, std::size_t n) {
  char digits[24];
  std::snprintf(digits, sizeof(digits), "_%02zu", n);
  return stem + digits;
}

struct Placement {
  Point offset{0, 0, 0};
  double angle = 0;  // about z, radians
  double scale = 1;
};

struct MaterialKind {
  const char* category;
  const char* map;  // bitmap stem, or null for a plain colour
  int count;
  float r, g, b;
  float reflect, glossiness, refract, ior;
};

constexpr MaterialKind kMaterialKinds[] = {
    {"wood", "wood", 14, 0.45f, 0.30f, 0.18f, 0.25f, 0.72f, 0, 1.6f},
    {"fabric", "fabric", 12, 0.55f, 0.52f, 0.48f, 0.05f, 0.4f, 0, 1.6f},
    {"leather", "leather", 3, 0.35f, 0.2f, 0.12f, 0.3f, 0.6f, 0, 1.6f},
    {"stone", "marble", 5, 0.85f, 0.84f, 0.82f, 0.5f, 0.85f, 0, 1.55f},
    {"tile", "tile", 5, 0.9f, 0.9f, 0.88f, 0.6f, 0.9f, 0, 1.55f},
    {"paper", "book_cover", 6, 0.6f, 0.2f, 0.15f, 0.1f, 0.5f, 0, 1.6f},
    {"plant", "leaf", 3, 0.2f, 0.45f, 0.15f, 0.15f, 0.55f, 0, 1.6f},
    {"paint", nullptr, 8, 0.92f, 0.91f, 0.88f, 0.02f, 0.3f, 0, 1.6f},
    {"metal", nullptr, 6, 0.7f, 0.7f, 0.72f, 0.9f, 0.8f, 0, 2.5f},
    {"glass", nullptr, 3, 0.02f, 0.02f, 0.02f, 0.95f, 1.0f, 0.95f, 1.52f},
    {"ceramic", nullptr, 5, 0.95f, 0.94f, 0.92f, 0.7f, 0.92f, 0, 1.5f},
    {"plastic", nullptr, 4, 0.15f, 0.15f, 0.16f, 0.3f, 0.7f, 0, 1.46f},
};

class Design {
 public:
  explicit Design(const DesignOptions& options) : options_(options), random_(kSeed) {}

  // The flat whose rooms are written next, from 1. The first flat's names
  // carry no prefix.
  void setFlat(int flat) {
    flat_ = flat;
    prefix_ = flat == 1 ? std::string() : "flat" + std::to_string(flat) + "_";
  }
  std::string flatName(const std::string& name) const { return prefix_ + name; }

  // Segment counts and edge lengths at the design's detail.
  int seg(double base, int minimum = 1) const {
    return std::max(minimum, static_cast<int>(std::lround(base * options_.detail)));
  }
  double edge(double base) const { return base / options_.detail; }
  Random& rng() { return random_; }

  // Where a room's statements go: in the room layout, the current flat's
  // file of that name; in the category layout, a scratch text that is never
  // saved (its comments and includes have no place there), since meshes,
  // nodes and materials go to their category's file.
  SceneWriter& roomFile(const std::string& name) {
    return options_.layout == DesignLayout::Rooms ? file(flatName(name)) : scratch_;
  }

  // Where meshes and nodes go in the category layout; null: the room's file.
  void setCategoryFiles(SceneWriter* geometry, SceneWriter* nodes) {
    geometry_ = geometry;
    nodes_ = nodes;
  }

  // The scene file of that name, created (empty) on first use.
  SceneWriter& file(const std::string& name) {
    for (auto& [fileName, writer] : files_) {
      if (fileName == name) return *writer;
    }
    files_.emplace_back(name, std::make_unique<SceneWriter>());
    return *files_.back().second;
  }

  // Returns the name as given, for nodes of the same flat to refer to.
  std::string mesh(SceneWriter& room, const std::string& name, const Mesh& m) {
    if (m.triangleCount() == 0) throw std::logic_error("empty mesh " + name);
    SceneWriter& w = geometry_ != nullptr ? *geometry_ : room;
    const int level = options_.zlibLevel;
    const ListStyle style = options_.lists;
    auto vectors = [&](const std::vector<Vec3>& v) {
      switch (style) {
        case ListStyle::Hex:
          return scenegen::interpolated(scenegen::listVectorPlainHex(v));
        case ListStyle::Plain:
          return scenegen::listVector(v);
        default:
          return scenegen::listVectorHex(v, level);
      }
    };
    auto ints = [&](const std::vector<std::int32_t>& v) {
      switch (style) {
        case ListStyle::Hex:
          return scenegen::interpolated(scenegen::listIntPlainHex(v));
        case ListStyle::Plain:
          return scenegen::listInt(v);
        default:
          return scenegen::listIntHex(v, level);
      }
    };
    auto indices = [&](const std::vector<std::int32_t>& v) {
      return style == ListStyle::Plain ? scenegen::listTriples(v) : ints(v);
    };
    w.begin("GeomStaticMesh", flatName(name));
    w.attribute("vertices", vectors(m.vertices));
    w.attribute("faces", indices(m.faces));
    w.attribute("normals", vectors(m.normals));
    w.attribute("faceNormals", indices(m.faceNormals));
    w.attribute("map_channels", "List(List(1, " + vectors(m.uvws) + ", " + ints(m.uvwFaces) + "))");
    w.attribute("face_mtlIDs", ints(m.mtlIds));
    w.attribute("dynamic_geometry", "0");
    w.end();
    totals_.meshes += 1;
    totals_.packedLists += 7;
    totals_.decodedBytes += m.listBytes();
    totals_.triangles += m.triangleCount();
    totals_.largestMeshBytes = std::max<std::size_t>(totals_.largestMeshBytes, m.listBytes());
    return name;
  }

  // `material` is a material name ("mtl_...") or a category to pick one from.
  void node(SceneWriter& room, const std::string& name, const std::string& geometry, const std::string& material,
            Placement p) {
    SceneWriter& w = nodes_ != nullptr ? *nodes_ : room;
    if (flat_ > 1) p.offset[2] += (flat_ - 1) * kStorey;
    const auto c = static_cast<float>(std::cos(p.angle) * p.scale);
    const auto s = static_cast<float>(std::sin(p.angle) * p.scale);
    // 0 - s rather than -s: an unrotated node reads "0", not "-0".
    const std::array<Vec3, 3> matrix = {{{c, s, 0}, {0.0f - s, c, 0}, {0, 0, static_cast<float>(p.scale)}}};
    w.begin("Node", flatName(name));
    // Both forms occur in exported scenes; which one a node gets is part of the seeded sequence.
    if (random_.chance(0.5)) {
      w.attribute("transform", "TransformHex(\"" + scenegen::transformHexText(matrix, p.offset) + "\")");
    } else {
      const Vec3 offset = {static_cast<float>(p.offset[0]), static_cast<float>(p.offset[1]),
                           static_cast<float>(p.offset[2])};
      w.attribute("transform", scenegen::transformForm(matrix, offset));
    }
    w.attribute("geometry", flatName(geometry));
    w.attribute("material", material.starts_with("mtl_") ? material : pick(material));
    w.attribute("nsamples", "1");
    w.attribute("visible", "1");
    w.end();
    totals_.nodes += 1;
  }

  void materials(SceneWriter& w) {
    for (const MaterialKind& kind : kMaterialKinds) {
      for (int i = 1; i <= kind.count; ++i) {
        const std::string name = numbered(std::string("mtl_") + kind.category, static_cast<std::size_t>(i));
        const float shade = static_cast<float>(random_.range(0.75, 1.15));
        std::string diffuse = scenegen::colorForm(std::min(1.0f, kind.r * shade), std::min(1.0f, kind.g * shade),
                                                  std::min(1.0f, kind.b * shade));
        if (kind.map != nullptr) {
          const double tiling = random_.range(0.5, 2.0);
          w.begin("UVWGenChannel", name + "_uvw");
          w.attribute("uvw_channel", "1");
          w.attribute(
              "uvw_transform",
              scenegen::transformForm(
                  {{{static_cast<float>(tiling), 0, 0}, {0, static_cast<float>(tiling), 0}, {0, 0, 1}}}, {0, 0, 0}));
          w.attribute("wrap_u", "1");
          w.attribute("wrap_v", "1");
          w.end();
          w.begin("BitmapBuffer", name + "_bitmap");
          w.quoted("file", "Z:/vela/data/render/Vray/maps/" +
                               numbered(kind.map, static_cast<std::size_t>(random_.integer(1, 40))) + ".jpg");
          w.attribute("filter_type", "1");
          w.attribute("filter_blur", "1");
          w.attribute("gamma", "1");
          w.end();
          w.begin("TexBitmap", name + "_tex");
          w.attribute("bitmap", name + "_bitmap");
          w.attribute("uvwgen", name + "_uvw");
          w.attribute("tile", "1");
          w.end();
          diffuse = name + "_tex";
        }
        w.begin("BRDFVRayMtl", name + "_brdf");
        w.attribute("diffuse", diffuse);
        w.attribute("reflect", scenegen::colorForm(kind.reflect, kind.reflect, kind.reflect));
        w.attribute("reflect_glossiness", scenegen::number(kind.glossiness));
        w.attribute("refract", scenegen::colorForm(kind.refract, kind.refract, kind.refract));
        w.attribute("refract_ior", scenegen::number(kind.ior));
        w.attribute("fresnel", "1");
        w.attribute("brdf_type", "4");
        w.end();
        w.begin("MtlSingleBRDF", name);
        w.attribute("brdf", name + "_brdf");
        w.attribute("allow_negative_colors", "0");
        w.end();
        byCategory_[kind.category].push_back(name);
        totals_.materials += 1;
      }
    }
  }

  const std::string& pick(const std::string& category) {
    const auto& names = byCategory_.at(category);
    return names[static_cast<std::size_t>(random_.integer(0, static_cast<int>(names.size()) - 1))];
  }

  DesignTotals save(const std::filesystem::path& directory) {
    std::filesystem::create_directories(directory);
    for (auto& [name, writer] : files_) {
      const std::string& text = writer->text();
      std::ofstream out(directory / name, std::ios::binary | std::ios::trunc);
      out.write(text.data(), static_cast<std::streamsize>(text.size()));
      if (!out) throw std::runtime_error("cannot write " + (directory / name).string());
      totals_.textBytes += text.size();
      totals_.files += 1;
    }
    return totals_;
  }

 private:
  DesignOptions options_;
  // One sequence for the whole design. Call arguments are evaluated in an
  // unspecified order, so no call takes more than one draw among its arguments.
  Random random_;
  std::vector<std::pair<std::string, std::unique_ptr<SceneWriter>>> files_;
  SceneWriter scratch_;
  SceneWriter* geometry_ = nullptr;
  SceneWriter* nodes_ = nullptr;
  int flat_ = 1;
  std::string prefix_;
  std::map<std::string, std::vector<std::string>> byCategory_;
  DesignTotals totals_;
};

// ---- surface patterns (millimetres) ----

// Staggered planks with bevelled joints, each plank flat but slightly off level.
HeightField parquet(double plankLength, double plankWidth, std::uint64_t seed) {
  return [=](double x, double y) {
    const double row = std::floor(y / plankWidth);
    const double shift = std::fmod(row * 0.37, 1.0) * plankLength;
    const double column = std::floor((x + shift) / plankLength);
    const double fx = x + shift - column * plankLength;
    const double fy = y - row * plankWidth;
    const double toJoint = std::min(std::min(fx, plankLength - fx), std::min(fy, plankWidth - fy));
    const double level = 0.4 * cellNoise(seed, static_cast<std::int64_t>(row), static_cast<std::int64_t>(column));
    const double bevel = toJoint < 3 ? -(3 - toJoint) * 0.4 : 0;
    return level + bevel;
  };
}

// Square tiles with recessed grout lines.
HeightField tiles(double tileSize, double grout, std::uint64_t seed) {
  return [=](double x, double y) {
    const double fx = std::fmod(x, tileSize), fy = std::fmod(y, tileSize);
    const double toJoint = std::min(std::min(fx, tileSize - fx), std::min(fy, tileSize - fy));
    const double lip =
        0.3 * cellNoise(seed, static_cast<std::int64_t>(x / tileSize), static_cast<std::int64_t>(y / tileSize));
    return toJoint < grout ? -2.0 + toJoint / grout * 2.0 * 0.5 : lip;
  };
}

// Pile with a woven pattern and a soft edge.
HeightField rugPile(double width, double depth, double pattern) {
  return [=](double x, double y) {
    const double edge = std::min(std::min(x, width - x), std::min(y, depth - y));
    const double fall = edge < 40 ? (40 - edge) / 40 * 6 : 0;
    return 12 - fall + 1.5 * std::sin(x / pattern) * std::sin(y / pattern) +
           0.6 * std::sin(x * 0.9 + std::sin(y * 0.13) * 3);
  };
}

// Hanging folds, deeper towards the floor.
HeightField curtainFolds(double height, double foldWidth, double phase) {
  return [=](double x, double y) {
    const double depth = 35 + 25 * (1 - y / height);
    return depth * std::sin(2 * kPi * x / foldWidth + phase) + 4 * std::sin(x * 0.011 + y * 0.004 + phase);
  };
}

// Quilted squares with stitched seams and a gentle sag.
HeightField quilt(double width, double depth, double cell) {
  return [=](double x, double y) {
    const double sx = std::abs(std::sin(kPi * x / cell)), sy = std::abs(std::sin(kPi * y / cell));
    const double sag = -25 * std::sin(kPi * x / width) * std::sin(kPi * y / depth);
    return 18 * std::pow(sx * sy, 0.6) + sag;
  };
}

// A rotationally symmetric vessel (vase, cup, bowl, pot, lamp shade): bottom,
// outer wall, rim, inner wall and inner bottom, as one closed profile.
Profile vessel(std::function<double(double)> radiusAt, double height, double wall) {
  return [=](double t) -> std::array<double, 2> {
    if (t < 0.1) return {radiusAt(0) * t / 0.1, 0};
    if (t < 0.5) {
      const double s = (t - 0.1) / 0.4;
      return {radiusAt(s), height * s};
    }
    if (t < 0.55) {
      const double s = (t - 0.5) / 0.05;
      return {radiusAt(1) - wall * s, height};
    }
    if (t < 0.95) {
      const double s = 1 - (t - 0.55) / 0.4;
      return {std::max(0.0, radiusAt(s) - wall), wall + (height - wall) * s};
    }
    const double s = (t - 0.95) / 0.05;
    return {std::max(0.0, radiusAt(0) - wall) * (1 - s), wall};
  };
}

// A solid of revolution closed at both ends (bottle, candle, knob).
Profile solid(std::function<double(double)> radiusAt, double height) {
  return [=](double t) -> std::array<double, 2> {
    if (t < 0.08) return {radiusAt(0) * t / 0.08, 0};
    if (t > 0.92) return {radiusAt(1) * (1 - t) / 0.08, height};
    return {radiusAt((t - 0.08) / 0.84), height * (t - 0.08) / 0.84};
  };
}

// ---- furniture ----

void legs(Design& d, Mesh& m, Point size, double inset, double radius, double height, std::int32_t mtl) {
  for (int i = 0; i < 4; ++i) {
    const double x = (i & 1) != 0 ? size[0] - inset : inset;
    const double y = (i & 2) != 0 ? size[1] - inset : inset;
    appendCylinder(m, Frame::at({x, y, 0}), radius, height, d.seg(24, 8), d.seg(12, 1), mtl);
  }
}

Mesh table(Design& d, Point size, double legRadius) {
  Mesh m;
  const double top = d.rng().range(25, 45);
  appendBox(m, Frame::at({0, 0, size[2] - top}), {size[0], size[1], top}, d.edge(15), 0);
  legs(d, m, size, legRadius * 2.5, legRadius, size[2] - top, 1);
  return m;
}

Mesh chair(Design& d) {
  Mesh m;
  const double w = d.rng().range(420, 480), seat = d.rng().range(430, 470);
  appendCushion(m, Frame::at({0, 0, seat - 40}), {w, w, 70}, 0.25, d.seg(64, 8), d.seg(24, 4), 0);
  appendCushion(m, Frame::at({0, w - 60, seat + 10}), {w, 50, 420}, 0.3, d.seg(64, 8), d.seg(32, 4), 0);
  legs(d, m, {w, w, seat}, 25, 14, seat - 40, 1);
  return m;
}

Mesh sofa(Design& d, int seats) {
  Mesh m;
  const double seatWidth = 650, depth = 950, arm = 180;
  const double width = seats * seatWidth + 2 * arm;
  appendBox(m, Frame::at({0, 0, 120}), {width, depth, 260}, d.edge(20), 1);
  for (int s = 0; s < seats; ++s) {
    const double x = arm + s * seatWidth;
    appendCushion(m, Frame::at({x + 5, 20, 380}), {seatWidth - 10, depth - 220, 170}, 0.35, d.seg(180, 8), d.seg(90, 4),
                  0);
    appendCushion(m, Frame::at({x + 5, depth - 220, 380}), {seatWidth - 10, 200, 520}, 0.4, d.seg(180, 8), d.seg(90, 4),
                  0);
  }
  for (double x : {0.0, width - arm}) {
    appendCushion(m, Frame::at({x, 0, 120}), {arm, depth, 520}, 0.35, d.seg(120, 8), d.seg(80, 4), 0);
  }
  legs(d, m, {width, depth, 120}, 60, 18, 120, 2);
  return m;
}

Mesh armchair(Design& d) {
  Mesh m;
  appendBox(m, Frame::at({0, 0, 150}), {850, 850, 220}, d.edge(25), 1);
  appendCushion(m, Frame::at({150, 20, 370}), {550, 650, 150}, 0.35, d.seg(128, 8), d.seg(64, 4), 0);
  appendCushion(m, Frame::at({150, 650, 370}), {550, 200, 480}, 0.4, d.seg(128, 8), d.seg(64, 4), 0);
  for (double x : {0.0, 700.0}) {
    appendCushion(m, Frame::at({x, 0, 150}), {150, 850, 480}, 0.35, d.seg(96, 8), d.seg(64, 4), 0);
  }
  legs(d, m, {850, 850, 150}, 50, 16, 150, 2);
  return m;
}

Mesh cabinet(Design& d, Point size, int doors, bool drawers) {
  Mesh m;
  appendBox(m, Frame::at({0, 0, 0}), size, d.edge(40), 0);
  const double doorWidth = size[0] / doors;
  for (int i = 0; i < doors; ++i) {
    const double x = i * doorWidth;
    if (drawers) {
      for (int k = 0; k < 3; ++k) {
        const double h = size[2] / 3;
        appendBox(m, Frame::at({x + 3, -18, k * h + 3}), {doorWidth - 6, 18, h - 6}, d.edge(30), 1);
        appendCylinder(m, Frame::along({x + doorWidth / 2 - 60, -18, k * h + h * 0.7}, {1, 0, 0}), 6, 120, d.seg(16, 6),
                       d.seg(6, 1), 2);
      }
    } else {
      appendBox(m, Frame::at({x + 3, -18, 3}), {doorWidth - 6, 18, size[2] - 6}, d.edge(30), 1);
      appendCylinder(m, Frame::at({x + (i % 2 == 0 ? doorWidth - 50 : 50), -30, size[2] * 0.55}), 6, 160, d.seg(16, 6),
                     d.seg(6, 1), 2);
    }
  }
  return m;
}

Mesh shelf(Design& d, Point size, int boards) {
  Mesh m;
  const double t = 22;
  for (double x : {0.0, size[0] - t}) appendBox(m, Frame::at({x, 0, 0}), {t, size[1], size[2]}, d.edge(30), 0);
  appendBox(m, Frame::at({0, size[1] - 8, 0}), {size[0], 8, size[2]}, d.edge(60), 1);
  for (int b = 0; b < boards; ++b) {
    const double z = b * (size[2] - t) / (boards - 1);
    appendBox(m, Frame::at({t, 0, z}), {size[0] - 2 * t, size[1] - 8, t}, d.edge(30), 0);
  }
  return m;
}

Mesh book(Design& d, Point size) {
  Mesh m;
  const double cover = 2.5;
  appendBox(m, Frame::at({0, 0, 0}), size, d.edge(18), 0);
  appendBox(m, Frame::at({cover, cover, cover}), {size[0] - cover, size[1] - 2 * cover, size[2] - 2 * cover},
            d.edge(25), 1);
  return m;
}

Mesh vase(Design& d, double height, double radius, double waist) {
  Mesh m;
  const double phase = d.rng().range(0, kPi);
  auto radiusAt = [=](double s) {
    return radius * (0.7 + 0.3 * std::sin(kPi * s + phase) - waist * std::sin(2 * kPi * s) * 0.3);
  };
  appendLathe(m, Frame::at({0, 0, 0}), vessel(radiusAt, height, 5), d.seg(96, 12), d.seg(96, 12), 0);
  return m;
}

Mesh cup(Design& d, double height, double radius, bool handle) {
  Mesh m;
  appendLathe(m, Frame::at({0, 0, 0}), vessel([=](double s) { return radius * (0.85 + 0.15 * s); }, height, 3),
              d.seg(64, 12), d.seg(48, 8), 0);
  if (handle) {
    appendTorus(m, Frame::facing({radius + 10, 0, height * 0.55}, {1, 0, 0}, {0, 0, 1}), height * 0.25, 5, d.seg(32, 8),
                d.seg(12, 4), 0);
  }
  return m;
}

Mesh plate(Design& d, double radius, double depth) {
  Mesh m;
  auto radiusAt = [=](double s) { return radius * (0.55 + 0.45 * std::sqrt(s)); };
  appendLathe(m, Frame::at({0, 0, 0}), vessel(radiusAt, depth, 4), d.seg(96, 12), d.seg(40, 8), 0);
  return m;
}

Mesh bottle(Design& d, double height, double radius) {
  Mesh m;
  const double neck = d.rng().range(0.25, 0.4);
  auto radiusAt = [=](double s) {
    if (s < 0.6) return radius;
    if (s < 0.8) return radius * (1 - (1 - neck) * (1 - std::cos(kPi * (s - 0.6) / 0.2)) / 2);
    return radius * neck;
  };
  appendLathe(m, Frame::at({0, 0, 0}), solid(radiusAt, height), d.seg(48, 12), d.seg(64, 8), 0);
  appendCylinder(m, Frame::at({0, 0, height}), radius * neck * 1.1, 18, d.seg(32, 8), d.seg(4, 1), 1);
  return m;
}

Mesh fruit(Design& d, double size) {
  Mesh m;
  const double squash = d.rng().range(0.8, 1.1);
  appendCushion(m, Frame::at({0, 0, 0}), {size, size, size * squash}, 1.0, d.seg(48, 8), d.seg(32, 6), 0);
  appendCylinder(m, Frame::at({size / 2, size / 2, size * squash - 2}), 2, 14, d.seg(8, 4), 1, 1);
  return m;
}

Mesh candle(Design& d, double height, double radius) {
  Mesh m;
  appendCylinder(m, Frame::at({0, 0, 0}), radius, height, d.seg(48, 8), d.seg(16, 1), 0);
  appendCylinder(m, Frame::at({0, 0, height}), 1.5, 12, d.seg(8, 4), 1, 1);
  return m;
}

Mesh cushion(Design& d, double size, double thickness) {
  Mesh m;
  appendCushion(m, Frame::at({0, 0, 0}), {size, thickness, size}, 0.45, d.seg(96, 8), d.seg(64, 6), 0);
  return m;
}

Mesh plant(Design& d, int leaves) {
  Mesh m;
  const double potRadius = d.rng().range(120, 200), potHeight = d.rng().range(220, 380);
  appendLathe(m, Frame::at({0, 0, 0}), vessel([=](double s) { return potRadius * (0.75 + 0.25 * s); }, potHeight, 8),
              d.seg(64, 12), d.seg(48, 8), 0);
  appendCylinder(m, Frame::at({0, 0, potHeight - 40}), potRadius * 0.95, 5, d.seg(48, 8), 1, 2);
  for (int i = 0; i < leaves; ++i) {
    const double angle = d.rng().range(0, 2 * kPi), lean = d.rng().range(0.3, 1.1);
    const double length = d.rng().range(250, 550), width = d.rng().range(60, 140);
    const Point right = {-std::sin(angle), std::cos(angle), 0};
    const Point up = {std::cos(angle) * std::sin(lean), std::sin(angle) * std::sin(lean), std::cos(lean)};
    const Point base = {std::cos(angle) * 20 - right[0] * width / 2, std::sin(angle) * 20 - right[1] * width / 2,
                        potHeight - 30};
    appendRelief(
        m, Frame::facing(base, right, up), width, length, d.seg(8, 2), d.seg(24, 4),
        [=](double x, double y) {
          const double across = (x - width / 2) / (width / 2);
          return 12 * across * across - 0.0006 * y * y;
        },
        1);
  }
  return m;
}

Mesh lamp(Design& d, double height, double shadeRadius, bool floorStanding) {
  Mesh m;
  const double baseRadius = floorStanding ? 160 : 80;
  appendCylinder(m, Frame::at({0, 0, 0}), baseRadius, 20, d.seg(64, 12), d.seg(4, 1), 0);
  appendCylinder(m, Frame::at({0, 0, 20}), floorStanding ? 12 : 9, height - 20, d.seg(24, 8), d.seg(32, 2), 0);
  appendLathe(m, Frame::at({0, 0, height - shadeRadius * 0.6}),
              vessel([=](double s) { return shadeRadius * (1 - 0.35 * s); }, shadeRadius * 1.1, 2), d.seg(96, 12),
              d.seg(32, 8), 1);
  return m;
}

Mesh pictureFrame(Design& d, double width, double height) {
  Mesh m;
  const double border = 40, depth = 30;
  appendBox(m, Frame::at({0, 0, 0}), {width, depth, border}, d.edge(15), 0);
  appendBox(m, Frame::at({0, 0, height - border}), {width, depth, border}, d.edge(15), 0);
  appendBox(m, Frame::at({0, 0, border}), {border, depth, height - 2 * border}, d.edge(15), 0);
  appendBox(m, Frame::at({width - border, 0, border}), {border, depth, height - 2 * border}, d.edge(15), 0);
  // The canvas: brush strokes as a shallow relief facing the room (-y).
  const double seed = d.rng().range(0, 100);
  appendRelief(
      m, Frame::facing({border, 10, border}, {1, 0, 0}, {0, 0, 1}), width - 2 * border, height - 2 * border,
      d.seg((width - 2 * border) / 6, 4), d.seg((height - 2 * border) / 6, 4),
      [=](double x, double y) { return 0.8 * std::sin(x * 0.07 + seed) * std::cos(y * 0.05 + seed * 0.5); }, 1);
  return m;
}

Mesh relief(Design& d, double width, double depth, double edgeLength, const HeightField& height) {
  Mesh m;
  appendRelief(m, Frame::at({0, 0, 0}), width, depth, d.seg(width / edgeLength, 2), d.seg(depth / edgeLength, 2),
               height, 0, width / 1000, depth / 1000);
  return m;
}

// ---- rooms ----

struct Room {
  const char* name;
  double x, y, width, depth;
};

constexpr Room kRooms[] = {
    {"living", 0, 0, 6000, 5000},         {"kitchen", 6000, 0, 4000, 5000},  {"bedroom", 0, 5000, 4500, 4000},
    {"bathroom", 4500, 5000, 2500, 4000}, {"study", 7000, 5000, 3000, 4000},
};

const Room& room(const std::string& name) {
  for (const Room& r : kRooms) {
    if (name == r.name) return r;
  }
  throw std::logic_error("no room " + name);
}

Point inRoom(const Room& r, double x, double y, double z = 0) { return {r.x + x, r.y + y, z}; }

void architecture(Design& d, SceneWriter& w) {
  w.comment("Walls, floors, ceilings, windows and doors");
  for (const Room& r : kRooms) {
    const std::string stem = std::string("geo_") + r.name;
    const std::string roomName = r.name;
    const double plankLength = d.rng().range(900, 1400);
    const double plankWidth = d.rng().range(120, 190);
    HeightField floorPattern = roomName == "bathroom" ? tiles(150, 3, kSeed + 1)
                               : roomName == "kitchen"
                                   ? tiles(600, 3, kSeed + 2)
                                   : parquet(plankLength, plankWidth, kSeed + static_cast<std::uint64_t>(r.x + r.y));
    d.mesh(w, stem + "_floor", relief(d, r.width, r.depth, 15, floorPattern));
    d.node(w, std::string(r.name) + "_floor", stem + "_floor",
           roomName == "bathroom" || roomName == "kitchen" ? "tile" : "wood", {inRoom(r, 0, 0)});

    Mesh ceiling;
    appendBox(ceiling, Frame::at({0, 0, 0}), {r.width, r.depth, 40}, d.edge(150), 0);
    d.mesh(w, stem + "_ceiling", ceiling);
    d.node(w, std::string(r.name) + "_ceiling", stem + "_ceiling", "mtl_paint_01", {inRoom(r, 0, 0, kCeiling)});

    const std::string paint = d.pick("paint");
    for (int side = 0; side < 4; ++side) {
      const bool alongX = side % 2 == 0;
      const double length = alongX ? r.width : r.depth;
      const std::string wall = stem + "_wall_" + std::to_string(side);
      Mesh m;
      appendBox(m, Frame::at({0, 0, 0}), {length, 100, kCeiling}, d.edge(40), 0);
      appendBox(m, Frame::at({0, -15, 0}), {length, 15, 90}, d.edge(20), 1);  // skirting board
      d.mesh(w, wall, m);
      const Point corners[4] = {inRoom(r, 0, 0), inRoom(r, r.width, 0), inRoom(r, r.width, r.depth),
                                inRoom(r, 0, r.depth)};
      // Each wall runs counter-clockwise along the room, its skirting facing inwards.
      const Point at = corners[side];
      d.node(w, std::string(r.name) + "_wall_" + std::to_string(side), wall, paint,
             {{at[0], at[1], 0}, side * kPi / 2 + kPi, 1});
    }
  }

  Mesh window;
  appendBox(window, Frame::at({0, 0, 0}), {1400, 80, 60}, d.edge(15), 0);
  appendBox(window, Frame::at({0, 0, 1540}), {1400, 80, 60}, d.edge(15), 0);
  appendBox(window, Frame::at({0, 0, 60}), {60, 80, 1480}, d.edge(15), 0);
  appendBox(window, Frame::at({1340, 0, 60}), {60, 80, 1480}, d.edge(15), 0);
  appendBox(window, Frame::at({670, 0, 60}), {60, 80, 1480}, d.edge(15), 0);
  appendCylinder(window, Frame::along({600, -20, 800}, {0, 0, 1}), 10, 120, d.seg(24, 8), d.seg(8, 1), 1);
  d.mesh(w, "geo_window_frame", window);
  Mesh pane;
  appendBox(pane, Frame::at({0, 0, 0}), {1280, 6, 1480}, d.edge(100), 0);
  d.mesh(w, "geo_window_pane", pane);
  const Point windows[] = {{800, 0, 900}, {3400, 0, 900}, {7200, 0, 900}, {1500, 9000, 900}, {8000, 9000, 900}};
  for (std::size_t i = 0; i < std::size(windows); ++i) {
    d.node(w, numbered("window_frame", i + 1), "geo_window_frame", "paint", {windows[i]});
    d.node(w, numbered("window_pane", i + 1), "geo_window_pane", "mtl_glass_01",
           {{windows[i][0] + 60, windows[i][1] + 40, windows[i][2] + 60}});
  }

  Mesh door;
  appendBox(door, Frame::at({0, 0, 0}), {820, 40, 2050}, d.edge(20), 0);
  for (int p = 0; p < 3; ++p) {
    appendBox(door, Frame::at({120, -6, 150 + p * 620.0}), {580, 6, 520}, d.edge(15), 0);  // raised panels
  }
  d.mesh(w, "geo_door", door);
  Mesh handle;
  appendTorus(handle, Frame::facing({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), 30, 8, d.seg(48, 8), d.seg(16, 4), 0);
  appendCylinder(handle, Frame::along({0, 0, 0}, {0, -1, 0}), 9, 60, d.seg(24, 8), d.seg(4, 1), 0);
  appendCylinder(handle, Frame::along({-60, -60, 0}, {1, 0, 0}), 9, 130, d.seg(24, 8), d.seg(16, 2), 0);
  d.mesh(w, "geo_door_handle", handle);
  const Point doors[] = {{4800, 5000, 0}, {2000, 5000, 0}, {8000, 5000, 0}, {6000, 3500, 0}};
  for (std::size_t i = 0; i < std::size(doors); ++i) {
    const double angle = i == 3 ? kPi / 2 : 0;
    d.node(w, numbered("door", i + 1), "geo_door", "wood", {doors[i], angle});
    d.node(w, numbered("door_handle_front", i + 1), "geo_door_handle", "mtl_metal_01",
           {{doors[i][0] + 80, doors[i][1] - 10, 1000}, angle});
    d.node(w, numbered("door_handle_back", i + 1), "geo_door_handle", "mtl_metal_01",
           {{doors[i][0] + 80, doors[i][1] + 50, 1000}, angle + kPi});
  }

  for (int variant = 0; variant < 2; ++variant) {
    const double width = variant == 0 ? 1200 : 800;
    Mesh radiator;
    appendRelief(
        radiator, Frame::facing({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), width, 600, d.seg(width / 5, 8), d.seg(40, 4),
        [](double x, double) { return 15 * std::abs(std::sin(x * kPi / 50)); }, 0);
    appendBox(radiator, Frame::at({0, 0, -10}), {width, 60, 10}, d.edge(40), 0);
    d.mesh(w, numbered("geo_radiator", static_cast<std::size_t>(variant + 1)), radiator);
  }
  for (std::size_t i = 0; i < std::size(windows); ++i) {
    d.node(w, numbered("radiator", i + 1), numbered("geo_radiator", i % 2 + 1), "mtl_paint_02",
           {{windows[i][0] + 100, windows[i][1] < 100 ? 140.0 : 8860.0, 150}});
  }
}

// Shelves filled with books: each node one of the given book meshes.
void fillShelf(Design& d, SceneWriter& w, const std::string& stem, const std::vector<std::string>& books,
               const std::vector<Point>& bookSizes, Point origin, double angle, double width, int boards,
               double boardSpacing) {
  int n = 0;
  const double c = std::cos(angle), s = std::sin(angle);
  for (int b = 0; b < boards - 1; ++b) {
    double x = 30;
    while (true) {
      const auto index = static_cast<std::size_t>(d.rng().integer(0, static_cast<int>(books.size()) - 1));
      const Point& size = bookSizes[index];
      if (x + size[0] > width - 30) break;
      const double localY = 20, localZ = 22 + b * boardSpacing;
      const Point at = {origin[0] + c * x - s * localY, origin[1] + s * x + c * localY, origin[2] + localZ};
      d.node(w, numbered(stem, static_cast<std::size_t>(++n)), books[index], "paper", {at, angle});
      x += size[0] + d.rng().range(0, 4);
      if (d.rng().chance(0.08)) x += d.rng().range(40, 160);  // a gap
    }
  }
}

struct BookSet {
  std::vector<std::string> meshes;
  std::vector<Point> sizes;
};

BookSet books(Design& d, SceneWriter& w, const std::string& stem, int count) {
  BookSet set;
  for (int i = 1; i <= count; ++i) {
    const Point size = {d.rng().range(15, 60), d.rng().range(140, 240), d.rng().range(180, 300)};
    set.meshes.push_back(d.mesh(w, numbered(stem, static_cast<std::size_t>(i)), book(d, size)));
    set.sizes.push_back(size);
  }
  return set;
}

void livingRoom(Design& d, SceneWriter& w) {
  const Room& r = room("living");
  w.comment("Living room");
  w.include(d.flatName("textiles.vrscene"));
  d.mesh(w, "geo_living_sofa", sofa(d, 3));
  d.node(w, "living_sofa", "geo_living_sofa", "fabric", {inRoom(r, 1000, 3700)});
  d.mesh(w, "geo_living_armchair", armchair(d));
  d.node(w, "living_armchair_01", "geo_living_armchair", "leather", {inRoom(r, 4300, 3500), -kPi / 4});
  d.node(w, "living_armchair_02", "geo_living_armchair", "leather", {inRoom(r, 600, 1500), kPi / 4});
  d.mesh(w, "geo_living_coffee_table", table(d, {1200, 650, 420}, 20));
  d.node(w, "living_coffee_table", "geo_living_coffee_table", "wood", {inRoom(r, 1700, 2500)});
  d.mesh(w, "geo_living_side_table", table(d, {450, 450, 520}, 14));
  d.node(w, "living_side_table_01", "geo_living_side_table", "wood", {inRoom(r, 400, 3900)});
  d.node(w, "living_side_table_02", "geo_living_side_table", "wood", {inRoom(r, 3600, 3900)});
  d.mesh(w, "geo_living_tv_unit", cabinet(d, {2000, 450, 500}, 4, true));
  d.node(w, "living_tv_unit", "geo_living_tv_unit", "wood", {inRoom(r, 2000, 500)});
  Mesh tv;
  appendBox(tv, Frame::at({0, 0, 0}), {1450, 45, 830}, d.edge(30), 0);
  appendBox(tv, Frame::at({20, -2, 20}), {1410, 2, 790}, d.edge(60), 1);
  appendBox(tv, Frame::at({600, 60, -120}), {250, 200, 12}, d.edge(20), 0);
  d.mesh(w, "geo_living_tv", tv);
  d.node(w, "living_tv", "geo_living_tv", "plastic", {inRoom(r, 2275, 700, 620)});

  d.mesh(w, "geo_living_bookshelf", shelf(d, {1000, 350, 2000}, 6));
  const BookSet set = books(d, w, "geo_living_book", 60);
  for (int s = 0; s < 2; ++s) {
    const Point at = inRoom(r, 5950, 800 + s * 1100);
    d.node(w, numbered("living_bookshelf", static_cast<std::size_t>(s + 1)), "geo_living_bookshelf", "wood",
           {at, kPi / 2});
    fillShelf(d, w, "living_book_" + std::to_string(s + 1), set.meshes, set.sizes, at, kPi / 2, 1000, 6,
              (2000 - 22) / 5.0);
  }

  for (int i = 1; i <= 4; ++i) {
    const double size = d.rng().range(400, 500);
    const double thickness = d.rng().range(120, 180);
    d.mesh(w, numbered("geo_living_cushion", static_cast<std::size_t>(i)), cushion(d, size, thickness));
  }
  for (int i = 1; i <= 6; ++i) {
    d.node(w, numbered("living_cushion", static_cast<std::size_t>(i)),
           numbered("geo_living_cushion", static_cast<std::size_t>((i - 1) % 4 + 1)), "fabric",
           {inRoom(r, 1250 + i * 280, 4300, 480), d.rng().range(-0.3, 0.3)});
  }
  d.mesh(w, "geo_living_floor_lamp", lamp(d, 1650, 230, true));
  d.node(w, "living_floor_lamp", "geo_living_floor_lamp", "metal", {inRoom(r, 400, 4500)});
  for (int i = 1; i <= 3; ++i) {
    d.mesh(w, numbered("geo_living_plant", static_cast<std::size_t>(i)), plant(d, 14 + 6 * i));
    d.node(w, numbered("living_plant", static_cast<std::size_t>(i)),
           numbered("geo_living_plant", static_cast<std::size_t>(i)), "plant",
           {inRoom(r, 300 + i * 1500.0, 300), d.rng().range(0, 2 * kPi)});
  }
  for (int i = 1; i <= 6; ++i) {
    const double height = d.rng().range(150, 450);
    const double radius = d.rng().range(50, 110);
    const double waist = d.rng().range(0, 1);
    d.mesh(w, numbered("geo_living_vase", static_cast<std::size_t>(i)), vase(d, height, radius, waist));
  }
  for (int i = 1; i <= 8; ++i) {
    const double x = d.rng().range(300, 5600);
    const double y = d.rng().range(300, 4700);
    d.node(w, numbered("living_vase", static_cast<std::size_t>(i)),
           numbered("geo_living_vase", static_cast<std::size_t>((i - 1) % 6 + 1)), "ceramic",
           {inRoom(r, x, y, i <= 4 ? 520 : 0)});
  }
  for (int i = 1; i <= 4; ++i) {
    const double width = d.rng().range(400, 1200);
    const double height = d.rng().range(400, 900);
    d.mesh(w, numbered("geo_living_picture", static_cast<std::size_t>(i)), pictureFrame(d, width, height));
    d.node(w, numbered("living_picture", static_cast<std::size_t>(i)),
           numbered("geo_living_picture", static_cast<std::size_t>(i)), "wood",
           {inRoom(r, 600 + i * 1100.0, 4880, 1400), kPi});
  }
  for (int i = 1; i <= 3; ++i) {
    const double height = d.rng().range(80, 250);
    const double radius = d.rng().range(25, 45);
    d.mesh(w, numbered("geo_living_candle", static_cast<std::size_t>(i)), candle(d, height, radius));
  }
  for (int i = 1; i <= 9; ++i) {
    d.node(w, numbered("living_candle", static_cast<std::size_t>(i)),
           numbered("geo_living_candle", static_cast<std::size_t>((i - 1) % 3 + 1)), "mtl_paint_03",
           {inRoom(r, 1800 + (i % 3) * 120.0, 2600 + (i / 3) * 110.0, 420)});
  }
}

void textiles(Design& d, SceneWriter& w) {
  w.comment("Curtains, rugs and throws");
  for (int i = 1; i <= 2; ++i) {
    const double foldWidth = d.rng().range(110, 160);
    const double phase = d.rng().range(0, kPi);
    Mesh curtain;
    appendRelief(curtain, Frame::facing({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), 1400, 2600, d.seg(150, 4), d.seg(260, 4),
                 curtainFolds(2600, foldWidth, phase), 0, 1.4, 2.6);
    d.mesh(w, numbered("geo_curtain_living", static_cast<std::size_t>(i)), curtain);
  }
  const Point living[] = {{150, 150, 100}, {2050, 150, 100}, {2750, 150, 100}, {4650, 150, 100}};
  for (std::size_t i = 0; i < std::size(living); ++i) {
    d.node(w, numbered("living_curtain", i + 1), numbered("geo_curtain_living", i % 2 + 1), "fabric", {living[i]});
  }
  Mesh bedroomCurtain;
  appendRelief(bedroomCurtain, Frame::facing({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), 1100, 2600, d.seg(120, 4), d.seg(260, 4),
               curtainFolds(2600, 130, 0.5), 0, 1.1, 2.6);
  d.mesh(w, "geo_curtain_bedroom", bedroomCurtain);
  d.node(w, "bedroom_curtain_01", "geo_curtain_bedroom", "fabric", {{900, 8850, 100}});
  d.node(w, "bedroom_curtain_02", "geo_curtain_bedroom", "fabric", {{2400, 8850, 100}});
  d.node(w, "study_curtain_01", "geo_curtain_bedroom", "fabric", {{7800, 8850, 100}});

  d.mesh(w, "geo_rug_living", relief(d, 3000, 2000, 11, rugPile(3000, 2000, 40)));
  d.node(w, "living_rug", "geo_rug_living", "fabric", {{1000, 1800, 0}});
  d.mesh(w, "geo_rug_bedroom", relief(d, 2400, 1600, 11, rugPile(2400, 1600, 25)));
  d.node(w, "bedroom_rug", "geo_rug_bedroom", "fabric", {{1100, 5800, 0}});
  d.mesh(w, "geo_throw", relief(d, 1300, 1700, 9, quilt(1300, 1700, 90)));
  d.node(w, "living_throw", "geo_throw", "fabric", {{1500, 4000, 560}, 0.2});
}

void kitchen(Design& d, SceneWriter& w) {
  const Room& r = room("kitchen");
  w.comment("Kitchen and dining");
  const double widths[] = {400, 600, 800};
  for (int i = 0; i < 3; ++i) {
    d.mesh(w, numbered("geo_kitchen_base_cabinet", static_cast<std::size_t>(i + 1)),
           cabinet(d, {widths[i], 580, 720}, widths[i] > 500 ? 2 : 1, i == 1));
  }
  const std::string front = d.pick("wood");
  double x = 100;
  for (int i = 0; x < 3800; ++i) {
    const int variant = (i * 7 + 1) % 3;
    if (x + widths[variant] > 3900) break;
    d.node(w, numbered("kitchen_base_cabinet", static_cast<std::size_t>(i + 1)),
           numbered("geo_kitchen_base_cabinet", static_cast<std::size_t>(variant + 1)), front,
           {inRoom(r, x, 4980, 100), kPi});
    x += widths[variant];
  }
  for (int i = 0; i < 2; ++i) {
    d.mesh(w, numbered("geo_kitchen_wall_cabinet", static_cast<std::size_t>(i + 1)),
           cabinet(d, {widths[i + 1], 350, 700}, i + 1, false));
  }
  for (int i = 0; i < 5; ++i) {
    d.node(w, numbered("kitchen_wall_cabinet", static_cast<std::size_t>(i + 1)),
           numbered("geo_kitchen_wall_cabinet", static_cast<std::size_t>(i % 2 + 1)), front,
           {inRoom(r, 200 + i * 720.0, 4980, 1500), kPi});
  }
  d.mesh(w, "geo_kitchen_tall_cabinet", cabinet(d, {600, 600, 2200}, 1, false));
  d.node(w, "kitchen_tall_cabinet_01", "geo_kitchen_tall_cabinet", front, {inRoom(r, 3950, 3000), kPi / 2});
  d.node(w, "kitchen_tall_cabinet_02", "geo_kitchen_tall_cabinet", front, {inRoom(r, 3950, 3600), kPi / 2});
  Mesh counter;
  appendBox(counter, Frame::at({0, 0, 0}), {3800, 620, 30}, d.edge(12), 0);
  d.mesh(w, "geo_kitchen_countertop", counter);
  d.node(w, "kitchen_countertop", "geo_kitchen_countertop", "stone", {inRoom(r, 100, 4380, 820)});
  Mesh sink;
  appendRelief(
      sink, Frame::at({0, 0, 0}), 800, 450, d.seg(120, 8), d.seg(70, 8),
      [](double x, double y) {
        const double bx = std::min(x - 40, 760 - x), by = std::min(y - 40, 410 - y);
        const double inside = std::min(bx, by);
        return inside > 0 ? -std::min(200.0, inside * 3) : 0;
      },
      0);
  appendLathe(sink, Frame::at({400, 420, 0}), solid([](double s) { return s < 0.3 ? 25.0 : 11.0 - 3 * s; }, 320),
              d.seg(32, 8), d.seg(48, 8), 1);
  appendTorus(sink, Frame::facing({400, 330, 320}, {0, 1, 0}, {0, 0, 1}), 90, 10, d.seg(48, 8), d.seg(16, 4), 1);
  d.mesh(w, "geo_kitchen_sink", sink);
  d.node(w, "kitchen_sink", "geo_kitchen_sink", "metal", {inRoom(r, 1500, 4450, 850)});
  const char* appliances[] = {"fridge", "oven", "hob", "hood"};
  const Point applianceSizes[] = {{700, 650, 1850}, {600, 560, 600}, {600, 520, 8}, {600, 450, 400}};
  for (int i = 0; i < 4; ++i) {
    Mesh m;
    appendBox(m, Frame::at({0, 0, 0}), applianceSizes[i], d.edge(25), 0);
    appendCylinder(m, Frame::at({applianceSizes[i][0] - 60, -25, applianceSizes[i][2] * 0.3}), 8,
                   applianceSizes[i][2] * 0.4, d.seg(16, 6), d.seg(8, 1), 1);
    d.mesh(w, std::string("geo_kitchen_") + appliances[i], m);
    d.node(w, std::string("kitchen_") + appliances[i], std::string("geo_kitchen_") + appliances[i], "metal",
           {inRoom(r, 300 + i * 900.0, 4300, i == 3 ? 1600 : 0), kPi});
  }

  d.mesh(w, "geo_dining_table", table(d, {1800, 900, 750}, 30));
  d.node(w, "dining_table", "geo_dining_table", "wood", {inRoom(r, 1100, 1500)});
  d.mesh(w, "geo_dining_chair", chair(d));
  const std::string chairMaterial = d.pick("wood");
  for (int i = 0; i < 6; ++i) {
    const bool north = i >= 3;
    d.node(w, numbered("dining_chair", static_cast<std::size_t>(i + 1)), "geo_dining_chair", chairMaterial,
           {inRoom(r, 1250 + (i % 3) * 550.0 + (north ? 450 : 0), north ? 2750 : 1250), north ? kPi : 0});
  }
  d.mesh(w, "geo_dining_pendant", lamp(d, 900, 180, false));
  for (int i = 0; i < 3; ++i) {
    d.node(w, numbered("dining_pendant", static_cast<std::size_t>(i + 1)), "geo_dining_pendant", "metal",
           {inRoom(r, 1500 + i * 500.0, 1950, 1800)});
  }

  // Tableware: a few shapes, many pieces.
  struct Kind {
    const char* stem;
    int variants;
    int pieces;
    const char* material;
  };
  const Kind kinds[] = {{"plate", 5, 18, "ceramic"}, {"bowl", 5, 10, "ceramic"}, {"cup", 6, 12, "ceramic"},
                        {"glass", 6, 12, "glass"},   {"bottle", 8, 12, "glass"}, {"jar", 6, 8, "glass"},
                        {"fruit", 8, 15, "plastic"}};
  for (const Kind& kind : kinds) {
    const std::string stem = std::string("geo_kitchen_") + kind.stem;
    for (int v = 1; v <= kind.variants; ++v) {
      const std::string k = kind.stem;
      // Size and height (or depth), in millimetres.
      const double a = d.rng().uniform(), b = d.rng().uniform();
      auto mix = [](double t, double low, double high) { return low + (high - low) * t; };
      Mesh m = k == "plate"    ? plate(d, mix(a, 100, 150), mix(b, 18, 30))
               : k == "bowl"   ? plate(d, mix(a, 70, 110), mix(b, 50, 80))
               : k == "cup"    ? cup(d, mix(b, 80, 110), mix(a, 35, 45), true)
               : k == "glass"  ? cup(d, mix(b, 90, 150), mix(a, 30, 40), false)
               : k == "bottle" ? bottle(d, mix(b, 220, 330), mix(a, 30, 45))
               : k == "jar"    ? vase(d, mix(b, 120, 220), mix(a, 50, 70), 0.2)
                               : fruit(d, mix(a, 60, 90));
      d.mesh(w, numbered(stem, static_cast<std::size_t>(v)), m);
    }
    for (int p = 1; p <= kind.pieces; ++p) {
      const bool onTable = d.rng().chance(0.5);
      const double x = onTable ? d.rng().range(1200, 2800) : d.rng().range(150, 3700);
      const double y = onTable ? d.rng().range(1600, 2300) : d.rng().range(4450, 4900);
      const int variant = d.rng().integer(1, kind.variants);
      d.node(w, std::string("kitchen_") + kind.stem + "_" + std::to_string(p),
             numbered(stem, static_cast<std::size_t>(variant)), kind.material,
             {inRoom(r, x, y, onTable ? 750 : 850), d.rng().range(0, 2 * kPi)});
    }
  }
}

void bedroom(Design& d, SceneWriter& w) {
  const Room& r = room("bedroom");
  w.comment("Bedroom");
  Mesh bed;
  appendBox(bed, Frame::at({0, 0, 100}), {1800, 2100, 250}, d.edge(25), 1);
  appendCushion(bed, Frame::at({0, 2050, 100}), {1800, 90, 1100}, 0.3, d.seg(220, 8), d.seg(120, 6), 0);
  legs(d, bed, {1800, 2100, 100}, 60, 25, 100, 2);
  d.mesh(w, "geo_bedroom_bed", bed);
  d.node(w, "bedroom_bed", "geo_bedroom_bed", "fabric", {inRoom(r, 1350, 1850), kPi});
  Mesh mattress;
  appendCushion(mattress, Frame::at({0, 0, 0}), {1780, 2000, 220}, 0.2, d.seg(260, 8), d.seg(160, 6), 0);
  d.mesh(w, "geo_bedroom_mattress", mattress);
  d.node(w, "bedroom_mattress", "geo_bedroom_mattress", "fabric", {inRoom(r, 3140, 3940, 350), kPi});
  d.mesh(w, "geo_bedroom_bedspread", relief(d, 2000, 2300, 8, quilt(2000, 2300, 160)));
  d.node(w, "bedroom_bedspread", "geo_bedroom_bedspread", "fabric", {inRoom(r, 3250, 3900, 575), kPi});
  for (int i = 1; i <= 2; ++i) {
    Mesh pillow;
    appendCushion(pillow, Frame::at({0, 0, 0}), {d.rng().range(600, 800), 450, 160}, 0.5, d.seg(128, 8), d.seg(80, 6),
                  0);
    d.mesh(w, numbered("geo_bedroom_pillow", static_cast<std::size_t>(i)), pillow);
  }
  for (int i = 1; i <= 4; ++i) {
    d.node(w, numbered("bedroom_pillow", static_cast<std::size_t>(i)),
           numbered("geo_bedroom_pillow", static_cast<std::size_t>((i - 1) / 2 + 1)), "fabric",
           {inRoom(r, 1500 + (i % 2) * 800.0, 3600 - (i > 2 ? 150 : 0), 600 + (i > 2 ? 150 : 0))});
  }
  d.mesh(w, "geo_bedroom_nightstand", cabinet(d, {500, 400, 550}, 1, true));
  d.mesh(w, "geo_bedroom_lamp", lamp(d, 520, 150, false));
  for (int i = 0; i < 2; ++i) {
    const double x = i == 0 ? 700 : 3300;
    d.node(w, numbered("bedroom_nightstand", static_cast<std::size_t>(i + 1)), "geo_bedroom_nightstand", "wood",
           {inRoom(r, x, 3900), kPi});
    d.node(w, numbered("bedroom_lamp", static_cast<std::size_t>(i + 1)), "geo_bedroom_lamp", "ceramic",
           {inRoom(r, x - 250, 3700, 550)});
  }
  d.mesh(w, "geo_bedroom_wardrobe", cabinet(d, {2000, 600, 2300}, 4, false));
  d.node(w, "bedroom_wardrobe", "geo_bedroom_wardrobe", "wood", {inRoom(r, 4400, 300), kPi / 2});
  d.mesh(w, "geo_bedroom_dresser", cabinet(d, {1200, 500, 800}, 2, true));
  d.node(w, "bedroom_dresser", "geo_bedroom_dresser", "wood", {inRoom(r, 300, 400), -kPi / 2});
  Mesh mirror;
  appendBox(mirror, Frame::at({0, 0, 0}), {800, 20, 1000}, d.edge(40), 0);
  appendTorus(mirror, Frame::facing({400, -5, 500}, {1, 0, 0}, {0, 0, 1}), 380, 15, d.seg(128, 12), d.seg(16, 4), 1);
  d.mesh(w, "geo_bedroom_mirror", mirror);
  d.node(w, "bedroom_mirror", "geo_bedroom_mirror", "mtl_metal_02", {inRoom(r, 20, 500, 1000), -kPi / 2});
  for (int i = 1; i <= 12; ++i) {
    d.node(w, numbered("bedroom_book", static_cast<std::size_t>(i)),
           numbered("geo_living_book", static_cast<std::size_t>(d.rng().integer(1, 60))), "paper",
           {inRoom(r, 450 + i * 30.0, 3900, 550), kPi / 2});
  }
  for (int i = 1; i <= 2; ++i) {
    const double width = d.rng().range(500, 900);
    const double height = d.rng().range(600, 1000);
    d.mesh(w, numbered("geo_bedroom_picture", static_cast<std::size_t>(i)), pictureFrame(d, width, height));
    d.node(w, numbered("bedroom_picture", static_cast<std::size_t>(i)),
           numbered("geo_bedroom_picture", static_cast<std::size_t>(i)), "wood",
           {inRoom(r, 1200 + i * 700.0, 3980, 1500), kPi});
  }
}

void bathroom(Design& d, SceneWriter& w) {
  const Room& r = room("bathroom");
  w.comment("Bathroom");
  const HeightField wallTiles = tiles(100, 2, kSeed + 7);
  const double walls[] = {r.width, r.depth, r.depth};
  for (int i = 0; i < 3; ++i) {
    Mesh m;
    appendRelief(m, Frame::facing({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), walls[i], 2200, d.seg(walls[i] / 14, 4),
                 d.seg(2200 / 14.0, 4), wallTiles, 0, walls[i] / 100, 22);
    d.mesh(w, numbered("geo_bathroom_wall_tiles", static_cast<std::size_t>(i + 1)), m);
  }
  d.node(w, "bathroom_wall_tiles_01", "geo_bathroom_wall_tiles_01", "tile", {inRoom(r, 0, 3980)});
  d.node(w, "bathroom_wall_tiles_02", "geo_bathroom_wall_tiles_02", "tile", {inRoom(r, 20, 0), kPi / 2});
  d.node(w, "bathroom_wall_tiles_03", "geo_bathroom_wall_tiles_03", "tile", {inRoom(r, 2480, 4000), -kPi / 2});
  Mesh tub;
  appendCushion(tub, Frame::at({0, 0, 0}), {1700, 750, 580}, 0.25, d.seg(200, 8), d.seg(100, 6), 0);
  appendRelief(
      tub, Frame::at({60, 60, 580}), 1580, 630, d.seg(160, 8), d.seg(64, 8),
      [](double x, double y) {
        const double inside = std::min(std::min(x, 1580 - x), std::min(y, 630 - y));
        return -std::min(420.0, inside * 2.5);
      },
      1);
  d.mesh(w, "geo_bathroom_tub", tub);
  d.node(w, "bathroom_tub", "geo_bathroom_tub", "ceramic", {inRoom(r, 780, 3200), 0});
  Mesh basin;
  appendLathe(basin, Frame::at({0, 0, 0}), vessel([](double s) { return 180 + 70 * s; }, 150, 10), d.seg(96, 12),
              d.seg(64, 8), 0);
  d.mesh(w, "geo_bathroom_basin", basin);
  d.node(w, "bathroom_basin", "geo_bathroom_basin", "ceramic", {inRoom(r, 300, 1200, 850)});
  d.mesh(w, "geo_bathroom_vanity", cabinet(d, {900, 480, 820}, 2, false));
  d.node(w, "bathroom_vanity", "geo_bathroom_vanity", "wood", {inRoom(r, 20, 750), -kPi / 2});
  Mesh toilet;
  appendLathe(toilet, Frame::at({0, 0, 0}), vessel([](double s) { return 140 + 60 * s * s; }, 400, 12), d.seg(96, 12),
              d.seg(64, 8), 0);
  appendCushion(toilet, Frame::at({-200, -230, 400}), {400, 460, 30}, 0.4, d.seg(96, 8), d.seg(24, 4), 1);
  appendBox(toilet, Frame::at({-220, 200, 300}), {440, 180, 420}, d.edge(20), 0);
  d.mesh(w, "geo_bathroom_toilet", toilet);
  d.node(w, "bathroom_toilet", "geo_bathroom_toilet", "ceramic", {inRoom(r, 300, 2200), -kPi / 2});
  Mesh rail;
  appendCylinder(rail, Frame::along({0, 0, 0}, {1, 0, 0}), 12, 600, d.seg(24, 8), d.seg(32, 2), 0);
  appendCylinder(rail, Frame::along({0, 0, 300}, {1, 0, 0}), 12, 600, d.seg(24, 8), d.seg(32, 2), 0);
  for (double x : {0.0, 600.0}) appendCylinder(rail, Frame::at({x, 0, -50}), 15, 400, d.seg(24, 8), d.seg(16, 2), 0);
  d.mesh(w, "geo_bathroom_towel_rail", rail);
  d.node(w, "bathroom_towel_rail", "geo_bathroom_towel_rail", "metal", {inRoom(r, 2450, 800, 900), kPi / 2});
  for (int i = 1; i <= 2; ++i) {
    Mesh towel;
    const double width = i == 1 ? 500 : 700;
    appendRelief(towel, Frame::facing({0, 0, 0}, {1, 0, 0}, {0, 0, 1}), width, 700, d.seg(width / 8, 4), d.seg(90, 4),
                 curtainFolds(700, 180, i * 0.8), 0);
    d.mesh(w, numbered("geo_bathroom_towel", static_cast<std::size_t>(i)), towel);
  }
  for (int i = 1; i <= 4; ++i) {
    d.node(w, numbered("bathroom_towel", static_cast<std::size_t>(i)),
           numbered("geo_bathroom_towel", static_cast<std::size_t>((i - 1) % 2 + 1)), "fabric",
           {inRoom(r, 2400, 700 + i * 150.0, 500), kPi / 2});
  }
  for (int i = 1; i <= 5; ++i) {
    const double height = d.rng().range(120, 220);
    const double radius = d.rng().range(25, 40);
    d.mesh(w, numbered("geo_bathroom_bottle", static_cast<std::size_t>(i)), bottle(d, height, radius));
  }
  for (int i = 1; i <= 8; ++i) {
    d.node(w, numbered("bathroom_bottle", static_cast<std::size_t>(i)),
           numbered("geo_bathroom_bottle", static_cast<std::size_t>(d.rng().integer(1, 5))), "plastic",
           {inRoom(r, 100 + (i % 4) * 60.0, 1000 + (i / 4) * 80.0, 1000)});
  }
  Mesh shower;
  appendBox(shower, Frame::at({0, 0, 0}), {900, 8, 2000}, d.edge(100), 0);
  appendCylinder(shower, Frame::at({450, 400, 1900}), 110, 12, d.seg(64, 12), d.seg(2, 1), 1);
  appendCylinder(shower, Frame::along({450, 0, 1950}, {0, 1, 0}), 10, 400, d.seg(24, 8), d.seg(16, 2), 1);
  d.mesh(w, "geo_bathroom_shower", shower);
  d.node(w, "bathroom_shower", "geo_bathroom_shower", "mtl_glass_02", {inRoom(r, 1500, 2000)});
}

void study(Design& d, SceneWriter& w) {
  const Room& r = room("study");
  w.comment("Study");
  Mesh desk;
  appendBox(desk, Frame::at({0, 0, 720}), {1600, 750, 30}, d.edge(12), 0);
  appendBox(desk, Frame::at({0, 0, 0}), {450, 720, 720}, d.edge(25), 1);
  legs(d, desk, {1600, 750, 720}, 40, 20, 720, 2);
  d.mesh(w, "geo_study_desk", desk);
  d.node(w, "study_desk", "geo_study_desk", "wood", {inRoom(r, 700, 3100)});
  Mesh officeChair;
  appendCushion(officeChair, Frame::at({-250, -250, 440}), {500, 500, 90}, 0.3, d.seg(96, 8), d.seg(40, 4), 0);
  appendCushion(officeChair, Frame::at({-230, 180, 560}), {460, 70, 600}, 0.35, d.seg(96, 8), d.seg(48, 4), 0);
  appendCylinder(officeChair, Frame::at({0, 0, 100}), 25, 340, d.seg(32, 8), d.seg(16, 2), 1);
  for (int arm = 0; arm < 5; ++arm) {
    const double a = arm * 2 * kPi / 5;
    appendCylinder(officeChair, Frame::along({0, 0, 90}, {std::cos(a), std::sin(a), -0.1}), 15, 330, d.seg(16, 6),
                   d.seg(12, 2), 1);
    appendCushion(officeChair, Frame::at({330 * std::cos(a) - 25, 330 * std::sin(a) - 25, 0}), {50, 50, 50}, 1.0,
                  d.seg(24, 6), d.seg(16, 4), 1);
  }
  d.mesh(w, "geo_study_chair", officeChair);
  d.node(w, "study_chair", "geo_study_chair", "leather", {inRoom(r, 1500, 2600)});
  d.mesh(w, "geo_study_shelf", shelf(d, {900, 320, 2200}, 7));
  const BookSet set = books(d, w, "geo_study_book", 60);
  for (int s = 0; s < 2; ++s) {
    const Point at = inRoom(r, 50, 600 + s * 950);
    d.node(w, numbered("study_shelf", static_cast<std::size_t>(s + 1)), "geo_study_shelf", "wood", {at, -kPi / 2});
    fillShelf(d, w, "study_book_" + std::to_string(s + 1), set.meshes, set.sizes, at, -kPi / 2, 900, 7,
              (2200 - 22) / 6.0);
  }
  Mesh laptop;
  appendBox(laptop, Frame::at({0, 0, 0}), {340, 240, 10}, d.edge(10), 0);
  appendBox(laptop, Frame::at({0, 235, 10}), {340, 6, 225}, d.edge(10), 0);
  appendBox(laptop, Frame::at({10, 233, 20}), {320, 2, 200}, d.edge(20), 1);
  d.mesh(w, "geo_study_laptop", laptop);
  d.node(w, "study_laptop", "geo_study_laptop", "metal", {inRoom(r, 1200, 3300, 750)});
  d.mesh(w, "geo_study_lamp", lamp(d, 450, 90, false));
  d.node(w, "study_lamp", "geo_study_lamp", "metal", {inRoom(r, 2100, 3600, 750)});
  d.mesh(w, "geo_study_plant", plant(d, 24));
  d.node(w, "study_plant", "geo_study_plant", "plant", {inRoom(r, 2700, 300)});
  for (int i = 1; i <= 10; ++i) {
    Mesh box;
    appendBox(box, Frame::at({0, 0, 0}), {d.rng().range(80, 350), d.rng().range(60, 320), d.rng().range(40, 300)},
              d.edge(20), 0);
    d.mesh(w, numbered("geo_study_box", static_cast<std::size_t>(i)), box);
  }
  for (int i = 1; i <= 20; ++i) {
    const double x = d.rng().range(100, 2800);
    const double y = d.rng().range(100, 3800);
    d.node(w, numbered("study_box", static_cast<std::size_t>(i)),
           numbered("geo_study_box", static_cast<std::size_t>((i - 1) % 10 + 1)), "paper",
           {inRoom(r, x, y, i % 3 == 0 ? 750 : 0), d.rng().range(0, 2 * kPi)});
  }
  d.mesh(w, "geo_study_pen_holder", cup(d, 110, 40, false));
  d.node(w, "study_pen_holder", "geo_study_pen_holder", "ceramic", {inRoom(r, 900, 3500, 750)});
}

void lighting(Design& d, SceneWriter& w) {
  w.comment("Light fittings");
  for (int i = 1; i <= 2; ++i) {
    Mesh m;
    const double radius = i == 1 ? 300 : 200;
    appendLathe(m, Frame::at({0, 0, -radius * 0.8}),
                vessel([=](double s) { return radius * std::sin(0.2 + 1.3 * s); }, radius * 0.8, 2), d.seg(128, 12),
                d.seg(48, 8), 0);
    appendCylinder(m, Frame::at({0, 0, -10}), 60, 10, d.seg(48, 8), 1, 1);
    d.mesh(w, numbered("geo_ceiling_lamp", static_cast<std::size_t>(i)), m);
  }
  for (const Room& r : kRooms) {
    d.node(w, std::string(r.name) + "_ceiling_lamp", numbered("geo_ceiling_lamp", r.width > 4000 ? 1 : 2), "metal",
           {inRoom(r, r.width / 2, r.depth / 2, kCeiling)});
  }
  Mesh spot;
  appendLathe(spot, Frame::at({0, 0, -60}), vessel([](double s) { return 35 + 10 * s; }, 60, 2), d.seg(48, 8),
              d.seg(24, 8), 0);
  d.mesh(w, "geo_spot", spot);
  Mesh bulb;
  appendCushion(bulb, Frame::at({-30, -30, -80}), {60, 60, 80}, 1.0, d.seg(48, 8), d.seg(32, 6), 0);
  d.mesh(w, "geo_bulb", bulb);
  int spots = 0;
  for (const Room& r : kRooms) {
    for (double x = 600; x < r.width; x += 1200) {
      for (double y : {600.0, r.depth - 600}) {
        ++spots;
        d.node(w, numbered("spot", static_cast<std::size_t>(spots)), "geo_spot", "mtl_metal_03",
               {inRoom(r, x, y, kCeiling)});
        d.node(w, numbered("spot_bulb", static_cast<std::size_t>(spots)), "geo_bulb", "mtl_glass_03",
               {inRoom(r, x, y, kCeiling - 20)});
      }
    }
  }
  Mesh strip;
  appendBox(strip, Frame::at({0, 0, 0}), {3800, 20, 10}, d.edge(20), 0);
  d.mesh(w, "geo_led_strip", strip);
  d.node(w, "kitchen_led_strip", "geo_led_strip", "mtl_plastic_01", {{6100, 4650, 1480}});
}

}  // namespace

DesignOptions scaledDesign(double scale, DesignOptions base) {
  base.flats = std::max(1, static_cast<int>(std::ceil(std::sqrt(scale) - 1e-9)));
  base.detail *= std::sqrt(scale / base.flats);
  return base;
}

DesignTotals writeDesign(const std::filesystem::path& directory, const DesignOptions& options) {
  if (options.flats < 1) throw std::invalid_argument("a design has at least one flat");
  Design d(options);
  // Files are saved in creation order; the main file comes first.
  SceneWriter& main = d.file("vr.vrscene");
  main.comment(options.flats == 1 ? std::string("Vela interior design export: five-room flat")
                                  : "Vela interior design export: " + std::to_string(options.flats) +
                                        " five-room flats, one above the other");
  main.begin("SettingsUnitsInfo", "settingsUnitsInfo");
  main.attribute("meters_scale", "0.001");
  main.attribute("photometric_scale", "0.002");
  main.end();
  main.begin("SettingsOutput", "settingsOutput");
  main.attribute("img_width", "1920");
  main.attribute("img_height", "1080");
  main.end();
  main.begin("RenderView", "renderView");
  main.attribute("transform", scenegen::transformForm({{{1, 0, 0}, {0, 0, 1}, {0, -1, 0}}}, {5000, -2500, 1600}));
  main.attribute("fov", "1.0472");
  main.end();
  main.begin("SunLight", "sun");
  main.attribute("intensity_multiplier", "0.02");
  main.attribute("size_multiplier", "3");
  main.end();

  const char* rooms[] = {"architecture.vrscene", "living_room.vrscene", "kitchen.vrscene", "bedroom.vrscene",
                         "bathroom.vrscene",     "study.vrscene",       "lighting.vrscene"};
  const char* materialsFile = "materials.vrscene";
  if (options.layout == DesignLayout::Rooms) {
    main.include(materialsFile);
    d.file(materialsFile);
    for (int flat = 1; flat <= options.flats; ++flat) {
      d.setFlat(flat);
      for (const char* name : rooms) {
        main.include(d.flatName(name));
        d.file(d.flatName(name));
      }
      d.file(d.flatName("textiles.vrscene"));  // included by the living room
    }
  } else {
    // As an exporter names the parts of a scene it splits.
    const char* categories[] = {"vr_geometry.vrscene", "vr_nodes.vrscene", "vr_materials.vrscene"};
    for (const char* name : categories) {
      main.include(name);
      d.file(name);
    }
    d.setCategoryFiles(&d.file(categories[0]), &d.file(categories[1]));
    materialsFile = categories[2];
  }

  d.materials(d.file(materialsFile));
  for (int flat = 1; flat <= options.flats; ++flat) {
    d.setFlat(flat);
    architecture(d, d.roomFile("architecture.vrscene"));
    livingRoom(d, d.roomFile("living_room.vrscene"));
    textiles(d, d.roomFile("textiles.vrscene"));
    kitchen(d, d.roomFile("kitchen.vrscene"));
    bedroom(d, d.roomFile("bedroom.vrscene"));
    bathroom(d, d.roomFile("bathroom.vrscene"));
    study(d, d.roomFile("study.vrscene"));
    lighting(d, d.roomFile("lighting.vrscene"));
  }
  return d.save(directory);
}

}  // namespace cvimp::bench
