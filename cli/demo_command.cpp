#include "cli/demo_command.h"

#include <httplib.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/file_output.h"
#include "cli/import_command.h"
#include "cli/job_command.h"
#include "jobs/dispatcher.h"
#include "jobs/import_job.h"
#include "plugin/cvimp_gup.h"
#include "plugin/host/host_types.h"
#include "plugin/host/scene_json.h"
#include "plugin/host/stand_in.h"
#include "plugin/host/wstr.h"
#include "tools/packaging/design_package.h"

namespace cvimp {

namespace fs = std::filesystem;

namespace {

// A made-up design and request; the package password is cut from them.
constexpr const char* kDesignId = "DEMO-DESIGN-000042";
constexpr const char* kTaskId = "demo-task-0001";

// The package server for as long as it lives.
class PackageServer {
 public:
  explicit PackageServer(std::string package) : package_(std::move(package)) {
    server_.Get("/packages/design.zip", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(package_, "application/zip");
    });
    // Bound is listening: connections wait in the socket's queue until the
    // thread starts accepting them.
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ > 0) thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~PackageServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  PackageServer(const PackageServer&) = delete;
  PackageServer& operator=(const PackageServer&) = delete;
  int port() const { return port_; }

 private:
  std::string package_;
  httplib::Server server_;
  std::thread thread_;
  int port_ = -1;
};

}  // namespace

int runDemo(const DemoOptions& options) {
  const std::string package = packaging::makeDesignPackage(options.designFolder, packagePassword(kDesignId, kTaskId));
  if (package.empty()) {
    std::fprintf(stderr, "cvimp demo: cannot package the design in \"%s\"\n", options.designFolder.c_str());
    return 1;
  }
  std::string downloads = options.downloadDir;
  if (downloads.empty()) {
    const std::string base = defaultDownloadDirectory();
    if (!base.empty()) downloads = (fs::path(base) / "demo").string();
  }
  if (!useDownloadDirectory(downloads, "cvimp demo")) return 1;
  host::setSystemUnit(host::SystemUnit::Centimeters);

  PackageServer server(package);
  if (server.port() <= 0) {
    std::fprintf(stderr, "cvimp demo: cannot serve the package on 127.0.0.1\n");
    return 1;
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/packages/design.zip";
  const std::string job = std::string("{\"jobType\":\"startImport\",\"designId\":\"") + kDesignId +
                          "\",\"taskId\":\"" + kTaskId + "\",\"designPackageUrl\":\"" + url +
                          "\",\"importMesh\":true,\"importCamera\":true,\"importLight\":true,"
                          "\"importMaterial\":true,\"importAnimation\":true,\"quadrifyMesh\":true}";
  std::printf("Package: %zu bytes, served at %s\n", package.size(), url.c_str());
  std::printf("Job: %s\n", job.c_str());

  const bool succeeded = runAndPrintJob(job);
  printHostSceneCounts(countHostScene());
  std::printf("Design folder: %s\n", (fs::path(downloads) / kTaskId).string().c_str());
  if (!options.outputPath.empty()) {
    if (!writeTextFile(options.outputPath, host::sceneJson())) {
      std::fprintf(stderr, "cvimp demo: cannot write \"%s\"\n", options.outputPath.c_str());
      return 1;
    }
  }
  return succeeded ? 0 : 1;
}

}  // namespace cvimp
