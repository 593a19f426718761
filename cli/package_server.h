#pragma once
// A local HTTP server on 127.0.0.1 for the demo and `cvimp serve`: the
// design package at "/packages/design.zip" and, when given, a page at
// "/pub/site/custom/3dsmax", the platform page's path. The HTTP library
// stays inside package_server.cpp: on Windows it brings in the system's
// headers, which the stand-in host's own must not meet.
#include <memory>
#include <string>

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
  struct Serving;
  std::unique_ptr<Serving> serving_;
  int port_ = -1;
};

// Demo design and request; the package password is cut from them.
inline constexpr const char* kDemoDesignId = "DEMO-DESIGN-000042";
inline constexpr const char* kDemoTaskId = "demo-task-0001";

}  // namespace cvimp
