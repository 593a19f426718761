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

// The scene's own unit, named or not, against the system unit; a scene in
// millimetres gives exactly the factor of a scene without the setting.
TEST_F(ImportUnitFactor, FromTheScenesUnits) {
  const struct {
    const char* scene;
    host::SystemUnit unit;
    float factor;
  } cases[] = {
      {"SettingsUnitsInfo settingsUnitsInfo { meters_scale=0.001; }", host::SystemUnit::Inches,
       static_cast<float>(1.0 / 25.4)},
      {"SettingsOutput out { }", host::SystemUnit::Centimeters, 0.1f},
      {"SettingsUnitsInfo { meters_scale=1; }", host::SystemUnit::Millimeters, 1000.0f},
      {"SettingsUnitsInfo { meters_scale=1.0; }", host::SystemUnit::Meters, 1.0f},
      {"SettingsUnitsInfo settingsUnitsInfo { meters_scale=0.0254; }", host::SystemUnit::Inches, 1.0f},
      // The later block in document order speaks.
      {"SettingsUnitsInfo { meters_scale=1; } SettingsUnitsInfo units { meters_scale=0.01; }",
       host::SystemUnit::Millimeters, 10.0f},
      {"SettingsUnitsInfo a { meters_scale=0.01; } SettingsUnitsInfo b { photometric_scale=1; }",
       host::SystemUnit::Millimeters, 10.0f},
  };
  for (const auto& c : cases) {
    freshHost();
    host::setSystemUnit(c.unit);
    const test::ParsedScene parsed(c.scene);
    ImportLog log;
    EXPECT_EQ(importUnitFactor(parsed.scene, &log), c.factor) << c.scene;
    EXPECT_TRUE(log.report().empty()) << c.scene;
  }
  // A unit that is no length is reported; millimetres stay.
  for (const char* bad : {"SettingsUnitsInfo u { meters_scale=0; }", "SettingsUnitsInfo u { meters_scale=-1; }",
                          "SettingsUnitsInfo u { meters_scale=1e300; }"}) {
    const test::ParsedScene parsed(bad);
    ImportLog log;
    EXPECT_EQ(importUnitFactor(parsed.scene, &log), importUnitFactor()) << bad;
    ASSERT_EQ(log.report().entries().size(), 1u) << bad;
    EXPECT_EQ(log.report().entries()[0].kind, "units ignored");
  }
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
