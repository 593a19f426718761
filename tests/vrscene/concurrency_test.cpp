// Parallel loading: many includes, nested includes and plugins defined in
// several of them. The document must not depend on which include finishes
// first, and must equal the document read on a single thread. Also built
// under ThreadSanitizer (make tsan).
#include <gtest/gtest.h>
#include <tbb/global_control.h>

#include "cli/scene_json.h"
#include "tests/support/test_support.h"
#include "tests/vrscene/vrscene_internals.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

namespace gen = scenegen;
using test::captureStdout;
using test::TempDir;

constexpr int kIncludes = 24;

// main.vrscene: shared plugins before, between and after its includes; each
// include defines its own meshes, redefines the shared plugins, and every
// fourth one includes two nested files that do the same.
std::string writeDesign(const TempDir& dir) {
  std::string main = "X shared { from=\"main-first\"; a=0; }\n";
  for (int i = 0; i < kIncludes; ++i) {
    main += "#include \"inc" + std::to_string(i) + ".vrscene\"\n";
    if (i == kIncludes / 2) main += "X shared { middle=1; }\nY late { v=0; }\n";
  }
  main += "X shared { from=\"main-last\"; }\nY late { v=1; }\n";

  for (int i = 0; i < kIncludes; ++i) {
    gen::SceneWriter w;
    w.begin("Y", "shared");
    w.attribute("a", std::to_string(i + 1));
    w.attribute("inc" + std::to_string(i), "1");
    w.end();
    for (int m = 0; m < 6; ++m) {
      std::vector<std::int32_t> faces(300 + 37 * m + i);
      for (std::size_t k = 0; k < faces.size(); ++k) faces[k] = static_cast<std::int32_t>(k * (i + 1));
      w.begin("GeomStaticMesh", "mesh_" + std::to_string(i) + "_" + std::to_string(m));
      w.attribute("faces", "ListIntHex(\"" + gen::packInts(faces) + "\")");
      w.attribute("vertices", "ListVectorHex(\"" + gen::packVectors({{float(i), float(m), 1}}) + "\")");
      w.end();
      w.begin("Node", "node_" + std::to_string(i) + "_" + std::to_string(m));
      w.attribute("geometry", "mesh_" + std::to_string(i) + "_" + std::to_string(m));
      w.attribute("material", "shared");
      w.end();
    }
    if (i % 4 == 0) {
      w.include("nested" + std::to_string(i) + "a.vrscene");
      w.include("nested" + std::to_string(i) + "b.vrscene");
      for (const char* suffix : {"a", "b"}) {
        dir.write("nested" + std::to_string(i) + suffix + ".vrscene",
                  "Z shared { a=" + std::to_string(100 + i) + "; nested=\"" + std::to_string(i) + suffix +
                      "\"; }\nX late { v=" + std::to_string(i) + "; w=1; }\n");
      }
    }
    // Several includes share one file: it is read once, and placed where
    // it is first included in document order.
    if (i % 3 == 1) w.include("common.vrscene");
    w.begin("Y", "late");
    w.attribute("w", std::to_string(-i));
    w.end();
    // Unnamed settings merge by type as named plugins do.
    w.plugin("SettingsUnitsInfo", "", {{"meters_scale", std::to_string(i + 1)}, {"unit" + std::to_string(i), "1"}});
    dir.write("inc" + std::to_string(i) + ".vrscene", w.take());
  }
  dir.write("common.vrscene", "W shared { common=1; a=500; }\nW only_common { }\n");
  return dir.write("main.vrscene", main);
}

std::string loadAsJson(const std::string& path, const TempDir& dir) {
  VrpScene scene;
  std::vector<VrpPlugin*> order;
  bool loaded = false, prebuilt = false;
  std::string out = captureStdout([&] {
    loaded = loadScene(path, scene, {dir.str()}, true);
    prebuilt = loaded && prebuildScene(scene, order);
  });
  const std::string unnamed = "[VRP] WARNING: Plugin SettingsUnitsInfo has no name\n";
  for (std::size_t at; (at = out.find(unnamed)) != std::string::npos;) out.erase(at, unnamed.size());
  EXPECT_EQ(out, "");
  EXPECT_TRUE(loaded && prebuilt);
  std::string settings;
  if (const VrpPlugin* units = scene.unnamedSettings("SettingsUnitsInfo")) {
    for (const auto& attribute : units->attributes()) {
      settings += attribute->name + "=" + std::to_string(*attribute->value.intValue()) + ";";
    }
  }
  return sceneDocumentJson(scene, loaded, &prebuilt, order) + settings;
}

TEST(ParallelLoading, SameDocumentOnOneThreadAndOnManyEveryTime) {
  TempDir dir;
  const std::string main = writeDesign(dir);
  std::string serial;
  {
    tbb::global_control one(tbb::global_control::max_allowed_parallelism, 1);
    serial = loadAsJson(main, dir);
  }
  for (int run = 0; run < 12; ++run) ASSERT_EQ(loadAsJson(main, dir), serial) << "run " << run;
}

