// libFuzzer harness: any bytes as a job text from the page (UTF-8, as the
// bridge hands it on), run through the dispatcher. Nothing reaches a server
// or starts a program: the transfer is a recorder that writes the sample
// design's real package (or fails, for addresses that say so), and the
// host's launcher only records. Files land in a sandbox download folder.
// Built by `make fuzz` (clang).
#include <filesystem>
#include <string>

#include "host/stand_in.h"
#include "platform/platform.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/jobs/jobs_internals.h"
#include "tools/packaging/design_package.h"

namespace fs = std::filesystem;

namespace {

cvimp::fuzz::Sandbox* downloads = nullptr;
std::string package;  // the sample design, with the demo's password

// Writes the package when the target lies in the sandbox (a "downloadUrl"
// job may name any path: nothing is written outside); "fail" in the
// address fails the transfer.
bool recordTransfer(const std::string& address, const std::string& target) {
  if (address.find("fail") != std::string::npos) return false;
  const fs::path inside = fs::path(target).lexically_normal().lexically_relative(downloads->root());
  if (inside.empty() || *inside.begin() == "..") return true;
  cvimp::fuzz::writeFile(target, reinterpret_cast<const unsigned char*>(package.data()), package.size());
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  cvimp::fuzz::silenceStandardOutput();
  host::setProgressOnTerminal(false);
  host::setLaunchesRecorded(true);
  static cvimp::fuzz::Sandbox sandbox("cvimp-job-fuzz-");
  downloads = &sandbox;
  package = cvimp::packaging::makeDesignPackage(CVIMP_SAMPLES_DIR "/room",
                                                cvimp::packagePassword("DEMO-DESIGN-000042", "demo-task-0001"));
  cvimp::DownloadSettings settings;
  settings.transfer = &recordTransfer;
  cvimp::setDownloadSettings(settings);
  cvimp::ExtractionSettings limits;
  limits.minFreeBytes = 0;
  limits.maxTotalBytes = 64 << 20;
  cvimp::setExtractionSettings(limits);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
  host::reset();
  host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(downloads->root().string()));
  cvimp::PluginState state;
  WStr result;
  cvimp::runJob(state, cvimp::platform::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size)),
                result);
  // What a job leaves behind is no concern of the next one.
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(downloads->root(), ignored)) fs::remove_all(entry.path(), ignored);
  return 0;
}
