// Whole imports of scene files on disk into the stand-in host.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "builder/builder.h"
#include "host/max.h"
#include "host/stand_in.h"
#include "report/report.h"
#include "tests/builder/import_fixture.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"
#include "tools/scenegen/png_writer.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

TEST_F(ImportTest, EmptyScenePathTouchesNothing) {
  const std::string printed = import("");
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(result, WStr(u"Invalid scene file"));
  EXPECT_TRUE(host::journal().entries().empty());
}

TEST_F(ImportTest, FailuresRestoreProgressAndRedraw) {
  import(platform::utf8FromPath(dir.path() / "missing.vrscene"));
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(result, WStr(u"Cannot parse scene"));
  EXPECT_TRUE(pairedProgressAndRedraw());
  EXPECT_EQ(host::progress().starts, 1);

  import(write("broken.vrscene", "Node n { transform=Transform(; \n"));
  EXPECT_EQ(result, WStr(u"Cannot parse scene"));
  EXPECT_TRUE(pairedProgressAndRedraw());

  // An animated value without a usable key cannot be walked.
  import(write("unwalkable.vrscene", "Node n { transform=interpolate(5); }\n"));
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(result, WStr(u"Cannot prebuild scene"));
  EXPECT_TRUE(pairedProgressAndRedraw());
  EXPECT_TRUE(scene().nodes().empty());
  EXPECT_TRUE(host::journal().find("ViewportZoomExtents").empty());
}

TEST_F(ImportTest, EmptySceneSucceedsWithoutUpdates) {
  import(write("empty.vrscene", "// nothing here\n"));
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(result, WStr(u"Succeed"));
  EXPECT_TRUE(host::journal().find("ProgressUpdate").empty());
  EXPECT_TRUE(scene().nodes().empty());
  EXPECT_TRUE(pairedProgressAndRedraw());
}

TEST_F(ImportTest, CallOrderAroundTheWalk) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  node(w, "n1", "mesh", "");
  node(w, "n2", "mesh", "");
  import(write("vr.vrscene", w.take()));
  ASSERT_TRUE(succeeded);
  std::vector<std::string> frame;
  for (const host::JournalEntry& entry : host::journal().entries()) {
    if (entry.call == "DisableSceneRedraw" || entry.call == "ProgressStart" || entry.call == "ProgressUpdate" ||
        entry.call == "ProgressEnd" || entry.call == "EnableSceneRedraw" || entry.call == "ViewportZoomExtents" ||
        entry.call == "ForceCompleteRedraw") {
      frame.push_back(entry.call + "(" + entry.args + ")");
    }
  }
  // Three plugins in dependency order: the mesh, then the two nodes.
  EXPECT_EQ(frame, (std::vector<std::string>{
                       "DisableSceneRedraw()", "ProgressStart(\"Importing design...\", true, function, none)",
                       "ProgressUpdate(0, true, none)", "ProgressUpdate(33, true, none)",
                       "ProgressUpdate(66, true, none)", "ProgressEnd()", "EnableSceneRedraw()",
                       "ViewportZoomExtents(false, false)", "ForceCompleteRedraw(false)"}));
}

