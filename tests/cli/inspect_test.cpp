// cvimp inspect: summary, exit status and the document as JSON.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <fstream>
#include <sstream>

#include "cli/inspect.h"
#include "cli/json_text.h"
#include "tests/support/test_support.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

namespace gen = scenegen;
using test::captureStdout;
using test::TempDir;

struct Inspection {
  int status = -1;
  std::string out, err;
  rapidjson::Document json;
};

Inspection inspect(const std::string& scene, const std::string& jsonPath, bool verbose = false) {
  Inspection result;
  testing::internal::CaptureStderr();
  result.out = captureStdout([&] { result.status = runInspect({scene, jsonPath, verbose}); });
  result.err = testing::internal::GetCapturedStderr();
  std::ifstream in(jsonPath);
  std::stringstream text;
  text << in.rdbuf();
  result.json.Parse<rapidjson::kParseFullPrecisionFlag>(text.str().c_str());
  return result;
}

TEST(InspectCommand, WritesTheDocument) {
  TempDir dir;
  const std::string main = dir.write(
      "vr.vrscene",
      "#include \"inc.vrscene\"\nNode n { geometry=mesh; m=mtl::out; f=0.1; i=-3; s=\"caf\xC3\xA9\"; "
      "t=Transform(Matrix(Vector(1,0,0),Vector(0,1,0),Vector(0,0,1)),Vector(1,2,3)); "
      "a=interpolate((0, 1.5)); bad=\"\xFF\"; }\n");
  dir.write("inc.vrscene", "GeomStaticMesh mesh { faces=ListIntHex(\"" + gen::packInts({0, 1, -2}) +
                               "\"); uv=ListFloatHex(\"" + gen::packFloats({0.1f, 1e-30f}) +
                               "\"); v=ListVectorHex(\"" + gen::packVectors({{1, 2, 3}, {4, 5, 6.5f}}) +
                               "\"); }\nMtl mtl { }\n");
  Inspection r = inspect(main, dir.str() + "/doc.json", true);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  ASSERT_TRUE(r.json.IsObject());
  EXPECT_TRUE(r.json["loaded"].GetBool());
  EXPECT_TRUE(r.json["prebuilt"].GetBool());
  ASSERT_EQ(r.json["order"].Size(), 3u);
  EXPECT_STREQ(r.json["order"][2].GetString(), "n");

  const auto& n = r.json["plugins"]["n"];
  EXPECT_STREQ(n["type"].GetString(), "Node");
  EXPECT_EQ(n["path"].Size(), 2u);
  EXPECT_EQ(n["path"][1].GetUint64(), 1u);
  const auto& attributes = n["attributes"];
  EXPECT_STREQ(attributes["geometry"]["ident"].GetString(), "mesh");
  EXPECT_STREQ(attributes["m"]["selector"][1].GetString(), "out");
  EXPECT_EQ(attributes["f"]["float"].GetDouble(), 0.1);
  EXPECT_EQ(attributes["i"]["int"].GetInt(), -3);
  EXPECT_STREQ(attributes["s"]["string"].GetString(), "caf\xC3\xA9");
  EXPECT_STREQ(attributes["bad"]["string"].GetString(), "\xEF\xBF\xBD");
  EXPECT_STREQ(attributes["t"]["function"].GetString(), "Transform");
  EXPECT_STREQ(attributes["t"]["values"][0]["function"].GetString(), "Matrix");
  // Stored values, not resolved ones.
  EXPECT_STREQ(attributes["a"]["function"].GetString(), "interpolate");
  EXPECT_EQ(attributes["a"]["values"][0]["values"][1]["float"].GetDouble(), 1.5);

  const auto& mesh = r.json["plugins"]["mesh"]["attributes"];
  EXPECT_EQ(r.json["plugins"]["mesh"]["path"].Size(), 3u);
  EXPECT_EQ(mesh["faces"]["count"].GetUint64(), 3u);
  EXPECT_EQ(mesh["faces"]["data"][2].GetInt(), -2);
  EXPECT_EQ(mesh["uv"]["data"][0].GetDouble(), static_cast<double>(0.1f));  // widened exactly
  EXPECT_EQ(mesh["uv"]["data"][1].GetDouble(), static_cast<double>(1e-30f));
  EXPECT_EQ(mesh["v"]["count"].GetUint64(), 2u);
  ASSERT_EQ(mesh["v"]["data"].Size(), 6u);
  EXPECT_EQ(mesh["v"]["data"][5].GetDouble(), 6.5);
  EXPECT_FALSE(mesh["v"]["values"][0].HasMember("count"));

  // The summary follows the diagnostics and never looks like one.
  EXPECT_EQ(r.out.rfind("Including inc.vrscene\n", 0), 0u);
  std::istringstream lines(r.out.substr(r.out.find('\n') + 1));
  std::string line;
  while (std::getline(lines, line)) EXPECT_NE(line.rfind('[', 0), 0u) << line;
  EXPECT_NE(r.out.find("Packed lists decoded: 3 of 3\n"), std::string::npos);
  EXPECT_NE(r.out.find("Decoded bytes: 44\n"), std::string::npos);
}

TEST(InspectCommand, FailedLoadKeepsWhatWasRead) {
  TempDir dir;
  const std::string main = dir.write("vr.vrscene", "X a { v=1; }\nX b { v= }\n");
  Inspection r = inspect(main, dir.str() + "/doc.json");
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(r.json["loaded"].GetBool());
  EXPECT_TRUE(r.json["prebuilt"].IsNull());
  EXPECT_EQ(r.json["order"].Size(), 0u);
  EXPECT_TRUE(r.json["plugins"].HasMember("a"));
  EXPECT_FALSE(r.json["plugins"].HasMember("b"));
}

TEST(InspectCommand, FailedPrebuild) {
  TempDir dir;
  const std::string main = dir.write("vr.vrscene", "X a { v=interpolate(5); }\n");
  Inspection r = inspect(main, dir.str() + "/doc.json");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.json["loaded"].GetBool());
  EXPECT_FALSE(r.json["prebuilt"].GetBool());
  EXPECT_EQ(r.json["order"].Size(), 0u);
}

TEST(InspectCommand, MissingScene) {
  TempDir dir;
  Inspection r = inspect(dir.str() + "/absent.vrscene", dir.str() + "/doc.json");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot find the scene file"), std::string::npos);
  EXPECT_FALSE(r.json["loaded"].GetBool());
  EXPECT_TRUE(r.json["prebuilt"].IsNull());
  EXPECT_EQ(r.json["plugins"].MemberCount(), 0u);
}

}  // namespace
}  // namespace cvimp
