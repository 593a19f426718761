#include "cli/package_server.h"

namespace cvimp {

PackageServer::PackageServer(std::string package, std::string page)
    : package_(std::move(package)), page_(std::move(page)) {
  server_.Get(kPackagePath, [this](const httplib::Request&, httplib::Response& response) {
    response.set_content(package_, "application/zip");
  });
  if (!page_.empty()) {
    server_.Get(kPagePath, [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(page_, "text/html; charset=utf-8");
    });
  }
  // Bound is listening: connections wait in the socket's queue until the
  // thread starts accepting them.
  port_ = server_.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return;
  thread_ = std::thread([this] {
    server_.listen_after_bind();
    served_.store(true);
  });
  // stop() reaches only a server that runs: wait for its accept loop, so
  // that a server dropped at once does not leave the loop to run for ever.
  while (!server_.is_running() && !served_.load()) std::this_thread::yield();
}

PackageServer::~PackageServer() {
  server_.stop();
  if (thread_.joinable()) thread_.join();
}

std::string PackageServer::address(const char* path) const {
  return std::string("http://127.0.0.1:") + std::to_string(port_) + path;
}

}  // namespace cvimp
