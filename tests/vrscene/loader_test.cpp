// Loading files with includes, and the prebuild step.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <filesystem>

#include "tests/support/test_support.h"
#include "tests/vrscene/vrscene_internals.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

using test::captureStdout;
using test::TempDir;

std::vector<std::string> names(const std::vector<VrpPlugin*>& plugins) {
  std::vector<std::string> out;
  for (const VrpPlugin* plugin : plugins) out.push_back(plugin->name);
  return out;
}

struct Loaded {
  VrpScene scene;
  bool ok = false;
  std::string out;
};

std::unique_ptr<Loaded> load(const std::string& path, const SearchDirectories& directories = {}, bool quiet = false) {
  auto loaded = std::make_unique<Loaded>();
  loaded->out = captureStdout([&] { loaded->ok = loadScene(path, loaded->scene, directories, quiet); });
  return loaded;
}

TEST(SceneLoading, IncludedFileIsReadOncePerLoad) {
  TempDir dir;
  const std::string main = dir.write("main.vrscene", "#include \"a.vrscene\"\nX m { }\n#include \"a.vrscene\"\n");
  dir.write("a.vrscene", "X a { v=1; }\n#include \"main.vrscene\"\n");
  auto loaded = load(main, {dir.str()});
  EXPECT_TRUE(loaded->ok);
  // main.vrscene is read again as an include of a.vrscene (its own name is
  // never claimed); its includes of a.vrscene are then skipped.
  EXPECT_EQ(loaded->out, "Including a.vrscene\nIncluding main.vrscene\n");
  EXPECT_EQ(loaded->scene.keptTextCount(), 3u);
  EXPECT_EQ(loaded->scene.pluginCount(), 2u);
  // The copy of m read through a.vrscene stands inside the first include
  // statement, before m's own block: in document order it is the earlier one.
  EXPECT_EQ(loaded->scene.findPlugin("m")->definitionPath, (DefinitionPath{0, 0, 1, 1}));
}

TEST(SceneLoading, QuietLoadPrintsNoIncludingLines) {
  TempDir dir;
  const std::string main = dir.write("main.vrscene", "#include \"a.vrscene\"\n");
  dir.write("a.vrscene", "X a { }\n");
  auto loaded = load(main, {dir.str()}, true);
  EXPECT_TRUE(loaded->ok);
  EXPECT_EQ(loaded->out, "");
  EXPECT_NE(loaded->scene.findPlugin("a"), nullptr);
}

TEST(SceneLoading, MissingOrBrokenIncludesAreReportedButDoNotFailTheLoad) {
  TempDir dir;
  const std::string main = dir.write("main.vrscene", "X m { }\n#include \"missing.vrscene\"\n");
  auto loaded = load(main, {dir.str()}, true);
  EXPECT_TRUE(loaded->ok);
  EXPECT_EQ(loaded->out, "[VRP] ERROR: Cannot include missing.vrscene\n");

  // A broken include keeps what it read before the failure and does not
  // process its own includes.
  const std::string other = dir.write("other.vrscene", "#include \"broken.vrscene\"\n");
  dir.write("broken.vrscene", "X early { }\n#include \"deep.vrscene\"\nX bad { x=; }\n");
  dir.write("deep.vrscene", "X deep { }\n");
  auto broken = load(other, {dir.str()}, true);
  EXPECT_TRUE(broken->ok);
  // The failing statement is named in the included file.
  EXPECT_EQ(broken->out, "[VRP] ERROR: " + dir.str() +
                             "/broken.vrscene:3:11: expected a value for attribute 'x' in X 'bad'\n"
                             "[VRP] ERROR: Cannot parse include broken.vrscene\n");
  EXPECT_NE(broken->scene.findPlugin("early"), nullptr);
  EXPECT_EQ(broken->scene.findPlugin("deep"), nullptr);
}

// A file that gives fewer bytes than its size says (a kernel attribute file
// does) is not read as its text followed by zeros.
TEST(SceneLoading, AShortReadFailsLikeAMissingFile) {
  const std::string shortFile = "/sys/kernel/mm/transparent_hugepage/enabled";
  if (!std::filesystem::is_regular_file(shortFile)) GTEST_SKIP() << "no " << shortFile << " here";
  TempDir dir;
  const std::string main = dir.write("main.vrscene", "X m { }\n#include \"" + shortFile + "\"\n");
  auto loaded = load(main, {dir.str()}, true);
  EXPECT_TRUE(loaded->ok);
  EXPECT_EQ(loaded->out, "[VRP] ERROR: Cannot include " + shortFile + "\n");
  EXPECT_FALSE(load(shortFile)->ok);
}

