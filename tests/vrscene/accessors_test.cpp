// Typed reading of attributes, with fallbacks and messages.
#include <gtest/gtest.h>

#include <bit>
#include <limits>

#include "tests/support/test_support.h"
#include "tools/scenegen/scene_writer.h"
#include "tests/vrscene/vrscene_internals.h"

namespace cvimp {
namespace {

using test::captureStdout;
using test::ParsedScene;
namespace gen = scenegen;

// Runs `read`, returning its result and what it printed.
template <typename Read>
auto withOutput(Read&& read) {
  decltype(read()) result{};
  std::string out = captureStdout([&] { result = read(); });
  return std::make_pair(result, out);
}

TEST(AttributeAccess, GetFloat) {
  ParsedScene s("X p { i=3; f=2.5; s=\"x\"; a=interpolate((0, 4.5)); big=1e300; }");
  const VrpPlugin& p = s.plugin("p");
  EXPECT_EQ(withOutput([&] { return p.getFloat("i", 9); }), std::make_pair(3.0f, std::string()));
  EXPECT_EQ(withOutput([&] { return p.getFloat("f", 9); }), std::make_pair(2.5f, std::string()));
  EXPECT_EQ(withOutput([&] { return p.getFloat("s", 9); }),
            std::make_pair(0.0f, std::string("[VRP] ERROR: Cannot get float.\n")));
  EXPECT_EQ(withOutput([&] { return p.getFloat("missing", 9); }), std::make_pair(9.0f, std::string()));
  EXPECT_EQ(p.getFloat("a", 0), 4.5f);
  EXPECT_EQ(p.getFloat("big", 0), std::numeric_limits<float>::infinity());
}

TEST(AttributeAccess, GetInt) {
  ParsedScene s("X p { f=-2.7; big=5000000000; huge=1e12; s=\"x\"; a=interpolate((0, 12)); neg=-2147483648.5; }");
  const VrpPlugin& p = s.plugin("p");
  EXPECT_EQ(p.getInt("f", 9), -2);
  EXPECT_EQ(p.getInt("big", 9), 705032704);  // the low 32 bits
  EXPECT_EQ(p.getInt("huge", 9), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(p.getInt("neg", 9), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(p.getInt("missing", 9), 9);
  EXPECT_EQ(p.getInt("a", 9), 12);
  EXPECT_EQ(withOutput([&] { return p.getInt("s", 9); }),
            std::make_pair(0, std::string("[VRP] ERROR: Cannot get int.\n")));
}

TEST(AttributeAccess, GetFloatByKind) {
  ParsedScene s("X p { i=5000000000; f=0.5; ref=other; sel=o::a; c=Color(1,1,1); ip=interpolate((0, 3)); }");
  const VrpPlugin& p = s.plugin("p");
  std::string out = captureStdout([&] {
    EXPECT_EQ(getFloatByKind(p, "missing"), 1.0f);
    EXPECT_EQ(getFloatByKind(p, "ref"), 1.0f);
    EXPECT_EQ(getFloatByKind(p, "sel"), 1.0f);
    EXPECT_EQ(getFloatByKind(p, "c"), 0.0f);
    EXPECT_EQ(getFloatByKind(p, "ip"), 0.0f);
    EXPECT_EQ(getFloatByKind(p, "f"), 0.5f);
    EXPECT_EQ(getFloatByKind(p, "i"), 705032704.0f);
  });
  EXPECT_EQ(out, "");
}

TEST(AttributeAccess, GetString) {
  ParsedScene s("X p { s=\"path/to/a.jpg\"; id=word; ip=interpolate((0, \"k\")); }");
  const VrpPlugin& p = s.plugin("p");
  EXPECT_EQ(p.getString("s"), "path/to/a.jpg");
  EXPECT_EQ(p.getString("ip"), "k");
  EXPECT_EQ(withOutput([&] { return p.getString("id"); }),
            std::make_pair(std::string(), std::string("[VRP] ERROR: Cannot get string.\n")));
  EXPECT_EQ(withOutput([&] { return p.getString("missing"); }).second, "[VRP] ERROR: Cannot get string.\n");
}

TEST(AttributeAccess, StringStopsAtAZeroByte) {
  std::string text = "X p { z=\"a";
  text.push_back('\0');
  text += "b\"; }";
  ParsedScene s(text);
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.value("p", "z").stringValue()->size(), 3u);
  EXPECT_EQ(s.plugin("p").getString("z"), "a");
}

TEST(AttributeAccess, GetPlugin) {
  ParsedScene s("X mtl { }\nX p { a=mtl::out; b=mtl; c=1.5; d=absent; e=interpolate((0, mtl)); f=interpolate(); }");
  const VrpScene* scene = &s.scene;
  EXPECT_EQ(s.value("p", "a").getPlugin(scene), s.scene.findPlugin("mtl"));
  EXPECT_EQ(s.value("p", "b").getPlugin(scene), s.scene.findPlugin("mtl"));
  EXPECT_EQ(withOutput([&] { return s.value("p", "d").getPlugin(scene); }).second, "");
  EXPECT_EQ(withOutput([&] { return s.value("p", "c").getPlugin(scene); }).second,
            "[VRP] ERROR: Cannot get plugin by index: 4\n");
  EXPECT_EQ(withOutput([&] { return s.value("p", "e").getPlugin(scene); }).second,
            "[VRP] ERROR: Cannot get plugin by index: 1\n");
  EXPECT_EQ(withOutput([&] { return s.value("p", "b").getPlugin(nullptr); }).second,
            "[VRP] ERROR: Invalid scene pointer\n");
}

TEST(AttributeAccess, VectorsAndColors) {
  ParsedScene s("X p { v2=Vector(1, 2); c4=Color(1, 2, 3, 4); l=List(1, 2.5, 3); s=Vector(1, \"x\", 3); "
                "a=AColor(0.1, 0.2, 0.3, 0.4); n=7; }");
  const VrpScene* scene = &s.scene;
  auto [v, out] = withOutput([&] { return s.value("p", "v2").getVector(scene); });
  EXPECT_EQ(out, "[VRP] ERROR: Cannot get vector.\n");
  EXPECT_EQ(v.x, 0.0f);
  const VrpColor c = s.value("p", "c4").getColor(scene);
  EXPECT_EQ(c.r, 1.0f);
  EXPECT_EQ(c.b, 3.0f);
  EXPECT_EQ(s.value("p", "l").getVector(scene).y, 2.5f);
  auto [mixed, mixedOut] = withOutput([&] { return s.value("p", "s").getVector(scene); });
  EXPECT_EQ(mixedOut, "[VRP] ERROR: Cannot get float.\n");
  EXPECT_EQ(mixed.z, 3.0f);
  EXPECT_EQ(s.value("p", "a").getAColor(scene).a, 0.4f);
  EXPECT_EQ(withOutput([&] { return s.value("p", "c4").getAColor(scene).a; }).first, 4.0f);
  EXPECT_EQ(withOutput([&] { return s.value("p", "v2").getAColor(scene).a; }).second,
            "[VRP] ERROR: Cannot get acolor.\n");
  EXPECT_EQ(withOutput([&] { return s.value("p", "n").getColor(scene).r; }).second,
            "[VRP] ERROR: Cannot get color.\n");
}

TEST(AttributeAccess, Transforms) {
  const std::string hex = gen::transformHexText({{{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}}, {5, 6, 7});
  ParsedScene s(
      "X p { t=Transform(Matrix(Vector(1,0,0), Vector(0,1,0), Vector(0,0,1)), Vector(10,20,30)); "
      "z=Transform(0, Vector(10,20,30)); "
      "n=Transform(Vector(1,2,3), Vector(10,20,30)); "
      "one=Transform(Matrix()); "
      "h=TransformHex(\"" + hex + "\"); hn=TransformHex(); hs=TransformHex(5); "
      "o=Other(1, 2); i=3; }");
  const VrpScene* scene = &s.scene;

  const VrpTransform t = s.value("p", "t").getTransform(scene);
  EXPECT_EQ(t.matrix[1].y, 1.0f);
  EXPECT_EQ(t.offset.z, 30.0f);

  auto [z, zOut] = withOutput([&] { return s.value("p", "z").getTransform(scene); });
  EXPECT_EQ(zOut, "[VRP] ERROR: Cannot get matrix.\n");
  EXPECT_EQ(z.matrix[0].x, 1.0f);
  EXPECT_EQ(z.offset.y, 20.0f);

  // The matrix's vectors are plain numbers here: three vector errors, a zero matrix.
  auto [n, nOut] = withOutput([&] { return s.value("p", "n").getTransform(scene); });
  EXPECT_EQ(nOut, "[VRP] ERROR: Cannot get vector.\n[VRP] ERROR: Cannot get vector.\n"
                  "[VRP] ERROR: Cannot get vector.\n");
  EXPECT_EQ(n.matrix[0].x, 0.0f);
  EXPECT_EQ(n.offset.x, 10.0f);

  const VrpTransform h = s.value("p", "h").getTransform(scene);
  EXPECT_EQ(h.matrix[0].y, 1.0f);
  EXPECT_EQ(h.offset.z, 7.0f);

  const std::pair<const char*, const char*> failures[] = {
      {"one", "[VRP] ERROR: Invalid transform arguments.\n"},
      {"hn", "[VRP] ERROR: Invalid transform arguments.\n"},
      {"hs", "[VRP] ERROR: Cannot get string.\n"},
      {"o", "[VRP] ERROR: Unknown transform function.\n"},
      {"i", "[VRP] ERROR: Cannot get transform.\n"},
  };
  for (const auto& [key, message] : failures) {
    const char* name = key;
    auto [identity, out] = withOutput([&] { return s.value("p", name).getTransform(scene); });
    EXPECT_EQ(out, message) << name;
    EXPECT_EQ(identity.matrix[2].z, 1.0f) << name;
    EXPECT_EQ(identity.offset.x, 0.0f) << name;
  }
}

TEST(AttributeAccess, ValueLists) {
  ParsedScene s("X p { l=List(1, 2); n=7; }");
  EXPECT_EQ(s.value("p", "l").getValueList(&s.scene).size(), 2u);
  auto [size, out] = withOutput([&] { return s.value("p", "n").getValueList(&s.scene).size(); });
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(out, "[VRP] ERROR: Cannot get value list.\n");
}

TEST(AttributeAccess, ListsAreFreshCopies) {
  const std::string packed = gen::packInts({7, 8, 9});
  ParsedScene s("X p { a=ListIntHex(\"" + packed + "\"); v=ListVectorHex(\"" +
                gen::packVectors({{1, 2, 3}, {4, 5, 6}}) + "\"); }");
  std::vector<VrpPlugin*> order;
  ASSERT_TRUE(prebuildScene(s.scene, order));
  const VrpPlugin& p = s.plugin("p");

  std::size_t count = 0;
  auto first = p.getIntList("a", count);
  ASSERT_EQ(count, 3u);
  EXPECT_EQ(first[2], 9);
  first[2] = -1;
  first.reset();
  auto second = p.getIntList("a", count);
  EXPECT_EQ(second[2], 9);  // the scene's data is untouched
  EXPECT_NE(static_cast<const void*>(second.get()), static_cast<const void*>(s.value("p", "a").function()->data.get()));

  auto vectors = p.getVectorList("v", count);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(vectors[1].z, 6.0f);
}

TEST(AttributeAccess, DecodedListsReadAsAnotherElementSizeStayInBounds) {
  ParsedScene s("X p { i=ListIntHex(\"" + gen::packInts({1, 2, 3, 4, 5, 6, 7}) + "\"); v=ListVectorHex(\"" +
                gen::packVectors({{1, 2, 3}, {4, 5, 6}}) + "\"); }");
  std::vector<VrpPlugin*> order;
  ASSERT_TRUE(prebuildScene(s.scene, order));
  std::size_t count = 0;
  // Seven integers (28 bytes) hold two whole vectors.
  auto vectors = s.plugin("p").getVectorList("i", count);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(std::bit_cast<std::int32_t>(vectors[1].x), 4);
  // Two vectors read as integers give their first two 4-byte words.
  auto words = s.plugin("p").getIntList("v", count);
  ASSERT_EQ(count, 2u);
  EXPECT_EQ(words[0], 0x3F800000);  // 1.0f
}

TEST(AttributeAccess, ViewsShareTheDecodedDataAndOutliveItsRelease) {
  ParsedScene s("X p { i=ListIntHex(\"" + gen::packInts({4, 5, 6}) + "\"); l=List(ListVectorHex(\"" +
                gen::packVectors({{1, 2, 3}}) + "\")); }");
  std::vector<VrpPlugin*> order;
  ASSERT_TRUE(prebuildScene(s.scene, order));
  VrpPlugin& p = *s.scene.findPlugin("p");
  const PackedListView view = p.viewIntList("i");
  ASSERT_EQ(view.count, 3u);
  EXPECT_EQ(view.data.get(), s.value("p", "i").function()->data.get());  // no copy
  EXPECT_EQ(view.element(2)[0], 6);

  p.releaseDecodedLists();
  EXPECT_EQ(s.value("p", "i").function()->data, nullptr);
  EXPECT_EQ(s.value("p", "l").function()->values[0].function()->data, nullptr);
  EXPECT_EQ(view.element(2)[0], 6);  // the view keeps its data
  // Read again, the list decodes on demand from its text, as before prebuild.
  std::size_t count = 0;
  EXPECT_EQ(p.getIntList("i", count)[1], 5);
  // A missing list gives the same message as the copying accessor.
  EXPECT_EQ(test::captureStdout([&] { EXPECT_EQ(p.viewVectorList("none").count, 0u); }),
            "[VRP] WARNING: Cannot get list.\n");
}

TEST(AttributeAccess, ListsDecodeOnDemandWithoutStoring) {
  const std::string packed = gen::packInts({1, 2});
  ParsedScene s("X p { a=ListIntHex(\"" + packed + "\"); plain=ListInt(1, 2); n=5; e=ListIntHex(); "
                "bad=ListIntHex(\"ZIPCjunk\"); }");
  const VrpPlugin& p = s.plugin("p");
  std::size_t count = 99;
  auto list = p.getIntList("a", count);
  EXPECT_EQ(count, 2u);
  EXPECT_FALSE(s.value("p", "a").function()->data);

  // A plain list gives its numbers (nothing stored either).
  EXPECT_EQ(p.getIntList("plain", count)[1], 2);
  EXPECT_FALSE(s.value("p", "plain").function()->data);

  const std::pair<const char*, const char*> failures[] = {
      {"n", "[VRP] WARNING: Cannot get list.\n"},
      {"e", "[VRP] WARNING: Cannot get list.\n"},
      {"missing", "[VRP] WARNING: Cannot get list.\n"},
      {"bad", ""},
  };
  for (const auto& [key, message] : failures) {
    const char* name = key;
    count = 99;
    auto [none, out] = withOutput([&] { return p.getIntList(name, count) == nullptr; });
    EXPECT_TRUE(none) << name;
    EXPECT_EQ(count, 0u) << name;
    EXPECT_EQ(out, message) << name;
  }
}

}  // namespace
}  // namespace cvimp