TEST_F(ImportTest, SharedMeshesBecomeInstancesAndDisplacedMeshesAreLookedThrough) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  quadMesh(w, "under");
  w.begin("GeomDisplacedMesh", "displaced");
  w.attribute("mesh", "under");
  w.end();
  w.begin("GeomMeshFile", "proxy");
  w.quoted("file", "chair.vrmesh");
  w.end();
  w.begin("GeomStaticMesh", "empty");
  w.attribute("vertices", vectors({}));
  w.attribute("faces", ints({}));
  w.end();
  node(w, "a", "mesh", "");
  node(w, "b", "mesh", "");
  node(w, "c", "mesh", "");
  node(w, "d", "displaced", "");
  node(w, "no_geometry", "", "");
  node(w, "proxy_node", "proxy", "");
  node(w, "e1", "empty", "");
  node(w, "e2", "empty", "");
  // A face on a vertex that is not there: no object, and warnings each time the mesh is tried.
  w.begin("GeomStaticMesh", "broken");
  w.attribute("vertices", vectors({{0, 0, 0}}));
  w.attribute("faces", ints({0, 0, 5}));
  w.end();
  node(w, "b1", "broken", "");
  node(w, "b2", "broken", "");
  const std::string printed = import(write("vr.vrscene", w.take()));
  ASSERT_TRUE(succeeded);
  ASSERT_EQ(scene().nodes().size(), 4u);
  ASSERT_EQ(scene().objects().size(), 2u);
  const auto& nodes = scene().nodes();
  EXPECT_EQ(nodes[0]->GetObjectRef(), nodes[1]->GetObjectRef());
  EXPECT_EQ(nodes[0]->GetObjectRef(), nodes[2]->GetObjectRef());
  EXPECT_NE(nodes[3]->GetObjectRef(), nodes[0]->GetObjectRef());
  EXPECT_EQ(std::u16string(nodes[3]->GetName()), u"d");
  EXPECT_EQ(nodes[0]->GetWireColor(), RGB(128, 128, 128));
  // Each mesh that gives an object is converted once, however many nodes use it.
  EXPECT_EQ(host::journal().find("CreateNewTriObject").size(), 2u);
  // One that gives none is tried once for all its nodes: one round of its warnings.
  EXPECT_EQ(printed,
            "[VRP] WARNING: Cannot get list.\n[VRP] WARNING: Cannot get list.\n"
            "[VRP] WARNING: Cannot get list.\n"
            "[VRP] WARNING: Mesh \"broken\": face vertex index out of range; mesh skipped.\n");
}

TEST_F(ImportTest, TransformsInEverySystemUnit) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  node(w, "n", "mesh", "",
       "Transform(Matrix(Vector(0, 2, 0), Vector(-2, 0, 0), Vector(0, 0, 2)), Vector(1000, 2000, -500))");
  const std::string path = write("vr.vrscene", w.take());
  struct Case {
    host::SystemUnit unit;
    Point3 offset;
    float vertexX;
  };
  for (const Case& c : {Case{host::SystemUnit::Millimeters, {1000.0f, 2000.0f, -500.0f}, 1000.0f},
                        Case{host::SystemUnit::Centimeters, {100.0f, 200.0f, -50.0f}, 100.0f},
                        Case{host::SystemUnit::Meters, {1.0f, 2.0f, -0.5f}, 1.0f},
                        Case{host::SystemUnit::Inches, {1000.0f * (1.0f / 25.4f), 2000.0f * (1.0f / 25.4f),
                                                        -500.0f * (1.0f / 25.4f)},
                             1000.0f * (1.0f / 25.4f)}}) {
    freshHost();
    host::setSystemUnit(c.unit);
    import(path);
    ASSERT_EQ(scene().nodes().size(), 1u);
    const Matrix3 tm = scene().nodes()[0]->GetNodeTM(0);
    EXPECT_EQ(tm.GetRow(0), Point3(0.0f, 2.0f, 0.0f));  // axes as in the file, not scaled
    EXPECT_EQ(tm.GetRow(1), Point3(-2.0f, 0.0f, 0.0f));
    EXPECT_EQ(tm.GetRow(3), c.offset) << host::unitName(c.unit);
    auto& object = static_cast<TriObject&>(*scene().objects()[0]);
    EXPECT_EQ(object.GetMesh().getVert(1).x, c.vertexX);
  }
}

TEST_F(ImportTest, OptionGates) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  diffuseMaterial(w, "red", 1, 0, 0);
  node(w, "a", "mesh", "red");
  node(w, "b", "mesh", "red");
  const std::string path = write("vr.vrscene", w.take());

  import(path);
  ASSERT_EQ(scene().nodes().size(), 2u);
  ASSERT_EQ(scene().materials().size(), 1u);  // converted once, shared
  EXPECT_EQ(scene().nodes()[0]->GetMtl(), scene().nodes()[1]->GetMtl());
  EXPECT_EQ(scene().materials()[0]->updateCount(), 1);
  EXPECT_EQ(host::journal().find("MtlBase::Update").at(0).args, "0, [-2147483648, 2147483647]");

  freshHost();
  state.importMaterial = false;
  import(path);
  EXPECT_EQ(scene().nodes().size(), 2u);
  EXPECT_TRUE(scene().materials().empty());
  EXPECT_EQ(scene().nodes()[0]->GetMtl(), nullptr);

  freshHost();
  state.importMesh = false;
  import(path);
  EXPECT_TRUE(succeeded);
  EXPECT_TRUE(scene().nodes().empty());
  EXPECT_TRUE(scene().objects().empty());
  // The walk still runs: the bar moves once per plugin.
  EXPECT_EQ(host::journal().find("ProgressUpdate").size(), 5u);
}

