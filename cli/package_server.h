#pragma once
// A local HTTP server on 127.0.0.1 for the demo and `cvimp serve`: the
// design package at "/packages/design.zip" and, when given, a page at
// "/pub/site/custom/3dsmax", the platform page's path.
#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

namespace cvimp {

inline constexpr const char* kPackagePath = "/packages/design.zip";
inline constexpr const char* kPagePath = "/pub/site/custom/3dsmax";

// Serves from a thread of its own for as long as it lives.
class PackageServer {
 public:
  PackageServer(std::string package, std::string page = {});
  ~PackageServer();
  PackageServer(const PackageServer&) = delete;
  PackageServer& operator=(const PackageServer&) = delete;

  // -1 when no port could be bound.
  int port() const { return port_; }
  // "http://127.0.0.1:PORT" + path.
  std::string address(const char* path) const;

 private:
  std::string package_;
  std::string page_;
  httplib::Server server_;
  std::thread thread_;
  std::atomic<bool> served_{false};  // the accept loop has ended
  int port_ = -1;
};

// Demo design and request; the package password is cut from them.
inline constexpr const char* kDemoDesignId = "DEMO-DESIGN-000042";
inline constexpr const char* kDemoTaskId = "demo-task-0001";

}  // namespace cvimp
