// Texture graphs converted into Bitmap and Mix maps, placements carried into
// cropping and UV generators, and bitmap files found on disk.
#include <cmath>

#include "tests/materials/materials_fixture.h"

namespace cvimp::test {
namespace {

using TextureGraph = MaterialsTest;

// Bitmap sources "ta" to "td" reading a.png to d.png.
std::string bitmaps() {
  std::string text;
  for (const char letter : std::string("abcd")) {
    const std::string l(1, letter);
    text += "BitmapBuffer b" + l + " { file=\"" + l + ".png\"; } TexBitmap t" + l + " { bitmap=b" + l + "; } ";
  }
  return text;
}

std::vector<std::string> uvCalls() {
  std::vector<std::string> calls;
  for (const std::string& call : host::journal().calls()) {
    if (call.starts_with("StdUVGen::")) calls.push_back(call);
  }
  return calls;
}

TEST_F(TextureGraph, CombinersBecomeEvenMixes) {
  for (const char* name : {"a.png", "b.png", "c.png", "d.png"}) image(name);

  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexCompMax m { sourceA=ta; sourceB=tb; }", "m")), "Mix(a.png, b.png)");
  // A plain colour input resolves to no map: the texture alone, no Mix map.
  freshHost();
  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexMix m { color1=Color(1, 0, 0); color2=tb; }", "m")), "b.png");
  EXPECT_EQ(host::journal().find("NewDefaultMixTex").size(), 0u);
  EXPECT_EQ(host::scene().maps().size(), 1u);

  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexLayeredMax m { textures=List(ta); }", "m")), "a.png");
  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexLayeredMax m { textures=List(ta, 0.5, tc); }", "m")), "a.png");
  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexLayeredMax m { textures=List(0.5, ta); }", "m")), "none");
  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexLayeredMax m { textures=List(ta, tb, tc); }", "m")),
            "Mix(Mix(a.png, b.png), c.png)");
  // A layer that does not convert drops out of the fold.
  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexLayeredMax m { textures=List(ta, nothere, tc); }", "m")),
            "Mix(a.png, c.png)");
  EXPECT_EQ(takeLog(), "");
}

TEST_F(TextureGraph, AdjustingTexturesAreLookedThrough) {
  image("a.png");
  const std::string graph = bitmaps() +
                            "TexCombineColor k1 { texture=ta; color=Color(1, 0, 0); } "
                            "TexCombineFloat k2 { texture=k1; } TexCombineColorLightMtl k3 { texture=k2; } "
                            "TexOutput k4 { texmap=k3; } TexBezierCurveColor k5 { input_color=k4; } "
                            "ColorCorrection k6 { texture_map=k5; brightness=0.5; }";
  EXPECT_EQ(describe(convertTexmap(graph, "k6")), "a.png");
  EXPECT_EQ(host::scene().maps().size(), 1u);

  EXPECT_EQ(describe(convertTexmap("TexNoise n { }", "n")), "none");
  EXPECT_EQ(takeLog(), "Unsupported texmap type: TexNoise\n");
}

TEST_F(TextureGraph, PlacementTypeChoosesCropping) {
  image("a.png");
  const auto crop = [&](const std::string& placement) {
    freshHost();
    auto* map = dynamic_cast<BitmapTex*>(convertTexmap(
        "BitmapBuffer ba { file=\"a.png\"; } TexBitmap t { bitmap=ba; u=0.25; v=0.25; w=0.5; h=0.5; " + placement +
            " } TexOutput o { texmap=t; } ColorCorrection c { texture_map=o; }",
        "c"));
    EXPECT_NE(map, nullptr);
    return map != nullptr ? map->bitmap()->cropping() : std::nullopt;
  };
  const auto placed = crop("placement_type=2;");
  ASSERT_TRUE(placed);
  EXPECT_EQ(placed->u, 0.25f);
  EXPECT_EQ(placed->v, 0.25f);
  EXPECT_EQ(placed->w, 0.5f);
  EXPECT_EQ(placed->h, 0.5f);
  EXPECT_TRUE(placed->place);

  const auto cropped = crop("placement_type=1;");
  ASSERT_TRUE(cropped);
  EXPECT_EQ(cropped->w, 0.5f);
  EXPECT_FALSE(cropped->place);

  EXPECT_FALSE(crop("placement_type=0;"));
  EXPECT_EQ(host::journal().find("Bitmap::SetCroppingValues").size(), 0u);
  EXPECT_FALSE(crop(""));
}

