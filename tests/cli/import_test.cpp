// cvimp import on the sample design and on scenes that fail.
#include "cli/import_command.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <csignal>
#include <fstream>
#include <sstream>

#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

class ImportCommandTest : public test::HostTest {
 protected:
  int run(const ImportOptions& options) {
    int status = -1;
    printed = test::captureStdout([&] { status = runImport(options); });
    return status;
  }
  std::string printed;
};

TEST_F(ImportCommandTest, SampleDesignImportsWithItsSummaryAndScene) {
  test::TempDir dir;
  ImportOptions options;
  options.scenePath = std::string(CVIMP_SAMPLES_DIR) + "/room/vr.vrscene";
  options.outputPath = (dir.path() / "room.json").string();
  options.unit = host::SystemUnit::Centimeters;
  options.quadrify = true;
  ASSERT_EQ(run(options), 0);
  EXPECT_EQ(printed.substr(0, printed.find("Seconds:")),
            "Succeed\nNodes: 10\nObjects: 7\nTriangles: 92\nMaterials: 6\nMaps: 3\nBitmaps: 3\n");

  rapidjson::Document scene;
  scene.Parse(test::readFile(options.outputPath).c_str());
  ASSERT_FALSE(scene.HasParseError());
  EXPECT_STREQ(scene["systemUnit"].GetString(), "cm");
  ASSERT_EQ(scene["nodes"].Size(), 10u);
  for (const auto& object : scene["objects"].GetArray()) EXPECT_STREQ(object["class"].GetString(), "poly");
  // Both bitmaps found: the ".jpg" stored as ".jpg.png", and the one under a
  // render-farm path.
  const auto& maps = scene["maps"];
  ASSERT_EQ(maps.Size(), 3u);
  EXPECT_NE(std::string(maps[2]["file"].GetString()).find("walnut.jpg.png"), std::string::npos);
  EXPECT_TRUE(maps[2]["cropping"].IsObject());
  EXPECT_NE(std::string(maps[0]["file"].GetString()).find("textures/oak.png"), std::string::npos);
}

TEST_F(ImportCommandTest, GltfAndTheReportAsTableAndJson) {
  test::TempDir dir;
  ImportOptions options;
  options.scenePath = std::string(CVIMP_SAMPLES_DIR) + "/room/vr.vrscene";
  options.outputPath = (dir.path() / "room.json").string();
  ASSERT_EQ(run(options), 0);
  // Everything came across: no table, an empty report.
  EXPECT_EQ(printed.substr(printed.find("Seconds:")).find('\n') + 1, printed.size() - printed.find("Seconds:"));
  EXPECT_NE(test::readFile(options.outputPath).find(",\"report\":[]}"), std::string::npos);

  freshHost();
  options.gltfPath = (dir.path() / "room.glb").string();
  ASSERT_EQ(run(options), 0);
  EXPECT_NE(printed.find("glTF: " + options.gltfPath + "\n"), std::string::npos);
  EXPECT_NE(printed.find("Report:\n"
                         "  stage   what          count  subject   detail\n"
                         "  export  map left out  1      Bump Map\n"),
            std::string::npos)
      << printed;
  EXPECT_EQ(test::readFile(options.gltfPath).substr(0, 4), "glTF");
  rapidjson::Document scene;
  scene.Parse(test::readFile(options.outputPath).c_str());
  ASSERT_TRUE(scene.HasMember("report"));
  ASSERT_EQ(scene["report"].Size(), 1u);
  EXPECT_STREQ(scene["report"][0]["stage"].GetString(), "export");

  options.gltfPath = (dir.path() / "missing" / "room.glb").string();
  EXPECT_EQ(run(options), 1);
}

TEST_F(ImportCommandTest, OptionsAndFailures) {
  ImportOptions options;
  options.scenePath = std::string(CVIMP_SAMPLES_DIR) + "/room/vr.vrscene";
  options.importMaterial = false;
  ASSERT_EQ(run(options), 0);
  EXPECT_NE(printed.find("Nodes: 10\n"), std::string::npos);
  EXPECT_NE(printed.find("Materials: 0\n"), std::string::npos);

  freshHost();
  options.importMesh = false;
  ASSERT_EQ(run(options), 0);
  EXPECT_NE(printed.find("Nodes: 0\n"), std::string::npos);

  freshHost();
  test::TempDir dir;
  options.scenePath = (dir.path() / "missing.vrscene").string();
  options.outputPath = (dir.path() / "out.json").string();
  EXPECT_EQ(run(options), 1);
  EXPECT_EQ(printed.substr(0, printed.find('\n')), "Cannot parse scene");
  // The (empty) host scene is written all the same.
  EXPECT_NE(test::readFile(options.outputPath).find("\"nodes\":[]"), std::string::npos);

  options.scenePath = "";
  EXPECT_EQ(run(options), 1);
  EXPECT_EQ(printed.substr(0, printed.find('\n')), "Invalid scene file");
}

TEST_F(ImportCommandTest, InterruptPressesCancelWhileTheImportRuns) {
  {
    InterruptAsCancel guard;
    std::raise(SIGINT);
    EXPECT_TRUE(GetCOREInterface()->GetCancel());
  }
  freshHost();
  // Afterwards SIGINT is back to what it was: here, ignored for the check.
  const auto previous = std::signal(SIGINT, SIG_IGN);
  { InterruptAsCancel guard; }
  EXPECT_EQ(std::signal(SIGINT, previous), SIG_IGN);
  EXPECT_FALSE(GetCOREInterface()->GetCancel());
}

}  // namespace
}  // namespace cvimp