TEST_F(ImportTest, CancelStopsTheWalkAndTheImportStillSucceeds) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  for (int i = 0; i < 4; ++i) node(w, "n" + std::to_string(i), "mesh", "");
  const std::string path = write("vr.vrscene", w.take());
  // The order is mesh, n0..n3: a click before plugin k leaves the nodes before it.
  for (int query = 1; query <= 6; ++query) {
    freshHost();
    host::pressCancelAtQuery(query);
    import(path);
    EXPECT_TRUE(succeeded) << query;
    EXPECT_EQ(result, WStr(u"Succeed"));
    EXPECT_EQ(scene().nodes().size(), static_cast<std::size_t>(std::max(0, std::min(query, 6) - 2))) << query;
    EXPECT_TRUE(pairedProgressAndRedraw());
    EXPECT_EQ(host::journal().find("ViewportZoomExtents").size(), 1u);
  }
}

TEST_F(ImportTest, CancelledImportStillQuadrifiesWhatItMade) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  node(w, "a", "mesh", "");
  node(w, "b", "mesh", "");
  state.quadrifyMesh = true;
  host::pressCancelAtQuery(3);
  import(write("vr.vrscene", w.take()));
  ASSERT_EQ(scene().nodes().size(), 1u);
  ASSERT_EQ(host::executedScripts().size(), 1u);
  EXPECT_EQ(scene().objects()[0]->ClassID(), POLYOBJ_CLASS_ID);
}

TEST_F(ImportTest, QuadrifyTurnsTriangleGridsIntoQuadsAndIncludesTheOldSelection) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  node(w, "a", "mesh", "");
  node(w, "b", "mesh", "");
  const std::string path = write("vr.vrscene", w.take());
  // An object selected before the import is converted too.
  TriObject* before = CreateNewTriObject();
  before->GetMesh().setNumVerts(3);
  before->GetMesh().setNumFaces(1);
  before->GetMesh().faces[0].setVerts(0, 1, 2);
  INode* old = GetCOREInterface()->CreateObjectNode(before);
  old->SetName(u"old");
  GetCOREInterface()->SelectNode(old);
  host::journal().clear();

  state.quadrifyMesh = true;
  import(path);
  ASSERT_TRUE(succeeded);
  const std::vector<host::JournalEntry> scripts = host::journal().find("ExecuteMAXScriptScript");
  ASSERT_EQ(scripts.size(), 1u);
  EXPECT_NE(scripts[0].args.find(", 2, false, result, true"), std::string::npos);
  EXPECT_EQ(host::executedScripts().at(0), std::u16string(kQuadrifyScript));
  EXPECT_EQ(host::journal().find("SelectNodeTab").at(0).args, "2, true, false");

  ASSERT_EQ(scene().objects().size(), 2u);
  for (const auto& object : scene().objects()) ASSERT_EQ(object->ClassID(), POLYOBJ_CLASS_ID);
  const auto& grid = static_cast<const PolyObject&>(*scene().objects()[1]);
  ASSERT_EQ(grid.faces.size(), 1u);  // the two triangles became one quad
  EXPECT_EQ(grid.faces[0].vertices, (std::vector<int>{0, 1, 2, 3}));
  ASSERT_EQ(grid.maps.size(), 1u);
  EXPECT_EQ(grid.maps[0].second.faces[0], (std::vector<int>{0, 1, 2, 3}));
  // Instances share the converted object; the last object alone stays selected.
  EXPECT_EQ(scene().nodes()[1]->GetObjectRef(), scene().nodes()[2]->GetObjectRef());
  EXPECT_EQ(GetCOREInterface()->GetSelNodeCount(), 1);
  EXPECT_EQ(std::u16string(GetCOREInterface()->GetSelNode(0)->GetName()), u"b");
  // "Optimizing scene..." once per object of the selection, at the share done.
  const std::vector<host::JournalEntry> starts = host::journal().find("ProgressStart");
  ASSERT_EQ(starts.size(), 4u);
  EXPECT_EQ(starts[1].args, "\"Optimizing scene...\", true, none, none");
  const std::vector<host::JournalEntry> updates = host::journal().find("ProgressUpdate");
  ASSERT_GE(updates.size(), 3u);
  EXPECT_EQ(updates[updates.size() - 3].args, "33, true, none");
  EXPECT_EQ(updates.back().args, "100, true, none");
}

