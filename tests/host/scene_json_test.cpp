// The host scene as JSON, read back with a JSON parser.
#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"
#include "tests/support/host_fixture.h"
#include "tests/support/two_material_cube.h"

namespace {

using rapidjson::Value;

std::string write(const Value& value) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  value.Accept(writer);
  return buffer.GetString();
}

// Numbers compare by value, so 1 matches the written 1.0.
void expectJson(const Value& actual, const char* expected) {
  rapidjson::Document want;
  want.Parse(expected);
  ASSERT_FALSE(want.HasParseError()) << expected;
  EXPECT_TRUE(actual == want) << "actual:   " << write(actual) << "\nexpected: " << expected;
}

class SceneJsonTest : public cvimp::test::HostTest {
 protected:
  const Value& parse() {
    text = host::sceneJson();
    doc.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
    EXPECT_FALSE(doc.HasParseError()) << text;
    return doc;
  }
  Interface* ip = GetCOREInterface();
  std::string text;
  rapidjson::Document doc;
};

TEST_F(SceneJsonTest, SmallSceneInFull) {
  host::setSystemUnit(host::SystemUnit::Centimeters);
  TriObject* sofa = CreateNewTriObject();
  Mesh& mesh = sofa->GetMesh();
  mesh.setNumVerts(3);
  mesh.setVert(1, Point3(0.5f, -2.5f, 4.0f));
  mesh.setNumFaces(1);
  mesh.faces[0].setVerts(0, 1, 2);
  mesh.faces[0].setMatID(3);
  mesh.faces[0].setEdgeVisFlags(EDGE_VIS, EDGE_INVIS, EDGE_VIS);
  mesh.setMapSupport(1);  // channel 0 exists but stays unsupported
  mesh.Map(1).setNumVerts(1);
  mesh.Map(1).tv[0] = UVVert(0.5f, 0.25f, 0.0f);
  mesh.Map(1).setNumFaces(1);
  mesh.setMapSupport(MAP_SHADING);

  TriObject* cushion = CreateNewTriObject();
  cushion->GetMesh().SpecifyNormals();
  MeshNormalSpec* normals = cushion->GetMesh().GetSpecifiedNormals();
  normals->SetNumNormals(2);
  normals->Normal(0) = Point3(0.0f, 0.0f, 1.0f);
  normals->SetNormalExplicit(1, true);
  normals->SetNumFaces(1);
  normals->Face(0).SetNormalID(1, 1);
  normals->Face(0).SetSpecified(1, true);

  INode* first = ip->CreateObjectNode(sofa);
  first->SetName(u"Sofa «Ü»");
  Matrix3 tm;
  tm.SetRow(3, Point3(10.0f, 20.5f, -3.0f));
  first->SetNodeTM(0, tm);
  INode* second = ip->CreateObjectNode(sofa);
  second->SetWireColor(RGB(10, 20, 30));
  second->SetNodeTM(100, tm);  // only time 0 is kept
  ip->CreateObjectNode(cushion);
  ip->SelectNode(first);

  const Value& root = parse();
  std::vector<std::string> keys;
  for (const auto& member : root.GetObject()) keys.emplace_back(member.name.GetString());
  EXPECT_EQ(keys, (std::vector<std::string>{"systemUnit", "nodes", "objects", "materials", "maps", "environment"}));
  EXPECT_STREQ(root["systemUnit"].GetString(), "cm");
  expectJson(root["materials"], "[]");
  expectJson(root["maps"], "[]");
  ASSERT_EQ(root["nodes"].Size(), 3u);
  expectJson(root["nodes"][0], R"({"name": "Sofa «Ü»", "object": 0, "material": null,
      "transform": [[1, 0, 0], [0, 1, 0], [0, 0, 1], [10, 20.5, -3]],
      "wireColor": [128, 128, 128], "selected": true})");
  // An instance refers to the same object.
  expectJson(root["nodes"][1], R"({"name": "", "object": 0, "material": null,
      "transform": [[1, 0, 0], [0, 1, 0], [0, 0, 1], [0, 0, 0]],
      "wireColor": [10, 20, 30], "selected": false})");
  EXPECT_EQ(root["nodes"][2]["object"].GetUint(), 1u);

  ASSERT_EQ(root["objects"].Size(), 2u);
  expectJson(root["objects"][0], R"({"class": "mesh",
      "vertices": [[0, 0, 0], [0.5, -2.5, 4], [0, 0, 0]],
      "faces": [{"v": [0, 1, 2], "mtlId": 3, "edges": [true, false, true]}],
      "normals": null,
      "maps": {"1": {"vertices": [[0.5, 0.25, 0]], "faces": [[0, 0, 0]]},
               "-1": {"vertices": [], "faces": []}}})");
  expectJson(root["objects"][1]["normals"], R"({"normals": [[0, 0, 1], [0, 0, 0]], "explicit": [false, true],
      "faces": [[-1, 1, -1]], "specified": [[false, true, false]]})");

  EXPECT_EQ(host::sceneJson(), text);  // the same scene writes the same text
}

