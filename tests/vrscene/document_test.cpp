// The document model: value kinds, "interpolate" resolution, definition
// paths and the merging of repeated plugin definitions.
#include <gtest/gtest.h>

#include <limits>

#include "tests/support/test_support.h"

namespace cvimp {
namespace {

using test::ParsedScene;

TEST(SceneDocument, DefaultValueIsAnEmptySelector) {
  VrpValue value;
  EXPECT_EQ(value.type(), 0u);
  EXPECT_EQ(value.kind(), ValueKind::Plugin);
  EXPECT_EQ(value.selector()->plugin, "");
  EXPECT_EQ(value.selector()->attribute, "");
}

TEST(SceneDocument, KindsByAlternativeAndFunctionName) {
  ParsedScene s(
      "X p { i=1; f=1.5; s=\"t\"; id=missing; sel=a::b; v=Vector(1,2,3); c=Color(1,1,1); ac=AColor(1,1,1,1); "
      "t=Transform(Matrix(Vector(1,0,0),Vector(0,1,0),Vector(0,0,1)),Vector(0,0,0)); l=List(); li=ListInt(1); "
      "lih=ListIntHex(\"\"); lf=ListFloat(1.0); lfh=ListFloatHex(\"\"); ls=ListString(\"a\"); "
      "lv=ListVectorHex(\"\"); lc=ListColorHex(\"\"); th=TransformHex(\"\"); m=Matrix(); ip=interpolate(); u=(1); "
      "lower=vector(1,2,3); }");
  ASSERT_TRUE(s.ok);
  const std::pair<const char*, ValueKind> expected[] = {
      {"i", ValueKind::Int},          {"f", ValueKind::Float},       {"s", ValueKind::String},
      {"id", ValueKind::Plugin},      {"sel", ValueKind::Plugin},    {"v", ValueKind::Vector},
      {"c", ValueKind::Color},        {"ac", ValueKind::AColor},     {"t", ValueKind::Transform},
      {"l", ValueKind::List},         {"li", ValueKind::ListInt},    {"lih", ValueKind::ListInt},
      {"lf", ValueKind::ListFloat},   {"lfh", ValueKind::ListFloat}, {"ls", ValueKind::ListString},
      {"lv", ValueKind::Unknown},     {"lc", ValueKind::Unknown},    {"th", ValueKind::Unknown},
      {"m", ValueKind::Unknown},      {"ip", ValueKind::Unknown},    {"u", ValueKind::Unknown},
      {"lower", ValueKind::Unknown},
  };
  for (const auto& [name, kind] : expected) EXPECT_EQ(s.value("p", name).kind(), kind) << name;
}

TEST(SceneDocument, InterpolateTakesTheNearestKey) {
  ParsedScene s("X p { v=interpolate((0, 1.0), (10, 2.0)); }");
  const VrpValue& v = s.value("p", "v");
  const std::pair<std::int64_t, double> frames[] = {{0, 1.0}, {4, 1.0}, {5, 1.0}, {6, 2.0}, {10, 2.0}, {-50, 1.0},
                                                    {1000, 2.0}};
  for (const auto& [frame, expected] : frames) {
    s.scene.currentFrame = frame;
    const double* resolved = v.resolveFloat(&s.scene);
    ASSERT_NE(resolved, nullptr) << frame;
    EXPECT_EQ(*resolved, expected) << frame;
  }
  // Without a scene nothing is resolved.
  EXPECT_EQ(v.resolveFloat(nullptr), nullptr);
  EXPECT_EQ(v.resolveFunction(nullptr), v.function());
}

TEST(SceneDocument, InterpolateFastPathAndAlternativeMismatch) {
  ParsedScene s("X p { v=interpolate((0, 1), (1, 2.5)); w=interpolate(); k=interpolate(7, (3, \"x\")); }");
  s.scene.currentFrame = 1;
  // The key for frame 1 holds a Float: as an Int there is nothing.
  EXPECT_EQ(s.value("p", "v").resolveInt(&s.scene), nullptr);
  EXPECT_EQ(*s.value("p", "v").resolveFloat(&s.scene), 2.5);
  s.scene.currentFrame = 0;
  EXPECT_EQ(*s.value("p", "v").resolveInt(&s.scene), 1);

  // interpolate() is null for every alternative but the function, itself.
  const VrpValue& w = s.value("p", "w");
  EXPECT_EQ(w.resolveInt(&s.scene), nullptr);
  EXPECT_EQ(w.resolveString(&s.scene), nullptr);
  EXPECT_EQ(w.resolveFunction(&s.scene), w.function());

  // Elements that are not keys are skipped.
  EXPECT_EQ(*s.value("p", "k").resolveString(&s.scene), "x");
}

TEST(SceneDocument, InterpolateWithExtremeFramesDoesNotOverflow) {
  ParsedScene s("X p { v=interpolate((-9223372036854775808, 1.0), (9223372036854775807, 2.0)); }");
  const VrpValue& v = s.value("p", "v");
  s.scene.currentFrame = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(*v.resolveFloat(&s.scene), 2.0);
  s.scene.currentFrame = std::numeric_limits<std::int64_t>::min();
  EXPECT_EQ(*v.resolveFloat(&s.scene), 1.0);
  s.scene.currentFrame = 0;  // both keys are more than the largest distance away
  EXPECT_EQ(v.resolveFloat(&s.scene), nullptr);
}

TEST(SceneDocument, CopiesShareDecodedDataAndCopyEverythingElse) {
  VrpValue original = VrpValue::makeFunction("List", {VrpValue::makeInt(1), VrpValue::makeIdentifier("a")});
  original.function()->data = std::make_shared<std::uint8_t[]>(4);
  original.function()->count = 1;
  VrpValue copy = original;
  EXPECT_EQ(copy.function()->data.get(), original.function()->data.get());
  EXPECT_EQ(copy.function()->count, 1u);
  copy.function()->values[1] = VrpValue::makeInt(2);
  EXPECT_EQ(original.function()->values[1].identifier()->name, "a");
}

TEST(SceneDocument, DefinitionPathOrder) {
  EXPECT_LT(compareCommon(DefinitionPath{0, 1}, DefinitionPath{0, 2}), 0);
  EXPECT_GT(compareCommon(DefinitionPath{0, 3, 0}, DefinitionPath{0, 2, 9}), 0);
  EXPECT_EQ(compareCommon(DefinitionPath{0, 1}, DefinitionPath{0, 1, 5}), 0);
  EXPECT_TRUE(documentOrderLess(DefinitionPath{0, 1}, DefinitionPath{0, 1, 5}));

  // Long paths (deep include chains) spill beyond the inline storage.
  DefinitionPath deep{0};
  for (std::uint64_t i = 1; i < 20; ++i) deep.push_back(i);
  DefinitionPath deeper = deep.appended(7);
  EXPECT_EQ(deeper.size(), 21u);
  EXPECT_EQ(deeper[19], 19u);
  EXPECT_EQ(deeper[20], 7u);
  EXPECT_LT(compareCommon(deep.appended(1), deep.appended(2)), 0);
  DefinitionPath copy = deeper;
  EXPECT_EQ(copy, deeper);
}

TEST(SceneDocument, RepeatedDefinitionsMergeInDocumentOrder) {
  ParsedScene s("Node box { a=1; b=2; }\nMesh box { a=5; c=7; }");
  ASSERT_TRUE(s.ok);
  const VrpPlugin& box = s.plugin("box");
  EXPECT_EQ(box.type, "Node");
  EXPECT_EQ(box.definitionPath, (DefinitionPath{0, 0}));
  EXPECT_EQ(*s.value("box", "a").intValue(), 5);
  EXPECT_EQ(*s.value("box", "b").intValue(), 2);
  EXPECT_EQ(*s.value("box", "c").intValue(), 7);
}

std::unique_ptr<VrpPlugin> block(VrpScene& scene, const char* type, DefinitionPath path,
                                 std::initializer_list<std::pair<const char*, int>> attributes) {
  auto plugin = std::make_unique<VrpPlugin>("p", type, &scene, std::move(path));
  for (const auto& [name, value] : attributes) plugin->addAttribute(name, VrpValue::makeInt(value));
  return plugin;
}

// Three definitions (before an include, inside it, after it) in every
// arrival order: each attribute takes its latest definition's value, the
// type and path are the earliest's.
TEST(SceneDocument, MergeResultDoesNotDependOnArrivalOrder) {
  const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
  for (const auto& order : orders) {
    VrpScene scene;
    std::unique_ptr<VrpPlugin> blocks[3] = {
        block(scene, "First", {0, 1}, {{"a", 1}, {"b", 1}, {"c", 1}}),
        block(scene, "Second", {0, 2, 4}, {{"b", 2}, {"d", 2}}),
        block(scene, "Third", {0, 3}, {{"c", 3}, {"d", 3}}),
    };
    for (int index : order) scene.addPlugin(std::move(blocks[index]));
    const VrpPlugin* p = scene.findPlugin("p");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->type, "First");
    EXPECT_EQ(p->definitionPath, (DefinitionPath{0, 1}));
    EXPECT_EQ(*p->findAttribute("a")->intValue(), 1);
    EXPECT_EQ(*p->findAttribute("b")->intValue(), 2);
    EXPECT_EQ(*p->findAttribute("c")->intValue(), 3);
    EXPECT_EQ(*p->findAttribute("d")->intValue(), 3);
    // The attribute order is document order too, whatever the arrival order.
    std::string names;
    for (const auto& attribute : p->attributes()) names += attribute->name;
    EXPECT_EQ(names, "abcd");
  }
}

TEST(SceneDocument, PluginsInDocumentOrder) {
  ParsedScene s("X c { }\nX a { }\nX b { }");
  std::string names;
  for (const VrpPlugin* plugin : s.scene.pluginsInDocumentOrder()) names += plugin->name;
  EXPECT_EQ(names, "cab");
}

}  // namespace
}  // namespace cvimp
