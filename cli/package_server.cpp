#include "cli/package_server.h"

#include <httplib.h>

#include <atomic>
#include <thread>

namespace cvimp {

struct PackageServer::Serving {
  std::string package;
  std::string page;
  httplib::Server server;
  std::thread thread;
  std::atomic<bool> served{false};  // the accept loop has ended
};

PackageServer::PackageServer(std::string package, std::string page) : serving_(std::make_unique<Serving>()) {
  Serving& s = *serving_;
  s.package = std::move(package);
  s.page = std::move(page);
  s.server.Get(kPackagePath, [&s](const httplib::Request&, httplib::Response& response) {
    response.set_content(s.package, "application/zip");
  });
  if (!s.page.empty()) {
    s.server.Get(kPagePath, [&s](const httplib::Request&, httplib::Response& response) {
      response.set_content(s.page, "text/html; charset=utf-8");
    });
  }
  // Bound is listening: connections wait in the socket's queue until the
  // thread starts accepting them.
  port_ = s.server.bind_to_any_port("127.0.0.1");
  if (port_ <= 0) return;
  s.thread = std::thread([&s] {
    s.server.listen_after_bind();
    s.served.store(true);
  });
  // stop() reaches only a server that runs: wait for its accept loop, so
  // that a server dropped at once does not leave the loop to run for ever.
  while (!s.server.is_running() && !s.served.load()) std::this_thread::yield();
}

PackageServer::~PackageServer() {
  serving_->server.stop();
  if (serving_->thread.joinable()) serving_->thread.join();
}

std::string PackageServer::address(const char* path) const {
  return std::string("http://127.0.0.1:") + std::to_string(port_) + path;
}

}  // namespace cvimp
