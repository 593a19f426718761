// Finding bitmap files named with render-farm paths.
#include <gtest/gtest.h>

#include "tests/materials/materials_internals.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

using test::TempDir;

TEST(BitmapLookup, RenderFarmPrefixes) {
  TempDir dir;
  const std::string package = dir.str() + "/pkg";
  const std::string wood = package + "/maps/wood.jpg";
  const std::string render = package + "/render/Vray/oak.jpg";
  const std::string cirro = package + "/tex/stone.jpg";
  for (const char* file : {"pkg/maps/wood.jpg", "pkg/render/Vray/oak.jpg", "pkg/tex/stone.jpg"}) dir.write(file, "x");
  const SearchDirectories dirs = {dir.str() + "/elsewhere", package};

  EXPECT_EQ(resolveBitmapFile("Z:/vela/data/render/Vray/maps/wood.jpg", dirs), wood);
  // Row 1 leaves "oak.jpg", which is not there; row 4 matches at position 2.
  EXPECT_EQ(resolveBitmapFile("Z:/vela/data/render/Vray/oak.jpg", dirs), render);
  // Row 6 leaves "cirrodata/tex/stone.jpg"; row 7 leaves "/tex/stone.jpg".
  EXPECT_EQ(resolveBitmapFile("../../../cirrodata/tex/stone.jpg", dirs), cirro);
  // A prefix anywhere in the name counts.
  EXPECT_EQ(resolveBitmapFile("//farm01/Z:/vela/data/render/Vray/maps/wood.jpg", dirs), wood);
  // Backslashes match no prefix; the path's end is found after the farm rule.
  EXPECT_EQ(resolveBitmapFile("Z:\\vela\\data\\render\\Vray\\maps\\wood.jpg", dirs), wood);
  EXPECT_EQ(resolveBitmapFile("maps/wood.jpg", dirs), wood);
  EXPECT_EQ(resolveBitmapFile("Z:/vela/data/render/Vray/maps/missing.jpg", dirs), "");
  EXPECT_EQ(resolveBitmapFile("", dirs), "");
}

// A path of the exporting machine: the farm rule first, then the path's ends
// near the defining file before the search directories; a miss names every
// place tried.
TEST(BitmapLookup, PathsFromAnotherMachine) {
  TempDir dir;
  const std::string near = dir.str() + "/parts", package = dir.str() + "/pkg";
  for (const char* file : {"parts/wood.jpg", "pkg/render/Vray/wood.jpg", "pkg/textures/oak.jpg"}) dir.write(file, "x");
  const std::string nearWood = near + "/wood.jpg", farmWood = package + "/render/Vray/wood.jpg";
  const std::string packageOak = package + "/textures/oak.jpg";
  dir.write("pkg/oak.jpg", "x");
  EXPECT_EQ(resolveBitmapFile("Z:/vela/data/render/Vray/wood.jpg", {package}, {near}), farmWood);
  EXPECT_EQ(resolveBitmapFile("C:\\Develop\\wood.jpg", {package}, {near}), nearWood);
  EXPECT_EQ(resolveBitmapFile("C:\\Develop\\textures\\oak.jpg", {package}, {near}), packageOak);
  EXPECT_EQ(bitmapPlacesTried({"C:\\p\\x.jpg", "x.jpg.png"}, {package, ""}, {near, package}),
            "tried C:\\p\\x.jpg, x.jpg.png (as written and in " + package + "); by the path's end: p/x.jpg, x.jpg in " +
                near + ", " + package);
  EXPECT_EQ(bitmapPlacesTried({"x.jpg"}, {}, {}), "tried x.jpg (as written)");
}

}  // namespace
}  // namespace cvimp
