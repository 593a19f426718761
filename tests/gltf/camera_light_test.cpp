// Cameras and lights as glTF cameras and KHR_lights_punctual lights: the
// views turned onto glTF's axes and the photometric values worked by hand.
#include <array>
#include <cmath>
#include <numbers>

#include "tests/gltf/gltf_fixture.h"

namespace cvimp::test {
namespace {

using Vec = std::array<double, 3>;

template <typename T>
void set(IParamBlock2* block, std::u16string_view name, T value) {
  for (int i = 0; i < block->NumParams(); ++i) {
    const ParamID id = block->IndextoID(i);
    if (std::u16string_view(block->GetParamDef(id).int_name) == name) {
      ASSERT_TRUE(block->SetValue(id, 0, value));
      return;
    }
  }
  ADD_FAILURE() << "no parameter " << platform::utf16ToUtf8(name);
}

// A camera or light at `position` whose local -Z runs along `look` and +Y
// along `up` (host frame, perpendicular unit vectors), `scale` times.
void place(Object* object, const Vec& position, const Vec& look, const Vec& up, double scale = 1) {
  const Vec z{-look[0], -look[1], -look[2]};
  const Vec x{up[1] * z[2] - up[2] * z[1], up[2] * z[0] - up[0] * z[2], up[0] * z[1] - up[1] * z[0]};
  Matrix3 tm;
  for (int row = 0; const Vec& axis : {x, up, z}) {
    tm.SetRow(row++, Point3(axis[0] * scale, axis[1] * scale, axis[2] * scale));
  }
  tm.SetRow(3, Point3(position[0], position[1], position[2]));
  GetCOREInterface()->CreateObjectNode(object)->SetNodeTM(0, tm);
}

template <typename T>
T* create(SClass_ID superClass, Class_ID classId) {
  return static_cast<T*>(GetCOREInterface()->CreateInstance(superClass, classId));
}

// `v` turned by a node's rotation (glTF's x, y, z, w).
Vec turned(const tinygltf::Node& node, const Vec& v) {
  if (node.rotation.empty()) return v;
  const Vec q{node.rotation[0], node.rotation[1], node.rotation[2]};
  const double w = node.rotation[3];
  auto cross = [](const Vec& a, const Vec& b) {
    return Vec{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  };
  const Vec t = cross(q, v);
  const Vec u = cross(q, t);
  return {v[0] + 2 * (w * t[0] + u[0]), v[1] + 2 * (w * t[1] + u[1]), v[2] + 2 * (w * t[2] + u[2])};
}

void expectNear(const Vec& got, const Vec& expected) {
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(got[k], expected[k], 1e-6) << k;
}

double lightValue(const tinygltf::Model& model, const tinygltf::Node& node, const char* member) {
  const int index = node.extensions.at("KHR_lights_punctual").Get("light").GetNumberAsInt();
  return model.extensions.at("KHR_lights_punctual").Get("lights").Get(index).Get(member).GetNumberAsDouble();
}

class GltfCameraLightTest : public GltfTest {
 protected:
  tinygltf::Model written() {
    const std::string glb = writeGlb();
    expectValid(glb);
    tinygltf::Model model;
    EXPECT_TRUE(load(glb, model));
    return model;
  }
};

// A 2:1 render and a 90 degree horizontal view: tan(yfov / 2) = tan(45
// degrees) / 2, yfov = 2 atan(0.5). The camera looks along the host's +X
// with +Z up (glTF's +X, +Y up); the orthographic one, scaled twice, shows
// at its 2 m target distance 2 tan(45 degrees) = 2 m either side of its axis.
TEST_F(GltfCameraLightTest, CamerasLookWhereTheHostsDoWithTheRendersAspect) {
  host::setSystemUnit(host::SystemUnit::Centimeters);
  GetCOREInterface()->SetRendWidth(800);
  GetCOREInterface()->SetRendHeight(400);
  const Vec alongX{1, 0, 0}, up{0, 0, 1};
  auto* perspective = create<CameraObject>(CAMERA_CLASS_ID, PHYSICAL_CAMERA_CLASS_ID);
  set(perspective->GetParamBlock(0), u"fov", 90.0f);
  place(perspective, {100, 200, 300}, alongX, up);
  auto* orthographic = create<CameraObject>(CAMERA_CLASS_ID, PHYSICAL_CAMERA_CLASS_ID);
  set(orthographic->GetParamBlock(0), u"fov", 90.0f);
  set(orthographic->GetParamBlock(0), u"orthographic", 1);
  set(orthographic->GetParamBlock(0), u"target_distance", 200.0f);
  place(orthographic, {0, 0, 0}, {0, 1, 0}, up, 2);

  const tinygltf::Model model = written();
  ASSERT_EQ(model.cameras.size(), 2u);
  const tinygltf::Camera& p = model.cameras[0];
  EXPECT_EQ(p.type, "perspective");
  EXPECT_NEAR(p.perspective.yfov, 0.9272952180016122, 1e-12);
  EXPECT_EQ(p.perspective.aspectRatio, 2.0);
  EXPECT_EQ(p.perspective.znear, 0.01);
  EXPECT_EQ(p.perspective.zfar, 0.0);  // none: to infinity
  const tinygltf::Camera& o = model.cameras[1];
  EXPECT_EQ(o.type, "orthographic");
  EXPECT_NEAR(o.orthographic.xmag, 2.0, 1e-6);
  EXPECT_NEAR(o.orthographic.ymag, 1.0, 1e-6);

  const tinygltf::Node& first = model.nodes.at(0);
  EXPECT_EQ(first.camera, 0);
  ASSERT_EQ(first.translation.size(), 3u);
  expectNear({first.translation[0], first.translation[1], first.translation[2]}, {1, 3, -2});
  expectNear(turned(first, {0, 0, -1}), {1, 0, 0});
  expectNear(turned(first, {0, 1, 0}), {0, 1, 0});
  // Along the host's +Y: glTF's -Z, as an unturned glTF camera looks.
  const tinygltf::Node& second = model.nodes.at(1);
  EXPECT_EQ(second.camera, 1);
  expectNear(turned(second, {0, 0, -1}), {0, 0, -1});
  expectNear(turned(second, {0, 1, 0}), {0, 1, 0});
  EXPECT_TRUE(second.scale.empty());
  ASSERT_EQ(report.entries().size(), 1u);
  EXPECT_EQ(report.entries()[0].subject, "cameras with exposure control");
  EXPECT_EQ(report.entries()[0].count, 2u);
}

// A spot of 1000 cd keeps its peak, its cones halved into radians; a
// rectangle of 1000 lm becomes a point of 1000 / 4 pi cd; a diffuse
// rectangle of 400 cd gives pi 400 lm, a point of 100 cd; a colour above
// white moves its excess into the intensity; the sun under a sky of
// intensity 0.5 gives half a clear sky's 100,000 lx, shining down its -Z;
// a web light of 100 cd peak, its distribution unknown, a point of 100 cd.
// A camera beside them: the file the validator reads holds every kind.
TEST_F(GltfCameraLightTest, LightsInTheExtensionsUnitsAndDirections) {
  host::setSystemUnit(host::SystemUnit::Meters);
  const Vec down{0, 0, -1}, north{0, 1, 0};
  auto freeLight = [&](const char16_t* shape, const char16_t* distribution, float intensity, const char16_t* unit) {
    auto* light = create<LightObject>(LIGHT_CLASS_ID, FREE_LIGHT_CLASS_ID);
    IParamBlock2* block = light->GetParamBlock(0);
    set(block, u"shape", shape);
    set(block, u"distribution", distribution);
    set(block, u"intensity", intensity);
    set(block, u"unit", unit);
    place(light, {0, 0, 2}, down, north);
    return block;
  };
  IParamBlock2* spot = freeLight(u"point", u"spotlight", 1000, u"cd");
  set(spot, u"hotspot", 40.0f);
  set(spot, u"falloff", 60.0f);
  freeLight(u"rectangle", u"uniform spherical", 1000, u"lm");
  freeLight(u"rectangle", u"uniform diffuse", 400, u"cd");
  set(freeLight(u"point", u"uniform spherical", 100, u"cd"), u"color", Color(2.0f, 1.0f, 0.5f));
  set(freeLight(u"point", u"uniform spherical", 100, u"cd"), u"on", 0);
  freeLight(u"point", u"web", 100, u"cd");
  place(create<CameraObject>(CAMERA_CLASS_ID, PHYSICAL_CAMERA_CLASS_ID), {0, 0, 0}, down, north);
  auto* sky = create<Texmap>(TEXMAP_CLASS_ID, SUNSKY_ENV_CLASS_ID);
  set(sky->GetParamBlock(0), u"intensity", 0.5f);
  GetCOREInterface()->SetEnvironmentMap(sky);
  place(create<LightObject>(LIGHT_CLASS_ID, SUN_POSITIONER_CLASS_ID), {0, 0, 0}, {0, 0.6, -0.8}, {0, 0.8, 0.6});

  const tinygltf::Model model = written();
  ASSERT_EQ(model.nodes.size(), 8u);
  EXPECT_EQ(model.extensionsUsed, (std::vector<std::string>{"KHR_lights_punctual"}));
  const auto& n = model.nodes;
  EXPECT_EQ(lightValue(model, n[0], "intensity"), 1000.0);
  const tinygltf::Value& cone = model.extensions.at("KHR_lights_punctual").Get("lights").Get(0).Get("spot");
  EXPECT_NEAR(cone.Get("innerConeAngle").GetNumberAsDouble(), 20 * std::numbers::pi / 180, 1e-12);
  EXPECT_NEAR(cone.Get("outerConeAngle").GetNumberAsDouble(), 30 * std::numbers::pi / 180, 1e-12);
  expectNear(turned(n[0], {0, 0, -1}), {0, -1, 0});
  EXPECT_NEAR(lightValue(model, n[1], "intensity"), 1000 / (4 * std::numbers::pi), 1e-9);
  EXPECT_NEAR(lightValue(model, n[2], "intensity"), 100.0, 1e-9);
  EXPECT_EQ(lightValue(model, n[3], "intensity"), 200.0);
  const tinygltf::Value& color = model.extensions.at("KHR_lights_punctual").Get("lights").Get(3).Get("color");
  EXPECT_EQ(color.Get(2).GetNumberAsDouble(), 0.25);
  EXPECT_EQ(n[4].extensions.count("KHR_lights_punctual"), 0u);  // switched off: an empty node
  EXPECT_EQ(lightValue(model, n[5], "intensity"), 100.0);
  EXPECT_EQ(n[6].camera, 0);
  EXPECT_EQ(lightValue(model, n[7], "intensity"), 50000.0);
  expectNear(turned(n[7], {0, 0, -1}), {0, -0.8, -0.6});

  std::vector<std::string> lines;
  for (const ReportEntry& entry : report.entries()) {
    lines.push_back(entry.kind + "|" + entry.subject + "|" + std::to_string(entry.count));
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"light approximated|area lights|2",
                                             "object left out|lights switched off|1", "light approximated|web lights|1",
                                             "camera approximated|cameras with exposure control|1"}));
}

}  // namespace
}  // namespace cvimp::test
