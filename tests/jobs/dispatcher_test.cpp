// Job documents, the dispatcher and the shell-launch job.
#include "jobs/jobs.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/jobs/jobs_internals.h"
#include "host/stand_in.h"
#include "host/max.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

namespace fs = std::filesystem;

TEST(JobDocument, FieldReadingRules) {
  const JobDocument job = parseJob(
      u"{\"jobType\":\"x\",\"s\":\"t\\u00e9xt\",\"n\":5,\"yes\":true,\"no\":false,\"str\":\"true\",\"one\":1,"
      u"\"dup\":\"first\",\"dup\":\"second\",\"big\":5000000000,\"neg\":-7,\"extra\":{\"a\":[1,2]}}");
  EXPECT_EQ(readStringField(job, u"s"), u"t\u00e9xt");
  EXPECT_EQ(readStringField(job, u"n"), u"");        // not a string
  EXPECT_EQ(readStringField(job, u"absent"), u"");
  EXPECT_EQ(readStringField(job, u"dup"), u"first");  // the first of a name wins
  EXPECT_TRUE(readFlagField(job, u"yes"));
  for (const char16_t* name : {u"no", u"str", u"one", u"absent"}) EXPECT_FALSE(readFlagField(job, name));
  EXPECT_EQ(readIntField(job, u"n"), 5);
  EXPECT_EQ(readIntField(job, u"neg"), -7);
  EXPECT_EQ(readIntField(job, u"absent"), 0);
  EXPECT_EQ(readIntField(job, u"big"), 0);  // beyond 32 bits
  EXPECT_TRUE(hasField(job, u"no"));
  EXPECT_FALSE(hasField(job, u"absent"));
  // Names compare by code units: case matters.
  EXPECT_FALSE(hasField(job, u"YES"));

  // Nesting far deeper than any job does not exhaust the stack.
  const std::u16string deep = std::u16string(300000, u'[') + std::u16string(300000, u']');
  EXPECT_EQ(parseJob(deep).MemberCount(), 0u);
  for (const std::u16string& text : std::vector<std::u16string>{u"", u"[1,2]", u"\"jobType\"", u"{\"jobType\":",
                                                                std::u16string(u"{}\0x", 4)}) {
    const JobDocument broken = parseJob(text);
    EXPECT_TRUE(broken.IsObject());
    EXPECT_EQ(broken.MemberCount(), 0u);
  }
}

class DispatcherTest : public test::HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    host::setDirectory(APP_DOWNLOAD_DIR, host::utf8ToUtf16(dir.str()));
  }
  void TearDown() override {
    host::waitForLaunchedPrograms();
    host::setDesktopOpener("");
    HostTest::TearDown();
  }
  bool run(const std::u16string& job) {
    result = u"earlier text";
    return runJob(state, job, result);
  }
  test::TempDir dir;
  PluginState state;
  WStr result;
};

TEST_F(DispatcherTest, JobTypesCompareExactlyInsideTheSuspensionScope) {
  EXPECT_TRUE(run(u"{\"jobType\":\"getMaxPluginVersion\",\"other\":[1]}"));
  EXPECT_EQ(result, WStr(u"1.1.9"));
  EXPECT_EQ(host::journal().calls(), (std::vector<std::string>{"SuspendAll", "Resume"}));
  EXPECT_EQ(host::journal().find("SuspendAll").at(0).args, "false, false, false, false, true, false, false, false");
  EXPECT_EQ(host::suspendDepth(), 0);

  for (const std::u16string& job : std::vector<std::u16string>{u"{\"jobType\":\"startimport\"}", u"{\"jobType\":\"startImport \"}", u"{\"jobType\":5}", u"{}", u"not json",
        u"{\"jobtype\":\"getMaxPluginVersion\"}"}) {
    host::journal().clear();
    EXPECT_FALSE(run(job));
    EXPECT_EQ(result, WStr(u"Unknown job type"));
    EXPECT_EQ(host::journal().calls(), (std::vector<std::string>{"SuspendAll", "Resume"}));
  }
}

