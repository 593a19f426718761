#include "cli/serve_command.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "bridge/page_address.h"
#include "cli/package_server.h"
#include "jobs/jobs.h"
#include "platform/platform.h"
#include "tools/packaging/design_package.h"

namespace cvimp {

int runServe(const ServeOptions& options) {
  const std::string package =
      packaging::makeDesignPackage(options.designFolder, packagePassword(kDemoDesignId, kDemoTaskId));
  if (package.empty()) {
    std::fprintf(stderr, "cvimp serve: cannot package the design in \"%s\"\n", options.designFolder.c_str());
    return 1;
  }
  std::ifstream file(platform::pathFromUtf8(options.pageFile), std::ios::binary);
  std::ostringstream page;
  page << file.rdbuf();
  if (!file || page.str().empty()) {
    std::fprintf(stderr, "cvimp serve: cannot read the page \"%s\"\n", options.pageFile.c_str());
    return 1;
  }
  // Made before the server's thread starts: Ctrl-C then reaches the wait
  // below, and the server is shut down in order.
  platform::InterruptWait interrupt;
  PackageServer server(package, page.str());
  if (server.port() <= 0) {
    std::fprintf(stderr, "cvimp serve: cannot serve on 127.0.0.1\n");
    return 1;
  }
  const std::string job = server.address(kPagePath) + "?run=import&design=" + kDemoDesignId + "&task=" + kDemoTaskId +
                          "&package=" + server.address(kPackagePath);
  std::printf("Package: %zu bytes at %s\n", package.size(), server.address(kPackagePath).c_str());
  std::printf("CVIMP_BROWSER_URL_MAP=%s=%s\n", platformPageAddress().c_str(), job.c_str());
  std::fflush(stdout);
  interrupt.wait();
  return 0;
}

}  // namespace cvimp
