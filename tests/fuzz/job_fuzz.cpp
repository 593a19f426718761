// libFuzzer harness: any bytes as a job text from the page (UTF-8, as the
// bridge hands it on), run through the dispatcher in the fuzz job
// environment. Built by `make fuzz` (clang).
#include <string_view>

#include "platform/platform.h"
#include "tests/fuzz/job_environment.h"

namespace {
cvimp::fuzz::JobEnvironment* environment = nullptr;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static cvimp::fuzz::JobEnvironment jobs;
  environment = &jobs;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  environment->run(cvimp::platform::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
