#include "cli/job_command.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "cli/import_command.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "jobs/jobs.h"
#include "platform/platform.h"
#include "state/plugin_state.h"

namespace cvimp {

namespace fs = std::filesystem;

bool runAndPrintJob(const std::string& jobText) {
  PluginState state;
  WStr result;
  bool succeeded = false;
  {
    InterruptAsCancel interrupt;
    succeeded = runJob(state, host::utf8ToUtf16(jobText), result);
  }
  std::fflush(stdout);
  std::printf("Success: %s\nResult: %s\n", succeeded ? "true" : "false", result.ToUTF8().data());
  return succeeded;
}

int runJobCommand(const JobOptions& options) {
  std::string text = options.jobText;
  if (!options.jobFile.empty()) {
    std::ifstream in(platform::pathFromUtf8(options.jobFile), std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "cvimp: cannot read the job file \"%s\"\n", options.jobFile.c_str());
      return 1;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
  }
  if (!host::useDownloadDirectory(options.downloadDir, "cvimp job")) return 1;
  return runAndPrintJob(text) ? 0 : 1;
}

}  // namespace cvimp
