#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/jobs/jobs_internals.h"
#include "host/stand_in.h"
#include "host/max.h"
#include "platform/platform.h"
#include "tests/jobs/zip_test_support.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "vrscene/vrscene.h"

namespace cvimp {
namespace {

namespace fs = std::filesystem;
using test::ZipEntry;

const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);
const std::string kPassword = "0123456789abcdef";
const std::string kJpegStart("\xFF\xD8\xFF\xE0\0\x10JFIF", 10);

// Deterministic bytes that deflate only partly, so that a stream of a few
// hundred kilobytes spans several read chunks and has compressed data worth
// damaging.
std::string noise(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>('a' + (seed >> 24) % 16);
  }
  return bytes;
}

std::string png(std::size_t size) { return kPngSignature + noise(size - kPngSignature.size(), 7); }

// Every file and folder below `root`, relative, in UTF-8 with "/" between
// names, folders ending with "/".
std::set<std::string> tree(const fs::path& root) {
  std::set<std::string> found;
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    const std::u8string name = fs::relative(item.path(), root).generic_u8string();
    found.insert(std::string(name.begin(), name.end()) + (item.is_directory() ? "/" : ""));
  }
  return found;
}

class ExtractArchive : public test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ExtractionSettings roomy;
    roomy.minFreeBytes = 0;  // however full the test machine's disk is
    setExtractionSettings(roomy);
  }
  void TearDown() override {
    setExtractionSettings({});
    HostTest::TearDown();
  }

  fs::path archive(const std::vector<ZipEntry>& entries, const std::optional<std::string>& password = std::nullopt) {
    const fs::path path = source.path() / "package.zip";
    test::makeZip(path, entries, password);
    return path;
  }

  static bool extract(const fs::path& from, const fs::path& to,
                      const std::optional<std::string>& password = std::nullopt) {
    return extractArchive(host::utf8ToUtf16(platform::utf8FromPath(from)),
                          host::utf8ToUtf16(platform::utf8FromPath(to)), password);
  }

  test::TempDir source;
  test::TempDir target;
};

TEST_F(ExtractArchive, WritesPlainAndEncryptedEntriesWhole) {
  const std::vector<ZipEntry> entries = {
      {"a.txt", "hello, design", true},
      {"stored.bin", std::string("\0\1\2\3", 4), false},
      {"tex/b\xC3\xA4ume.txt", "umlaut", true},
      {"big.dat", noise(3 * 64 * 1024 + 17, 1), true},
      {"big-stored.dat", noise(2 * 64 * 1024 + 3, 2), false},
      {"one-chunk.dat", noise(64 * 1024, 6), true},
  };
  struct Case {
    const char* label;
    std::optional<std::string> written;
    std::optional<std::string> given;
  };
  // A password also opens the entries that are not encrypted.
  for (const Case& c : {Case{"plain", std::nullopt, std::nullopt}, Case{"plain with password", std::nullopt, kPassword},
                        Case{"encrypted", kPassword, kPassword}}) {
    SCOPED_TRACE(c.label);
    const test::TempDir out;
    EXPECT_TRUE(extract(archive(entries, c.written), out.path(), c.given));
    for (const ZipEntry& entry : entries) {
      EXPECT_EQ(test::readBytes(out.path() / platform::pathFromUtf8(entry.name)), entry.bytes) << entry.name;
    }
    EXPECT_EQ(tree(out.path()).size(), entries.size() + 1);  // the files and "tex/"
  }
}

// About one wrong password in 256 passes the header check at open; the
// entry then fails on its data instead, and its file is removed all the same.
TEST_F(ExtractArchive, WrongOrMissingPasswordFailsEveryEncryptedEntry) {
  const fs::path path = archive({{"a.txt", "alpha", true}, {"sub/big.dat", noise(200000, 3), true}}, kPassword);
  for (const std::optional<std::string>& password : {std::optional<std::string>("wrong password"),
                                                     std::optional<std::string>(std::nullopt)}) {
    SCOPED_TRACE(password.value_or("no password"));
    freshHost();
    const test::TempDir out;
    EXPECT_FALSE(extract(path, out.path(), password));
    for (const std::string& item : tree(out.path())) EXPECT_EQ(item.back(), '/') << item << " was written";
    EXPECT_EQ(host::progress().starts, 1);
    EXPECT_EQ(host::progress().ends, 1);
  }
}