TEST_F(TextureGraph, UvwTransformBecomesTilingAnglesAndOffsets) {
  image("a.png");
  const auto place = [&](const std::string& generator) {
    freshHost();
    auto* map = dynamic_cast<BitmapTex*>(convertTexmap(
        "BitmapBuffer ba { file=\"a.png\"; } " + generator + " TexBitmap t { bitmap=ba; uvwgen=g; }", "t"));
    EXPECT_NE(map, nullptr);
    return map != nullptr ? map->uvGen() : StdUVGen();
  };

  StdUVGen uv = place(
      "UVWGenChannel g { uvw_transform=Transform(Matrix(Vector(2, 0, 0), Vector(0, 2, 0), Vector(0, 0, 1)), "
      "Vector(0.5, 0, 0)); }");
  EXPECT_EQ(uv.GetUScl(0), 2.0f);
  EXPECT_EQ(uv.GetVScl(0), 2.0f);
  EXPECT_EQ(uv.GetUAng(0), 0.0f);
  EXPECT_EQ(uv.GetVAng(0), 0.0f);
  EXPECT_EQ(uv.GetWAng(0), 0.0f);
  EXPECT_EQ(uv.GetUOffs(0), -0.5f);
  EXPECT_EQ(uv.GetVOffs(0), -0.25f);
  EXPECT_EQ(uvCalls(), (std::vector<std::string>{"StdUVGen::SetUScl", "StdUVGen::SetVScl", "StdUVGen::SetUAng",
                                                 "StdUVGen::SetVAng", "StdUVGen::SetWAng", "StdUVGen::SetUOffs",
                                                 "StdUVGen::SetVOffs"}));

  // A third row with z = 0: a quarter turn about U, W from the first row.
  uv = place(
      "UVWGenChannel g { uvw_transform=Transform(Matrix(Vector(1, 1, 0), Vector(0, 0, 1), Vector(1, 0, 0)), "
      "Vector(0, 0, 0)); }");
  EXPECT_EQ(uv.GetUAng(0), 1.5707964f);
  EXPECT_EQ(uv.GetVAng(0), 0.0f);
  EXPECT_FLOAT_EQ(uv.GetWAng(0), std::atan2(1.0f, 1.0f));
  EXPECT_FLOAT_EQ(uv.GetUScl(0), std::sqrt(2.0f));
  EXPECT_FLOAT_EQ(uv.GetUOffs(0), 0.5f / std::sqrt(2.0f) - 0.5f);
  EXPECT_EQ(uv.GetVOffs(0), 0.0f);

  // A general rotation takes the three angles from rows 1 and 0.
  uv = place(
      "UVWGenChannel g { uvw_transform=Transform(Matrix(Vector(0, 1, 0.5), Vector(-1, 0, 0.5), Vector(0, 0, 2)), "
      "Vector(0, 0, 0)); }");
  EXPECT_FLOAT_EQ(uv.GetUAng(0), std::asin(0.5f));
  EXPECT_FLOAT_EQ(uv.GetVAng(0), std::atan2(-0.5f, 2.0f));
  EXPECT_FLOAT_EQ(uv.GetWAng(0), std::atan2(1.0f, 0.0f));

  // Only a "UVWGenChannel" carries its transform.
  uv = place(
      "UVWGenPlanar g { uvw_transform=Transform(Matrix(Vector(2, 0, 0), Vector(0, 2, 0), Vector(0, 0, 1)), "
      "Vector(0.5, 0, 0)); }");
  EXPECT_EQ(uv.GetUScl(0), 1.0f);
  EXPECT_EQ(uv.GetVScl(0), 1.0f);
  EXPECT_EQ(uv.GetWAng(0), 0.0f);
  EXPECT_EQ(uv.GetUOffs(0), 0.0f);
  EXPECT_EQ(uv.GetVOffs(0), 0.0f);

  // A zero first row would divide by zero: that axis keeps tiling 1 and offset 0.
  uv = place(
      "UVWGenChannel g { uvw_transform=Transform(Matrix(Vector(0, 0, 0), Vector(0, 2, 0), Vector(0, 0, 1)), "
      "Vector(0.3, 0, 0)); }");
  for (const float value : {uv.GetUScl(0), uv.GetVScl(0), uv.GetUAng(0), uv.GetVAng(0), uv.GetWAng(0),
                            uv.GetUOffs(0), uv.GetVOffs(0)}) {
    EXPECT_TRUE(std::isfinite(value));
  }
  EXPECT_EQ(uv.GetUScl(0), 1.0f);
  EXPECT_EQ(uv.GetUOffs(0), 0.0f);
  EXPECT_EQ(uv.GetVScl(0), 2.0f);
  EXPECT_EQ(uv.GetVOffs(0), -0.25f);
}

TEST_F(TextureGraph, BitmapBufferWithoutTexBitmapKeepsHostDefaults) {
  image("a.png");
  Texmap* map = convertTexmap("BitmapBuffer ba { file=\"a.png\"; }", "ba");
  ASSERT_EQ(describe(map), "a.png");
  EXPECT_FALSE(dynamic_cast<BitmapTex*>(map)->bitmap()->cropping());
  EXPECT_TRUE(uvCalls().empty());
  EXPECT_EQ(host::journal().find("IAssetManager::GetAsset").at(0).args,
            host::quoted(std::string_view(dir.str() + "/a.png")) + ", 1, true");
}