TEST(SceneLoading, MainFileFailures) {
  TempDir dir;
  dir.write("sub/file.txt", "");
  EXPECT_FALSE(load(dir.str() + "/absent.vrscene")->ok);
  EXPECT_FALSE(load(dir.str() + "/sub")->ok);  // a directory is not a scene file
  const std::string badPath = dir.write("bad.vrscene", "X a { }\nX b { y }\n");
  auto bad = load(badPath);
  EXPECT_FALSE(bad->ok);
  EXPECT_EQ(bad->out, "[VRP] ERROR: " + badPath + ":2:9: expected '=' after attribute 'y' in X 'b'\n");
  EXPECT_NE(bad->scene.findPlugin("a"), nullptr);
  auto empty = load(dir.write("empty.vrscene", ""));
  EXPECT_TRUE(empty->ok);
  EXPECT_EQ(empty->scene.pluginCount(), 0u);
}

TEST(SceneLoading, ByteOrderMarksAreSkippedInEveryFile) {
  TempDir dir;
  const std::string bom = "\xEF\xBB\xBF";
  const std::string main = dir.write("main.vrscene", bom + "Node m { }\n#include \"a.vrscene\"\n");
  dir.write("a.vrscene", bom + "Node a { }\n");
  auto loaded = load(main, {dir.str()}, true);
  ASSERT_TRUE(loaded->ok);
  EXPECT_EQ(loaded->scene.findPlugin("m")->type, "Node");
  EXPECT_EQ(loaded->scene.findPlugin("a")->type, "Node");
}

TEST(SceneLoading, FilesAreFoundThroughTheSearchDirectories) {
  TempDir dir;
  dir.write("pkg/vr.vrscene", "#include \"parts/a.vrscene\"\n");
  dir.write("pkg/parts/a.vrscene", "X a { }\n");
  auto loaded = load("vr.vrscene", {dir.str() + "/nowhere", dir.str() + "/pkg/"}, true);
  EXPECT_TRUE(loaded->ok);
  EXPECT_NE(loaded->scene.findPlugin("a"), nullptr);
}

// Includes named by the exporting machine's paths: near the including file,
// then near the files that include it, then in the search directories.
TEST(SceneLoading, IncludesFromAnotherMachineAreFoundByTheirTails) {
  TempDir dir;
  const std::string main = dir.write("job/main.vrscene", "#include \"C:\\Develop\\job\\parts\\a.vrscene\"\nX m { }\n");
  dir.write("job/parts/a.vrscene", "X a { }\n#include \"\\\\srv\\share\\b.vrscene\"\n#include \"/home/u/c.vrscene\"\n");
  dir.write("job/b.vrscene", "X b { }\n");
  dir.write("lib/c.vrscene", "X c { }\n");
  auto loaded = load(main, {dir.str() + "/lib"}, true);
  EXPECT_TRUE(loaded->ok);
  EXPECT_EQ(loaded->out, "");
  for (const char* name : {"m", "a", "b", "c"}) EXPECT_NE(loaded->scene.findPlugin(name), nullptr) << name;
  // Each file's folder is known by where its plugins stand in the document.
  const std::string job = main.substr(0, main.find_last_of("/\\"));
  EXPECT_EQ(loaded->scene.foldersAround(loaded->scene.findPlugin("b")->definitionPath),
            (std::vector<std::string>{job, job + "/parts", job}));
  EXPECT_EQ(loaded->scene.foldersAround(loaded->scene.findPlugin("m")->definitionPath),
            (std::vector<std::string>{job}));

  auto missing = load(dir.write("job/other.vrscene", "#include \"C:\\nowhere\\d.vrscene\"\n"), {}, true);
  EXPECT_EQ(missing->out, "[VRP] ERROR: Cannot include C:\\nowhere\\d.vrscene\n");
}