TEST_F(ExtractArchive, CreatesFoldersAndSkipsEmptyFiles) {
  const fs::path out = target.path() / "not" / "there" / "yet";
  EXPECT_TRUE(extract(archive({{"a/b/c.txt", "deep", true},
                               {"folder/", "", true},
                               {"empty.txt", "", true},
                               {"stored-empty.txt", "", false},
                               {"x/empty.txt", "", true}}),
                      out));
  EXPECT_EQ(tree(out), (std::set<std::string>{"a/", "a/b/", "a/b/c.txt", "folder/", "x/"}));
  EXPECT_EQ(test::readBytes(out / "a/b/c.txt"), "deep");
}

TEST_F(ExtractArchive, WritesPngNamedAsJpegUnderPngName) {
  const std::string jpeg = kJpegStart + noise(50, 4);
  const std::vector<ZipEntry> entries = {
      {"tex/a.JPG", png(100), true},       {"tex/b.jpg", jpeg, true},          {"tex/c.png", png(100), true},
      {"x.jpg", kPngSignature, false},     {"y.jpg", kPngSignature.substr(0, 7), false},
      {"d.jpeg", png(20), true},           {"big.jpg", png(150000), true},
  };
  EXPECT_TRUE(extract(archive(entries), target.path()));
  EXPECT_EQ(tree(target.path()), (std::set<std::string>{"tex/", "tex/a.JPG.png", "tex/b.jpg", "tex/c.png", "x.jpg.png",
                                                         "y.jpg", "d.jpeg", "big.jpg.png"}));
  EXPECT_EQ(test::readBytes(target.path() / "tex/a.JPG.png"), entries[0].bytes);
  EXPECT_EQ(test::readBytes(target.path() / "x.jpg.png"), kPngSignature);
  EXPECT_EQ(test::readBytes(target.path() / "big.jpg.png"), entries[6].bytes);
}

TEST_F(ExtractArchive, RefusesNamesLeadingOutOfTheFolder) {
  const fs::path out = target.path() / "out" / "inner";
  const std::vector<std::string> hostile = {"../evil.txt", "/abs.txt",    "a/../../x",   "C:/x.txt", "c:x.txt",
                                            "a\\..\\..\\x", "\\\\host\\x", "..",          "a/.."};
  std::vector<ZipEntry> entries = {{"good.txt", "good", true}};
  for (const std::string& name : hostile) entries.push_back({name, "bad", true});
  entries.push_back({"a..b/..c.txt", "dots in names", true});
  EXPECT_FALSE(extract(archive(entries), out));
  EXPECT_EQ(tree(target.path()), (std::set<std::string>{"out/", "out/inner/", "out/inner/good.txt", "out/inner/a..b/",
                                                         "out/inner/a..b/..c.txt"}));
  EXPECT_EQ(host::journal().find("ProgressUpdate").size(), entries.size());
  EXPECT_EQ(host::progress().ends, 1);
}

// As made on Windows: backslashes between folders, and names in the GBK
// code page ("纹理.vrscene", and a character whose second byte is 0x5C),
// written under the same UTF-8 names on every system, which a scene naming
// the original bytes finds.
TEST_F(ExtractArchive, BackslashesSeparateFoldersAndLegacyNamesAreMappedAsTheSceneLooksThemUp) {
  const std::string gbk = "\xCE\xC6\xC0\xED.vrscene";
  const fs::path path = source.path() / "windows.zip";
  test::writeBytes(path, test::rawZipBytes({{"maps\\tex.png", "tex"},
                                            {"maps\\sub\\a.txt", "a"},
                                            {"maps\\\x95\x5C.png", "second byte 0x5C"},
                                            {gbk, "X gbk { }\n"},
                                            {"vr.vrscene", "#include \"" + gbk + "\"\n"}}));
  EXPECT_TRUE(extract(path, target.path()));
  const std::string gbkFile = platform::utf16ToUtf8(u"\uF7CE\uF7C6\uF7C0\uF7ED.vrscene");
  const std::string trailFile = "maps/" + platform::utf16ToUtf8(u"\uF795\uF75C.png");
  EXPECT_EQ(tree(target.path()), (std::set<std::string>{"maps/", "maps/tex.png", "maps/sub/", "maps/sub/a.txt",
                                                        trailFile, gbkFile, "vr.vrscene"}));
  EXPECT_EQ(test::readBytes(target.path() / platform::pathFromUtf8(trailFile)), "second byte 0x5C");

  EXPECT_EQ(resolveFile("maps/\x95\x5C.png", {target.str()}), target.str() + "/" + trailFile);
  VrpScene scene;
  EXPECT_TRUE(loadScene(target.str() + "/vr.vrscene", scene, {target.str()}, true));
  EXPECT_NE(scene.findPlugin("gbk"), nullptr);
}

