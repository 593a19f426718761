// Cameras and lights of V-Ray scenes as the host's Physical Camera, Free
// Lights, Sun Positioner and environment, with values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "builder/builder.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "materials/materials.h"
#include "report/report.h"
#include "tests/builder/import_fixture.h"
#include "tools/scenegen/png_writer.h"

namespace cvimp {
namespace {

constexpr float kPi = std::numbers::pi_v<float>;

// Scenes in centimetres with a photometric scale of 0.002, as V-Ray for
// 3ds Max writes its settings.
std::string centimetres() { return "SettingsUnitsInfo units {\n  meters_scale=0.01;\n  photometric_scale=0.002;\n}\n"; }

std::string at(float x, float y, float z) {
  return "Transform(Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)), Vector(" + gen::number(x) + ", " +
         gen::number(y) + ", " + gen::number(z) + "))";
}

class CameraLightTest : public ImportTest {
 protected:
  INode* node(std::u16string_view name) const {
    for (const auto& each : scene().nodes()) {
      if (std::u16string_view(each->GetName()) == name) return each.get();
    }
    ADD_FAILURE() << "no node " << std::string(name.begin(), name.end());
    return nullptr;
  }
  static IParamBlock2* params(INode* node) {
    return node != nullptr ? node->GetObjectRef()->GetParamBlock(0) : nullptr;
  }
  static float number(INode* n, std::u16string_view name) {
    IParamBlock2* block = params(n);
    return block != nullptr ? block->GetFloat(*findParamId(block, name)) : NAN;
  }
  static int flag(INode* n, std::u16string_view name) { return params(n)->GetInt(*findParamId(params(n), name)); }
  static std::u16string text(INode* n, std::u16string_view name) {
    return params(n)->GetStr(*findParamId(params(n), name));
  }
  std::size_t countOf(SClass_ID superClass) const {
    std::size_t count = 0;
    for (const auto& object : scene().objects()) count += object->SuperClassID() == superClass ? 1 : 0;
    return count;
  }
  // "kind: subject: detail" of each report entry.
  static std::vector<std::string> reported() {
    std::vector<std::string> lines;
    const Report report = reportFromScene();
    for (const ReportEntry& entry : report.entries()) {
      lines.push_back(entry.kind + ": " + entry.subject + ": " + entry.detail);
    }
    return lines;
  }
};

TEST_F(CameraLightTest, RectangleLightSizeAndPlaceFollowTheSystemUnit) {
  const std::string path = write(
      "panel.vrscene", centimetres() + "LightRectangle Panel {\n  transform=" + gen::interpolated(at(100, 200, 300)) +
                           ";\n  u_size=25;\n  v_size=interpolate((1, 50.0));\n  doubleSided=1;\n"
                           "  invisible=1;\n}\n");
  // Half sizes of 25 and 50 cm: a panel 50 by 100 cm, placed at (1, 2, 3) m;
  // animated values as Blender writes them, a key at frame 1.
  const struct {
    host::SystemUnit unit;
    float perCentimetre;
  } units[] = {{host::SystemUnit::Millimeters, 10.0f}, {host::SystemUnit::Meters, 0.01f}};
  for (const auto& u : units) {
    freshHost();
    host::setSystemUnit(u.unit);
    import(path);
    INode* panel = node(u"Panel");
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(text(panel, u"shape"), u"rectangle");
    EXPECT_FLOAT_EQ(number(panel, u"width"), 50.0f * u.perCentimetre);
    EXPECT_FLOAT_EQ(number(panel, u"length"), 100.0f * u.perCentimetre);
    const Point3 place = panel->GetNodeTM(0).GetTrans();
    EXPECT_FLOAT_EQ(place.x, 100.0f * u.perCentimetre);
    EXPECT_FLOAT_EQ(place.y, 200.0f * u.perCentimetre);
    EXPECT_FLOAT_EQ(place.z, 300.0f * u.perCentimetre);
    EXPECT_EQ(flag(panel, u"two_sided"), 1);
    EXPECT_EQ(flag(panel, u"visible"), 0);
  }
}

// A 1 m square panel, a disc and a sphere of 0.5 m radius, and omni lights,
// each at intensity 2 in V-Ray's five units; photometric scale 0.002.
TEST_F(CameraLightTest, IntensityOfEachUnit) {
  gen::SceneWriter w;
  for (int units = 0; units < 5; ++units) {
    w.plugin("LightRectangle", "Rect" + std::to_string(units),
             {{"transform", at(0, 0, 0)},
              {"u_size", "50"},
              {"v_size", "50"},
              {"intensity", "2"},
              {"units", std::to_string(units)}});
    w.plugin("LightOmni", "Omni" + std::to_string(units),
             {{"transform", at(0, 0, 0)}, {"intensity", "2"}, {"units", std::to_string(units)}});
  }
  w.plugin("LightRectangle", "Disc",
           {{"transform", at(0, 0, 0)}, {"u_size", "50"}, {"is_disc", "1"}, {"intensity", "2"}, {"units", "2"}});
  w.plugin("LightSphere", "Ball", {{"transform", at(0, 0, 0)}, {"radius", "50"}, {"intensity", "2"}, {"units", "2"}});
  import(write("units.vrscene", centimetres() + w.text()));

  // Image units: 1000 cd/m² over the panel; an omni's 1000 cd at 1 cm is
  // 0.1 cd at 1 m.
  const std::pair<float, std::u16string> rect[] = {
      {2.0f / 0.002f * kPi, u"lm"}, {2.0f, u"lm"}, {2.0f * kPi, u"lm"}, {1366.0f, u"lm"}, {1366.0f * kPi, u"lm"}};
  const std::pair<float, std::u16string> omni[] = {
      {0.1f, u"cd"}, {2.0f, u"lm"}, {2.0f, u"cd"}, {1366.0f, u"lm"}, {1366.0f, u"cd"}};
  for (int units = 0; units < 5; ++units) {
    const std::u16string n = host::utf8ToUtf16(std::to_string(units));
    EXPECT_NEAR(number(node(u"Rect" + n), u"intensity"), rect[units].first, rect[units].first * 1e-5f) << units;
    EXPECT_EQ(text(node(u"Rect" + n), u"unit"), rect[units].second) << units;
    EXPECT_NEAR(number(node(u"Omni" + n), u"intensity"), omni[units].first, omni[units].first * 1e-5f) << units;
    EXPECT_EQ(text(node(u"Omni" + n), u"unit"), omni[units].second) << units;
  }
  // Disc: pi / 4 m², 2 * pi * pi / 4 lm; sphere: pi m², 2 * pi * pi lm.
  EXPECT_EQ(text(node(u"Disc"), u"shape"), u"disc");
  EXPECT_FLOAT_EQ(number(node(u"Disc"), u"radius"), 500.0f);
  EXPECT_NEAR(number(node(u"Disc"), u"intensity"), kPi * kPi / 2.0f, 1e-4f);
  EXPECT_EQ(text(node(u"Ball"), u"shape"), u"sphere");
  EXPECT_NEAR(number(node(u"Ball"), u"intensity"), 2.0f * kPi * kPi, 1e-4f);
}

TEST_F(CameraLightTest, RenderViewWithPhysicalLens) {
  const std::string view =
      "Transform(Matrix(Vector(1, 0, 0), Vector(0, 0, 1), Vector(0, -1, 0)), Vector(50, -400, 120))";
  gen::SceneWriter w;
  w.plugin("SettingsOutput", "output", {{"img_width", "800"}, {"img_height", "400"}});
  w.plugin("SettingsCamera", "cameraSettings", {{"type", "1"}});
  w.plugin("CameraPhysical", "lens",
           {{"film_width", "36"},
            {"focal_length", "18"},
            {"f_number", "2.8"},
            {"shutter_speed", "250"},
            {"ISO", "400"},
            {"exposure", "0"},
            {"focus_distance", "300"}});
  w.plugin("RenderView", "View", {{"transform", view}, {"fov", "0.785398"}});
  w.plugin("RenderView", "Another", {{"transform", view}});
  import(write("camera.vrscene", centimetres() + w.text()));

  EXPECT_EQ(countOf(CAMERA_CLASS_ID), 1u);
  INode* camera = node(u"View");
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(camera->GetObjectRef()->ClassID(), PHYSICAL_CAMERA_CLASS_ID);
  // 36 mm film behind an 18 mm lens: 2 atan(36 / 36) = 90 degrees, whatever the view's 45.
  EXPECT_NEAR(number(camera, u"fov"), 90.0f, 1e-4f);
  EXPECT_FLOAT_EQ(number(camera, u"focal_length"), 18.0f);
  EXPECT_FLOAT_EQ(number(camera, u"shutter"), 0.004f);  // 1/250 s
  EXPECT_FLOAT_EQ(number(camera, u"f_number"), 2.8f);
  EXPECT_FLOAT_EQ(number(camera, u"iso"), 400.0f);
  EXPECT_EQ(flag(camera, u"exposure"), 0);
  EXPECT_FLOAT_EQ(number(camera, u"target_distance"), 3000.0f);
  EXPECT_EQ(camera->GetNodeTM(0).GetRow(2), Point3(0.0f, -1.0f, 0.0f));
  EXPECT_EQ(camera->GetNodeTM(0).GetTrans(), Point3(500.0f, -4000.0f, 1200.0f));
  EXPECT_EQ(GetCOREInterface()->GetRendWidth(), 800);
  EXPECT_EQ(GetCOREInterface()->GetRendHeight(), 400);
  EXPECT_EQ(reported(),
            (std::vector<std::string>{"approximated: cameraSettings: camera type 1 made a standard camera",
                                      "left out: Another: a scene shows one render view; the first is the camera"}));
}

// Every kind of light, the sun with its sky, a dome with a bitmap, a render
// view and a mesh: the scene the options are tried on.
class LightKindsTest : public CameraLightTest {
 protected:
  void SetUp() override {
    CameraLightTest::SetUp();
    // Two pixels, pure red and pure blue: linear mean (0.5, 0, 0.5).
    write("maps/halves.png", gen::encodePng(2, 1, {255, 0, 0, 0, 0, 255}));
    write("maps/sky.png", gen::checkerPng(4, 2, 0x8080ff, 0xffffff));
    write("webs/downlight.ies", "IESNA:LM-63-2002\n");
    gen::SceneWriter w;
    quadMesh(w, "QuadMesh");
    cvimp::node(w, "Floor", "QuadMesh", "");
    w.plugin("RenderView", "View", {{"transform", at(0, -400, 120)}});
    w.plugin("LightSpot", "Wide",
             {{"transform", at(0, 0, 250)}, {"coneAngle", "0.785398"}, {"penumbraAngle", "0.174533"}});
    w.plugin("LightSpot", "Narrow",
             {{"transform", at(0, 0, 250)}, {"coneAngle", "1.047198"}, {"penumbraAngle", "-0.174533"}});
    w.plugin("LightOmni", "Bulb",
             {{"transform", at(0, 0, 200)},
              {"color", "AColor(1, 0.5, 0.25, 1)"},
              {"enabled", "0"},
              {"intensity_tex", "Halves"}});
    w.plugin("BitmapBuffer", "HalvesFile", {{"file", "\"D:/farm/maps/halves.png\""}});
    w.plugin("TexBitmap", "Halves", {{"bitmap", "HalvesFile"}});
    w.plugin("LightSphere", "Globe", {{"transform", at(0, 0, 100)}, {"radius", "10"}, {"color_tex", "Halves"}});
    w.plugin("LightIES", "Downlight",
             {{"transform", at(0, 0, 260)}, {"ies_file", "\"C:/studio/webs/downlight.ies\""}, {"power", "1200"}});
    w.plugin("LightRectangle", "Window", {{"transform", at(0, 300, 150)}, {"lightPortal", "1"}});
    w.plugin("SunLight", "Sun", {{"transform", at(0, 0, 0)}, {"turbidity", "4"}, {"intensity_multiplier", "0.5"}});
    w.plugin("TexSky", "Sky", {{"sun", "Sun"}});
    w.plugin("BitmapBuffer", "SkyFile", {{"file", "\"maps/sky.png\""}});
    w.plugin("TexBitmap", "SkyMap", {{"bitmap", "SkyFile"}});
    w.plugin("LightDome", "Dome", {{"dome_tex", "SkyMap"}, {"use_dome_tex", "1"}});
    // As exporters write it when nothing is linked: no loss.
    w.plugin("SettingsLightLinker", "", {{"ignored_lights", "List()"}, {"ignored_shadow_lights", "List()"}});
    path = write("lights.vrscene", centimetres() + w.text());
  }
  std::string path;
};

TEST_F(LightKindsTest, EachKindBecomesItsHostLight) {
  state.quadrifyMesh = true;
  import(path);
  // Quadrify is given the floor alone: cameras and lights have no polygons.
  EXPECT_EQ(host::journal().find("SelectNodeTab"),
            (std::vector<host::JournalEntry>{{"SelectNodeTab", "1, true, false"}}));
  EXPECT_EQ(countOf(LIGHT_CLASS_ID), 6u);  // two spots, omni, sphere, IES, sun; no portal, no dome
  EXPECT_EQ(text(node(u"Wide"), u"distribution"), u"spotlight");
  EXPECT_NEAR(number(node(u"Wide"), u"hotspot"), 45.0f, 1e-3f);
  EXPECT_NEAR(number(node(u"Wide"), u"falloff"), 65.0f, 1e-3f);
  EXPECT_NEAR(number(node(u"Narrow"), u"hotspot"), 40.0f, 1e-3f);
  EXPECT_NEAR(number(node(u"Narrow"), u"falloff"), 60.0f, 1e-3f);
  EXPECT_EQ(params(node(u"Bulb"))->GetColor(*findParamId(params(node(u"Bulb")), u"color")), Color(1, 0.5f, 0.25f));
  EXPECT_EQ(flag(node(u"Bulb"), u"on"), 0);
  const Color globe = params(node(u"Globe"))->GetColor(*findParamId(params(node(u"Globe")), u"color"));
  EXPECT_NEAR(globe.r, 0.5f, 1e-6f);
  EXPECT_NEAR(globe.g, 0.0f, 1e-6f);
  EXPECT_NEAR(globe.b, 0.5f, 1e-6f);
  EXPECT_EQ(text(node(u"Downlight"), u"distribution"), u"web");
  EXPECT_TRUE(
      std::filesystem::equivalent(platform::pathFromUtf8(host::utf16ToUtf8(text(node(u"Downlight"), u"web_file"))),
                                  dir.path() / "webs" / "downlight.ies"));
  EXPECT_FLOAT_EQ(number(node(u"Downlight"), u"intensity"), 1200.0f);
  EXPECT_EQ(node(u"Sun")->GetObjectRef()->ClassID(), SUN_POSITIONER_CLASS_ID);

  // The dome's bitmap is the environment, and the only map: the sphere's
  // texture gave its colour and went.
  ASSERT_EQ(scene().maps().size(), 1u);
  ASSERT_NE(scene().environment(), nullptr);
  EXPECT_EQ(scene().environment()->ClassID(), BMTEX_CLASS_ID);
  EXPECT_EQ(reported(), (std::vector<std::string>{"left out: Bulb: intensity_tex Halves",
                                                  "approximated: Globe: colour texture Halves reduced to its average",
                                                  "left out: Window: portal light",
                                                  "left out: Sky: sky: the dome light's texture is the environment"}));
  EXPECT_EQ(scene().nodes().size(), 8u);  // the floor, the camera and six lights
}

TEST_F(LightKindsTest, OptionsDecideWhatIsMade) {
  state.importCamera = false;
  state.importLight = false;
  import(path);
  EXPECT_EQ(scene().nodes().size(), 1u);
  EXPECT_EQ(countOf(CAMERA_CLASS_ID) + countOf(LIGHT_CLASS_ID), 0u);
  EXPECT_EQ(scene().environment(), nullptr);
  EXPECT_TRUE(reported().empty());

  // Cameras and lights do not follow the meshes' option.
  freshHost();
  state.importMesh = false;
  state.importCamera = true;
  state.importLight = true;
  import(path);
  EXPECT_EQ(countOf(CAMERA_CLASS_ID), 1u);
  EXPECT_EQ(countOf(LIGHT_CLASS_ID), 6u);
  EXPECT_EQ(countOf(GEOMOBJECT_CLASS_ID), 0u);
}

// A 4 m wide orthographic view at 90 degrees: the host's camera spans 4 m
// at a target 2 m away.
TEST_F(CameraLightTest, OrthographicViewKeepsItsWidth) {
  import(write("ortho.vrscene", centimetres() + "RenderView Plan {\n  transform=" + at(0, 0, 500) +
                                    ";\n  fov=1.5707963;\n  orthographic=1;\n  orthographicWidth=400;\n}\n"));
  EXPECT_EQ(flag(node(u"Plan"), u"orthographic"), 1);
  EXPECT_NEAR(number(node(u"Plan"), u"target_distance"), 2000.0f, 1e-2f);
}

TEST_F(CameraLightTest, SunWithoutDomeMakesTheSkyEnvironment) {
  // A sun written without a transform shines straight down, without a word.
  EXPECT_EQ(
      import(write("sun.vrscene",
                   "SunLight Sun {\n  turbidity=4;\n  intensity_multiplier=0.5;\n}\nTexSky Sky {\n  sun=Sun;\n}\n")),
      "");
  EXPECT_EQ(host::scene().nodes().front()->GetNodeTM(0), Matrix3());
  Texmap* sky = scene().environment();
  ASSERT_NE(sky, nullptr);
  EXPECT_EQ(sky->ClassID(), SUNSKY_ENV_CLASS_ID);
  IParamBlock2* block = sky->GetParamBlock(0);
  EXPECT_FLOAT_EQ(block->GetFloat(*findParamId(block, u"turbidity")), 4.0f);
  EXPECT_FLOAT_EQ(block->GetFloat(*findParamId(block, u"intensity")), 0.5f);
  EXPECT_TRUE(reported().empty());
}

}  // namespace
}  // namespace cvimp
