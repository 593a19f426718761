// The demo's local server: it ends cleanly whenever it is dropped, also
// before its thread has begun to serve.
#include "cli/package_server.h"

#include <gtest/gtest.h>

namespace cvimp {
namespace {

TEST(PackageServer, DroppedAtOnceEndsWithoutWaitingForever) {
  // A job that fails at once drops the server right after making it.
  for (int i = 0; i < 100; ++i) {
    const PackageServer server("package");
    ASSERT_GT(server.port(), 0);
  }
}

}  // namespace
}  // namespace cvimp