TEST_F(ExtractArchive, LaterEntryOfTheSameNameWins) {
  const std::string jpeg = kJpegStart + noise(50, 9);
  const fs::path path = source.path() / "repeated.zip";
  test::writeBytes(path, test::rawZipBytes({{"a.txt", "first"},
                                            {"a.txt", "second"},
                                            {"b.txt", "dropped"},
                                            {"b.txt", ""},
                                            {"c.jpg", png(100)},
                                            {"c.jpg", jpeg},
                                            {"d.jpg", jpeg},
                                            {"d.jpg", png(100)},
                                            {"e\\f.txt", "1"},
                                            {"e/f.txt", "2"}}));
  EXPECT_TRUE(extract(path, target.path()));
  EXPECT_EQ(tree(target.path()), (std::set<std::string>{"a.txt", "c.jpg", "d.jpg.png", "e/", "e/f.txt"}));
  EXPECT_EQ(test::readBytes(target.path() / "a.txt"), "second");
  EXPECT_EQ(test::readBytes(target.path() / "c.jpg"), jpeg);
  EXPECT_EQ(test::readBytes(target.path() / "e/f.txt"), "2");
}

// Made by the tools themselves when the suite is built
// (make_foreign_archives): Info-ZIP's zip, whose traditional encryption marks
// entries with data descriptors, and Python's zipfile on a stream it cannot
// seek (data descriptors, ZIP64 records, UTF-8 names).
TEST_F(ExtractArchive, ArchivesFromInfoZipAndPython) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.txt", "alpha"},
      {"maps/big.dat", noise(200000, 8)},
      {"\xE7\xBA\xB9\xE7\x90\x86/\xE6\x9C\xA8.txt", "utf-8 name"}};
  const fs::path made = platform::pathFromUtf8(CVIMP_FOREIGN_ARCHIVES);
  const fs::path infoZip = made / "info-zip.zip";
  const fs::path python = made / "python.zip";
  // The tools did use what the test is about: encryption, data descriptors,
  // a ZIP64 record after the first name, "a.txt".
  const std::string infoZipBytes = test::readBytes(infoZip);
  const std::string pythonBytes = test::readBytes(python);
  EXPECT_EQ(infoZipBytes.at(6) & 0x09, 0x09);
  EXPECT_NE(pythonBytes.at(6) & 0x08, 0);
  EXPECT_EQ(pythonBytes.substr(35, 2), std::string("\x01\x00", 2));

  for (const auto& [archive, password] : {std::pair{infoZip, std::optional(kPassword)}, {python, std::nullopt}}) {
    SCOPED_TRACE(archive.filename().string());
    const test::TempDir out;
    EXPECT_TRUE(extract(archive, out.path(), password));
    for (const auto& [name, bytes] : files) {
      EXPECT_EQ(test::readBytes(out.path() / platform::pathFromUtf8(name)), bytes) << name;
    }
  }
  const test::TempDir refused;
  EXPECT_FALSE(extract(infoZip, refused.path(), "wrong password"));

  // A symbolic link, stored as one (-y), is refused; the rest is written.
  EXPECT_FALSE(extract(made / "links.zip", target.path()));
  EXPECT_EQ(tree(target.path()), std::set<std::string>{"a.txt"});
}

