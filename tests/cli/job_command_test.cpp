// cvimp job and the default download directory.
#include "cli/job_command.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <future>

#include "host/max.h"
#include "host/stand_in.h"
#include "tests/platform/child_process.h"
#include "tests/support/host_fixture.h"
#include "tests/support/http_server.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

using JobCommand = test::HostTest;

TEST_F(JobCommand, PrintsFlagAndResultWithItsExitStatus) {
  test::TempDir dir;
  JobOptions options;
  options.downloadDir = platform::utf8FromPath(dir.path() / "made" / "on demand");
  options.jobText = "{\"jobType\":\"getMaxPluginVersion\"}";
  int status = -1;
  std::string printed = test::captureStdout([&] { status = runJobCommand(options); });
  EXPECT_EQ(status, 0);
  EXPECT_EQ(printed, "Success: true\nResult: 1.1.9\n");
  EXPECT_TRUE(std::filesystem::is_directory(options.downloadDir));
  EXPECT_EQ(host::utf16ToUtf8(GetCOREInterface()->GetDir(APP_DOWNLOAD_DIR)), options.downloadDir);

  options.jobText.clear();
  options.jobFile = dir.write("job.json", "{\"jobType\":\"nothing\"}");
  printed = test::captureStdout([&] { status = runJobCommand(options); });
  EXPECT_EQ(status, 1);
  EXPECT_EQ(printed, "Success: false\nResult: Unknown job type\n");
}

// Ctrl-C, here as the server starts to answer, presses the cancel button.
TEST_F(JobCommand, InterruptCancelsTheJob) {
  test::TempDir dir;
  test::LocalServer server;
  server.get("/file", [](const test::HttpRequest& request, test::HttpResponse& response) {
    if (request.method == "GET") std::raise(SIGINT);
    response.setContent("file", "text/plain");
  });
  server.start();
  JobOptions options;
  options.downloadDir = dir.str();
  options.jobText = R"({"jobType":"downloadUrl","remoteFileUrl":")" + server.url("/file") +
                    R"(","localFilePath":"%MAX_DOWNLOAD_DIR%/file.txt"})";
  int status = -1;
  EXPECT_EQ(test::captureStdout([&] { status = runJobCommand(options); }),
            "Success: false\nResult: Cannot download URL\n");
  EXPECT_EQ(status, 1);
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// The same through the program, with a real Ctrl-C at its console while the
// download streams: the answer goes on until the client hangs up.
TEST(JobProgram, CtrlCAtTheConsoleCancelsTheDownload) {
  ASSERT_TRUE(test::ChildProcess::prepareInterrupts());
  test::TempDir dir;
  test::LocalServer server;
  std::promise<test::ChildProcess*> started;
  std::shared_future<test::ChildProcess*> program = started.get_future().share();
  server.get("/file", [&](const test::HttpRequest&, test::HttpResponse& response) {
    response.setChunkedContentProvider("application/zip", [&](std::size_t offset, test::HttpSink& sink) {
      const std::string block(1024, 'z');
      if (!sink.write(block.data(), block.size())) return false;
      if (offset == 0) program.get()->interrupt();
      if (offset > (std::size_t{1} << 30)) sink.done();
      return true;
    });
  });
  server.start();
  const std::string job = R"({"jobType":"downloadUrl","remoteFileUrl":")" + server.url("/file") +
                          R"(","localFilePath":"%MAX_DOWNLOAD_DIR%/file.zip"})";
  test::ChildProcess child(std::string(CVIMP_PROGRAM_DIR) + "/cvimp", {"job", "--download-dir", dir.str(), job});
  started.set_value(&child);
  EXPECT_FALSE(child.finish());
  EXPECT_EQ(child.output(), "Success: false\nResult: Cannot download URL\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

// The variable that names the user's cache folder.
#ifdef _WIN32
constexpr const char* kCacheVariable = "LOCALAPPDATA";
#else
constexpr const char* kCacheVariable = "XDG_CACHE_HOME";
#endif

TEST_F(JobCommand, DefaultDownloadDirectoryIsInTheUserCache) {
  test::TempDir dir;
  const test::ScopedEnv cache(kCacheVariable, dir.str().c_str());
  const std::string folder = host::defaultDownloadDirectory();
  EXPECT_EQ(folder, platform::utf8FromPath(dir.path() / "cvimp" / "downloads"));
  EXPECT_TRUE(std::filesystem::is_directory(folder));
}

}  // namespace
}  // namespace cvimp
