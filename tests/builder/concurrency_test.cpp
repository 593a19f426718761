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
#include "tests/support/strip_scene.h"

namespace cvimp {
namespace {

class ParallelImport : public test::HostTest {
 protected:
  std::string importJson(const std::string& path, std::size_t threads) {
    tbb::global_control parallelism(tbb::global_control::max_allowed_parallelism, threads);
    freshHost();
    PluginState state;
    state.scenePath = WStr::FromUTF8(path.c_str());
    WStr result;
    bool imported = false;
    test::captureStdout([&] { imported = importDesign(state, result); });
    EXPECT_TRUE(imported) << result.ToUTF8().data();
    return host::sceneJson();
  }
};

TEST_F(ParallelImport, MeshesFilledOnWorkersEqualTheSingleThreadedBuild) {
  test::TempDir dir;
  const std::string path = dir.write("strips.vrscene", test::stripScene(12));
  const std::string single = importJson(path, 1);
  EXPECT_EQ(host::countScene().objects, 12u);
  for (int round = 0; round < 2; ++round) EXPECT_EQ(importJson(path, 4), single) << round;
}

}  // namespace
}  // namespace cvimp
