// maxhost run as a user runs it, with cvimp.gup in its plug-in folder:
// headless with commands on standard input, and under the display with the
// import window's page served from 127.0.0.1 running a real "startImport".
#include <gtest/gtest.h>
#include <stb_image.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "bridge/page_address.h"
#include "cli/package_server.h"
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
                     (downloads.path() / "scene.json").string() + " --gltf " +
                     (downloads.path() / "scene.glb").string() + "\nbogus\nquit\nkey Shift+A\n");
  EXPECT_TRUE(run.succeeded) << run.output;
  const std::string expected =
      "Loaded cvimp.gup: 连接Casavia与3ds Max\n"
      "Main menu bar: File, Edit, Tools, Group, Views, Create, Modifiers, Animation, Rendering, Casavia (&K), "
      "Customize, Scripting, Help\n"
      "File: Export glTF...\n"
      "Views: Zoom Extents (Z), Perspective (P), Top (T), Front (F), Left (L), Camera (C), -, Edged Faces (F4), "
      "Default Shading, Flat Color\n"
      "Casavia (&K): 导入... (Shift+K), 四边化已选择模型 (Shift+Q), 帮助... (Shift+H), 关于... (Shift+A)\n"
      "Shift+A: ran\n"
      "No node named nothing\n"
      "Selected: floor rug\n"
      "Shift+Q: ran\n"
      "Nodes: 13\n"
      "  renderView | Physical Camera | no material\n"
      "  floor | Editable Poly, 12 polygons | Physical Material #1\n"
      "  wall_north | Editable Mesh, 12 faces | Physical Material #2\n";
  EXPECT_EQ(run.output.substr(0, expected.size()), expected);
  // Quadrify leaves the last object it converted selected.
  EXPECT_NE(run.output.find("  rug | Editable Poly, 4 polygons | Physical Material #3 | selected\n"), std::string::npos)
      << run.output;
  // The glTF first, its losses in the table and, with the import's, in the
  // JSON's report.
  EXPECT_NE(run.output.find("\nWindows:\nCtrl+K: no command\nglTF written to " +
                            (downloads.path() / "scene.glb").string() + "\nReport:\n  stage   what  "),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\n  export  map left out         1      Bump Map\nScene written to "), std::string::npos)
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
  cvimp::PackageServer server(package, cvimp::test::readFile(std::string(CVIMP_TEST_PAGE)));
  ASSERT_GT(server.port(), 0);
  const std::string page = server.address(cvimp::kPagePath) + "?run=import&design=" + cvimp::kDemoDesignId +
                           "&task=" + cvimp::kDemoTaskId + "&package=" + server.address(cvimp::kPackagePath);
  TempDir downloads;
  const cvimp::test::ProgramRun run = runMaxhost({"--download-dir", downloads.str()},
                                                 {"CVIMP_BROWSER_URL_MAP=" + cvimp::platformPageAddress() + "=" + page},
                                                 "key Shift+K\nwait nodes 13 90\nwindows\nlist\nquit\n");
  EXPECT_TRUE(run.succeeded) << run.output;
  EXPECT_NE(run.output.find("Shift+K: ran\nNodes: 13\nWindows: [导入]\n"), std::string::npos) << run.output;
  // What the window's node list shows: the page asks for the camera and
  // lights too, as the platform's does.
  EXPECT_NE(run.output.find("Node list: 13\n  renderView | Physical Camera | no material\n  floor | Editable Mesh, 24 "
                            "faces | Physical Material #1\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("  chair_2 | Editable Mesh, 12 faces | Physical Material #6\n"), std::string::npos)
      << run.output;
}

// A PNG the view command wrote, as RGB pixels.
struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  std::array<int, 3> at(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
  }
  int count(const std::array<int, 3>& color) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += at(x, y) == color ? 1 : 0;
    return n;
  }
};

Picture readPicture(const std::filesystem::path& path) {
  Picture picture;
  int components = 0;
  unsigned char* pixels = stbi_load(path.c_str(), &picture.width, &picture.height, &components, 3);
  if (pixels != nullptr)
    picture.rgb.assign(pixels, pixels + static_cast<std::size_t>(picture.width) * picture.height * 3);
  stbi_image_free(pixels);
  return picture;
}

