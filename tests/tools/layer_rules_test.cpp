#include "tools/check_layers/layer_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace cvimp::layers {
namespace {

using Lines = std::vector<std::string>;

// Ranks: low < mid < gui < high < side; mid/gui/ lies inside mid/ but is a component of its own.
constexpr const char* kRules = R"(# fake layers
component low   low/
component mid   mid/      may-use low
component gui   mid/gui/  may-use mid low
component high  high/     may-use mid low
component side  side/     may-use low
component tests tests/    may-use low mid gui high side
public mid mid/mid.h
platform-header unistd.h gtk/
platform-header-ok low/ tests/low/
gui-library PkgConfig::GTK3
gui-library-ok mid/gui/ tests/
)";

class LayerRulesTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(parseRules(kRules, rules, error)) << error;
  }

  Lines violations() {
    std::string error;
    EXPECT_TRUE(checkTree(tree.path(), rules, report, error)) << error;
    Lines lines;
    for (const Violation& violation : report.violations) lines.push_back(formatViolation(violation));
    return lines;
  }

  test::TempDir tree;
  Rules rules;
  Report report;
};

TEST_F(LayerRulesTest, CleanTreeIsCountedAndFoldersOutsideComponentsAreSkipped) {
  tree.write("low/low.h", "#pragma once\n#include <unistd.h>\n");
  tree.write("mid/mid.h", "#include \"low/low.h\"\n#include \"mid/detail.h\"\n");
  tree.write("mid/gui/w.cpp", "  #  include \"mid/mid.h\"\n#include \"generated/only_in_build.h\"\n");
  tree.write("high/h.cpp", "#include \"mid/mid.h\"\n// #include \"side/s.h\"\n#include <string>\n");
  tree.write("scripts/x.cpp", "#include \"high/h.h\"\n");
  tree.write("build/gen/low/x.cpp", "#include \"high/h.h\"\n");
  tree.write("high/notes.txt", "#include \"side/s.h\"\n");

  EXPECT_EQ(violations(), Lines{});
  EXPECT_EQ(report.files, 4u);
  EXPECT_EQ(report.includes, 7u);
}

TEST_F(LayerRulesTest, IncludesOutsideTheMayUseListAreReportedWithTheirRank) {
  tree.write("low/l.cpp", "\n#include \"mid/mid.h\"\n");
  tree.write("side/s.cpp", "#include \"low/low.h\"\n#include \"high/h.h\"\n");
  tree.write("high/h.cpp", "#include \"mid/gui/w.h\"\n");

  EXPECT_EQ(violations(), (Lines{"high/h.cpp:1: includes \"mid/gui/w.h\" of gui, which high may not use",
                                 "low/l.cpp:2: includes \"mid/mid.h\" of mid, which low may not use (it sits above)",
                                 "side/s.cpp:2: includes \"high/h.h\" of high, which side may not use"}));
}

TEST_F(LayerRulesTest, PrivateHeadersAreOpenToTheirComponentAndToTestHeadersOnly) {
  tree.write("mid/mid.cpp", "#include \"mid/detail.h\"\n");
  tree.write("high/h.cpp", "#include \"mid/mid.h\"\n#include \"mid/detail.h\"\n");
  tree.write("tests/mid/mid_test.cpp", "#include \"mid/detail.h\"\n");
  tree.write("tests/mid/fixture.h", "#include \"mid/detail.h\"\n");

  EXPECT_EQ(violations(), (Lines{"high/h.cpp:2: includes private header \"mid/detail.h\" of mid (use: mid/mid.h)",
                                 "tests/mid/mid_test.cpp:1: includes private header \"mid/detail.h\" of mid "
                                 "(use: mid/mid.h)"}));
}

TEST_F(LayerRulesTest, PlatformHeadersStayInTheirFolders) {
  tree.write("low/l.cpp", "#include <gtk/gtk.h>\n");
  tree.write("tests/low/l_test.cpp", "#include <unistd.h>\n");
  tree.write("mid/m.cpp", "#include <vector>\n#include <gtk/gtk.h>\n");

  EXPECT_EQ(violations(), (Lines{"mid/m.cpp:2: includes platform header <gtk/gtk.h> (only low/, tests/low/ may)"}));
}

