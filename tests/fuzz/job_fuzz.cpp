// libFuzzer harness: any bytes as a job text from the page (UTF-8, as the
// bridge hands it on), run through the dispatcher in the fuzz job
// environment. Built by `make fuzz` (clang).
#include <string_view>

#include "platform/platform.h"
#include "tests/fuzz/job_environment.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cvimp::fuzz::jobEnvironment();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  cvimp::fuzz::jobEnvironment().run(
      cvimp::platform::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size)));
  return 0;
}