// The sample's ceiling lamp, black and right above the room's centre, as
// the top view shows it unlit.
constexpr std::array<int, 3> kLamp{0, 0, 0};

// Without any display: EGL on Mesa's surfaceless platform draws it. Before
// the import there is no camera to look through; after it, the design's,
// at the render size's 3:2 in a 4:3 picture.
TEST(Maxhost, HeadlessViewWritesThePictureWithoutADisplay) {
  TempDir folder;
  const cvimp::test::ScopedEnv noDisplay("DISPLAY", nullptr);
  const std::string top = (folder.path() / "top.png").string(), persp = (folder.path() / "persp.png").string();
  const std::string camera = (folder.path() / "camera.png").string();
  const cvimp::test::ProgramRun run = runMaxhost(
      {"--headless", "--download-dir", folder.str()},
      {std::string("CVIMP_TEST_VRSCENE=") + CVIMP_SAMPLES_DIR + "/room/vr.vrscene"},
      "key C\nview camera renderView\nkey Shift+A\nkey T\nview --flat -o " + top +
          " --size 320x240\nkey F4\nview persp -o " + persp + "\nview sideways\nview -o " +
          (folder.path() / "no" / "such.png").string() + "\nview camera Nope\nview camera -o " + camera + "\n");
  EXPECT_TRUE(run.succeeded) << run.output;
  EXPECT_NE(run.output.find("No camera in the scene\nC: ran\nNo camera in the scene\nShift+A: ran\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find(
                "T: ran\nView: Top, Flat Color\nView written to " + top +
                " (320x240)\nF4: ran\n"
                "View: Perspective, Default Shading, Edged Faces\nView written to " +
                persp +
                " (800x600)\nUsage: view [persp|top|front|left|camera [NAME]] [--flat] [-o FILE.png] [--size WxH]\n"
                "View: Perspective, Default Shading, Edged Faces\nCannot draw the view: cannot write "),
            std::string::npos)
      << run.output;
  const Picture picture = readPicture(top);
  ASSERT_EQ(picture.width, 320);
  EXPECT_EQ(picture.at(160, 120), kLamp);
  EXPECT_EQ(readPicture(persp).height, 600);
  EXPECT_NE(run.output.find("\nNo camera named Nope\nView: Camera renderView, Default Shading, Edged Faces\nView "
                            "written to " +
                            camera + " (800x600)\n"),
            std::string::npos)
      << run.output;
  const Picture through = readPicture(camera);
  ASSERT_EQ(through.height, 600);
  EXPECT_EQ(through.at(400, 10), (std::array<int, 3>{40, 40, 40}));  // 33 rows of band
  EXPECT_EQ(through.at(400, 590), (std::array<int, 3>{40, 40, 40}));
  EXPECT_NE(through.at(400, 300), (std::array<int, 3>{40, 40, 40}));
}

