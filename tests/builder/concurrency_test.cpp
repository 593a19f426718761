// Meshes are filled on worker threads while the main thread goes on with
// objects and nodes: the host scene must be the one a single thread builds.
// Also built under ThreadSanitizer (make tsan).
#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include <string>
#include <vector>

#include "builder/builder.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

namespace gen = scenegen;

// Strips of quads, from a few hundred bytes to arrays of several hundred
// kilobytes, so every kind of scene memory is filled; each mesh carries
// normals, a map channel and material IDs, and some are instanced.
std::string stripScene(int meshes) {
  gen::SceneWriter w;
  for (int m = 0; m < meshes; ++m) {
    const int quads = 4 + (m * 7919) % 6000;
    std::vector<gen::Vec3> points, uvw;
    std::vector<std::int32_t> faces, ids;
    for (int q = 0; q <= quads; ++q) {
      points.push_back({float(q), float(m), 0});
      points.push_back({float(q), float(m) + 1, float(q % 3)});
      uvw.push_back({float(q) / float(quads), 0, 0});
      uvw.push_back({float(q) / float(quads), 1, 0});
    }
    for (int q = 0; q < quads; ++q) {
      const int a = 2 * q;
      faces.insert(faces.end(), {a, a + 2, a + 3, a, a + 3, a + 1});
      ids.insert(ids.end(), {q % 4, q % 4});
    }
    const std::string name = "mesh" + std::to_string(m);
    w.begin("GeomStaticMesh", name);
    w.attribute("vertices", "ListVectorHex(\"" + gen::packVectors(points) + "\")");
    w.attribute("faces", "ListIntHex(\"" + gen::packInts(faces) + "\")");
    w.attribute("normals", "ListVectorHex(\"" + gen::packVectors(points) + "\")");
    w.attribute("faceNormals", "ListIntHex(\"" + gen::packInts(faces) + "\")");
    w.attribute("map_channels", "List(List(1, ListVectorHex(\"" + gen::packVectors(uvw) + "\"), ListIntHex(\"" +
                                    gen::packInts(faces) + "\")))");
    w.attribute("face_mtlIDs", "ListIntHex(\"" + gen::packInts(ids) + "\")");
    w.end();
    for (int copy = 0; copy < 1 + m % 3; ++copy) {
      w.begin("Node", name + "_node" + std::to_string(copy));
      w.attribute("transform", "Transform(Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)), Vector(" +
                                   std::to_string(copy) + ", 0, 0))");
      w.attribute("geometry", name);
      w.end();
    }
  }
  return w.take();
}

class ParallelImport : public test::HostTest {
 protected:
  std::string importJson(const std::string& path, std::size_t threads) {
    tbb::global_control parallelism(tbb::global_control::max_allowed_parallelism, threads);
    freshHost();
    PluginState state;
    state.scenePath = WStr::FromACP(path.c_str());
    WStr result;
    bool imported = false;
    test::captureStdout([&] { imported = importDesign(state, result); });
    EXPECT_TRUE(imported) << result.ToACP().data();
    return host::sceneJson();
  }
};

TEST_F(ParallelImport, MeshesFilledOnWorkersEqualTheSingleThreadedBuild) {
  test::TempDir dir;
  const std::string path = dir.write("strips.vrscene", stripScene(12));
  const std::string single = importJson(path, 1);
  EXPECT_EQ(host::countScene().objects, 12u);
  for (int round = 0; round < 2; ++round) EXPECT_EQ(importJson(path, 4), single) << round;
}

}  // namespace
}  // namespace cvimp