// Unnamed Settings blocks stay out of the document, with the warning as for
// any unnamed block, and are kept by type, merged in document order.
TEST(SceneLoading, UnnamedSettingsAreKeptAsideByType) {
  TempDir dir;
  const std::string main =
      dir.write("main.vrscene",
                "SettingsUnitsInfo { meters_scale=1; frames_scale=24; }\n#include \"a.vrscene\"\nSettingsUnitsInfo { "
                "meters_scale=0.0254; }\nNode { a=1; }\n");
  dir.write("a.vrscene", "SettingsUnitsInfo { meters_scale=0.01; scene_upDir=Vector(0, 0, 1); }\n");
  auto loaded = load(main, {dir.str()}, true);
  EXPECT_TRUE(loaded->ok);
  EXPECT_EQ(loaded->scene.pluginCount(), 0u);
  EXPECT_EQ(loaded->out,
            "[VRP] WARNING: Plugin SettingsUnitsInfo has no name\n[VRP] WARNING: Plugin SettingsUnitsInfo has no "
            "name\n[VRP] WARNING: Plugin Node has no name\n[VRP] WARNING: Plugin SettingsUnitsInfo has no name\n");
  const VrpPlugin* units = loaded->scene.unnamedSettings("SettingsUnitsInfo");
  ASSERT_NE(units, nullptr);
  EXPECT_EQ(units->getFloat("meters_scale", 0), 0.0254f);
  EXPECT_EQ(units->getInt("frames_scale", 0), 24);
  EXPECT_NE(units->findAttribute("scene_upDir"), nullptr);
  EXPECT_EQ(loaded->scene.unnamedSettings("Node"), nullptr);
  EXPECT_EQ(loaded->scene.unnamedSettings("SettingsOutput"), nullptr);
}

TEST(SceneLoading, LaterDefinitionInTheMainFileWinsOverTheInclude) {
  TempDir dir;
  const std::string main = dir.write("main.vrscene", "X p { a=1; b=1; }\n#include \"inc.vrscene\"\nX p { b=3; }\n");
  dir.write("inc.vrscene", "Y p { a=2; b=2; c=2; }\n");
  auto loaded = load(main, {dir.str()}, true);
  const VrpPlugin* p = loaded->scene.findPlugin("p");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->type, "X");
  EXPECT_EQ(*p->findAttribute("a")->intValue(), 2);
  EXPECT_EQ(*p->findAttribute("b")->intValue(), 3);
  EXPECT_EQ(*p->findAttribute("c")->intValue(), 2);
}

TEST(SceneLoading, IncludeNestingIsBounded) {
  TempDir dir;
  const int files = static_cast<int>(kMaxIncludeDepth) + 5;
  for (int i = 0; i < files; ++i) {
    dir.write("f" + std::to_string(i) + ".vrscene",
              "X p" + std::to_string(i) + " { }\n#include \"f" + std::to_string(i + 1) + ".vrscene\"\n");
  }
  auto loaded = load(dir.str() + "/f0.vrscene", {dir.str()}, true);
  EXPECT_TRUE(loaded->ok);
  const std::string deepest = "f" + std::to_string(kMaxIncludeDepth) + ".vrscene";
  EXPECT_EQ(loaded->out, "[VRP] ERROR: Cannot include " + deepest + "\n");
  EXPECT_EQ(loaded->scene.pluginCount(), kMaxIncludeDepth);
}

// Numbers read with "." while the process runs in a locale with a decimal
// comma, and the locale is left as it was.
TEST(SceneLoading, NumbersIgnoreTheProcessLocale) {
  TempDir dir;
  const std::string main = dir.write("main.vrscene", "X p { f=2.5; g=1e-3; }\n#include \"a.vrscene\"\n");
  dir.write("a.vrscene", "X q { f=0.25; }\n");
  const std::string saved = std::setlocale(LC_ALL, nullptr);
  // German, by its POSIX name or one of Windows' names.
  const char* german = nullptr;
  for (const char* name : {"de_DE.UTF-8", "German_Germany.1252", "de-DE", "deu"}) {
    if ((german = std::setlocale(LC_ALL, name)) != nullptr) break;
  }
  ASSERT_NE(german, nullptr) << "the de_DE.UTF-8 locale is missing (scripts/install-deps)";
  const std::string commaLocale = german;
  ASSERT_EQ(std::strtod("2,5", nullptr), 2.5);  // the comma locale is really in effect
  auto loaded = load(main, {dir.str()}, true);
  const std::string after = std::setlocale(LC_ALL, nullptr);
  std::setlocale(LC_ALL, saved.c_str());

  EXPECT_EQ(after, commaLocale);
  ASSERT_TRUE(loaded->ok);
  EXPECT_EQ(*loaded->scene.findPlugin("p")->findAttribute("f")->floatValue(), 2.5);
  EXPECT_EQ(*loaded->scene.findPlugin("p")->findAttribute("g")->floatValue(), 1e-3);
  EXPECT_EQ(*loaded->scene.findPlugin("q")->findAttribute("f")->floatValue(), 0.25);
}

