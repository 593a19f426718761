#include "tests/builder/builder_internals.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "builder/builder.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

using ImportUnitFactor = test::HostTest;

TEST_F(ImportUnitFactor, TurnsMillimetresIntoSystemUnits) {
  EXPECT_EQ(importUnitFactor(), 1.0f);
  host::setSystemUnit(host::SystemUnit::Centimeters);
  EXPECT_EQ(importUnitFactor(), 0.1f);
  host::setSystemUnit(host::SystemUnit::Meters);
  EXPECT_EQ(importUnitFactor(), 0.001f);
  host::setSystemUnit(host::SystemUnit::Inches);
  EXPECT_EQ(importUnitFactor(), static_cast<float>(1.0 / 25.4));
  host::setSystemUnit(host::SystemUnit::Feet);
  EXPECT_EQ(importUnitFactor(), static_cast<float>(1.0 / 304.8));
}

TEST(ImportContext, FreshContextIsEmpty) {
  const ImportContext context;
  EXPECT_TRUE(context.geometryCache.empty());
  EXPECT_TRUE(context.materialCache.empty());
  EXPECT_EQ(context.importedNodes.Count(), 0);
  EXPECT_EQ(context.importLog, nullptr);
  EXPECT_TRUE(context.logSlotNames);
}

TEST(SearchDirectories, ParentRootThenWorkingDirectory) {
  const std::string cwd = platform::utf8FromPath(std::filesystem::current_path());
  EXPECT_EQ(buildSearchDirectories("/imp/1234/vr.vrscene"), (SearchDirectories{"/imp/1234", "/", cwd}));
  // The run of separators before the name goes too, but never the root.
  EXPECT_EQ(buildSearchDirectories("/imp//vr.vrscene")[0], "/imp");
  EXPECT_EQ(buildSearchDirectories("/vr.vrscene")[0], "/");
  EXPECT_EQ(buildSearchDirectories("//vr.vrscene")[0].find_first_not_of('/'), std::string::npos);
  // A relative path has no root.
  EXPECT_EQ(buildSearchDirectories("designs/vr.vrscene"), (SearchDirectories{"designs", "", cwd}));
  EXPECT_EQ(buildSearchDirectories("vr.vrscene"), (SearchDirectories{"", "", cwd}));
}

}  // namespace
}  // namespace cvimp
