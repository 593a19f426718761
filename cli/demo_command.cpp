#include "cli/demo_command.h"

#include <cstdio>

#include "cli/file_output.h"
#include "cli/import_command.h"
#include "cli/job_command.h"
#include "cli/package_server.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "jobs/jobs.h"
#include "platform/platform.h"
#include "state/plugin_state.h"
#include "tools/packaging/design_package.h"

namespace cvimp {

int runDemo(const DemoOptions& options) {
  const std::string package =
      packaging::makeDesignPackage(options.designFolder, packagePassword(kDemoDesignId, kDemoTaskId));
  if (package.empty()) {
    std::fprintf(stderr, "cvimp demo: cannot package the design in \"%s\"\n", options.designFolder.c_str());
    return 1;
  }
  std::string downloads = options.downloadDir;
  if (downloads.empty()) {
    const std::string base = host::defaultDownloadDirectory();
    if (!base.empty()) downloads = platform::utf8FromPath(platform::pathFromUtf8(base) / "demo");
  }
  if (!host::useDownloadDirectory(downloads, "cvimp demo")) return 1;
  host::setSystemUnit(host::SystemUnit::Centimeters);

  PackageServer server(package);
  if (server.port() <= 0) {
    std::fprintf(stderr, "cvimp demo: cannot serve the package on 127.0.0.1\n");
    return 1;
  }
  const std::string url = server.address(kPackagePath);
  const std::string job = std::string("{\"jobType\":\"startImport\",\"designId\":\"") + kDemoDesignId +
                          "\",\"taskId\":\"" + kDemoTaskId + "\",\"designPackageUrl\":\"" + url +
                          "\",\"importMesh\":true,\"importCamera\":true,\"importLight\":true,"
                          "\"importMaterial\":true,\"importAnimation\":true,\"quadrifyMesh\":true}";
  std::printf("Package: %zu bytes, served at %s\n", package.size(), url.c_str());
  std::printf("Job: %s\n", job.c_str());

  const bool succeeded = runAndPrintJob(job);
  printHostSceneCounts(host::countScene());
  std::printf("Design folder: %s\n", platform::utf8FromPath(platform::pathFromUtf8(downloads) / kDemoTaskId).c_str());
  Report report = reportFromScene();
  const bool written = writeSceneFiles(options.gltfPath, options.outputPath, report);
  std::printf("%s", report.table().c_str());
  return succeeded && written ? 0 : 1;
}

}  // namespace cvimp
