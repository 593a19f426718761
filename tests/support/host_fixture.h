#pragma once
// The fixture of every test that touches the stand-in host: each starts and
// ends with a fresh host, whatever fails in between, so that no test sees
// what an earlier one left. Kept apart from test_support.h, which the
// scene-reader suites use without a host.
#include <gtest/gtest.h>

#include "host/stand_in.h"

namespace cvimp::test {

class HostTest : public testing::Test {
 protected:
  void SetUp() override { freshHost(); }
  void TearDown() override { freshHost(); }

  // A fresh host again, also for a test that tries several cases in turn.
  // Beyond reset: the managers a test may have taken away are back, and the
  // bar is not drawn on a terminal, which keeps test output readable.
  static void freshHost() {
    host::reset();
    host::setActionManagerAvailable(true);
    host::setMenuManagerAvailable(true);
    host::setProgressOnTerminal(false);
  }
};

}  // namespace cvimp::test
