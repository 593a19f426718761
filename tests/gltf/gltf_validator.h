#pragma once
// The Khronos glTF Validator (npm, installed by scripts/install-deps), run
// under node on a .glb. In the Windows build the file is only kept, and
// validated on the build machine after the suites (GltfValidator.* in
// ctest): the result is then `deferred`.
#include <string>

namespace cvimp::test {

struct Validation {
  bool ran = false;
  bool deferred = false;
  int errors = -1, warnings = -1;
  std::string output;  // the validator's JSON, for failure messages
};

Validation validateGlb(const std::string& glb);

}  // namespace cvimp::test