TEST_F(ImportTest, LogCarriesBothImportsTheSlotNamesOnceAndTheMeshWarnings) {
  const std::string png = gen::checkerPng(4, 1, 0xFF0000, 0x00FF00);
  dir.write("maps/wood.png", png);
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  diffuseMaterial(w, "red", 1, 0, 0);
  diffuseMaterial(w, "green", 0, 1, 0);
  w.begin("BRDFGlass", "glass");
  w.end();
  w.begin("MtlSingleBRDF", "mtl_glass");
  w.attribute("brdf", "glass");
  w.end();
  node(w, "a", "mesh", "red");
  node(w, "b", "mesh", "green");
  node(w, "c", "mesh", "mtl_glass");
  w.begin("GeomStaticMesh", "broken");
  w.attribute("vertices", vectors({{0, 0, 0}}));
  w.attribute("faces", ints({0, 0, 5}));
  w.end();
  node(w, "d", "broken", "");
  const std::string path = write("vr.vrscene", w.take());
  const std::string logPath = platform::utf8FromPath(dir.path() / "import.log");
  {
    const test::ScopedEnv variable("CVIMP_LOG_FILENAME", logPath.c_str());
    import(path);
    import(path);
  }
  const std::string log = test::readFile(logPath);
  std::string expected;
  for (int run = 0; run < 2; ++run) {
    expected += "=== design ID: " + path + "\n=== Physical Material SubTexmaps ===\n";
    const Mtl& material = *scene().materials()[0];
    for (int k = 0; k < material.NumSubTexmaps(); ++k) {
      expected += "[" + std::to_string(k) + "]: " + material.GetSubTexmapSlotName(k).ToACP().str() + "\n";
    }
    expected += "Found unsupported BRDFGlass\n";
    expected += "[VRP] WARNING: Mesh \"broken\": face vertex index out of range; mesh skipped.\n";
    expected += "=== Import report: 3 losses (unsupported material: 1, mesh skipped: 1, not imported: 1) ===\n";
  }
  EXPECT_EQ(log, expected);
  // The last import's report stays with the scene.
  const std::vector<ReportEntry> entries = reportFromScene().entries();
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[2].kind + "|" + entries[2].subject, "not imported|BRDFGlass");
  EXPECT_EQ(entries[1].kind + "|" + entries[1].subject + "|" + entries[1].detail,
            "mesh skipped|broken|face vertex index out of range; mesh skipped");
  // A second import makes a second set of everything.
  EXPECT_EQ(scene().nodes().size(), 6u);
  EXPECT_EQ(scene().materials().size(), 6u);
}

}  // namespace
}  // namespace cvimp

