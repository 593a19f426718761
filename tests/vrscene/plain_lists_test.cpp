// Lists other exporters write: plain hex beside "ZIPC", and lists of values.
// Each form against the same data packed as the platform packs it, read
// after prebuilding and on demand; then what is refused, and how it is told.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/vrscene/vrscene_internals.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

namespace gen = scenegen;
using test::captureStdout;

// Two plugins holding the same list, `a` in a new form and `b` packed, read
// as integers or as vectors; the elements' bytes and count are compared.
struct SameData {
  const char* what;
  std::string newForm;
  std::string packed;
  bool asInts;
};

std::vector<std::uint8_t> bytesOf(const VrpPlugin& plugin, bool asInts) {
  const PackedListView view = asInts ? plugin.viewIntList("a") : plugin.viewVectorList("a");
  const auto* first = view.data ? view.data.get() : nullptr;
  return first == nullptr ? std::vector<std::uint8_t>() : std::vector(first, first + view.count * view.elementSize);
}

class PlainListForms : public testing::TestWithParam<SameData> {};

TEST_P(PlainListForms, GiveTheArraysOfTheirPackedForm) {
  const SameData& c = GetParam();
  const std::string text = "X p { a=" + c.newForm + "; }\nX q { a=" + c.packed + "; }\n";
  for (const bool prebuild : {true, false}) {
    test::ParsedScene s(text);
    ASSERT_TRUE(s.ok);
    const std::string printed = captureStdout([&] {
      std::vector<VrpPlugin*> order;
      if (prebuild) {
        ASSERT_TRUE(prebuildScene(s.scene, order));
      }
      const std::vector<std::uint8_t> expected = bytesOf(s.plugin("q"), c.asInts);
      ASSERT_FALSE(expected.empty());
      EXPECT_EQ(bytesOf(s.plugin("p"), c.asInts), expected) << (prebuild ? "prebuilt" : "on demand");
    });
    EXPECT_EQ(printed, "");
  }
}

const std::vector<gen::Vec3> kPoints = {{0.5f, -1.25f, 3}, {1e-7f, 100000.5f, -0.0f}, {7, 8, 9}};
const std::vector<std::int32_t> kIndices = {0, 1, 2, 2, 1, 16777217};  // not a single: no float may pass it
const std::vector<float> kFloats = {0.25f, -3, 5.5f, 1e30f, 2, 4};

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