// Under the display, with real input through the X server (xdotool): a
// click selects the node under the pointer and the node list follows; Z,
// P and T change the picture.
TEST(Maxhost, ViewportAnswersClicksAndViewKeys) {
  TempDir folder;
  cvimp::test::ChildProcess maxhost(CVIMP_MAXHOST_PATH, {"--download-dir", folder.str()},
                                    {std::string("CVIMP_TEST_VRSCENE=") + CVIMP_SAMPLES_DIR + "/room/vr.vrscene"}, "",
                                    true);
  ASSERT_TRUE(maxhost.started());
  auto ask = [&](const std::string& commands, const std::string& answer) {
    maxhost.send(commands + "\n");
    return maxhost.readUntil(answer);
  };
  auto picture = [&](const std::string& name) {
    const std::string path = (folder.path() / name).string();
    ask("settle\nview --flat -o " + path, "View written");
    return readPicture(path);
  };
  ask("key Shift+A\nsettle\nview top", "View:");
  // "... at X,Y size WxH": the viewport, then the node list's first row.
  auto placeOf = [](const std::string& line, std::array<int, 4>& place) {
    std::istringstream words(line.substr(line.find(" at ") + 4));
    char comma = 0, by = 0;
    std::string size;
    words >> place[0] >> comma >> place[1] >> size >> place[2] >> by >> place[3];
  };
  std::array<int, 4> view{}, row{};
  placeOf(ask("viewport", "Viewport at"), view);
  placeOf(maxhost.readUntil("Node list row 1 at"), row);
  const auto [x, y, width, height] = view;
  ASSERT_GT(width, 100);
  ASSERT_GT(row[3], 5);
  auto xdotool = [](const std::string& arguments) {
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
  };
  const std::string centre = std::to_string(x + width / 2) + " " + std::to_string(y + height / 2);
  const std::string corner = std::to_string(x + 20) + " " + std::to_string(y + 20);
  const Picture top = picture("top.png");
  EXPECT_EQ(top.at(width / 2, height / 2), kLamp);

  xdotool("mousemove " + centre + " click 1");
  std::string list = ask("settle\nlist", "  chair_2");
  EXPECT_NE(list.find("  ceiling_lamp | Editable Mesh, 12 faces | Physical Material #4 | selected\n"),
            std::string::npos)
      << list;
  EXPECT_EQ(list.find("floor | Editable Mesh, 24 faces | Physical Material #1 | selected"), std::string::npos);
  // The lamp's edges in white.
  EXPECT_GT(picture("selected.png").count({255, 255, 255}), 20);

  // A click on nothing clears the selection.
  xdotool("mousemove " + corner + " click 1");
  list = ask("settle\nlist", "  chair_2");
  EXPECT_EQ(list.find("| selected"), std::string::npos) << list;

  // A row chosen in the node list selects its node: the first, the design's
  // camera.
  xdotool("mousemove " + std::to_string(row[0] + 20) + " " + std::to_string(row[1] + row[3] / 2) + " click 1");
  list = ask("settle\nnodes", "  chair_2");
  EXPECT_NE(list.find("  renderView | Physical Camera | no material | selected\n"), std::string::npos) << list;

  // P, F and L each show another picture, T the top view again: with the
  // node list focused (its row was just clicked), the keys reach the
  // actions, not the list's type-ahead search.
  std::vector<std::vector<unsigned char>> seen{top.rgb};
  for (const auto& [key, view] : {std::pair{"p", "Perspective"}, std::pair{"f", "Front"}, std::pair{"l", "Left"}}) {
    xdotool(std::string("key ") + key);
    EXPECT_NE(ask("settle\nview", "View:").find(std::string("View: ") + view), std::string::npos) << view;
    const Picture shown = picture(std::string(key) + ".png");
    for (const auto& earlier : seen) EXPECT_NE(shown.rgb, earlier) << view;
    seen.push_back(shown.rgb);
  }
  xdotool("key t");
  EXPECT_NE(ask("settle\nview", "View:").find("View: Top"), std::string::npos);

  // Z frames the selection (the lamp again): it fills the middle.
  xdotool("mousemove " + centre + " click 1 key z");
  const Picture zoomed = picture("zoomed.png");
  EXPECT_GT(zoomed.count(kLamp), 10 * top.count(kLamp));

  // The wheel zooms out; a middle drag moves the picture with the pointer.
  auto lampLeft = [](const Picture& shown) {
    for (int column = 0; column < shown.width; ++column)
      for (int row = 0; row < shown.height; ++row)
        if (shown.at(column, row) == kLamp) return column;
    return -1;
  };
  xdotool("click 5");
  const Picture fartherOut = picture("farther.png");
  EXPECT_LT(fartherOut.count(kLamp), zoomed.count(kLamp));
  xdotool("mousedown 2 mousemove " + std::to_string(x + width / 2 + 40) + " " + std::to_string(y + height / 2) +
          " mouseup 2");
  EXPECT_NEAR(lampLeft(picture("panned.png")), lampLeft(fartherOut) + 40, 1);

  maxhost.send("quit\n");
  EXPECT_TRUE(maxhost.finish()) << maxhost.output();
}

}  // namespace