namespace cvimp {
namespace {

// What did not come across, one entry per kind, whether a log is open or
// not; the result text stays "Succeed".
TEST_F(ImportTest, ReportTellsEveryKindOfLoss) {
  gen::SceneWriter w;
  quadMesh(w, "mesh");
  w.begin("GeomStaticMesh", "empty");
  w.attribute("vertices", vectors({{0, 0, 0}}));
  w.attribute("faces", ints({0}));
  w.end();
  w.begin("GeomStaticMesh", "channels");
  w.attribute("vertices", vectors({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
  w.attribute("faces", ints({0, 1, 2}));
  w.attribute("map_channels", "List(List(200, " + vectors({{0, 0, 0}}) + ", " + ints({0, 0, 0}) + "))");
  w.end();
  dir.write("textures/broken.png", "not an image");
  const std::pair<const char*, const char*> bitmaps[] = {{"lost", "Z:/vela/data/render/Vray/textures/lost.jpg"},
                                                         {"broken", "textures/broken.png"}};
  for (const auto& [name, file] : bitmaps) {
    w.begin("BitmapBuffer", name);
    w.quoted("file", file);
    w.end();
  }
  w.begin("TexNoise", "noise");
  w.end();
  w.begin("BRDFVRayMtl", "brdf");
  w.attribute("diffuse", "lost");
  w.attribute("reflect", "broken");
  w.attribute("refract", "noise");
  w.end();
  w.begin("MtlMulti", "multi");
  w.end();
  // Two wrappers naming each other.
  w.begin("MtlOverride", "loop_a");
  w.attribute("base_mtl", "loop_b");
  w.end();
  w.begin("MtlOverride", "loop_b");
  w.attribute("base_mtl", "loop_a");
  w.end();
  node(w, "a", "mesh", "brdf");
  node(w, "b", "mesh", "multi");
  node(w, "c", "empty", "");
  node(w, "d", "channels", "loop_a");
  w.begin("GeomMeshFile", "proxy");
  w.end();
  node(w, "e", "proxy", "");
  import(write("vr.vrscene", w.take()));
  EXPECT_EQ(result, WStr(u"Succeed"));

  std::vector<std::string> entries;
  const Report report = reportFromScene();
  for (const ReportEntry& e : report.entries()) entries.push_back(e.kind + "|" + e.subject + "|" + e.detail);
  std::string tails;
  for (const char* ending : {"", ".png"}) {
    for (const char* head : {"vela/data/render/Vray/textures/", "data/render/Vray/textures/", "render/Vray/textures/",
                             "Vray/textures/", "textures/", ""}) {
      tails += (tails.empty() ? "" : ", ") + std::string(head) + "lost.jpg" + ending;
    }
  }
  const std::string cwd = platform::utf8FromPath(std::filesystem::current_path());
  const std::string root = platform::utf8FromPath(platform::pathFromUtf8(dir.str()).root_path());
  EXPECT_EQ(entries,
            (std::vector<std::string>{
                "texture not found|Z:/vela/data/render/Vray/textures/lost.jpg|tried "
                "Z:/vela/data/render/Vray/textures/lost.jpg, textures/lost.jpg, render/Vray/textures/lost.jpg, "
                "Z:/vela/data/render/Vray/textures/lost.jpg.png, textures/lost.jpg.png, "
                "render/Vray/textures/lost.jpg.png (as written and in " +
                    dir.str() + ", " + root + ", " + cwd + "); by the path's end: " + tails + " in " + dir.str() +
                    ", " + root,
                "bitmap not loaded|textures/broken.png|" + dir.str() + "/textures/broken.png",
                "unsupported texture|TexNoise|",
                "empty multi-material|multi|no sub-materials; default material used",
                "mesh skipped|empty|no vertices or fewer than three face indices",
                "mesh part skipped|channels|map channel 200 out of range; channel skipped",
                "cyclic graph|loop_a|material graph refers back to loop_a",
                "mesh skipped|GeomMeshFile|geometry type not supported",
                "not imported|GeomMeshFile|no conversion reads this type",
                "not imported|TexNoise|no conversion reads this type",
            }));
}

}  // namespace
}  // namespace cvimp

namespace cvimp {
namespace {

// A scene in the way each exporter writes it imports with its sizes and
// materials; SketchUp's two-sided material becomes its front side.
TEST_F(ImportTest, ExporterStylesImportWithTheirSizesAndMaterials) {
  const struct {
    const char* exporter;
    const char* settings;
    float millimetres;  // per scene unit
    const char* material;
    const char* report;
  } cases[] = {
      {"Blender", "SettingsUnitsInfo {\n  meters_scale=1;\n  scene_upDir=Vector(0, 0, 1);\n}\n", 1000.0f, "red", ""},
      {"SketchUp", "SettingsUnitsInfo settingsUnitsInfo {\n  meters_scale=0.0254;\n}\n", 25.4f, "Mtl2Sided_red",
       "back side dropped|Mtl2Sided_red"},
      {"3ds Max", "", 1.0f, "stats", ""},
  };
  for (const auto& c : cases) {
    freshHost();
    gen::SceneWriter w;
    quadMesh(w, "mesh");
    diffuseMaterial(w, "red", 1, 0, 0);
    diffuseMaterial(w, "blue", 0, 0, 1);
    w.plugin("Mtl2Sided", "Mtl2Sided_red", {{"front", "red"}, {"back", "blue"}, {"force_1sided", "1"}});
    w.plugin("MtlRenderStats", "stats", {{"base_mtl", "red"}, {"camera_visibility", "1"}});
    node(w, "n", "mesh", c.material,
         "Transform(Matrix(Vector(1, 0, 0), Vector(0, 1, 0), Vector(0, 0, 1)), Vector(2, 0, 0))");
    import(write("vr.vrscene", c.settings + w.take()));
    ASSERT_EQ(scene().nodes().size(), 1u) << c.exporter;
    EXPECT_EQ(scene().nodes()[0]->GetNodeTM(0).GetRow(3).x, 2.0f * c.millimetres) << c.exporter;
    EXPECT_EQ(static_cast<TriObject&>(*scene().objects()[0]).GetMesh().getVert(1).x, 1000.0f * c.millimetres);
    Mtl* material = scene().nodes()[0]->GetMtl();
    ASSERT_NE(material, nullptr);
    Color color(-1, -1, -1);
    for (const IParamBlock2::Entry& entry : material->GetParamBlock(0)->entries()) {
      if (entry.name == u"base_color") color = std::get<Color>(entry.value);
    }
    EXPECT_EQ(color, Color(1, 0, 0)) << c.exporter;
    const Report report = reportFromScene();
    EXPECT_EQ(report.empty() ? "" : report.entries()[0].kind + "|" + report.entries()[0].subject, c.report);
  }
}

// A 3ds Max scene names its files by the paths of the machine that wrote it;
// the copies beside the scene are found. What nothing reads is listed by type.
TEST_F(ImportTest, FilesFromAnotherMachineAndWhatWasLeftOut) {
  dir.write("scene/maps/0002 ( 20x100 ).jpg", gen::checkerPng(2, 1, 0xFF0000, 0x00FF00));
  dir.write("scene/vr_materials.vrscene",
            "BitmapBuffer bmp { file=\"C:\\Develop\\job\\maps\\0002 ( 20x100 ).jpg\"; }\n"
            "BitmapBuffer gone { file=\"C:\\Develop\\job\\gone.jpg\"; }\n"
            "TexBitmap tex { bitmap=bmp; }\nBRDFVRayMtl brdf { diffuse=tex; reflect=gone; }\n"
            "MtlSingleBRDF mtl_Wood@12 { brdf=brdf; }\n");
  gen::SceneWriter w;
  w.include("C:\\Develop\\job\\vr_materials.vrscene");
  quadMesh(w, "mesh");
  node(w, "Box001@node_2", "mesh", "mtl_Wood@12");
  for (const char* type :
       {"LightMesh", "CameraDome", "VRayClipper", "Instancer2", "LightMesh", "SettingsOutput", "GeomMeshFile"}) {
    w.plugin(type, std::string(type) + std::to_string(w.text().size()), {});
  }
  const std::string path = write("scene/vr.vrscene", w.take());
  import(path);
  ASSERT_EQ(scene().nodes().size(), 1u);
  Mtl* material = scene().nodes()[0]->GetMtl();
  ASSERT_NE(material, nullptr);
  auto* bitmap = dynamic_cast<BitmapTex*>(material->GetSubTexmap(1));  // the base colour
  ASSERT_NE(bitmap, nullptr);
  // The folder as the scene's own path names it.
  const std::string folder = platform::utf8FromPath(platform::pathFromUtf8(path).parent_path());
  EXPECT_EQ(host::utf16ToUtf8(bitmap->GetMap().GetFullFilePath()), folder + "/maps/0002 ( 20x100 ).jpg");

  std::vector<std::string> entries;
  const Report report = reportFromScene();
  for (const ReportEntry& e : report.entries()) {
    entries.push_back(e.kind + "|" + e.subject + "|" + e.detail + "|" + std::to_string(e.count));
  }
  const std::string cwd = platform::utf8FromPath(std::filesystem::current_path());
  const std::string root = platform::utf8FromPath(platform::pathFromUtf8(dir.str()).root_path());
  EXPECT_EQ(entries, (std::vector<std::string>{
                         "texture not found|C:\\Develop\\job\\gone.jpg|tried C:\\Develop\\job\\gone.jpg, "
                         "C:\\Develop\\job\\gone.jpg.png (as written and in " +
                             folder + ", " + root + ", " + cwd +
                             "); by the path's end: Develop/job/gone.jpg, job/gone.jpg, gone.jpg, "
                             "Develop/job/gone.jpg.png, job/gone.jpg.png, gone.jpg.png in " +
                             folder + ", " + root + "|1",
                         "not imported|CameraDome|no conversion reads this type|1",
                         "not imported|GeomMeshFile|no conversion reads this type|1",
                         "not imported|Instancer2|no conversion reads this type|1",
                         "not imported|LightMesh|no conversion reads this type|2",
                         "not imported|VRayClipper|no conversion reads this type|1",
                     }));
}

}  // namespace
}  // namespace cvimp
