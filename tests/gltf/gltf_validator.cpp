#include "tests/gltf/gltf_validator.h"

#include <rapidjson/document.h>

#include "tests/platform/child_process.h"

namespace cvimp::test {

Validation validateGlb(const std::string& glb) {
  Validation result;
  const ProgramRun run = runProgram(CVIMP_NODE, {CVIMP_GLTF_VALIDATOR, glb});
  result.output = run.output;
  rapidjson::Document document;
  document.Parse(run.output.c_str());
  if (!run.succeeded || document.HasParseError() || !document.IsObject()) {
    result.output = "the validator did not run (scripts/install-deps installs it): " + run.output;
    return result;
  }
  result.ran = true;
  result.errors = document["errors"].GetInt();
  result.warnings = document["warnings"].GetInt();
  return result;
}

}  // namespace cvimp::test