INSTANTIATE_TEST_SUITE_P(
    SameAsPacked, PlainListForms,
    testing::Values(
        SameData{"vector hex", gen::listVectorPlainHex(kPoints), gen::listVectorHex(kPoints), false},
        SameData{"lower-case hex in interpolate", gen::interpolated(lowerCase(gen::listVectorPlainHex(kPoints))),
                 gen::listVectorHex(kPoints), false},
        SameData{"int hex", gen::listIntPlainHex(kIndices), gen::listIntHex(kIndices), true},
        SameData{"float hex", "ListFloatHex(\"" + gen::plainHex(kFloats.data(), 24) + "\")",
                 "ListFloatHex(\"" + gen::packFloats(kFloats) + "\")", false},
        SameData{"colour hex", "ListColorHex(\"" + gen::plainHex(kPoints.data(), 36) + "\")",
                 "ListColorHex(\"" + gen::packVectors(kPoints) + "\")", false},
        SameData{"vectors", gen::listVector(kPoints), gen::listVectorHex(kPoints), false},
        SameData{"colours", "ListColor(Color(0.5, -1.25, 3), Color(1e-7, 100000.5, -0.0), Color(7, 8, 9))",
                 gen::listVectorHex(kPoints), false},
        SameData{"index triples", gen::listTriples(kIndices), gen::listIntHex(kIndices), true},
        SameData{"integers", gen::listInt(kIndices), gen::listIntHex(kIndices), true},
        SameData{"indices written as whole floats", "ListInt(0.0, 1, 2.0, 2, 1e0, 16777217.0)",
                 gen::listIntHex(kIndices), true},
        SameData{"floats as vectors", "ListFloat(0.25, -3, 5.5, 1e30, 2, 4)",
                 "ListFloatHex(\"" + gen::packFloats(kFloats) + "\")", false},
        SameData{"integers as vectors", "ListInt(0, 1, 2, 2, 1, 16777217)",
                 gen::listVectorHex({{0, 1, 2}, {2, 1, 16777217.0f}}), false},
        SameData{"interpolated integers", gen::interpolated(gen::listInt(kIndices)), gen::listIntHex(kIndices), true}),
    [](const testing::TestParamInfo<SameData>& info) {
      std::string name = info.param.what;
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

// Map channels hold their lists inside "List" forms; prebuilding reaches them.
TEST(PlainLists, MapChannelListsDecodeWhenPrebuilt) {
  test::ParsedScene s("X p { ch=List(List(1, " + gen::listVector(kPoints) + ", " + gen::listInt({0, 1, 2}) +
                      "), List(2, " + gen::interpolated(gen::listVectorPlainHex(kPoints)) + ", ListIntHex(\"\"))); }");
  std::vector<VrpPlugin*> order;
  ASSERT_TRUE(prebuildScene(s.scene, order));
  const VrpFunction& channels = *s.value("p", "ch").function();
  const VrpFunction& first = *channels.values[0].function();
  EXPECT_EQ(first.values[1].function()->count, 3u);
  EXPECT_EQ(first.values[2].function()->count, 3u);
  const VrpFunction& second = *channels.values[1].function();
  EXPECT_EQ(second.values[1].function()->values[0].function()->values[1].function()->count, 3u);
  // An empty text is an empty list: no data, and nothing said.
  std::size_t count = 9;
  EXPECT_EQ(captureStdout([&] { EXPECT_EQ(second.values[2].getIntList(&s.scene, count), nullptr); }), "");
  EXPECT_EQ(count, 0u);
}

TEST(PlainLists, RefusedListsGiveNoDataAndSayWhereAndWhy) {
  struct Case {
    std::string value;
    bool asInts;
    std::string why;
  };
  const Case cases[] = {
      {"ListIntHex(\"0100000\")", true, "7 hex digits, an odd number"},
      {"ListVectorHex(\"0000803F0000803F\")", false, "16 hex digits, not a whole number of 24-digit elements"},
      {"ListIntHex(\"0100000G\")", true, "'G' at offset 7 is not a hex digit"},
      {"ListIntHex(\"01 00000\")", true, "' ' at offset 2 is not a hex digit"},
      {"ListIntHex(\"zipc0000\")", true, "'z' at offset 0 is not a hex digit"},
      {"ListInt(0, -1)", true, "element 1: -1 is not an index"},
      {"ListInt(5000000000)", true, "element 0: 5000000000 is not an index"},
      {"ListVector(Vector(0, 1.5, 2))", true, "element 0, component 1: 1.5 is not an index"},
      {"ListVector(Vector(0, 1), Vector(1, 2, 3))", false, "element 0 is not a vector of three numbers"},
      {"ListFloat(1, \"x\")", false, "element 1 is not a number"},
  };
  for (const Case& c : cases) {
    test::ParsedScene s("GeomStaticMesh m { faces=" + c.value + "; }");
    ASSERT_TRUE(s.ok) << c.value;
    const std::string message = "[VRP] ERROR: Cannot read list 'faces' of GeomStaticMesh 'm': " + c.why + ".\n";
    const VrpPlugin& m = s.plugin("m");
    std::size_t count = 9;
    const std::string printed = captureStdout([&] {
      const bool none = c.asInts ? m.getIntList("faces", count) == nullptr : m.getVectorList("faces", count) == nullptr;
      EXPECT_TRUE(none) << c.value;
    });
    EXPECT_EQ(count, 0u) << c.value;
    EXPECT_EQ(printed, message);
  }
  // Prebuilding names the attribute too, also inside a map channel; the
  // value keeps no data, and a later reading tries and tells again.
  test::ParsedScene s("GeomStaticMesh m { map_channels=List(List(1, ListVectorHex(\"ABC\"), ListInt(0))); }");
  std::vector<VrpPlugin*> order;
  const std::string message =
      "[VRP] ERROR: Cannot read list 'map_channels' of GeomStaticMesh 'm': 3 hex digits, an odd number.\n";
  EXPECT_EQ(captureStdout([&] { ASSERT_TRUE(prebuildScene(s.scene, order)); }), message);
  const VrpValue& uvw = s.value("m", "map_channels").function()->values[0].function()->values[1];
  EXPECT_FALSE(uvw.function()->data);
  std::size_t count = 0;
  EXPECT_EQ(captureStdout([&] { uvw.getVectorList(&s.scene, count, {&s.plugin("m"), "map_channels"}); }), message);
  EXPECT_EQ(captureStdout([&] { uvw.getVectorList(&s.scene, count); }),
            "[VRP] ERROR: Cannot read list: 3 hex digits, an odd number.\n");
}

}  // namespace
}  // namespace cvimp