TEST_F(TextureGraph, BitmapFilesAreFoundUnderFarmPrefixesAndPngEndings) {
  for (const char* file : {"maps/wood.jpg", "tex/marble.jpg.png", "tex/stone.jpg.png"}) image(file);
  const std::string wood = dir.str() + "/maps/wood.jpg";
  const std::string marble = dir.str() + "/tex/marble.jpg.png";
  const std::string stone = dir.str() + "/tex/stone.jpg.png";

  EXPECT_EQ(bitmapPath(convertTexmap("BitmapBuffer b { file=\"Z:/vela/data/render/Vray/maps/wood.jpg\"; }", "b")),
            wood);
  EXPECT_EQ(bitmapPath(convertTexmap("BitmapBuffer b { file=\"tex/marble.jpg\"; }", "b")), marble);
  EXPECT_EQ(bitmapPath(convertTexmap("BitmapBuffer b { file=\"../../../cirrodata/tex/stone.jpg\"; }", "b")), stone);
  EXPECT_EQ(takeLog(), "");
}

TEST_F(TextureGraph, BitmapsThatCannotBeUsedLeaveNoMap) {
  image("a.png");
  dir.write("notes.png", "this is text, not an image");

  EXPECT_EQ(convertTexmap("BitmapBuffer b { file=\"Z:/vela/data/render/Vray/maps/none.jpg\"; }", "b"), nullptr);
  EXPECT_EQ(takeLog(), "Cannot resolve bitmap file: Z:/vela/data/render/Vray/maps/none.jpg\n");
  EXPECT_TRUE(host::journal().find("NewDefaultBitmapTex").empty());

  EXPECT_EQ(convertTexmap("BitmapBuffer b { file=\"notes.png\"; } TexBitmap t { bitmap=b; placement_type=2; }", "t"),
            nullptr);
  EXPECT_EQ(takeLog(), "Cannot load bitmap file: notes.png\n");
  EXPECT_TRUE(host::scene().maps().empty());
  EXPECT_TRUE(host::journal().find("DeleteRejected").empty());

  // A combiner with one input that fails keeps the other.
  EXPECT_EQ(describe(convertTexmap(
                "BitmapBuffer bad { file=\"notes.png\"; } BitmapBuffer ba { file=\"a.png\"; } "
                "TexCompMax m { sourceA=bad; sourceB=ba; }",
                "m")),
            "a.png");
  EXPECT_EQ(takeLog(), "Cannot load bitmap file: notes.png\n");
  EXPECT_EQ(host::scene().maps().size(), 1u);
}

TEST_F(TextureGraph, EveryReferenceConvertsAnew) {
  image("a.png");
  Mtl* material = convert(bitmaps() + "BRDFVRayMtl v { diffuse=ta; reflect=ta; bump_amount=1; }", "v");
  Texmap* diffuse = material->GetSubTexmap(kBaseColorSlot);
  Texmap* reflect = material->GetSubTexmap(kReflColorSlot);
  EXPECT_EQ(describe(diffuse), "a.png");
  EXPECT_EQ(describe(reflect), "a.png");
  EXPECT_NE(diffuse, reflect);
  EXPECT_EQ(host::scene().maps().size(), 2u);
  EXPECT_EQ(floatParam(material, u"reflectivity"), 1.0f);
}

TEST_F(TextureGraph, CyclesStopWithOneLine) {
  image("a.png");
  EXPECT_EQ(convertTexmap("TexOutput o1 { texmap=o2; } TexOutput o2 { texmap=o1; }", "o1"), nullptr);
  EXPECT_EQ(takeLog(), "Cyclic texmap reference: o1\n");

  // The cyclic branch of a combiner drops out; the other stays.
  EXPECT_EQ(describe(convertTexmap(bitmaps() + "TexCompMax m { sourceA=ta; sourceB=o; } TexOutput o { texmap=m; }",
                                   "m")),
            "a.png");
  EXPECT_EQ(takeLog(), "Cyclic texmap reference: m\n");

  // Without a log nothing is written and nothing fails.
  const VrpPlugin& self = parse("TexOutput o { texmap=o; }", "o");
  EXPECT_EQ(convertTexture(&self, dirs(), nullptr, nullptr), nullptr);
  EXPECT_EQ(takeLog(), "");
}

using MixTexmaps = HostTest;

TEST_F(MixTexmaps, OneSideAloneOrBothInAMix) {
  Texmap* a = NewDefaultBitmapTex();
  Texmap* b = NewDefaultBitmapTex();
  EXPECT_EQ(mixTexmaps(nullptr, nullptr), nullptr);
  EXPECT_EQ(mixTexmaps(a, nullptr), a);
  EXPECT_EQ(mixTexmaps(nullptr, b), b);
  Texmap* mix = mixTexmaps(a, b);
  ASSERT_NE(mix, nullptr);
  EXPECT_EQ(mix->ClassID(), MIX_CLASS_ID);
  EXPECT_EQ(floatParam(mix, u"mixAmount"), 0.5f);
  EXPECT_EQ(mix->GetSubTexmap(0), a);
  EXPECT_EQ(mix->GetSubTexmap(1), b);
  EXPECT_EQ(mix->GetSubTexmap(2), nullptr);
}

}  // namespace
}  // namespace cvimp::test
