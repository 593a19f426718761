// The command-line programs as files and processes: the ones that show no
// window neither link nor map the browser engine or GTK.
#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>

#include "cli/command_line.h"
#include "tests/platform/child_process.h"
#include "tests/support/http_server.h"
#include "tests/support/test_support.h"

namespace cvimp::test {
namespace {

const char* const kGuiLibraries[] = {"libgtk-3", "libgdk-3", "libwebkit2gtk", "libjavascriptcoregtk"};

std::string guiLibrariesIn(const std::string& text) {
  std::string found;
  for (const char* library : kGuiLibraries) {
    if (text.find(library) != std::string::npos) found += std::string(library) + " ";
  }
  return found;
}

std::string program(const char* name) { return std::string(CVIMP_PROGRAM_DIR) + "/" + name; }

// What a program links and maps is read with ldd and /proc/PID/maps; the
// Windows build has no GUI library at all, which the layer check verifies.
#ifdef _WIN32
#define SKIP_WITHOUT_LINUX_LIBRARIES() GTEST_SKIP() << "ldd and /proc/PID/maps are Linux's"
#else
#define SKIP_WITHOUT_LINUX_LIBRARIES()
#endif

// The import window and the server that feeds it need GTK and WebKit.
TEST(Programs, WindowCommandsSayWhenTheBuildHasNoWindows) {
  for (const char* command : {"window", "serve"}) {
    CommandLine line;
    ::testing::internal::CaptureStderr();
    const std::optional<int> status = line.parse({"cvimp", command});
    const std::string said = ::testing::internal::GetCapturedStderr();
#ifdef _WIN32
    EXPECT_EQ(status, 1) << command;
    EXPECT_EQ(said, "cvimp " + std::string(command) + ": not available on Windows (the import window runs on Linux)\n");
#else
    EXPECT_EQ(status, std::nullopt) << command;
    EXPECT_EQ(said, "") << command;
#endif
  }
}

TEST(Programs, OnlyTheWindowProgramLinksTheBrowserEngine) {
  SKIP_WITHOUT_LINUX_LIBRARIES();
  for (const char* name : {"cvimp", "cvimp-jobs"}) {
    const ProgramRun ldd = runProgram("ldd", {program(name)});
    ASSERT_TRUE(ldd.succeeded) << name;
    EXPECT_EQ(guiLibrariesIn(ldd.output), "") << name;
  }
  const ProgramRun window = runProgram("ldd", {program("cvimp-window")});
  EXPECT_NE(guiLibrariesIn(window.output).find("libwebkit2gtk"), std::string::npos) << window.output;
}

// `cvimp job` runs in cvimp-jobs; while its download waits on the server,
// the process's mappings show the download library and no GUI library.
TEST(Programs, AJobWaitingOnItsDownloadHasNoGuiLibraryMapped) {
  SKIP_WITHOUT_LINUX_LIBRARIES();
  std::mutex lock;
  std::condition_variable changed;
  bool requested = false;
  bool released = false;
  LocalServer server;
  server.get("/slow", [&](const HttpRequest&, HttpResponse& response) {
    std::unique_lock guard(lock);
    requested = true;
    changed.notify_all();
    changed.wait(guard, [&] { return released; });
    response.setContent("file", "text/plain");
  });
  server.start();
  TempDir downloads;
  const std::string job = R"({"jobType":"downloadUrl","remoteFileUrl":")" + server.url("/slow") +
                          R"(","localFilePath":"%MAX_DOWNLOAD_DIR%/file.txt"})";
  ChildProcess cvimp(program("cvimp"), {"job", job, "--download-dir", downloads.str()});
  ASSERT_TRUE(cvimp.started());
  std::string maps;
  {
    std::unique_lock guard(lock);
    changed.wait(guard, [&] { return requested; });
    maps = readFile("/proc/" + std::to_string(cvimp.pid()) + "/maps");
    released = true;
    changed.notify_all();
  }
  EXPECT_TRUE(cvimp.finish()) << cvimp.output();
  EXPECT_NE(maps.find("libcurl"), std::string::npos) << maps;
  EXPECT_EQ(guiLibrariesIn(maps), "");
  EXPECT_EQ(readFile(downloads.path() / "file.txt"), "file");
}

}  // namespace
}  // namespace cvimp::test