TEST(ParallelLoading, RepeatedDefinitionsTakeTheirLatestValues) {
  TempDir dir;
  const std::string main = writeDesign(dir);
  VrpScene scene;
  captureStdout([&] { ASSERT_TRUE(loadScene(main, scene, {dir.str()}, true)); });
  const VrpPlugin* shared = scene.findPlugin("shared");
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(shared->type, "X");
  EXPECT_EQ(shared->definitionPath, (DefinitionPath{0, 0}));
  EXPECT_EQ(shared->getString("from"), "main-last");
  // The last include's own block is the latest definition of "a"; the
  // nested files of inc20 come before it.
  EXPECT_EQ(shared->getInt("a", -1), kIncludes);
  EXPECT_EQ(shared->getString("nested"), "20b");
  EXPECT_EQ(shared->getInt("middle", 0), 1);
  EXPECT_EQ(shared->getInt("common", 0), 1);
  // inc1 (statement 2 of the main file) includes common.vrscene first, as its statement 13.
  EXPECT_EQ(scene.findPlugin("only_common")->definitionPath, (DefinitionPath{0, 2, 13, 1}));
  for (int i = 0; i < kIncludes; ++i) EXPECT_EQ(shared->getInt("inc" + std::to_string(i), 0), 1);
  EXPECT_EQ(scene.unnamedSettings("SettingsUnitsInfo")->getInt("meters_scale", 0), kIncludes);

  // "late" is first defined inside inc0's first nested file, before the
  // main file's middle definition; its values come from the main file's
  // last block (v) and the last include (w).
  const VrpPlugin* late = scene.findPlugin("late");
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(late->type, "X");
  EXPECT_EQ(late->definitionPath, (DefinitionPath{0, 1, 13, 1}));
  EXPECT_EQ(late->getInt("v", -1), 1);
  EXPECT_EQ(late->getInt("w", 0), -(kIncludes - 1));
}

// A text read in pieces gives what one reading of it gives: document,
// messages and failure, also where the quick pass that cuts it cannot follow
// the syntax (quotes inside identifiers, an include without a name, braces
// and semicolons in strings, a statement that fails half-way).
TEST(PiecewiseReading, SameDocumentAndMessagesAsOneReading) {
  std::string good;
  for (int i = 0; i < 40; ++i) {
    good += "// block " + std::to_string(i) + "\nNode n" + std::to_string(i) + " { a=" + std::to_string(i) +
            "; s=\"x;}{\\n\"; // note\n l=List(1, 'q}', ListIntHex(\"" + gen::packInts({i, i + 1}) +
            "\")); c=List(1, // } { ; \" '\n 2); d=foo//bar;}\n";
    if (i % 7 == 3) good += "Node { a=1; }\nMat m" + std::to_string(i) + " junk words { v=nan; }\n";
    if (i % 9 == 4) good += "SettingsUnitsInfo { meters_scale=" + std::to_string(i) + "; }\n";
  }
  // The quick pass follows comments inside values and names holding "//":
  // a cut after every block.
  EXPECT_EQ(findCuts(good, 1).size(), 56u);
  const std::string texts[] = {
      good,
      good + "Node tail { a=1;",                                      // fails at the end
      good.substr(0, good.size() / 2) + "Node bad { a=; }\n" + good,  // fails half-way
      good.substr(0, good.size() / 3) + "Node q\"uote { a=\"b\"; }\n" + good,
      good.substr(0, good.size() / 3) + "#include\nNode after { a=1; }\n" + good,
      good.substr(0, good.size() / 4) + "Node open { s=\"unterminated; }\n" + good,
      good + "Node last { a=1; }",
      good.substr(0, good.size() / 2) + "Node bad { x=List(1, // }\n 2 3); }\n" + good,
      // The pass takes the quote in x"y for a string and sees "fake" end
      // a block, where the reader is inside s's string.
      good.substr(0, good.size() / 2) + "Node a { v=x\"y; s=\"\nNode fake { b=1; }\n\"; }\n" + good,
  };
  auto read = [](const std::string& text, std::size_t split) {
    setSplitBytes(split);
    VrpScene scene;
    IncludeSet includes;
    bool ok = false;
    const std::string printed =
        captureStdout([&] { ok = parseSceneText(scene, includes, text, {}, DefinitionPath{0}, true); });
    std::vector<VrpPlugin*> none;
    const VrpPlugin* units = scene.unnamedSettings("SettingsUnitsInfo");
    return std::to_string(ok) + printed + sceneDocumentJson(scene, ok, nullptr, none) +
           std::to_string(units != nullptr ? units->getInt("meters_scale", -1) : -2);
  };
  const std::size_t setting = splitBytes();
  for (const std::string& text : texts) {
    const std::string whole = read(text, 0);
    for (const std::size_t split : {std::size_t{1}, std::size_t{64}, text.size() / 3}) {
      EXPECT_EQ(read(text, split), whole) << "split at " << split << "\n" << text.substr(0, 120);
    }
  }
  setSplitBytes(setting);
}

}  // namespace
}  // namespace cvimp
