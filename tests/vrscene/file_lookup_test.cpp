// Finding files named in a scene: as written, then in each search directory.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_support.h"
#include "vrscene/vrscene.h"

namespace cvimp {
namespace {

using test::TempDir;

TEST(FileLookup, JoinPathUsesExactlyOneSeparator) {
  EXPECT_EQ(joinPath("C:/imp/pkg_dec", "tex/a.jpg"), "C:/imp/pkg_dec/tex/a.jpg");
  EXPECT_EQ(joinPath("C:/imp/pkg_dec/", "tex/a.jpg"), "C:/imp/pkg_dec/tex/a.jpg");
  EXPECT_EQ(joinPath("C:/imp/pkg_dec/", "/tex/a.jpg"), "C:/imp/pkg_dec/tex/a.jpg");
  EXPECT_EQ(joinPath("C:/imp/pkg_dec", "/tex/a.jpg"), "C:/imp/pkg_dec/tex/a.jpg");
  EXPECT_EQ(joinPath("C:\\imp\\", "\\tex"), "C:\\imp\\tex");
  EXPECT_EQ(joinPath("dir", ""), "dir/");
}

TEST(FileLookup, ResolveFile) {
  TempDir dir;
  dir.write("pkg_dec/tex/a.jpg", "x");
  const std::string inPackage = dir.str() + "/pkg_dec/tex/a.jpg";
  dir.write("other/tex/a.jpg", "y");
  const std::string absolute = dir.write("abs/a.jpg", "z");
  dir.write("pkg_dec/folder.jpg/inside", "");

  EXPECT_EQ(resolveFile("", {dir.str()}), "");
  EXPECT_EQ(resolveFile("tex/a.jpg", {dir.str() + "/pkg_dec"}), inPackage);
  EXPECT_EQ(resolveFile("tex/a.jpg", {dir.str() + "/pkg_dec/"}), inPackage);
  EXPECT_EQ(resolveFile("/tex/a.jpg", {dir.str() + "/pkg_dec/"}), inPackage);
  // Search directories are tried in order.
  EXPECT_EQ(resolveFile("tex/a.jpg", {dir.str() + "/missing", dir.str() + "/other", dir.str() + "/pkg_dec"}),
            dir.str() + "/other/tex/a.jpg");
  // An existing name comes back unchanged, whatever the directories hold.
  EXPECT_EQ(resolveFile(absolute, {dir.str() + "/pkg_dec"}), absolute);
  // Directories are never files.
  EXPECT_EQ(resolveFile("folder.jpg", {dir.str() + "/pkg_dec"}), "");
  EXPECT_FALSE(isExistingFile(dir.str()));
  // An empty directory entry does not send the lookup to the file system's root.
  EXPECT_EQ(resolveFile("tmp", {""}), "");
}

TEST(FileLookup, SymbolicLinksAreFollowed) {
  TempDir dir;
  const std::string target = dir.write("real.png", "x");
  std::error_code error;
  std::filesystem::create_symlink(target, dir.path() / "link.png", error);
  if (error) GTEST_SKIP() << "symbolic links cannot be made here: " << error.message();
  std::filesystem::create_symlink(dir.path() / "nowhere.png", dir.path() / "dangling.png");
  EXPECT_TRUE(isExistingFile(dir.str() + "/link.png"));
  EXPECT_FALSE(isExistingFile(dir.str() + "/dangling.png"));
}

}  // namespace
}  // namespace cvimp
