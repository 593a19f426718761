#pragma once
// What the glTF suites share: a host with a scene in it (imported or built
// by hand), the scene written as .glb, checked by the Khronos validator, and
// tinygltf reading it back.
#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <array>
#include <filesystem>
#include <string>

#include "gltf/gltf.h"
#include "tests/gltf/gltf_validator.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace cvimp::test {

// Axis-aligned bounds in metres, Y up.
struct Bounds {
  std::array<double, 3> min{1e300, 1e300, 1e300}, max{-1e300, -1e300, -1e300};
  void add(const std::array<double, 3>& p);
};

class GltfTest : public HostTest {
 public:
  // Where an accessor's elements start in the binary chunk, and how many.
  static const unsigned char* accessorBytes(const tinygltf::Model& model, int accessor, std::size_t& count);

 protected:
  // Imports `scene` through the import driver; true on "Succeed".
  static bool importScene(const std::string& scene, bool quadrify = false);
  // Writes the host scene; the report gets the export's losses.
  std::string writeGlb(const std::string& name = "scene.glb");
  static bool load(const std::string& glb, tinygltf::Model& model);
  // The Khronos validator finds no error and no warning.
  static void expectValid(const std::string& glb);

  // Of the host scene and of a model: world bounds, and the triangles of
  // all nodes.
  static Bounds hostBounds();
  static std::size_t hostTriangles();
  // Distinct vertex positions each node shows, added up over the nodes:
  // the same in both however corners are split.
  static std::size_t hostVertices();
  static std::size_t modelVertices(const tinygltf::Model& model);
  static Bounds modelBounds(const tinygltf::Model& model);
  static std::size_t modelTriangles(const tinygltf::Model& model);

  TempDir dir;
  Report report;
};

// A design that uses what the export maps: instances with different
// materials, a mirrored and a sheared node, explicit normals split at
// corners, two UV channels, a textured material on a mesh without UVs,
// every Physical Material mapping with bitmaps (tiled, cut-out), a missing
// texture and a bump. Written into `folder`; returns the scene file.
std::string writeMappingDesign(const std::filesystem::path& folder);

}  // namespace cvimp::test