// ---- prebuild ----

struct Prebuilt {
  test::ParsedScene parsed;
  std::vector<VrpPlugin*> order;
  bool ok = false;
  std::string out;
  explicit Prebuilt(std::string text) : parsed(std::move(text)) {
    out = captureStdout([&] { ok = prebuildScene(parsed.scene, order); });
  }
};

TEST(ScenePrebuild, DependenciesComeFirst) {
  Prebuilt p("X P { material=M; }\nX M { brdf=B; }\nX B { }");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(names(p.order), (std::vector<std::string>{"B", "M", "P"}));
}

TEST(ScenePrebuild, ReferencesThroughListsSelectorsAndTheFirstInterpolateKey) {
  Prebuilt p(
      "X P { l=List(A, B::out); t=Vector(C); k=interpolate((0, D), (1, E)); }\n"
      "X A { }\nX B { }\nX C { }\nX D { }\nX E { }");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(names(p.order), (std::vector<std::string>{"A", "B", "D", "P", "C", "E"}));
}

TEST(ScenePrebuild, MissingPluginsAreWarnedAndIgnored) {
  Prebuilt p("X P { a=nothing; b=gone::out; }");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.out,
            "[WARNING] Cannot find parser plugin: nothing\n"
            "[WARNING] Cannot find parser plugin: gone : out\n");
  EXPECT_EQ(names(p.order), std::vector<std::string>{"P"});
}

TEST(ScenePrebuild, CyclesListEachPluginOnce) {
  Prebuilt p("X A { other=B; }\nX B { other=A; }\nX C { self=C; }");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(names(p.order), (std::vector<std::string>{"B", "A", "C"}));
}

TEST(ScenePrebuild, MalformedInterpolateFailsOnlyAtTheTopLevel) {
  Prebuilt top("X A { v=interpolate(5); }\nX B { }");
  EXPECT_FALSE(top.ok);
  EXPECT_EQ(top.out, "");

  // Reached through a reference, the bad plugin is marked visited but never
  // listed, and the prebuild succeeds.
  Prebuilt nested("X A { ref=Bad; }\nX Bad { v=interpolate((0, 1, 2)); }");
  EXPECT_TRUE(nested.ok);
  EXPECT_EQ(names(nested.order), std::vector<std::string>{"A"});

  // Keys with more than two values are accepted by resolution but not here.
  Prebuilt wide("X A { v=interpolate((0, 1, 2)); }");
  EXPECT_FALSE(wide.ok);
  // A bad element in a key's payload does not fail the plugin.
  Prebuilt payload("X A { v=interpolate((0, List(interpolate(1)))); }");
  EXPECT_TRUE(payload.ok);
}

TEST(ScenePrebuild, PackedListsAreDecoded) {
  namespace gen = scenegen;
  std::string text;
  for (int i = 0; i < 40; ++i) {
    text += "GeomStaticMesh m" + std::to_string(i) + " { faces=ListIntHex(\"" +
            gen::packInts(std::vector<std::int32_t>(3 * (i + 1), i)) + "\"); channels=List(List(1, ListVectorHex(\"" +
            gen::packVectors({{0, 0, 0}, {1, 1, 1}}) + "\"))); }\n";
  }
  Prebuilt p(text);
  ASSERT_TRUE(p.ok);
  for (int i = 0; i < 40; ++i) {
    const VrpPlugin& mesh = p.parsed.plugin("m" + std::to_string(i));
    const VrpFunction* faces = mesh.findAttribute("faces")->function();
    ASSERT_TRUE(faces->data);
    EXPECT_EQ(faces->count, 3u * (i + 1));
    std::int32_t last;
    std::memcpy(&last, faces->data.get() + 4 * (faces->count - 1), 4);
    EXPECT_EQ(last, i);
    const VrpFunction* channel = mesh.findAttribute("channels")->function()->values[0].function();
    EXPECT_EQ(channel->values[1].function()->count, 2u);
  }
}

