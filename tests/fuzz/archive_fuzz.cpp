// libFuzzer harness: any bytes as a design package, unpacked with and
// without the package password; nothing may be written outside the folder
// it is unpacked into. Built by `make fuzz` (clang).
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "host/stand_in.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/jobs/jobs_internals.h"

namespace fs = std::filesystem;

namespace {

cvimp::fuzz::Sandbox* sandbox = nullptr;

// Everything below the sandbox is the archive or lies inside `inside`.
void checkContained(const fs::path& archive, const fs::path& inside) {
  for (const auto& entry : fs::recursive_directory_iterator(sandbox->root())) {
    const fs::path path = entry.path();
    if (path == archive || path == inside) continue;
    const auto relative = path.lexically_relative(inside);
    if (relative.empty() || *relative.begin() == "..") std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cvimp::fuzz::silenceStandardOutput();
  host::setProgressOnTerminal(false);
  static cvimp::fuzz::Sandbox root("cvimp-archive-fuzz-");
  sandbox = &root;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  const fs::path archive = sandbox->root() / "package.zip";
  const fs::path folder = sandbox->root() / "unpacked";
  if (!cvimp::fuzz::writeFile(archive, data, size)) std::abort();
  host::reset();
  // The demo's password, which the seed packages use.
  const std::optional<std::string> password =
      size % 2 == 0 ? std::optional<std::string>(cvimp::packagePassword("DEMO-DESIGN-000042", "demo-task-0001"))
                    : std::nullopt;
  cvimp::extractArchive(host::utf8ToUtf16(archive.string()), host::utf8ToUtf16(folder.string()), password);
  checkContained(archive, folder);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return 0;
}
