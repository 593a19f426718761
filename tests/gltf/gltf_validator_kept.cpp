#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "tests/gltf/gltf_validator.h"

namespace cvimp::test {

// The validator runs on node, on the build machine: a Windows program under
// Wine cannot run it and read its answer. The file is kept under a name of
// its test for the run after the suites.
Validation validateGlb(const std::string& glb) {
  static std::atomic<int> kept{0};
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = test != nullptr ? std::string(test->test_suite_name()) + "." + test->name() : "glb";
  for (char& c : name) {
    if (c == '/' || c == '\\' || c == ':') c = '_';
  }
  const std::filesystem::path folder = platform::pathFromUtf8(CVIMP_GLTF_KEPT_DIR);
  const std::filesystem::path target = folder / (name + "-" + std::to_string(kept++) + ".glb");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::filesystem::copy_file(platform::pathFromUtf8(glb), target, std::filesystem::copy_options::overwrite_existing,
                             error);
  Validation result;
  result.deferred = !error;
  result.output = error ? "cannot keep " + glb + " for the validator: " + error.message()
                        : "kept for the validator as " + platform::utf8FromPath(target);
  return result;
}

}  // namespace cvimp::test
