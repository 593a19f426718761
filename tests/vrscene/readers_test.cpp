// The scene text grammar: plugin blocks, values, comments and includes.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "cli/scene_json.h"
#include "tests/support/test_support.h"
#include "tests/vrscene/vrscene_internals.h"

namespace cvimp {
namespace {

using test::captureStdout;
using test::ParsedScene;

TEST(SceneSyntax, PluginBlockWithNumbersAndStrings) {
  ParsedScene s("Node box { a=1; b = 2.5 ; c='x y'; }");
  ASSERT_TRUE(s.ok);
  const VrpPlugin& box = s.plugin("box");
  EXPECT_EQ(box.type, "Node");
  EXPECT_EQ(*s.value("box", "a").intValue(), 1);
  EXPECT_EQ(*s.value("box", "b").floatValue(), 2.5);
  EXPECT_EQ(*s.value("box", "c").stringValue(), "x y");
  EXPECT_EQ(box.definitionPath, (DefinitionPath{0, 0}));
}

TEST(SceneSyntax, WordsBetweenNameAndBraceAreIgnored) {
  ParsedScene s("Node box junk here { a=1; }");
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(*s.value("box", "a").intValue(), 1);
}

TEST(SceneSyntax, BlockWithoutNameWarnsAndIsNotStored) {
  std::string out;
  VrpScene scene;
  bool ok = false;
  out = captureStdout([&] { ok = test::parseText(scene, "Node { a=1; }\nNode kept { }"); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(out, "[VRP] WARNING: Plugin Node has no name\n");
  EXPECT_EQ(scene.pluginCount(), 1u);
  EXPECT_NE(scene.findPlugin("kept"), nullptr);
}

TEST(SceneSyntax, FirstOccurrenceOfAnAttributeWinsWithinABlock) {
  ParsedScene s("Node box { a=1; a=2; }");
  EXPECT_EQ(*s.value("box", "a").intValue(), 1);
  EXPECT_EQ(s.plugin("box").attributeCount(), 1u);
}

TEST(SceneSyntax, FunctionForms) {
  ParsedScene s("Node box { x=Vector(1, 2 ,3); l=List(); y=(1,2); n=Vector ( 1 , 2.5 , \"s\" ); }");
  ASSERT_TRUE(s.ok);
  const VrpFunction* x = s.value("box", "x").function();
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->name, "Vector");
  ASSERT_EQ(x->values.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(*x->values[i].intValue(), i + 1);
  EXPECT_EQ(x->count, 0u);
  EXPECT_FALSE(x->data);

  const VrpFunction* l = s.value("box", "l").function();
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->name, "List");
  EXPECT_TRUE(l->values.empty());

  const VrpFunction* y = s.value("box", "y").function();
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->name, "");
  EXPECT_EQ(y->values.size(), 2u);

  const VrpFunction* n = s.value("box", "n").function();
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(*n->values[2].stringValue(), "s");
}

TEST(SceneSyntax, MalformedFunctionFormsFailTheFile) {
  for (const char* text : {"Node box { x=Vector(1,2,); }", "Node box { x=Vector(1 2); }",
                           "Node box { x=Vector(1,2; }", "Node box { x=Vector(,); }"}) {
    VrpScene scene;
    EXPECT_FALSE(test::parseText(scene, text)) << text;
  }
}

TEST(SceneSyntax, AttributeSelectorsAndIdentifiers) {
  ParsedScene s("Node box { x=mtl::out; y=mtl:: out; z=brdf_1; }");
  ASSERT_TRUE(s.ok);
  const VrpAttributeSelector* x = s.value("box", "x").selector();
  ASSERT_NE(x, nullptr);
  EXPECT_EQ(x->plugin, "mtl");
  EXPECT_EQ(x->attribute, "out");
  EXPECT_EQ(s.value("box", "y").selector()->attribute, "out");
  ASSERT_NE(s.value("box", "z").identifier(), nullptr);
  EXPECT_EQ(s.value("box", "z").identifier()->name, "brdf_1");

  VrpScene spaced;
  EXPECT_FALSE(test::parseText(spaced, "Node box { x=mtl :: out; }"));
}

TEST(SceneSyntax, InvalidNumbersWarnAndBecomeZero) {
  VrpScene scene;
  bool ok = false;
  std::string out = captureStdout([&] { ok = test::parseText(scene, "Node box { x=nan; y=-inf; z=-NaN; }"); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(out,
            "[VRP] WARNING: Invalid floating point number: nan\n"
            "[VRP] WARNING: Invalid floating point number: -inf\n"
            "[VRP] WARNING: Invalid floating point number: -nan\n");
  EXPECT_EQ(*scene.findPlugin("box")->findAttribute("x")->floatValue(), 0.0);

  // Bare words keep the warning wherever white space, a delimiter or the
  // end of the text follows them.
  VrpScene bare;
  out = captureStdout([&] { ok = test::parseText(bare, "Node box { x=List(INF,nan(1) ,Infinity\n); }"); });
  EXPECT_TRUE(ok);
  EXPECT_EQ(out,
            "[VRP] WARNING: Invalid floating point number: inf\n"
            "[VRP] WARNING: Invalid floating point number: nan\n"
            "[VRP] WARNING: Invalid floating point number: inf\n");
}

// A word that only starts like inf or nan is a name, in any case and signed.
TEST(SceneSyntax, NamesThatStartLikeNumbers) {
  VrpScene scene;
  bool ok = false;
  const std::string out = captureStdout([&] {
    ok = test::parseText(scene,
                         "Node n { a=infinite_light; b=Infinity_Plane@mesh1; c=nancy_chair; d=-Infinity_Plane; "
                         "e=NaN_x::out; f=List(inf_1, +nan2); }\nGeomStaticMesh Infinity_Plane@mesh1 { }");
  });
  ASSERT_TRUE(ok);
  EXPECT_EQ(out, "");
  const VrpPlugin& n = *scene.findPlugin("n");
  EXPECT_EQ(n.findAttribute("a")->identifier()->name, "infinite_light");
  EXPECT_EQ(n.findAttribute("b")->identifier()->name, "Infinity_Plane@mesh1");
  EXPECT_EQ(n.findAttribute("c")->identifier()->name, "nancy_chair");
  EXPECT_EQ(n.findAttribute("d")->identifier()->name, "-Infinity_Plane");
  EXPECT_EQ(n.findAttribute("e")->selector()->plugin, "NaN_x");
  EXPECT_EQ(n.findAttribute("f")->function()->values[1].identifier()->name, "+nan2");
  EXPECT_EQ(scene.findPlugin("Infinity_Plane@mesh1")->type, "GeomStaticMesh");

  // Other signed words stay unreadable.
  VrpScene signedWord;
  captureStdout([&] { EXPECT_FALSE(test::parseText(signedWord, "Node n { a=-box; }")); });
}

TEST(SceneSyntax, IntegersAndFloatsAsTheCLibraryReadsThem) {
  ParsedScene s("Node box { x=0x10; y=12; z=12.0; a=1.; b=.5; c=1e-3; d=+2; e=-7; f=99999999999999999999; "
                "g=-99999999999999999999; }");
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(*s.value("box", "x").floatValue(), 16.0);
  EXPECT_EQ(*s.value("box", "y").intValue(), 12);
  EXPECT_EQ(*s.value("box", "z").floatValue(), 12.0);
  EXPECT_EQ(*s.value("box", "a").floatValue(), 1.0);
  EXPECT_EQ(*s.value("box", "b").floatValue(), 0.5);
  EXPECT_EQ(*s.value("box", "c").floatValue(), 1e-3);
  EXPECT_EQ(*s.value("box", "d").intValue(), 2);
  EXPECT_EQ(*s.value("box", "e").intValue(), -7);
  EXPECT_EQ(*s.value("box", "f").intValue(), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(*s.value("box", "g").intValue(), std::numeric_limits<std::int64_t>::min());
}

// The fast path must read exactly what the platform's number parser reads.
TEST(SceneSyntax, NumberReaderAgreesWithTheNumberParser) {
  const char* texts[] = {"0",      "-0",       "12",      "12.0",   "1.",      ".5",       "-.5",    "1e5",
                         "1E+5",   "1e",       "1e+",     "1.5e-3x", "00012",  "0x1F",     "-0x10",  "0x1p3",
                         "+3",     "+.5",      "-",       ".",      "-.",      "1e400",    "1e-400", "9223372036854775807",
                         "9223372036854775808", "-9223372036854775809", "3.14159265358979323846264338", "1_000",
                         "7;",     "2.5)",     "inf",     "nan(1)", "NAN",     "Infinity", "-inf "};
  for (const char* text : texts) {
    std::string kept = text;
    TextCursor cursor(kept);
    std::optional<VrpValue> value;
    captureStdout([&] { value = readNumber(cursor); });

    char* floatEnd = nullptr;
    char* intEnd = nullptr;
    const double d = platform::parseDoubleC(kept.c_str(), &floatEnd);
    const long long i = platform::parseIntegerC(kept.c_str(), &intEnd);
    const long floatLength = floatEnd - kept.c_str(), intLength = intEnd - kept.c_str();
    if (floatLength == 0 && intLength == 0) {
      EXPECT_FALSE(value.has_value()) << text;
      continue;
    }
    ASSERT_TRUE(value.has_value()) << text;
    EXPECT_EQ(cursor.next - kept.c_str(), std::max(floatLength, intLength)) << text;
    if (floatLength > intLength) {
      ASSERT_TRUE(value->floatValue() != nullptr) << text;
      EXPECT_EQ(*value->floatValue(), std::isfinite(d) ? d : 0.0) << text;
    } else {
      ASSERT_TRUE(value->intValue() != nullptr) << text;
      EXPECT_EQ(*value->intValue(), i) << text;
    }
  }
}

TEST(SceneSyntax, QuotedStrings) {
  ParsedScene s("Node box { a=\"two\nlines\"; b='say \"hi\"'; c=\"\"; }");
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(*s.value("box", "a").stringValue(), "two\nlines");
  EXPECT_EQ(*s.value("box", "b").stringValue(), "say \"hi\"");
  EXPECT_EQ(*s.value("box", "c").stringValue(), "");

  // An unterminated string runs to the end of the text.
  std::string text = "  \"open to the end";
  TextCursor cursor(text);
  auto quoted = readQuoted(cursor);
  ASSERT_TRUE(quoted.has_value());
  EXPECT_EQ(*quoted, "open to the end");
  EXPECT_TRUE(cursor.atEnd());
}

TEST(SceneSyntax, StringValuesPointIntoTheKeptText) {
  ParsedScene s("Node box { a=\"payload\"; }");
  const std::string_view view = *s.value("box", "a").stringValue();
  bool inside = false;
  // The view's bytes belong to the scene's kept text (no copy was made).
  EXPECT_EQ(s.scene.keptTextCount(), 1u);
  inside = view.data()[-1] == '"' && view.data()[view.size()] == '"';
  EXPECT_TRUE(inside);
}

TEST(SceneSyntax, Identifiers) {
  ParsedScene s("Node n@1|a#b-c/d.e { v=x.y@z; }\nNode \xC3\xA9t\xC3\xA9 { }");
  ASSERT_TRUE(s.ok);
  EXPECT_NE(s.scene.findPlugin("n@1|a#b-c/d.e"), nullptr);
  EXPECT_EQ(s.value("n@1|a#b-c/d.e", "v").identifier()->name, "x.y@z");
  EXPECT_NE(s.scene.findPlugin("\xC3\xA9t\xC3\xA9"), nullptr);

  // A continuation byte or a digit cannot begin an identifier.
  for (const char* text : {"\xA9t", "9abc", "-x"}) {
    std::string kept = text;
    TextCursor cursor(kept);
    EXPECT_FALSE(readIdentifier(cursor).has_value()) << text;
  }
}

TEST(SceneSyntax, CommentsAndStatementIndices) {
  ParsedScene s("// header\nNode a { // inside\n x=1; // after\n }\n// between\nNode b { y=2; }\n// last, no line feed");
  ASSERT_TRUE(s.ok);
  EXPECT_EQ(s.plugin("a").definitionPath, (DefinitionPath{0, 1}));
  EXPECT_EQ(s.plugin("b").definitionPath, (DefinitionPath{0, 3}));
  EXPECT_EQ(*s.value("a", "x").intValue(), 1);
}

TEST(SceneSyntax, IncludeStatements) {
  for (const char* text : {"#include 'a.vrscene'", "#include \"a.vrscene\"", "  #include\n\n  \"a.vrscene\""}) {
    std::string kept = text;
    TextCursor cursor(kept);
    auto name = readInclude(cursor);
    ASSERT_TRUE(name.has_value()) << text;
    EXPECT_EQ(*name, "a.vrscene");
  }
  // Without quotes the keyword is consumed and the rest is read as a block.
  std::string kept = "#include a.vrscene";
  TextCursor cursor(kept);
  EXPECT_FALSE(readInclude(cursor).has_value());
  EXPECT_EQ(std::string_view(cursor.next, cursor.remaining()), "a.vrscene");

  VrpScene scene;
  bool ok = true;
  std::string out = captureStdout([&] { ok = test::parseText(scene, "#include a.vrscene"); });
  EXPECT_FALSE(ok);
  EXPECT_EQ(out,
            "[VRP] WARNING: Plugin a.vrscene has no name\n"
            "[VRP] ERROR: <text>:1:19: expected '}' to close unnamed a.vrscene\n");
}

TEST(SceneSyntax, WholeFileOutcomes) {
  struct Case {
    std::string text;
    bool ok;
  };
  const Case cases[] = {
      {"", true},
      {"   \n\t\n", false},
      {"/* note */", false},
      {"Node box { a=1; ", false},
      {"Node box { a=1 }", false},
      {"Node box { a 1; }", false},
      {"Node box { =1; }", false},
      {"Node box { a=; }", false},
      {"Node box { a=1; }}", false},
      {"Node box { a=1; } Node other { b=2; }", true},
      {"Node box a=1; }", true},  // no brace: the body starts where the name ended
      {"123 { }", false},
  };
  for (const Case& c : cases) {
    VrpScene scene;
    bool ok = false;
    captureStdout([&] { ok = test::parseText(scene, c.text); });
    EXPECT_EQ(ok, c.ok) << c.text;
  }
}

TEST(SceneSyntax, PluginsBeforeAFailingBlockStay) {
  VrpScene scene;
  EXPECT_FALSE(test::parseText(scene, "Node a { x=1; }\nNode b { x=; }\nNode c { }"));
  EXPECT_NE(scene.findPlugin("a"), nullptr);
  EXPECT_EQ(scene.findPlugin("b"), nullptr);
  EXPECT_EQ(scene.findPlugin("c"), nullptr);
}

TEST(SceneSyntax, FailedReadersLeaveTheCursorInPlace) {
  std::string kept = "Vector(1, 2,)";
  TextCursor cursor(kept);
  EXPECT_FALSE(readFunction(cursor).has_value());
  EXPECT_EQ(cursor.next, kept.c_str());
  std::string selector = "mtl :: out";
  TextCursor selectorCursor(selector);
  EXPECT_FALSE(readAttributeSelector(selectorCursor).has_value());
  EXPECT_EQ(selectorCursor.next, selector.c_str());
}

std::string nested(int depth) {
  std::string text;
  for (int i = 0; i < depth; ++i) text += "List(";
  text += "1";
  for (int i = 0; i < depth; ++i) text += ")";
  return text;
}

TEST(SceneSyntax, DeepNestingIsBounded) {
  ParsedScene fine("Node box { x=" + nested(200) + "; }");
  EXPECT_TRUE(fine.ok);
  // Far deeper than any real scene: unreadable, not a stack overflow.
  VrpScene scene;
  EXPECT_FALSE(test::parseText(scene, "Node box { x=" + nested(100000) + "; }"));
  VrpScene unclosed;
  EXPECT_FALSE(test::parseText(unclosed, "Node box { x=" + std::string(100000, '(') + "; }"));
}

// Forms that V-Ray's exporters write, each read as the same data written
// in the plain form.
TEST(SceneSyntax, ExporterFormsReadAsTheirPlainForms) {
  struct Case {
    const char* form;
    std::string text;
    std::string plain;
  };
  const Case cases[] = {
      {"comment inside a value",
       "GeomStaticMesh m { map_channels= List(\n// UVTex\nList(1, ListVectorHex(\"ZIPC\"), ListIntHex(\"ZIPC\"))); }",
       "GeomStaticMesh m { map_channels= List(List(1, ListVectorHex(\"ZIPC\"), ListIntHex(\"ZIPC\"))); }"},
      {"comments between all tokens",
       "Node b { x // c\n= // c\nVector // c\n( // c\n1 // )\n, 2,3 // ; } {\n) // c\n; y=mtl:: // c\nout; "
       "z=5//c\n; s=\"a\"//;\n; }",
       "Node b { x=Vector(1,2,3); y=mtl::out; z=5; s=\"a\"; }"},
      {"byte-order mark", "\xEF\xBB\xBFNode b { x=1; }", "Node b { x=1; }"},
      {"CRLF line ends",
       "// 3ds Max\r\nNode Box001@node_2 {\r\n  geometry=Box001@mesh_1;\r\n  material=mtl_Wood@12;\r\n}\r\n",
       "// 3ds Max\nNode Box001@node_2 {\n  geometry=Box001@mesh_1;\n  material=mtl_Wood@12;\n}\n"},
      {"single quotes", "BitmapBuffer b { file='C:\\maps\\0002 ( 20x100 ).jpg'; }",
       "BitmapBuffer b { file=\"C:\\maps\\0002 ( 20x100 ).jpg\"; }"},
  };
  for (const Case& c : cases) {
    ParsedScene text(c.text), plain(c.plain);
    ASSERT_TRUE(text.ok && plain.ok) << c.form;
    EXPECT_EQ(sceneDocumentJson(text.scene, true, nullptr, {}), sceneDocumentJson(plain.scene, true, nullptr, {}))
        << c.form;
  }
}

TEST(SceneSyntax, ExporterNamesPathsAndSelectors) {
  ParsedScene s(
      "BRDFVRayMtl mtl_Wood@12|VRayMtl@35 { }\nNode Box001@node_2 { c=mtl_Wood@12|VRayMtl@35::color; "
      "x=foo//bar; y=a.b-c__d; file='\\\\server\\share\\x.jpg'; }");
  ASSERT_TRUE(s.ok);
  const VrpAttributeSelector* c = s.value("Box001@node_2", "c").selector();
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->plugin, "mtl_Wood@12|VRayMtl@35");
  EXPECT_EQ(c->attribute, "color");
  EXPECT_EQ(s.value("Box001@node_2", "x").identifier()->name, "foo//bar");
  EXPECT_EQ(s.value("Box001@node_2", "y").identifier()->name, "a.b-c__d");
  EXPECT_EQ(*s.value("Box001@node_2", "file").stringValue(), "\\\\server\\share\\x.jpg");
}

// One line for a failing statement: where reading stopped (1-based line and
// byte column) and what was expected there.
TEST(SceneSyntax, ReadFailuresSayWhere) {
  const std::pair<std::string, std::string> cases[] = {
      {"Node a { }\nNode b { transform=1 2; }",
       "2:22: expected ';' after the value of attribute 'transform' in Node 'b'"},
      {"Node b { =1; }", "1:10: expected an attribute name or '}' in Node 'b'"},
      {"Node b {\r\n  x 1; }", "2:5: expected '=' after attribute 'x' in Node 'b'"},
      {"Node b { x=; }", "1:12: expected a value for attribute 'x' in Node 'b'"},
      {"Node b { x=Vector(1 2); }", "1:21: expected ',' or ')' in Vector(...) of attribute 'x' in Node 'b'"},
      {"Node b { x=List(1, (2,)); }", "1:23: expected a value after ',' in (...) of attribute 'x' in Node 'b'"},
      {"Node b { x=1;", "1:14: expected '}' to close Node 'b'"},
      {"\xEF\xBB\xBF/* note */", "1:1: expected a plugin block, '#include' or a '//' comment"},
      {"Node b { s=\"abc; }", "1:12: no closing quote for the string of attribute 's' in Node 'b'"},
  };
  for (const auto& [text, where] : cases) {
    VrpScene scene;
    bool ok = true;
    const std::string out = captureStdout([&] { ok = test::parseText(scene, text); });
    EXPECT_FALSE(ok) << text;
    EXPECT_EQ(out, "[VRP] ERROR: <text>:" + where + "\n") << text;
  }
}

}  // namespace
}  // namespace cvimp
