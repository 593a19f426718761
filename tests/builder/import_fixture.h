#pragma once
// Whole imports of scene files written by the tests into the stand-in host:
// the fixture and the plugins most tests start from.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "builder/builder.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {

namespace gen = scenegen;
using test::captureStdout;

inline std::string ints(const std::vector<std::int32_t>& v) { return "ListIntHex(\"" + gen::packInts(v) + "\")"; }
inline std::string vectors(const std::vector<gen::Vec3>& v) { return "ListVectorHex(\"" + gen::packVectors(v) + "\")"; }

// A unit quad in the XY plane, two triangles, normals and channel 1.
inline void quadMesh(gen::SceneWriter& w, const std::string& name) {
  w.begin("GeomStaticMesh", name);
  w.attribute("vertices", vectors({{0, 0, 0}, {1000, 0, 0}, {1000, 1000, 0}, {0, 1000, 0}}));
  w.attribute("faces", ints({0, 1, 2, 0, 2, 3}));
  w.attribute("normals", vectors({{0, 0, 1}}));
  w.attribute("faceNormals", ints({0, 0, 0, 0, 0, 0}));
  w.attribute("map_channels", "List(List(1, " + vectors({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}) + ", " +
                                  ints({0, 1, 2, 0, 2, 3}) + "))");
  w.attribute("face_mtlIDs", ints({0, 0}));
  w.end();
}

inline void node(gen::SceneWriter& w, const std::string& name, const std::string& geometry, const std::string& material,
                 const std::string& transform =
                     "Transform(Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)), "
                     "Vector(0, 0, 0))") {
  w.begin("Node", name);
  w.attribute("transform", transform);
  if (!geometry.empty()) w.attribute("geometry", geometry);
  if (!material.empty()) w.attribute("material", material);
  w.end();
}

inline void diffuseMaterial(gen::SceneWriter& w, const std::string& name, float r, float g, float b) {
  w.begin("BRDFDiffuse", name + "_brdf");
  w.attribute("color", gen::colorForm(r, g, b));
  w.end();
  w.begin("MtlSingleBRDF", name);
  w.attribute("brdf", name + "_brdf");
  w.end();
}

class ImportTest : public test::HostTest {
 protected:
  std::string write(const std::string& name, const std::string& text) { return dir.write(name, text); }

  // Imports `path` with the options of `state`; returns what was printed.
  std::string import(const std::string& path) {
    state.scenePath = WStr::FromUTF8(path.c_str());
    return captureStdout([&] { succeeded = importDesign(state, result); });
  }

  const host::Scene& scene() const { return host::scene(); }
  bool pairedProgressAndRedraw() const {
    const host::ProgressState progress = host::progress();
    return !progress.shown && progress.starts == progress.ends && host::sceneRedrawDisabledDepth() == 0;
  }

  test::TempDir dir;
  PluginState state;
  WStr result;
  bool succeeded = false;
};

}  // namespace cvimp