TEST_F(DispatcherTest, ImportJobChecksItsIdentifiersFirst) {
  const auto job = [](const std::u16string& design, const std::u16string& task, const std::u16string& url) {
    return u"{\"jobType\":\"startImport\",\"designId\":\"" + design + u"\",\"taskId\":\"" + task +
           u"\",\"designPackageUrl\":\"" + url + u"\",\"importMesh\":false,\"quadrifyMesh\":true}";
  };
  EXPECT_FALSE(run(job(u"12345678901", u"abc", u"http://x/")));
  EXPECT_EQ(result, WStr(u"Invalid design ID"));  // the design id's message wins
  EXPECT_FALSE(run(job(u"123456789012", u"abc", u"http://x/")));
  EXPECT_EQ(result, WStr(u"Invalid task ID"));
  for (const std::u16string& task : std::vector<std::u16string>{u"..", u"ab/cd", u"ab\\\\cd", u"C:abcd", u"../../x"}) {
    EXPECT_FALSE(run(job(u"123456789012", task, u"http://x/")));
    EXPECT_EQ(result, WStr(u"Invalid task ID"));
  }
  EXPECT_FALSE(run(job(u"123456789012", u"abcd", u"")));
  EXPECT_EQ(result, WStr(u"Invalid package URL"));
  // None of these touched the options or the disk.
  EXPECT_TRUE(state.importMesh);
  EXPECT_FALSE(state.quadrifyMesh);
  EXPECT_TRUE(fs::is_empty(dir.path()));
  // A non-ASCII id counts in bytes of its 8-bit form: 6 characters of 2 bytes.
  EXPECT_FALSE(run(job(u"\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9", u"\u00e9\u00e9", u"")));
  EXPECT_EQ(result, WStr(u"Invalid package URL"));
}

TEST(ImportJob, PasswordAndFolderNames) {
  EXPECT_EQ(packagePassword("ABCDEFGHIJKLMNOP", "task1234"), "ABCDEFGHIJKL1234");
  EXPECT_EQ(packagePassword("ABCDEFGHIJKL", "1234"), "ABCDEFGHIJKL1234");
  EXPECT_TRUE(isPlainFolderName("task-42"));
  EXPECT_TRUE(isPlainFolderName("a.b"));
  for (const char* name : {"", ".", "..", "a/b", "a\\b", "C:", "c:x"}) EXPECT_FALSE(isPlainFolderName(name)) << name;
}

// A path as the journal writes it.
std::string quoted(const std::string& path) { return host::quoted(std::string_view(path)); }

// A program the shell starts, writing its working folder and its first
// arguments to `out`, each followed by "|"; and a file that passes for a
// program by its name or mode and is none.
#ifdef _WIN32
constexpr const char* kTool = "tool.cmd";
constexpr const char* kNoProgram = "text.exe";
std::string toolScript(const std::string& out) { return "@<nul set /p \"=%CD%|%~1|%~2|\" > \"" + out + "\"\r\n"; }
#else
constexpr const char* kTool = "tool.sh";
constexpr const char* kNoProgram = "text.run";
std::string toolScript(const std::string& out) { return "#!/bin/sh\nprintf '%s|' \"$PWD\" \"$@\" > " + out + "\n"; }
#endif