TEST_F(LayerRulesTest, CMakeLinksAreCheckedTokenByToken) {
  tree.write("mid/CMakeLists.txt", "add_library(cvimp_mid STATIC mid.cpp)\n");
  tree.write(
      "mid/gui/CMakeLists.txt",
      "add_library(cvimp_gui STATIC w.cpp)\ntarget_link_libraries(cvimp_gui PUBLIC cvimp_mid PkgConfig::GTK3)\n");
  tree.write("high/CMakeLists.txt", "add_executable(high h.cpp)\n");
  tree.write("low/CMakeLists.txt",
             "add_library(cvimp_low STATIC low.cpp)  # not cvimp_mid, a comment\n"
             "target_link_libraries(cvimp_low\n"
             "  PUBLIC Threads::Threads cvimp_unknown\n"
             "  \"$<$<NOT:$<BOOL:$<TARGET_PROPERTY:X>>>:cvimp_mid>\")\n");
  tree.write("side/CMakeLists.txt",
             "add_library(cvimp_side STATIC s.cpp)\n"
             "target_link_libraries(cvimp_side PRIVATE $<LINK_LIBRARY:WHOLE_ARCHIVE,cvimp_low,cvimp_gui>\n"
             "  PkgConfig::GTK3 PkgConfig::ZLIB)\n");
  tree.write(
      "tests/CMakeLists.txt",
      "function(cvimp_test name)\n  target_link_libraries(${name} PRIVATE cvimp_low)\nendfunction()\n"
      "cvimp_test(side_tests s_test.cpp)\ntarget_link_libraries(side_tests PRIVATE cvimp_side PkgConfig::GTK3)\n");

  EXPECT_EQ(violations(), (Lines{"low/CMakeLists.txt:4: links cvimp_mid of mid, which low may not use (it sits "
                                 "above)",
                                 "side/CMakeLists.txt:2: links cvimp_gui of gui, which side may not use",
                                 "side/CMakeLists.txt:3: links GUI library PkgConfig::GTK3 (only mid/gui/, "
                                 "tests/ may)"}));
  EXPECT_EQ(report.links, 9u);
}

// The build without the GUI: the top level adds mid/gui/ and, under
// CVIMP_TESTS, tests/, whose window/ folder (and window/inner/) only the GUI
// build adds. The function links its first argument and, via ARGN, the rest.
TEST_F(LayerRulesTest, TargetsBuiltWithoutGuiReachNoGuiLibraryThroughAnyChain) {
  std::string error;
  ASSERT_TRUE(parseRules(std::string(kRules) + "gui-build-condition CVIMP_GUI\n", rules, error)) << error;
  tree.write("CMakeLists.txt", "add_subdirectory(mid/gui)\nif(CVIMP_TESTS)\n  add_subdirectory(tests)\nendif()\n");
  tree.write("mid/gui/CMakeLists.txt",
             "add_library(cvimp_gui STATIC w.cpp)\n"
             "target_link_libraries(cvimp_gui PUBLIC PkgConfig::GTK3)\n"
             "if(CVIMP_GUI)\n  add_library(cvimp_gui_window STATIC x.cpp)\nendif()\n");
  tree.write("tests/CMakeLists.txt",
             "function(cvimp_test name)\n"
             "  add_executable(${name} t.cpp)\n"
             "  target_link_libraries(${name} PRIVATE cvimp_support ${ARGN})\n"
             "endfunction()\n"
             "add_library(cvimp_support INTERFACE)\n"
             "target_link_libraries(cvimp_support INTERFACE \"$<$<NOT:$<BOOL:$<TARGET_PROPERTY:X>>>:cvimp_gui>\")\n"
             "add_executable(plain_tests p.cpp)\n"
             "if(CVIMP_GUI)\n"
             "  target_link_libraries(plain_tests PRIVATE cvimp_support)\n"
             "  add_subdirectory(window)\n"
             "elseif(CVIMP_X)\n"
             "else()\n"
             "  cvimp_test(stub_tests cvimp_gui_window)\n"
             "  target_link_libraries(stub_tests PRIVATE cvimp_support)\n"
             "endif()\n");
  tree.write("tests/window/CMakeLists.txt", "add_subdirectory(inner)\ncvimp_test(window_tests cvimp_gui_window)\n");
  tree.write("tests/window/inner/CMakeLists.txt",
             "add_executable(inner_tests i.cpp)\ntarget_link_libraries(inner_tests PRIVATE cvimp_gui)\n");

  EXPECT_EQ(violations(),
            (Lines{"mid/gui/CMakeLists.txt:2: cvimp_gui (built for Windows) links GUI library PkgConfig::GTK3",
                   "tests/CMakeLists.txt:6: cvimp_support (built for Windows) links GUI library PkgConfig::GTK3 "
                   "through cvimp_gui",
                   "tests/CMakeLists.txt:13: stub_tests (built for Windows) links cvimp_gui_window, defined only if "
                   "CVIMP_GUI",
                   "tests/CMakeLists.txt:13: stub_tests (built for Windows) links GUI library PkgConfig::GTK3 through "
                   "cvimp_support -> cvimp_gui"}));
}

TEST(LayerRulesParseTest, RejectsUnknownNamesAndDirectives) {
  Rules rules;
  std::string error;
  EXPECT_FALSE(parseRules("component a a/\ncomponent b b/ may-use a c\n", rules, error));
  EXPECT_EQ(error, "line 2: unknown component c");
  EXPECT_FALSE(parseRules("component a a/\n\nlayer b b/\n", rules, error));
  EXPECT_EQ(error, "line 3: unknown or incomplete directive \"layer\"");
  EXPECT_FALSE(parseRules("component a a/\npublic a b/b.h\n", rules, error));
  EXPECT_EQ(error, "line 2: b/b.h does not belong to a");
  EXPECT_FALSE(parseRules("gui-build-condition A B\n", rules, error));
  EXPECT_EQ(error, "line 1: unknown or incomplete directive \"gui-build-condition\"");

  ASSERT_TRUE(parseRules("component b b/ may-use a\ncomponent a a/ # lowest use last\n", rules, error)) << error;
  EXPECT_EQ(describeLayers(rules), "b (b/) may use: a\na (a/)\n");
}

}  // namespace
}  // namespace cvimp::layers
