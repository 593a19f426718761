// cvimp import on the sample design and on scenes that fail; the design
// under names beyond a Western code page, through the programs.
#include "cli/import_command.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "cli/package_server.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "tests/platform/child_process.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

namespace cvimp {
namespace {

namespace fs = std::filesystem;

class ImportCommandTest : public test::HostTest {
 protected:
  int run(const ImportOptions& options) {
    int status = -1;
    testing::internal::CaptureStderr();
    printed = test::captureStdout([&] { status = runImport(options); });
    errors = testing::internal::GetCapturedStderr();
    return status;
  }
  std::string printed;
  std::string errors;
};

TEST_F(ImportCommandTest, SampleDesignImportsWithItsSummaryAndScene) {
  test::TempDir dir;
  ImportOptions options;
  options.scenePath = std::string(CVIMP_SAMPLES_DIR) + "/room/vr.vrscene";
  options.outputPath = platform::utf8FromPath(dir.path() / "room.json");
  options.unit = host::SystemUnit::Centimeters;
  options.quadrify = true;
  ASSERT_EQ(run(options), 0);
  EXPECT_EQ(
      printed.substr(0, printed.find("Seconds:")),
      "Succeed\nNodes: 13\nObjects: 10\nTriangles: 92\nMaterials: 6\nMaps: 3\nBitmaps: 3\nCameras: 1\nLights: 2\n");

  rapidjson::Document scene;
  scene.Parse(test::readFile(options.outputPath).c_str());
  ASSERT_FALSE(scene.HasParseError());
  EXPECT_STREQ(scene["systemUnit"].GetString(), "cm");
  // The ten meshes, the camera and two lights.
  ASSERT_EQ(scene["nodes"].Size(), 13u);
  int polys = 0;
  for (const auto& object : scene["objects"].GetArray()) polys += object["class"] == "poly" ? 1 : 0;
  EXPECT_EQ(polys, 7);
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
  options.outputPath = platform::utf8FromPath(dir.path() / "room.json");
  ASSERT_EQ(run(options), 0);
  // Everything came across: no table, an empty report.
  EXPECT_EQ(printed.substr(printed.find("Seconds:")).find('\n') + 1, printed.size() - printed.find("Seconds:"));
  EXPECT_NE(test::readFile(options.outputPath).find(",\"report\":[]}"), std::string::npos);

  // glTF has no exposure and no area lights.
  freshHost();
  options.gltfPath = platform::utf8FromPath(dir.path() / "room.glb");
  ASSERT_EQ(run(options), 0);
  EXPECT_NE(printed.find("glTF: " + options.gltfPath + "\n"), std::string::npos);
  EXPECT_NE(printed.find("Report:\n"
                         "  stage   what                 count  subject                        detail\n"
                         "  export  camera approximated  1      cameras with exposure control  f-number, shutter and "
                         "ISO left out: a viewer sets its own exposure\n"
                         "  export  light approximated   2      area lights                    as point lights of the "
                         "same luminous power\n"
                         "  export  map left out         1      Bump Map\n"),
            std::string::npos)
      << printed;
  EXPECT_EQ(test::readFile(options.gltfPath).substr(0, 4), "glTF");
  rapidjson::Document scene;
  scene.Parse(test::readFile(options.outputPath).c_str());
  ASSERT_TRUE(scene.HasMember("report"));
  ASSERT_EQ(scene["report"].Size(), 3u);
  for (const auto& entry : scene["report"].GetArray()) EXPECT_STREQ(entry["stage"].GetString(), "export");

  options.gltfPath = platform::utf8FromPath(dir.path() / "missing" / "room.glb");
  EXPECT_EQ(run(options), 1);
}

// One small scene in the style of each V-Ray exporter (samples/exporters):
// the same two objects, at their sizes, in their materials; what nothing
// reads is listed. 3ds Max's box wears a Multi/Sub-Object whose IDs wrap:
// its sides carry IDs 0 to 5 and show wood (0) and metal (1) in turn.
TEST_F(ImportCommandTest, ExporterSamplesImportWithTheirMeshesMaterialsAndSizes) {
  const struct {
    const char* exporter;
    const char* boxMaterialMap;  // the box's (first) base colour map, or ""
    int materials;
    std::vector<int> boxFaceIds;  // when the box's material is a Multi/Sub-Object
    int cameras;
    int lights;
    std::vector<std::string> report;
  } cases[] = {
      {"blender", "", 2, {}, 0, 1, {}},
      // The physical camera has no render view to place it.
      {"sketchup", "", 2, {}, 0, 1, {"Red", "CameraPhysical_1", "TexAColor"}},
      {"max", "0002 ( 20x100 ).png", 4, {1, 1, 0, 0, 0, 0, 1, 1, 1, 1, 0, 0}, 1, 1, {}},
      {"app_sdk", "", 2, {}, 1, 1, {}},
  };
  test::TempDir dir;
  for (const auto& c : cases) {
    freshHost();
    ImportOptions options;
    options.scenePath = std::string(CVIMP_SAMPLES_DIR) + "/exporters/" + c.exporter + "/scene.vrscene";
    options.outputPath = platform::utf8FromPath(dir.path() / (std::string(c.exporter) + ".json"));
    ASSERT_EQ(run(options), 0) << c.exporter << printed;
    const std::string nodes = std::to_string(2 + c.cameras + c.lights);
    EXPECT_NE(printed.find("Succeed\nNodes: " + nodes + "\nObjects: " + nodes +
                           "\nTriangles: 14\nMaterials: " + std::to_string(c.materials) + "\n"),
              std::string::npos)
        << c.exporter << printed;
    EXPECT_NE(printed.find("Cameras: " + std::to_string(c.cameras) + "\nLights: " + std::to_string(c.lights) + "\n"),
              std::string::npos)
        << c.exporter << printed;
    EXPECT_EQ(printed.find("ERROR"), std::string::npos) << c.exporter << printed;
    rapidjson::Document scene;
    scene.Parse(test::readFile(options.outputPath).c_str());
    ASSERT_FALSE(scene.HasParseError());
    // The box is a metre wide and the floor four, in millimetres.
    const float widths[] = {1000.0f, 4000.0f};
    for (rapidjson::SizeType n = 0; n < 2; ++n) {
      const auto& vertices = scene["objects"][scene["nodes"][n]["object"].GetUint()]["vertices"];
      float low = vertices[0][0].GetFloat(), high = low;
      for (const auto& vertex : vertices.GetArray()) {
        low = std::min(low, vertex[0].GetFloat());
        high = std::max(high, vertex[0].GetFloat());
      }
      EXPECT_NEAR(high - low, widths[n], 0.01f) << c.exporter << " node " << n;
    }
    const auto* box = &scene["materials"][scene["nodes"][0]["material"].GetUint()];
    if (!c.boxFaceIds.empty()) {
      ASSERT_EQ(std::string((*box)["class"].GetString()), "Multi/Sub-Object") << c.exporter;
      EXPECT_EQ((*box)["ids"][0].GetInt(), 0) << c.exporter;
      EXPECT_EQ((*box)["ids"][1].GetInt(), 1) << c.exporter;
      std::vector<int> faceIds;
      for (const auto& face : scene["objects"][scene["nodes"][0]["object"].GetUint()]["faces"].GetArray()) {
        faceIds.push_back(face["mtlId"].GetInt());
      }
      EXPECT_EQ(faceIds, c.boxFaceIds) << c.exporter;
      const auto& metal = scene["materials"][(*box)["materials"][1].GetUint()]["params"];
      EXPECT_NEAR(metal["base_color"][2].GetFloat(), 1.0f, 1e-6f) << c.exporter;
      box = &scene["materials"][(*box)["materials"][0].GetUint()];
    }
    if (*c.boxMaterialMap == 0) {
      EXPECT_NEAR((*box)["params"]["base_color"][0].GetFloat(), 0.8f, 1e-6f) << c.exporter;
    } else {
      ASSERT_EQ(scene["maps"].Size(), 1u) << c.exporter;
      EXPECT_EQ((*box)["maps"]["1"].GetUint(), 0u) << c.exporter;
      EXPECT_NE(std::string(scene["maps"][0]["file"].GetString()).find(c.boxMaterialMap), std::string::npos);
    }
    std::vector<std::string> subjects;
    for (const auto& entry : scene["report"].GetArray()) subjects.push_back(entry["subject"].GetString());
    EXPECT_EQ(subjects, c.report) << c.exporter;
  }
}

// The command's own options, parsed as a user gives them.
TEST(ImportCommand, CamerasAndLightsHaveTheirOptions) {
  const std::string cvimp = std::string(CVIMP_PROGRAM_DIR) + "/cvimp";
  // Absolute on the system's terms: on Windows a leading "/" would read as an option.
  const std::string scene =
      platform::utf8FromPath(fs::absolute(fs::path(CVIMP_SAMPLES_DIR) / "exporters" / "app_sdk" / "scene.vrscene"));
  const struct {
    std::vector<std::string> arguments;
    const char* counts;  // from the node count to the end of the totals
  } cases[] = {
      {{"import", scene},
       "Nodes: 4\nObjects: 4\nTriangles: 14\nMaterials: 2\nMaps: 0\nBitmaps: 0\nCameras: 1\nLights: 1\n"},
      {{"import", scene, "--no-cameras"},
       "Nodes: 3\nObjects: 3\nTriangles: 14\nMaterials: 2\nMaps: 0\nBitmaps: 0\nCameras: 0\nLights: 1\n"},
      {{"import", scene, "--no-lights", "--no-cameras"},
       "Nodes: 2\nObjects: 2\nTriangles: 14\nMaterials: 2\nMaps: 0\nBitmaps: 0\n"},
  };
  for (const auto& c : cases) {
    const test::ProgramRun run = test::runProgram(cvimp, c.arguments);
    ASSERT_TRUE(run.succeeded) << run.output;
    EXPECT_EQ(run.output.substr(0, run.output.find("Seconds:")), std::string("Succeed\n") + c.counts);
  }
}

TEST_F(ImportCommandTest, OptionsAndFailures) {
  ImportOptions options;
  options.scenePath = std::string(CVIMP_SAMPLES_DIR) + "/room/vr.vrscene";
  options.importMaterial = false;
  ASSERT_EQ(run(options), 0);
  EXPECT_NE(printed.find("Nodes: 13\n"), std::string::npos);
  EXPECT_NE(printed.find("Materials: 0\n"), std::string::npos);

  // The camera and the lights follow their own options.
  freshHost();
  options.importMesh = false;
  ASSERT_EQ(run(options), 0);
  EXPECT_NE(printed.find("Nodes: 3\n"), std::string::npos);

  freshHost();
  test::TempDir dir;
  options.scenePath = platform::utf8FromPath(dir.path() / "missing.vrscene");
  options.outputPath = platform::utf8FromPath(dir.path() / "out.json");
  EXPECT_EQ(run(options), 1);
  EXPECT_EQ(printed.substr(0, printed.find('\n')), "Cannot parse scene");
  EXPECT_EQ(errors, "cvimp: cannot find the scene file \"" + options.scenePath + "\": No such file or directory\n");
  // The (empty) host scene is written all the same.
  EXPECT_NE(test::readFile(options.outputPath).find("\"nodes\":[]"), std::string::npos);

  // A file that fails names where its reading stopped.
  options.scenePath = dir.write("bad.vrscene", "Node b { transform=1 2; }\n");
  EXPECT_EQ(run(options), 1);
  EXPECT_EQ(printed.substr(0, printed.find("Nodes:")),
            "[VRP] ERROR: " + options.scenePath +
                ":1:22: expected ';' after the value of attribute 'transform' in Node 'b'\nCannot parse scene\n");

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

// A design under names beyond a Western code page (folder, scene, texture,
// log folder, download folder), with Windows line ends, through cvimp as a
// user starts it: imported directly, then packaged, served and imported by
// a job.
TEST(UnicodeNames, DesignImportsFromTheCommandLineAndThroughAJob) {
  test::TempDir dir;
  const fs::path design = dir.path() / platform::pathFromUtf8("设计 Ünï");
  const std::string scene = test::copySampleDesign(CVIMP_SAMPLES_DIR "/room", design, "房间.vrscene");
  const std::string log = dir.write("日志 Ö/import.log", "");
  const std::string json = platform::utf8FromPath(dir.path() / "scene.json");
  const std::string cvimp = std::string(CVIMP_PROGRAM_DIR) + "/cvimp";
  const std::string counts =
      "Nodes: 13\nObjects: 10\nTriangles: 92\nMaterials: 6\nMaps: 3\nBitmaps: 3\nCameras: 1\nLights: 2\n";

  test::ProgramRun run = test::runProgram(cvimp, {"import", scene, "-o", json}, {"CVIMP_LOG_FILENAME=" + log});
  ASSERT_TRUE(run.succeeded) << run.output;
  EXPECT_EQ(run.output.substr(0, run.output.find("Seconds:")), "Succeed\n" + counts);
  rapidjson::Document host;
  host.Parse(test::readFile(json).c_str());
  ASSERT_FALSE(host.HasParseError());
  ASSERT_EQ(host["maps"].Size(), 3u);
  EXPECT_NE(std::string(host["maps"][0]["file"].GetString()).find("textures/木纹.png"), std::string::npos);
  EXPECT_EQ(test::readFile(log).rfind("=== design ID: " + scene + "\n", 0), 0u);

  fs::copy_file(platform::pathFromUtf8(scene), design / "vr.vrscene");
  const fs::path downloads = dir.path() / platform::pathFromUtf8("下载 Ärger");
  run = test::runProgram(
      cvimp, {"demo", "--design", platform::utf8FromPath(design), "--download-dir", platform::utf8FromPath(downloads)});
  ASSERT_TRUE(run.succeeded) << run.output;
  const fs::path designFolder = downloads / kDemoTaskId;
  EXPECT_NE(run.output.find("Success: true\nResult: Succeed\n" + counts +
                            "Design folder: " + platform::utf8FromPath(designFolder) + "\n"),
            std::string::npos)
      << run.output;
  EXPECT_TRUE(fs::exists(designFolder / "textures" / platform::pathFromUtf8("木纹.png")));
}

}  // namespace
}  // namespace cvimp