TEST_F(DispatcherTest, ShellLaunchAnswersAndErrorTexts) {
  const std::string out = dir.str() + "/out.txt";
  const std::string script = dir.write(kTool, toolScript(out));
  fs::permissions(platform::pathFromUtf8(script), fs::perms::owner_all);
  fs::create_directories(dir.path() / "work");
  const std::u16string tool = u"\"%MAX_DOWNLOAD_DIR%/" + host::utf8ToUtf16(kTool) + u"\"";

  // The program starts in the directory with its parameters; the token
  // stands for the download directory, without a separator added.
  EXPECT_TRUE(
      run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":" + tool +
          u",\"parameters\":\"one \\\"two words\\\"\",\"directory\":\"%MAX_DOWNLOAD_DIR%/work\",\"showCmd\":1}"));
  EXPECT_EQ(result, WStr(u"Succeed"));
  EXPECT_EQ(host::waitForLaunchedPrograms(), 1);
  EXPECT_EQ(test::readFile(out), platform::utf8FromPath(dir.path() / "work") + "|one|two words|");
  const auto launches = host::journal().find("ShellExecuteW");
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].args, "\"open\", " + quoted(dir.str() + "/" + kTool) + ", \"one \\\"two words\\\"\", " +
                                  quoted(dir.str() + "/work") + ", 1");

  // Absent showCmd reads 0; empty parameters and an absent directory pass none.
  EXPECT_FALSE(
      run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"%MAX_DOWNLOAD_DIR%/none.txt\","
          u"\"parameters\":\"\"}"));
  EXPECT_EQ(result, WStr(u"File not found"));
  EXPECT_EQ(host::journal().find("ShellExecuteW").back().args,
            "\"open\", " + quoted(dir.str() + "/none.txt") + ", none, none, 0");
  EXPECT_FALSE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"%MAX_DOWNLOAD_DIR%/no/x.txt\"}"));
  EXPECT_EQ(result, WStr(u"Path not found"));

  // An executable that is no program does not start.
  fs::permissions(platform::pathFromUtf8(dir.write(kNoProgram, "just text\n")), fs::perms::owner_all);
  EXPECT_FALSE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"%MAX_DOWNLOAD_DIR%/" +
                   host::utf8ToUtf16(kNoProgram) + u"\"}"));
  EXPECT_EQ(result, WStr(u"Bad format"));

  // A document without a desktop opener has no association.
  dir.write("note.txt", "text");
  host::setDesktopOpener("");
  EXPECT_FALSE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"%MAX_DOWNLOAD_DIR%/note.txt\"}"));
  EXPECT_EQ(result, WStr(u"No association"));
  // With one, the opener gets the document.
  host::setDesktopOpener(script);
  EXPECT_TRUE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"%MAX_DOWNLOAD_DIR%/note.txt\"}"));
  EXPECT_EQ(host::waitForLaunchedPrograms(), 1);
  EXPECT_NE(test::readFile(out).find("note.txt|"), std::string::npos);

  // An address opens in the default browser; a drive letter is no scheme.
  EXPECT_TRUE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"https://example.com/a b\"}"));
  EXPECT_EQ(host::waitForLaunchedPrograms(), 1);
  EXPECT_NE(test::readFile(out).find("https://example.com/a b|"), std::string::npos) << test::readFile(out);
  EXPECT_FALSE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"print\",\"file\":\"https://example.com\"}"));
  EXPECT_EQ(result, WStr(u"No association"));
  EXPECT_FALSE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"C:/missing/x.txt\"}"));
  EXPECT_EQ(result, WStr(u"Path not found"));
  // A file whose name looks like an address stays a file.
  dir.write("notes:v2.txt", "text");
  EXPECT_TRUE(
      run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"notes:v2.txt\",\"directory\":\"%MAX_"
          u"DOWNLOAD_DIR%\"}"));
  EXPECT_EQ(host::waitForLaunchedPrograms(), 1);
  EXPECT_NE(test::readFile(out).find(platform::utf8FromPath(dir.path() / "notes:v2.txt") + "|"), std::string::npos)
      << test::readFile(out);
  host::setDesktopOpener("");
  EXPECT_FALSE(run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":\"mailto:someone@example.com\"}"));
  EXPECT_EQ(result, WStr(u"No association"));

  // Recorded launches start nothing, for runs that must not.
  host::setLaunchesRecorded(true);
  EXPECT_TRUE(
      run(u"{\"jobType\":\"shellExecute\",\"operation\":\"open\",\"file\":" + tool + u",\"parameters\":\"x\"}"));
  host::setLaunchesRecorded(false);
  EXPECT_EQ(host::waitForLaunchedPrograms(), 0);
  EXPECT_EQ(test::readFile(out).find("|x|"), std::string::npos);
}

TEST(LaunchErrors, TableOfTexts) {
  EXPECT_EQ(std::u16string(launchErrorText(0)), u"Out of resource");
  EXPECT_EQ(std::u16string(launchErrorText(26)), u"Sharing voilation");
  EXPECT_EQ(std::u16string(launchErrorText(31)), u"No association");
  EXPECT_EQ(std::u16string(launchErrorText(32)), u"DLL not found");
  for (const long long other : {1LL, 4LL, 12LL, -5LL}) {
    EXPECT_EQ(std::u16string(launchErrorText(other)), u"Cannot execute");
  }
}

}  // namespace
}  // namespace cvimp
