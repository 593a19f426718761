// The writer encodes mesh data on worker threads while the main thread
// writes: the file must be the one a single thread writes. Also built under
// ThreadSanitizer (make tsan).
#include <gtest/gtest.h>

#include <tbb/global_control.h>

#include <fstream>
#include <iterator>
#include <string>

#include "builder/builder.h"
#include "gltf/gltf.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/strip_scene.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

class ParallelGlb : public test::HostTest {
 protected:
  std::string writtenBytes(const std::string& path, std::size_t threads) {
    tbb::global_control parallelism(tbb::global_control::max_allowed_parallelism, threads);
    Report report;
    std::string error;
    EXPECT_TRUE(writeSceneGlb(path, report, error)) << error;
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
};

TEST_F(ParallelGlb, MeshDataEncodedOnWorkersGivesTheSingleThreadedFile) {
  test::TempDir dir;
  PluginState state;
  state.scenePath = WStr::FromUTF8(dir.write("strips.vrscene", test::stripScene(12)).c_str());
  WStr result;
  bool imported = false;
  test::captureStdout([&] { imported = importDesign(state, result); });
  ASSERT_TRUE(imported);
  const std::string path = platform::utf8FromPath(dir.path() / "strips.glb");
  const std::string single = writtenBytes(path, 1);
  ASSERT_GT(single.size(), 1000000u);
  for (int round = 0; round < 2; ++round) EXPECT_EQ(writtenBytes(path, 4), single) << round;
}

}  // namespace
}  // namespace cvimp