TEST_F(ExtractArchive, FailsEntriesWhoseDataDoesNotCheckOut) {
  const std::string big = noise(200000, 5);
  struct Case {
    const char* label;
    bool compress;
    // Damages the bytes of the archive's entry "bad.dat".
    void (*damage)(std::string& bytes, const test::ZipRecord& record);
  };
  // The damage shows at different points of the copy: before the first
  // byte is written, after a chunk, or only at the end of the data.
  const Case cases[] = {
      {"size claimed huge", true, [](std::string& b, const test::ZipRecord& r) {
         test::setCentralSizes(b, r, r.compressedSize, 0xFFFFFFF0u);
       }},
      {"size claimed short by a chunk", true, [](std::string& b, const test::ZipRecord& r) {
         test::setCentralSizes(b, r, r.compressedSize, r.size - 65536);
       }},
      {"size claimed one byte long", true, [](std::string& b, const test::ZipRecord& r) {
         test::setCentralSizes(b, r, r.compressedSize, r.size + 1);
       }},
      {"size claimed zero", true, [](std::string& b, const test::ZipRecord& r) {
         test::setCentralSizes(b, r, r.compressedSize, 0);
       }},
      {"stored data running past the archive", false, [](std::string& b, const test::ZipRecord& r) {
         test::setCentralSizes(b, r, 0xFFFFFFF0u, 0xFFFFFFF0u);
       }},
      {"deflate stream damaged late", true, [](std::string& b, const test::ZipRecord& r) {
         const std::size_t late = r.dataOffset + r.compressedSize * 9 / 10;
         for (std::size_t i = late; i < late + 16; ++i) b[i] ^= 0x5A;
       }},
      {"deflate stream damaged early", true, [](std::string& b, const test::ZipRecord& r) {
         for (std::size_t i = 2; i < 18; ++i) b[r.dataOffset + i] ^= 0x5A;
       }},
      {"stored byte flipped (checksum)", false, [](std::string& b, const test::ZipRecord& r) {
         b[r.dataOffset + r.compressedSize - 1] ^= 1;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    freshHost();
    std::string bytes = test::zipBytes({{"bad.dat", big, c.compress}, {"good.txt", "good", true}});
    c.damage(bytes, test::zipRecords(bytes).at(0));
    const fs::path path = source.path() / "damaged.zip";
    test::writeBytes(path, bytes);
    const test::TempDir out;
    EXPECT_FALSE(extract(path, out.path()));
    EXPECT_EQ(tree(out.path()), std::set<std::string>{"good.txt"});
    EXPECT_EQ(host::progress().ends, 1);
  }
}

// Judged from the declared sizes before anything is written, and from the
// bytes as they come: a small archive of zeros that claims to hold little
// writes no more than a chunk, and leaves nothing.
TEST_F(ExtractArchive, LimitsWhatAnArchiveWrites) {
  const fs::path honest = archive({{"a.dat", noise(600000, 1), true}, {"b.dat", noise(600000, 2), true}});
  std::string bytes = test::zipBytes({{"zeros.dat", std::string(8 << 20, '\0'), true}});
  const test::ZipRecord zeros = test::zipRecords(bytes).at(0);
  test::setCentralSizes(bytes, zeros, zeros.compressedSize, 1000);
  const fs::path lying = source.path() / "lying.zip";
  test::writeBytes(lying, bytes);
  const std::uint64_t available = platform::availableBytes(target.str()).value();
  struct Case {
    const char* label;
    fs::path archive;
    std::uint64_t maxTotalBytes;
    std::uint64_t minFreeBytes;
    bool fits;
  };
  for (const Case& c :
       {Case{"exactly the total", honest, 1200000, 0, true}, Case{"a byte over the total", honest, 1199999, 0, false},
        Case{"less than the minimum left free", honest, 1 << 30, available + (1 << 30), false},
        Case{"sizes that lie", lying, 1 << 20, 0, false}}) {
    SCOPED_TRACE(c.label);
    freshHost();
    ExtractionSettings settings;
    settings.maxTotalBytes = c.maxTotalBytes;
    settings.minFreeBytes = c.minFreeBytes;
    setExtractionSettings(settings);
    const test::TempDir out;
    EXPECT_EQ(extract(c.archive, out.path()), c.fits);
    EXPECT_EQ(tree(out.path()).size(), c.fits ? 2u : 0u);
    EXPECT_EQ(host::progress().starts, host::progress().ends);
  }
}

// The button is looked at before each entry and after each chunk written:
// the 1st look comes before "big.dat", the 2nd after its first chunk, the
// 5th before "after.txt".
TEST_F(ExtractArchive, CancelStopsAtTheNextChunkAndRemovesThePartialFile) {
  const fs::path path = archive({{"big.dat", noise(3 * 64 * 1024 + 17, 1), true}, {"after.txt", "after", true}});
  for (const auto& [query, left] : {std::pair{1, std::set<std::string>{}}, {2, {}}, {5, {"big.dat"}}}) {
    SCOPED_TRACE(query);
    freshHost();
    const test::TempDir out;
    host::pressCancelAtQuery(query);
    EXPECT_FALSE(extract(path, out.path()));
    EXPECT_EQ(tree(out.path()), left);
    EXPECT_EQ(host::progress().ends, 1);
  }
}

TEST(JobLimits, EnvironmentSetsTheDefaultsWhenAPositiveWholeNumber) {
  {
    const test::ScopedEnv download("CVIMP_MAX_DOWNLOAD_BYTES", "12345");
    const test::ScopedEnv package("CVIMP_MAX_PACKAGE_BYTES", "18446744073709551615");
    EXPECT_EQ(DownloadSettings().maxBytes, 12345u);
    EXPECT_EQ(ExtractionSettings().maxTotalBytes, UINT64_MAX);
  }
  for (const char* ignored : {"", "0", "-5", "+5", " 7", "12k", "1e9", "18446744073709551616"}) {
    const test::ScopedEnv download("CVIMP_MAX_DOWNLOAD_BYTES", ignored);
    const test::ScopedEnv package("CVIMP_MAX_PACKAGE_BYTES", ignored);
    EXPECT_EQ(DownloadSettings().maxBytes, 16 * kGibibyte) << ignored;
    EXPECT_EQ(ExtractionSettings().maxTotalBytes, 64 * kGibibyte) << ignored;
  }
  const test::ScopedEnv unset("CVIMP_MAX_DOWNLOAD_BYTES", nullptr);
  EXPECT_EQ(DownloadSettings().maxBytes, 16 * kGibibyte);
}

TEST_F(ExtractArchive, OverwritesFilesOfTheSameNameAndKeepsOthers) {
  test::TempDir out;
  out.write("a.txt", "an older and longer content");
  out.write("keep.txt", "kept");
  EXPECT_TRUE(extract(archive({{"a.txt", "new", true}}), out.path()));
  EXPECT_EQ(test::readBytes(out.path() / "a.txt"), "new");
  EXPECT_EQ(test::readBytes(out.path() / "keep.txt"), "kept");
}

TEST_F(ExtractArchive, FileThatCannotBeCreatedFailsOnlyItsEntry) {
  target.write("blocker", "a file where a folder is wanted");
  EXPECT_FALSE(extract(archive({{"blocker/x.txt", "x", true}, {"after.txt", "after", true}}), target.path()));
  EXPECT_EQ(test::readBytes(target.path() / "after.txt"), "after");
  EXPECT_EQ(test::readBytes(target.path() / "blocker"), "a file where a folder is wanted");
}

TEST_F(ExtractArchive, UsesLongNamesWhole) {
  const std::string name = std::string(120, 'd') + "/" + std::string(120, 'e') + "/" + std::string(100, 'f') + ".txt";
  EXPECT_TRUE(extract(archive({{name, "long", true}}), target.path()));
  EXPECT_EQ(test::readBytes(target.path() / name), "long");
}

TEST_F(ExtractArchive, ReportsProgressBeforeEachEntry) {
  EXPECT_TRUE(extract(archive({{"1.txt", "1", true}, {"2.txt", "2", true}, {"3.txt", "3", true}}), target.path()));
  EXPECT_EQ(host::journal().calls(), (std::vector<std::string>{"ProgressStart", "ProgressUpdate", "ProgressUpdate",
                                                                "ProgressUpdate", "ProgressEnd"}));
  EXPECT_EQ(host::journal().find("ProgressStart").at(0).args, "\"Preparing design...\", true, function, none");
  const auto updates = host::journal().find("ProgressUpdate");
  EXPECT_EQ(updates.at(0).args, "0, true, none");
  EXPECT_EQ(updates.at(1).args, "33, true, none");
  EXPECT_EQ(updates.at(2).args, "66, true, none");
  EXPECT_FALSE(host::progress().shown);
}

TEST_F(ExtractArchive, ArchiveWithoutEntriesShowsAndClosesTheBar) {
  EXPECT_TRUE(extract(archive({}), target.path()));
  EXPECT_EQ(host::journal().calls(), (std::vector<std::string>{"ProgressStart", "ProgressEnd"}));
  EXPECT_TRUE(tree(target.path()).empty());
}

TEST_F(ExtractArchive, NothingHappensWithoutAnArchiveOrFolder) {
  const fs::path good = archive({{"a.txt", "a", true}});
  const fs::path notZip = source.write("not.zip", "this is not a zip archive at all");
  EXPECT_FALSE(extractArchive(u"", host::utf8ToUtf16(target.str()), std::nullopt));
  EXPECT_FALSE(extractArchive(host::utf8ToUtf16(good.string()), u"", std::nullopt));
  EXPECT_FALSE(extract(source.path() / "missing.zip", target.path()));
  EXPECT_FALSE(extract(notZip, target.path()));
  EXPECT_FALSE(extract(source.path(), target.path()));  // a folder, not an archive
  EXPECT_TRUE(host::journal().find("ProgressStart").empty());
  EXPECT_TRUE(tree(target.path()).empty());
}

}  // namespace
}  // namespace cvimp
