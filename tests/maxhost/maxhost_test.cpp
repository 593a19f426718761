// maxhost run as a user runs it, with cvimp.gup in its plug-in folder:
// headless with commands on standard input, and under the display with the
// import window's page served from 127.0.0.1 running a real "startImport".
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/package_server.h"
#include "bridge/page_address.h"
#include "jobs/import_job.h"
#include "tests/support/test_support.h"
#include "tools/packaging/design_package.h"

extern char** environ;

namespace {

using cvimp::test::TempDir;

struct MaxhostRun {
  int status = -1;
  std::string output;
};

// Runs maxhost with `arguments` and `environment` added, feeds it
// `commands` and collects its standard output until it ends.
MaxhostRun runMaxhost(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                      const std::string& commands) {
  int input[2];
  int output[2];
  if (::pipe(input) != 0 || ::pipe(output) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
  for (const int fd : {input[0], input[1], output[0], output[1]}) posix_spawn_file_actions_addclose(&actions, fd);

  std::vector<std::string> argumentTexts = {CVIMP_MAXHOST_PATH};
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argumentTexts) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> environmentTexts(environment);
  for (char** entry = environ; *entry != nullptr; ++entry) environmentTexts.emplace_back(*entry);
  std::vector<char*> envp;
  for (std::string& text : environmentTexts) envp.push_back(text.data());
  envp.push_back(nullptr);

  pid_t child = 0;
  const int spawned = posix_spawn(&child, CVIMP_MAXHOST_PATH, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(input[0]);
  ::close(output[1]);
  MaxhostRun run;
  if (spawned == 0) {
    // Small enough for the pipe's buffer: written at once, then closed.
    const ssize_t written = ::write(input[1], commands.data(), commands.size());
    EXPECT_EQ(written, static_cast<ssize_t>(commands.size()));
  }
  ::close(input[1]);
  char buffer[4096];
  ssize_t got = 0;
  while ((got = ::read(output[0], buffer, sizeof buffer)) > 0) run.output.append(buffer, static_cast<std::size_t>(got));
  ::close(output[0]);
  if (spawned == 0) ::waitpid(child, &run.status, 0);
  return run;
}

bool exitedCleanly(const MaxhostRun& run) { return WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0; }

TEST(Maxhost, HeadlessLoadsThePlugInAndRunsItsCommands) {
  TempDir downloads;
  const MaxhostRun run =
      runMaxhost({"--headless", "--download-dir", downloads.str()},
                 {std::string("CVIMP_TEST_VRSCENE=") + CVIMP_SAMPLES_DIR + "/room/vr.vrscene"},
                 "menu\nkey Shift+A\nselect floor rug nothing\nkey Shift+Q\nnodes\nwindows\nkey Ctrl+K\nscene -o " +
                     (downloads.path() / "scene.json").string() + "\nbogus\nquit\nkey Shift+A\n");
  EXPECT_TRUE(exitedCleanly(run)) << run.output;
  const std::string expected =
      "Loaded cvimp.gup: 连接Casavia与3ds Max\n"
      "Main menu bar: File, Edit, Tools, Group, Views, Create, Modifiers, Animation, Rendering, Casavia (&K), "
      "Customize, Scripting, Help\n"
      "Casavia (&K): 导入... (Shift+K), 四边化已选择模型 (Shift+Q), 帮助... (Shift+H), 关于... (Shift+A)\n"
      "Shift+A: ran\n"
      "No node named nothing\n"
      "Selected: floor rug\n"
      "Shift+Q: ran\n"
      "Nodes: 10\n"
      "  floor | Editable Poly, 12 polygons | Physical Material #1\n"
      "  wall_north | Editable Mesh, 12 faces | Physical Material #2\n";
  EXPECT_EQ(run.output.substr(0, expected.size()), expected);
  // Quadrify leaves the last object it converted selected.
  EXPECT_NE(run.output.find("  rug | Editable Poly, 4 polygons | Physical Material #3 | selected\n"), std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\nWindows:\nCtrl+K: no command\nScene written to "), std::string::npos) << run.output;
  // Nothing after quit runs.
  EXPECT_TRUE(run.output.ends_with("\nUnknown command: bogus\n")) << run.output;
  const std::string scene = cvimp::test::readFile(downloads.path() / "scene.json");
  EXPECT_NE(scene.find("\"name\":\"chair_2\""), std::string::npos);
  EXPECT_NE(scene.find("\"class\":\"poly\""), std::string::npos);
}

TEST(Maxhost, ShiftKImportsTheServedDesignIntoTheNodeList) {
  const std::string package = cvimp::packaging::makeDesignPackage(
      CVIMP_SAMPLES_DIR "/room", cvimp::packagePassword(cvimp::kDemoDesignId, cvimp::kDemoTaskId));
  ASSERT_FALSE(package.empty());
  cvimp::PackageServer server(package, cvimp::test::readFile(CVIMP_TEST_PAGE));
  ASSERT_GT(server.port(), 0);
  const std::string page = server.address(cvimp::kPagePath) + "?run=import&design=" + cvimp::kDemoDesignId +
                           "&task=" + cvimp::kDemoTaskId + "&package=" + server.address(cvimp::kPackagePath);
  TempDir downloads;
  const MaxhostRun run = runMaxhost({"--download-dir", downloads.str()},
                                    {"CVIMP_BROWSER_URL_MAP=" + cvimp::platformPageAddress() + "=" + page},
                                    "key Shift+K\nwait nodes 10 90\nwindows\nlist\nquit\n");
  EXPECT_TRUE(exitedCleanly(run)) << run.output;
  EXPECT_NE(run.output.find("Shift+K: ran\nNodes: 10\nWindows: [导入]\n"), std::string::npos) << run.output;
  // What the window's node list shows.
  EXPECT_NE(run.output.find("Node list: 10\n  floor | Editable Mesh, 24 faces | Physical Material #1\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("  chair_2 | Editable Mesh, 12 faces | Physical Material #6\n"), std::string::npos)
      << run.output;
}

}  // namespace
