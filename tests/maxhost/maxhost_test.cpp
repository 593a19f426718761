// maxhost run as a user runs it, with cvimp.gup in its plug-in folder:
// headless with commands on standard input, and under the display with the
// import window's page served from 127.0.0.1 running a real "startImport".
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/package_server.h"
#include "bridge/page_address.h"
#include "tests/gltf/gltf_validator.h"
#include "tests/jobs/jobs_internals.h"
#include "tests/platform/child_process.h"
#include "tests/support/test_support.h"
#include "tools/packaging/design_package.h"

namespace {

using cvimp::test::TempDir;

// Runs maxhost with `arguments` and `environment` added, feeds it
// `commands` and collects its standard output until it ends.
cvimp::test::ProgramRun runMaxhost(const std::vector<std::string>& arguments,
                                   const std::vector<std::string>& environment, const std::string& commands) {
  return cvimp::test::runProgram(CVIMP_MAXHOST_PATH, arguments, environment, commands);
}

TEST(Maxhost, HeadlessLoadsThePlugInAndRunsItsCommands) {
  TempDir downloads;
  const cvimp::test::ProgramRun run =
      runMaxhost({"--headless", "--download-dir", downloads.str()},
                 {std::string("CVIMP_TEST_VRSCENE=") + CVIMP_SAMPLES_DIR + "/room/vr.vrscene"},
                 "menu\nkey Shift+A\nselect floor rug nothing\nkey Shift+Q\nnodes\nwindows\nkey Ctrl+K\nscene -o " +
                     (downloads.path() / "scene.json").string() + " --gltf " + (downloads.path() / "scene.glb").string() +
                     "\nbogus\nquit\nkey Shift+A\n");
  EXPECT_TRUE(run.succeeded) << run.output;
  const std::string expected =
      "Loaded cvimp.gup: 连接Casavia与3ds Max\n"
      "Main menu bar: File, Edit, Tools, Group, Views, Create, Modifiers, Animation, Rendering, Casavia (&K), "
      "Customize, Scripting, Help\n"
      "File: Export glTF...\n"
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
  // The glTF first, its losses in the table and, with the import's, in the
  // JSON's report.
  EXPECT_NE(run.output.find("\nWindows:\nCtrl+K: no command\nglTF written to " + (downloads.path() / "scene.glb").string() +
                            "\nReport:\n  stage   what          count  subject   detail\n"
                            "  export  map left out  1      Bump Map\nScene written to "),
            std::string::npos)
      << run.output;
  // Nothing after quit runs.
  EXPECT_TRUE(run.output.ends_with("\nUnknown command: bogus\n")) << run.output;
  const std::string scene = cvimp::test::readFile(downloads.path() / "scene.json");
  EXPECT_NE(scene.find("\"name\":\"chair_2\""), std::string::npos);
  EXPECT_NE(scene.find("\"class\":\"poly\""), std::string::npos);
  EXPECT_NE(scene.find("\"report\":[{\"stage\":\"export\""), std::string::npos);
  EXPECT_EQ(cvimp::test::readFile(downloads.path() / "scene.glb").substr(0, 4), "glTF");
}

// The current folder, changed for as long as it lives.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder) : before_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(before_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path before_;
};

// Headless there is no one to ask where: "Export glTF..." writes scene.glb
// in the current folder.
TEST(Maxhost, HeadlessExportGltfFromTheFileMenuWritesAValidFile) {
  TempDir folder;
  cvimp::test::ProgramRun run;
  {
    const InFolder inFolder(folder.path());
    run = runMaxhost({"--headless", "--download-dir", folder.str()},
                     {std::string("CVIMP_TEST_VRSCENE=") + CVIMP_SAMPLES_DIR + "/room/vr.vrscene"},
                     "key Shift+A\nmenu File/Export glTF...\n");
  }
  EXPECT_TRUE(run.succeeded) << run.output;
  EXPECT_NE(run.output.find("\nglTF written to scene.glb\n"), std::string::npos) << run.output;
  EXPECT_TRUE(run.output.ends_with("\nFile/Export glTF...: ran\n")) << run.output;
  const cvimp::test::Validation validation = cvimp::test::validateGlb((folder.path() / "scene.glb").string());
  ASSERT_TRUE(validation.ran) << validation.output;
  EXPECT_EQ(validation.errors, 0) << validation.output;
  EXPECT_EQ(validation.warnings, 0) << validation.output;
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
  const cvimp::test::ProgramRun run = runMaxhost({"--download-dir", downloads.str()},
                                    {"CVIMP_BROWSER_URL_MAP=" + cvimp::platformPageAddress() + "=" + page},
                                    "key Shift+K\nwait nodes 10 90\nwindows\nlist\nquit\n");
  EXPECT_TRUE(run.succeeded) << run.output;
  EXPECT_NE(run.output.find("Shift+K: ran\nNodes: 10\nWindows: [导入]\n"), std::string::npos) << run.output;
  // What the window's node list shows.
  EXPECT_NE(run.output.find("Node list: 10\n  floor | Editable Mesh, 24 faces | Physical Material #1\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("  chair_2 | Editable Mesh, 12 faces | Physical Material #6\n"), std::string::npos)
      << run.output;
}

}  // namespace
