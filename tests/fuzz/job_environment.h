#pragma once
// The host and jobs as the job and page fuzz targets run them: nothing
// reaches a server or starts a program. The transfer is a recorder that
// writes the sample design's real package (or fails, for addresses that
// say so), the host's launcher only records, and files land in a sandbox
// download folder.
#include <filesystem>
#include <string>

#include "host/stand_in.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/jobs/jobs_internals.h"
#include "tools/packaging/design_package.h"

namespace cvimp::fuzz {

class JobEnvironment {
 public:
  JobEnvironment() : downloads_("cvimp-job-fuzz-") {
    silenceStandardOutput();
    host::setProgressOnTerminal(false);
    host::setLaunchesRecorded(true);
    package_ = packaging::makeDesignPackage(CVIMP_SAMPLES_DIR "/room",
                                            packagePassword("DEMO-DESIGN-000042", "demo-task-0001"));
    DownloadSettings settings;
    settings.transfer = [this](const std::string& address, const std::string& target) {
      return transfer(address, target);
    };
    setDownloadSettings(settings);
    ExtractionSettings limits;
    limits.minFreeBytes = 0;
    limits.maxTotalBytes = 64 << 20;
    setExtractionSettings(limits);
  }

  // Runs the job on a fresh host and clears what it left behind.
  void run(const std::u16string& jobText) {
    host::reset();
    host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(downloads_.root().string()));
    PluginState state;
    WStr result;
    runJob(state, jobText, result);
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(downloads_.root(), ignored)) {
      std::filesystem::remove_all(entry.path(), ignored);
    }
  }

 private:
  // A "downloadUrl" job may name any path: nothing is written outside the
  // sandbox.
  bool transfer(const std::string& address, const std::string& target) const {
    if (address.find("fail") != std::string::npos) return false;
    const std::filesystem::path inside =
        std::filesystem::path(target).lexically_normal().lexically_relative(downloads_.root());
    if (inside.empty() || *inside.begin() == "..") return true;
    // A target that cannot be written fails the download, as it does for real.
    return writeFile(target, reinterpret_cast<const unsigned char*>(package_.data()), package_.size());
  }

  Sandbox downloads_;
  std::string package_;  // the sample design, with the demo's password
};

// The one environment of a harness, made at its first use: call it from
// LLVMFuzzerInitialize, so its set-up is not timed as an input.
inline JobEnvironment& jobEnvironment() {
  static JobEnvironment environment;
  return environment;
}

}  // namespace cvimp::fuzz