TEST(ScenePrebuild, LongReferenceChainsDoNotExhaustTheStack) {
  constexpr int kChain = 100000;
  std::string text;
  for (int i = 0; i < kChain; ++i) text += "X p" + std::to_string(i) + " { next=p" + std::to_string(i + 1) + "; }\n";
  text += "X p" + std::to_string(kChain) + " { }\n";
  Prebuilt p(text);
  ASSERT_TRUE(p.ok);
  ASSERT_EQ(p.order.size(), static_cast<std::size_t>(kChain + 1));
  EXPECT_EQ(p.order.front()->name, "p" + std::to_string(kChain));
  EXPECT_EQ(p.order.back()->name, "p0");
}

// Lists decode while the text is read; what prebuilding then finds, prints
// and leaves is what it would decode itself: good lists decoded, bad ones not
// (with the message only prebuilding prints), and nothing decoded kept
// behind a failed prebuild or in a definition merged away.
TEST(SceneLoading, ListsDecodedWhileReadingLeaveWhatPrebuildingWould) {
  namespace gen = scenegen;
  const std::string good = gen::packInts({1, 2, 3});
  std::string damaged = gen::packInts({4, 5, 6});
  damaged[damaged.size() - 3] = damaged[damaged.size() - 3] == 'A' ? 'B' : 'A';
  TempDir dir;
  const std::string main =
      dir.write("main.vrscene", "X p { a=ListIntHex(\"" + good + "\"); b=ListIntHex(\"" + damaged +
                                    "\"); c=ListIntHex(\"NOPE\"); h=ListIntHex(\"0200000003000000\"); "
                                    "v=ListVector(Vector(1, 2, 3)); n=ListInt(4, -5); }\nX q { a=ListIntHex(\"" +
                                    good + "\"); }\nX q { a=ListIntHex(\"" + gen::packInts({7}) + "\"); }\n");
  auto loaded = load(main, {dir.str()});
  ASSERT_TRUE(loaded->ok);
  EXPECT_EQ(loaded->out, "");
  for (const char* early : {"a", "h", "v"}) {
    EXPECT_NE(loaded->scene.findPlugin("p")->findAttribute(early)->function()->early, nullptr) << early;
  }
  std::vector<VrpPlugin*> order;
  bool prebuilt = false;
  EXPECT_EQ(captureStdout([&] { prebuilt = prebuildScene(loaded->scene, order); }),
            "[VRP] ERROR: Cannot read list 'c' of X 'p': 4 hex digits, not a whole number of 8-digit elements.\n"
            "[VRP] ERROR: Cannot read list 'n' of X 'p': element 1: -5 is not an index.\n");
  ASSERT_TRUE(prebuilt);
  const VrpPlugin& p = *loaded->scene.findPlugin("p");
  EXPECT_EQ(p.findAttribute("a")->function()->count, 3u);
  EXPECT_EQ(p.findAttribute("b")->function()->data, nullptr);
  EXPECT_EQ(p.findAttribute("h")->function()->count, 2u);
  EXPECT_EQ(p.findAttribute("v")->function()->count, 1u);
  EXPECT_EQ(p.findAttribute("n")->function()->data, nullptr);
  const VrpFunction& q = *loaded->scene.findPlugin("q")->findAttribute("a")->function();
  ASSERT_EQ(q.count, 1u);
  for (const VrpPlugin* plugin : {&p, static_cast<const VrpPlugin*>(loaded->scene.findPlugin("q"))}) {
    for (const auto& attribute : plugin->attributes()) EXPECT_EQ(attribute->value.function()->early, nullptr);
  }

  auto failing = load(dir.write("failing.vrscene", "X r { a=ListIntHex(\"" + good + "\"); t=interpolate(5); }\n"));
  std::vector<VrpPlugin*> none;
  EXPECT_FALSE(prebuildScene(failing->scene, none));
  const VrpFunction& r = *failing->scene.findPlugin("r")->findAttribute("a")->function();
  EXPECT_EQ(r.data, nullptr);
  EXPECT_EQ(r.early, nullptr);
}

}  // namespace
}  // namespace cvimp
