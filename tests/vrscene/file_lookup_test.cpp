// Finding files named in a scene: as written, then in each search directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/platform.h"
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

// The bytes a file name stands for: U+F700 + b is the byte b, and every
// other character itself.
std::string bytesOfFileName(const std::string& name) {
  std::string bytes;
  std::u16string run;
  for (const char16_t c : platform::utf8ToUtf16(name)) {
    if (c < 0xF700 || c > 0xF7FF) {
      run += c;
      continue;
    }
    bytes += platform::utf16ToUtf8(run) + static_cast<char>(c - 0xF700);
    run.clear();
  }
  return bytes + platform::utf16ToUtf8(run);
}

TEST(FileLookup, LegacyNamesMapToUtf8FileNamesAndBack) {
  using platform::fileNameFromBytes;
  using platform::utf16ToUtf8;
  // A GBK second byte 0x5C is no separator; '/' and '.' never pair with a
  // lead byte; lone bytes from 0x80 are mapped one by one.
  EXPECT_EQ(fileNameFromBytes("maps\\\x95\x5C.png"), "maps\\" + utf16ToUtf8(u"\uF795\uF75C.png"));
  EXPECT_EQ(fileNameFromBytes("a\x80\xCE/b.\xFF\xB0"), utf16ToUtf8(u"a\uF780\uF7CE/b.\uF7FF\uF7B0"));
  const std::vector<std::string> names = {
      "tex/a.jpg",
      "\xE7\xBA\xB9\xE7\x90\x86/\xE6\x9C\xA8.png",  // UTF-8 stays
      "\xCE\xC6\xC0\xED.png",
      "\xB0\x41.png",  // "A" and "a" as second bytes stay apart on a case-blind system
      "\xB0\x61.png",
      "maps\\\x95\x5C.png",
      "a\x80\xCE/b.\xFF\xB0",
      utf16ToUtf8(u"\uF7CE\uF7C6.png"),  // UTF-8 holding the mapped range
  };
  std::set<std::string> mapped;
  for (const std::string& name : names) {
    const std::string file = fileNameFromBytes(name);
    EXPECT_EQ(platform::toValidUtf8(file), file) << name;
    EXPECT_EQ(bytesOfFileName(file), name);
    mapped.insert(file);
  }
  EXPECT_EQ(mapped.size(), names.size());
  EXPECT_EQ(fileNameFromBytes(names[1]), names[1]);
}

// Found through UTF-8 paths on every system: a UTF-8 name as it is, a
// legacy one under the name package extraction gives it.
TEST(FileLookup, ResolvesNonAsciiNames) {
  TempDir dir;
  const std::string utf8 = "\xE6\x88\xBF\xE9\x97\xB4/\xE6\x9C\xA8\xE7\xBA\xB9.png";  // 房间/木纹.png
  const std::string legacyFile = "maps/" + platform::utf16ToUtf8(u"\uF795\uF75C.png");
  const std::string pkg = dir.str() + "/pkg";
  dir.write("pkg/" + utf8, "x");
  dir.write("pkg/" + legacyFile, "y");
  EXPECT_EQ(resolveFile(utf8, {pkg}), pkg + "/" + utf8);
  EXPECT_EQ(resolveFile(pkg + "/" + utf8, {}), pkg + "/" + utf8);
  EXPECT_EQ(resolveFile("maps/\x95\x5C.png", {pkg}), pkg + "/" + legacyFile);
  EXPECT_EQ(resolveFile(pkg + "/maps/\x95\x5C.png", {}), pkg + "/" + legacyFile);

  // Where names are bytes, a file named by other means with the bytes
  // themselves is found too, after the mapped name.
  if (!std::is_same_v<std::filesystem::path::value_type, char>) return;
  dir.write("pkg/maps/\x95\x5C.png", "raw");
  dir.write("pkg/\xB0\xA1.png", "raw");
  EXPECT_EQ(resolveFile("maps/\x95\x5C.png", {pkg}), pkg + "/" + legacyFile);
  EXPECT_EQ(resolveFile("\xB0\xA1.png", {pkg}), pkg + "/\xB0\xA1.png");
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

// Absolute names of the exporting machine: split on both separators on
// every system, without the drive, server and share, nothing before "..".
TEST(FileLookup, TailsOfPathsFromAnotherMachine) {
  using Tails = std::vector<std::string>;
  EXPECT_EQ(pathTails("C:\\Develop\\proj\\maps\\0002 ( 20x100 ).jpg"),
            (Tails{"Develop/proj/maps/0002 ( 20x100 ).jpg", "proj/maps/0002 ( 20x100 ).jpg", "maps/0002 ( 20x100 ).jpg",
                   "0002 ( 20x100 ).jpg"}));
  EXPECT_EQ(pathTails("\\\\server\\share\\maps\\x.jpg"), (Tails{"maps/x.jpg", "x.jpg"}));
  EXPECT_EQ(pathTails("//server/share/x.jpg"), (Tails{"x.jpg"}));
  EXPECT_EQ(pathTails("/home/u//./x.jpg"), (Tails{"home/u/x.jpg", "u/x.jpg", "x.jpg"}));
  EXPECT_EQ(pathTails("d:/a\\b/x.jpg"), (Tails{"a/b/x.jpg", "b/x.jpg", "x.jpg"}));
  EXPECT_EQ(pathTails("C:\\a\\..\\b\\x..jpg"), (Tails{"b/x..jpg", "x..jpg"}));
  for (const char* notAbsolute : {"maps/x.jpg", "C:x.jpg", "x.jpg", "", "C:\\"}) {
    EXPECT_EQ(pathTails(notAbsolute), Tails{}) << notAbsolute;
  }
}

TEST(FileLookup, ResolveByTailsFolderByFolderLongestTailFirst) {
  TempDir dir;
  const std::string near = dir.str() + "/near", outer = dir.str() + "/outer", search = dir.str() + "/search";
  dir.write("near/x.jpg", "");
  dir.write("near/maps/x.jpg", "");
  dir.write("outer/proj/maps/x.jpg", "");
  dir.write("outer/y.jpg", "");
  dir.write("search/z.jpg", "");
  const std::string nearMaps = near + "/maps/x.jpg", outerY = outer + "/y.jpg", searchZ = search + "/z.jpg";
  const std::vector<std::string> folders{near, outer};
  EXPECT_EQ(resolveByTails("C:\\proj\\maps\\x.jpg", folders, {search}), nearMaps);
  EXPECT_EQ(resolveByTails("\\\\srv\\share\\y.jpg", folders, {search}), outerY);
  EXPECT_EQ(resolveByTails("/mnt/z.jpg", folders, {search}), searchZ);
  EXPECT_EQ(resolveByTails("/mnt/none.jpg", folders, {search}), "");
  // Relative names are not names from another machine.
  EXPECT_EQ(resolveByTails("maps/x.jpg", folders, {search}), "");
  // The working directory is searched only as a folder near the scene; each folder once.
  const std::string cwd = platform::utf8FromPath(std::filesystem::current_path());
  EXPECT_EQ(tailFolders({}, {cwd, search, "", search + "/"}), (std::vector<std::string>{search}));
  EXPECT_EQ(tailFolders({cwd}, {cwd, near}), (std::vector<std::string>{cwd, near}));
}

}  // namespace
}  // namespace cvimp
