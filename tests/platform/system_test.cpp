// What the program asks of the operating system, the same on every system:
// command lines, the environment, file names and memory.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_support.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace cvimp::platform {
namespace {

TEST(System, CommandLinesQuoteWhatWindowsWouldSplit) {
  const std::vector<std::string> words{
      "C:\\Program Files\\cvimp.exe", "plain", "two words", "", "say \"hi\"", "end\\", "dir\\ name\\", "a\\\\\"b",
      "\xE6\x88\xBF\xE9\x97\xB4"};
  EXPECT_EQ(windowsCommandLine(words),
            "\"C:\\Program Files\\cvimp.exe\" plain \"two words\" \"\" \"say \\\"hi\\\"\" end\\ "
            "\"dir\\ name\\\\\" \"a\\\\\\\\\\\"b\" \xE6\x88\xBF\xE9\x97\xB4");
#ifdef _WIN32
  // And the system reads them back as they were.
  const std::u16string line = utf8ToUtf16(windowsCommandLine(words));
  int count = 0;
  wchar_t** read = ::CommandLineToArgvW(reinterpret_cast<const wchar_t*>(line.c_str()), &count);
  ASSERT_NE(read, nullptr);
  std::vector<std::string> back;
  for (int i = 0; i < count; ++i) {
    back.push_back(utf16ToUtf8(std::u16string(reinterpret_cast<const char16_t*>(read[i]), std::wcslen(read[i]))));
  }
  ::LocalFree(read);
  EXPECT_EQ(back, words);
#endif
}

TEST(System, EnvironmentAndFileNamesKeepEveryCharacter) {
  const std::string room = "\xE8\xAE\xBE\xE8\xAE\xA1 \xE6\x88\xBF\xE9\x97\xB4";  // outside any 8-bit code page
  setEnvironmentVariable("CVIMP_TEST_VARIABLE", room.c_str());
  EXPECT_EQ(environmentVariable("CVIMP_TEST_VARIABLE"), room);
  setEnvironmentVariable("CVIMP_TEST_VARIABLE", "");
  EXPECT_EQ(environmentVariable("CVIMP_TEST_VARIABLE"), "");
  setEnvironmentVariable("CVIMP_TEST_VARIABLE", nullptr);
  EXPECT_FALSE(environmentVariable("CVIMP_TEST_VARIABLE").has_value());

  test::TempDir dir;
  const std::string file = dir.str() + "/" + room + ".txt";
  {
    File out = openFile(file, "wbx");
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(openFile(file, "wbx"), nullptr);  // "x": an existing file is not opened
    std::fputs("\n", out.get());
    EXPECT_TRUE(closeFile(out));
  }
  EXPECT_TRUE(std::filesystem::exists(pathFromUtf8(file)));
  EXPECT_EQ(utf8FromPath(pathFromUtf8(file)), file);
  File in = openFile(file, "rb");
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(fileSize(in.get()), 1u);  // "\n" stays one byte
  in.reset();                         // Windows renames no open file
  EXPECT_TRUE(replaceFile(file, dir.str() + "/moved.txt"));
  EXPECT_FALSE(std::filesystem::exists(pathFromUtf8(file)));
}

TEST(System, PagesComeZeroedAndGoBack) {
  const std::size_t bytes = kMappedBytes + 12345;
  auto* pages = static_cast<unsigned char*>(allocatePages(bytes));
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(pages[0] | pages[bytes / 2] | pages[bytes - 1], 0);
  std::memset(pages, 7, bytes);
  releasePages(pages + 1, bytes - 2);  // the whole pages inside
  EXPECT_EQ(pages[0], 7);
  EXPECT_EQ(pages[bytes / 2], 0);
  freePages(pages, bytes);
  EXPECT_FALSE(userCacheDirectory().empty());
  EXPECT_FALSE(executablePath().empty());
}

}  // namespace
}  // namespace cvimp::platform