TEST_F(SceneJsonTest, FloatsReadBackExactly) {
  TriObject* object = CreateNewTriObject();
  Mesh& mesh = object->GetMesh();
  const Point3 tricky(0.1f, 1.0f / 3.0f, 1e-7f);
  mesh.setNumVerts(3);
  mesh.setVert(0, tricky);
  mesh.setVert(1, Point3(16777217.0f, -0.0f, std::numeric_limits<float>::max()));
  mesh.setVert(2, Point3(std::numeric_limits<float>::quiet_NaN(), 1.0f, std::numeric_limits<float>::infinity()));
  Matrix3 tm;
  tm.SetRow(3, tricky);
  ip->CreateObjectNode(object)->SetNodeTM(0, tm);

  const Value& root = parse();
  const Value* points[] = {&root["objects"][0]["vertices"][0], &root["objects"][0]["vertices"][1],
                           &root["nodes"][0]["transform"][3]};
  const Point3 expected[] = {tricky, mesh.getVert(1), tricky};
  for (int p = 0; p < 3; ++p) {
    for (unsigned i = 0; i < 3; ++i) {
      EXPECT_EQ((*points[p])[i].GetDouble(), static_cast<double>(expected[p][static_cast<int>(i)])) << p << "/" << i;
    }
  }
  EXPECT_TRUE(std::signbit((*points[1])[1].GetDouble()));
  expectJson(root["objects"][0]["vertices"][2], "[null, 1, null]");
}

TEST_F(SceneJsonTest, MultiSubObjectMaterialListsItsSlots) {
  const cvimp::test::TwoMaterialCube cube = cvimp::test::twoMaterialCube();
  cube.multi->AddMtl(nullptr, 7, u"Empty");
  const Value& root = parse();
  // Wood and glass were made first; an empty slot refers to nothing.
  EXPECT_EQ(root["nodes"][0]["material"].GetUint(), 2u);
  expectJson(root["materials"][2], R"({"class": "Multi/Sub-Object", "ids": [3, 0, 7], "materials": [0, 1, null],
      "names": ["Wood", "Glass", "Empty"]})");
}

// Cameras and lights are objects with parameters, as materials are; the
// environment map refers to the maps.
TEST_F(SceneJsonTest, CamerasLightsAndTheEnvironment) {
  auto* camera = dynamic_cast<CameraObject*>(ip->CreateInstance(CAMERA_CLASS_ID, PHYSICAL_CAMERA_CLASS_ID));
  auto* light = dynamic_cast<LightObject*>(ip->CreateInstance(LIGHT_CLASS_ID, FREE_LIGHT_CLASS_ID));
  auto* sun = dynamic_cast<LightObject*>(ip->CreateInstance(LIGHT_CLASS_ID, SUN_POSITIONER_CLASS_ID));
  Texmap* sky = dynamic_cast<Texmap*>(ip->CreateInstance(TEXMAP_CLASS_ID, SUNSKY_ENV_CLASS_ID));
  ASSERT_TRUE(camera && light && sun && sky);
  ip->CreateObjectNode(camera)->SetName(u"View");
  ip->CreateObjectNode(light);
  ip->CreateObjectNode(sun);
  IParamBlock2* params = light->GetParamBlock(0);
  const auto id = [&](int index) { return params->IndextoID(index); };
  EXPECT_TRUE(params->SetValue(id(0), 0, u"rectangle"));
  EXPECT_FALSE(params->SetValue(id(0), 0, 2.0f));  // a string takes strings only
  EXPECT_FALSE(params->SetValue(id(2), 0, u"wide"));
  EXPECT_EQ(std::u16string(params->GetStr(id(0))), u"rectangle");
  EXPECT_EQ(std::u16string(params->GetStr(id(2))), u"");
  IParamBlock2* lens = camera->GetParamBlock(0);
  lens->SetValue(lens->IndextoID(0), 0, 45.0f);
  lens->SetValue(lens->IndextoID(4), 0, 0.25f);
  ip->SetEnvironmentMap(sky);
  sky->DeleteThis();  // the environment keeps it

  const Value& root = parse();
  EXPECT_EQ(root["nodes"][0]["object"].GetUint(), 0u);
  expectJson(root["objects"][0], R"({"class": "Physical Camera", "params": {"fov": 45, "film_width": 36,
      "focal_length": 40, "f_number": 8, "shutter": 0.25, "iso": 100, "exposure": 1,
      "target_distance": 1000, "orthographic": 0}})");
  expectJson(root["objects"][1], R"({"class": "Free Light", "params": {"shape": "rectangle",
      "distribution": "uniform spherical", "hotspot": 30, "falloff": 60, "web_file": "", "width": 0, "length": 0,
      "radius": 0, "color": [1, 1, 1], "intensity": 1500, "unit": "cd", "visible": 0, "two_sided": 0, "on": 1}})");
  expectJson(root["objects"][2], R"({"class": "Sun Positioner", "params": {}})");
  expectJson(root["maps"][0], R"({"class": "Physical Sun & Sky", "params": {"turbidity": 3, "intensity": 1}})");
  EXPECT_EQ(root["environment"].GetUint(), 0u);
}

TEST_F(SceneJsonTest, DeleteKeepsObjectsInUse) {
  TriObject* unused = CreateNewTriObject();
  unused->GetMesh().setNumVerts(5);
  TriObject* used = CreateNewTriObject();
  ip->CreateObjectNode(used);

  used->DeleteThis();
  const std::vector<host::JournalEntry> rejected = host::journal().find("DeleteRejected");
  ASSERT_EQ(rejected.size(), 1u);
  EXPECT_EQ(rejected[0].args, "Editable Mesh in use");
  unused->DeleteThis();
  EXPECT_EQ(host::journal().find("DeleteRejected").size(), 1u);

  const Value& root = parse();
  ASSERT_EQ(root["objects"].Size(), 1u);
  EXPECT_TRUE(root["objects"][0]["vertices"].Empty());
  EXPECT_EQ(root["nodes"][0]["object"].GetUint(), 0u);  // indices follow the removal
}

}  // namespace
