// Whole material graphs into one Physical Material: wrappers, bump wrappers,
// layered BRDFs, unsupported types and cycles.
#include "tests/materials/materials_fixture.h"

namespace cvimp::test {
namespace {

using MaterialGraph = MaterialsTest;

constexpr const char* kVRay =
    "BRDFVRayMtl leaf { diffuse=Color(0.1, 0.2, 0.3); reflect=Color(0.4, 0.4, 0.4); reflect_glossiness=0.6; "
    "refract_ior=1.4; bump_amount=0.5; } ";

// Bitmap sources "t0" to "t3" reading bump0.png to bump3.png.
std::string bumpTextures() {
  std::string text;
  for (int k = 0; k < 4; ++k) {
    const std::string n = std::to_string(k);
    text += "BitmapBuffer t" + n + " { file=\"bump" + n + ".png\"; } ";
  }
  return text;
}

TEST_F(MaterialGraph, WrappersAreLookedThrough) {
  const Snapshot leaf = snapshot(convert(kVRay, "leaf"));
  Mtl* chain = convert(std::string(kVRay) +
                           "MtlRenderStats stats { base_mtl=over; camera_visibility=0; } "
                           "MtlOverride over { base_mtl=single; } MtlSingleBRDF single { brdf=id; } "
                           "MtlMaterialID id { base_mtl=leaf; material_id_number=7; }",
                       "stats");
  EXPECT_EQ(differences(snapshot(chain), leaf), "");
  EXPECT_EQ(colorParam(chain, u"base_color"), Color(0.1f, 0.2f, 0.3f));

  // A reference to a plugin that is not there: defaults, no message.
  Mtl* missing = convert("MtlSingleBRDF single { brdf=nothere; }", "single");
  EXPECT_EQ(differences(snapshot(missing), presetSnapshot()), "");
  EXPECT_EQ(takeLog(), "");

  // Nothing to convert from or into.
  convertMaterial(nullptr, missing, dirs(), log());
  convertMaterial(&parse(kVRay, "leaf"), nullptr, dirs(), log());
  EXPECT_EQ(differences(snapshot(missing), presetSnapshot()), "");
  EXPECT_EQ(takeLog(), "");
}

// Chains as the exporters write them convert exactly as their leaf alone.
TEST_F(MaterialGraph, ExportersChainsConvertAsTheirLeaf) {
  const Snapshot leaf = snapshot(convert(kVRay, "leaf"));
  const struct {
    const char* exporter;
    const char* graph;
    const char* log;
  } cases[] = {
      {"3ds Max",
       "MtlRenderStats root { base_mtl=mtl_Wood@12; visibility=1; } MtlSingleBRDF mtl_Wood@12 { brdf=leaf; "
       "double_sided=1; }",
       ""},
      {"SketchUp",
       "Mtl2Sided root { front=single; back=single; translucency=Color(0.5, 0.5, 0.5); force_1sided=1; } "
       "MtlSingleBRDF single { brdf=id; } MtlMaterialID id { base_mtl=layered; material_id_color=Color(1, "
       "0, 0); } BRDFLayered layered { brdfs=List(leaf); weights=List(white); } TexAColor white { "
       "texture=AColor(1, 1, 1, 1); }",
       "Two-sided material root: back side dropped\n"},
      {"a material as a layer", "BRDFLayered root { brdfs=List(single); } MtlSingleBRDF single { brdf=leaf; }", ""},
  };
  for (const auto& c : cases) {
    Mtl* root = convert(std::string(kVRay) + c.graph, "root");
    EXPECT_EQ(differences(snapshot(root), leaf), "") << c.exporter;
    EXPECT_EQ(takeLog(), c.log) << c.exporter;
  }
  const std::vector<ReportEntry>& entries = log()->report().entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].kind + "|" + entries[0].subject, "back side dropped|root");

  // Without a front there is nothing to convert; the back side still goes.
  Mtl* empty = convert(std::string(kVRay) + "Mtl2Sided two { back=leaf; }", "two");
  EXPECT_EQ(differences(snapshot(empty), presetSnapshot()), "");
  EXPECT_EQ(takeLog(), "Two-sided material two: back side dropped\n");
}

TEST_F(MaterialGraph, BumpIsAppliedOverItsBase) {
  image("base.png");
  image("wrap.png");
  const std::string base =
      "BitmapBuffer bbase { file=\"base.png\"; } BitmapBuffer bwrap { file=\"wrap.png\"; } "
      "BRDFVRayMtl v { bump_map=bbase; bump_amount=0.7; } ";
  Mtl* m = convert(base + "BRDFBump bump { base_brdf=v; bump_tex=bwrap; bump_tex_mult=0.25; }", "bump");
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "wrap.png");
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 0.25f);
  EXPECT_EQ(takeLog(), "");

  // A bump texture that gives no map and an amount that is no number leave
  // the base's bump as it was.
  m = convert(base + "BRDFBump bump { base_brdf=v; bump_tex=nothere; bump_tex_mult=\"strong\"; }", "bump");
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "base.png");
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 0.7f);
  EXPECT_EQ(takeLog(), "Float slot bump_tex_mult has unknown type: 7\n");
}

TEST_F(MaterialGraph, MultiBumpTakesTheLargestMultiplier) {
  for (int k = 0; k < 4; ++k) image("bump" + std::to_string(k) + ".png");
  const std::string base = bumpTextures() + "BRDFDiffuse d { color=Color(1, 0, 0); } ";
  const std::string textures = "bump_tex_0=t0; bump_tex_1=t1; bump_tex_2=t2; bump_tex_3=t3;";

  // Absent multipliers count as 1.0.
  Mtl* m = convert(base + "BRDFMultiBump mb { base_brdf=d; " + textures + " bump_mult_0=0.5; bump_mult_2=2.0; }",
                   "mb");
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "bump2.png");
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 2.0f);
  EXPECT_EQ(colorParam(m, u"base_color"), Color(1, 0, 0));
  EXPECT_EQ(takeLog(), "");

  // All absent: the first wins and its amount cannot be read.
  m = convert(base + "BRDFMultiBump mb { base_brdf=d; " + textures + " }", "mb");
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "bump0.png");
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 0.3f);
  EXPECT_EQ(takeLog(), "Float slot bump_mult_0 has unknown type: 8\n");

  // An integer multiplier counts as its value; a string as 0.
  m = convert(base + "BRDFMultiBump mb { base_brdf=d; " + textures +
                  " bump_mult_0=\"big\"; bump_mult_1=3; bump_mult_2=0.5; bump_mult_3=0.5; }",
              "mb");
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "bump1.png");
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 3.0f);
  EXPECT_EQ(takeLog(), "");
}

// Three BRDFVRayMtl layers with distinct colours, indices and bump amounts.
constexpr const char* kLayers =
    "BRDFVRayMtl l0 { diffuse=Color(1, 0, 0); refract_ior=1.0; bump_amount=0.1; } "
    "BRDFVRayMtl l1 { diffuse=Color(0, 0, 1); refract_ior=2.0; bump_amount=0.2; } "
    "BRDFVRayMtl l2 { diffuse=Color(0, 1, 0); refract_ior=3.0; bump_amount=0.4; } ";

TEST_F(MaterialGraph, LayersBlendEvenlyWithTheLastCountingHalf) {
  Mtl* m = convert(std::string(kLayers) + "BRDFLayered lay { brdfs=List(l0, l1, l2); weights=List(1, 1, 1); }", "lay");
  EXPECT_EQ(colorParam(m, u"base_color"), Color(0.25f, 0.5f, 0.25f));
  EXPECT_EQ(floatParam(m, u"trans_ior"), 2.25f);
  EXPECT_FLOAT_EQ(floatParam(m, u"bump_map_amt"), ((0.1f + 0.2f) * 0.5f + 0.4f) * 0.5f);
  ASSERT_EQ(host::scene().materials().size(), 1u);
  EXPECT_EQ(host::scene().materials()[0].get(), m);
  EXPECT_EQ(takeLog(), "");

  freshHost();
  m = convert(std::string(kLayers) + "BRDFLayered lay { brdfs=List(l0, l1); }", "lay");
  EXPECT_EQ(colorParam(m, u"base_color"), Color(0.5f, 0.0f, 0.5f));
  EXPECT_EQ(floatParam(m, u"trans_ior"), 1.5f);
  ASSERT_EQ(host::scene().materials().size(), 1u);

  // One layer converts straight into the material, with no temporary.
  freshHost();
  m = convert(std::string(kLayers) + "BRDFLayered lay { brdfs=List(l1); }", "lay");
  const Snapshot single = snapshot(m);
  EXPECT_EQ(host::journal().find("CreateInstance").size(), 1u);
  EXPECT_EQ(differences(single, snapshot(convert(kLayers, "l1"))), "");

  // The same BRDF twice is no cycle.
  freshHost();
  m = convert(std::string(kLayers) + "BRDFLayered lay { brdfs=List(l2, l2); }", "lay");
  EXPECT_EQ(colorParam(m, u"base_color"), Color(0, 1, 0));
  EXPECT_EQ(takeLog(), "");
}

TEST_F(MaterialGraph, LayerMapsSurviveTheTemporaries) {
  image("a.png");
  image("c.png");
  Mtl* m = convert(
      "BitmapBuffer ba { file=\"a.png\"; } BitmapBuffer bc { file=\"c.png\"; } "
      "BRDFDiffuse l0 { color=ba; } BRDFDiffuse l1 { color=Color(0, 0, 0); } BRDFDiffuse l2 { color=bc; } "
      "BRDFLayered lay { brdfs=List(l0, l1, l2); }",
      "lay");
  EXPECT_EQ(describe(m->GetSubTexmap(kBaseColorSlot)), "Mix(a.png, c.png)");
  EXPECT_EQ(host::scene().materials().size(), 1u);
}

TEST_F(MaterialGraph, LayerEntriesThatAreNoPluginsConvertNothing) {
  const Snapshot presets = presetSnapshot();
  for (const char* layers :
       {"List(l0, l1, 5)", "List(l0, l1, 5, l2)", "List(l0, 5)", "List(5, l0)", "List(5)", "List()"}) {
    SCOPED_TRACE(layers);
    freshHost();
    Mtl* m = convert(std::string(kLayers) + "BRDFLayered lay { brdfs=" + layers + "; }", "lay");
    EXPECT_EQ(differences(snapshot(m), presets), "");
    // No temporary or accumulator is left behind.
    ASSERT_EQ(host::scene().materials().size(), 1u);
    EXPECT_EQ(host::scene().materials()[0].get(), m);
  }
  EXPECT_EQ(takeLog(), "");
}

TEST_F(MaterialGraph, UnsupportedTypesAreLoggedAndContributeNothing) {
  const Snapshot presets = presetSnapshot();
  Mtl* m = convert("BRDFGlass g { color=Color(1, 1, 1); } MtlSingleBRDF s { brdf=g; }", "s");
  EXPECT_EQ(differences(snapshot(m), presets), "");
  EXPECT_EQ(takeLog(), "Found unsupported BRDFGlass\n");

  // Within a layered BRDF the glass layer blends in as a fresh material.
  m = convert("BRDFGlass g { } BRDFDiffuse d { color=Color(0.1, 0.1, 0.1); } BRDFLayered lay { brdfs=List(d, g); }",
              "lay");
  const float grey = (0.1f + 0.5f) * 0.5f;
  EXPECT_EQ(colorParam(m, u"base_color"), Color(grey, grey, grey));
  EXPECT_EQ(takeLog(), "Found unsupported BRDFGlass\n");
}

// Where one material is expected, a multi-material gives its first entry
// (by list position, whatever the IDs), whether two-sided or layered.
TEST_F(MaterialGraph, MultiMaterialWhereOneIsExpectedIsItsFirstSubMaterial) {
  const std::string multi = std::string(kVRay) +
                            "BRDFDiffuse red { color=Color(1, 0, 0); } MtlMulti mm { mtls_list=List(leaf, red); "
                            "ids_list=ListInt(5, 1); } ";
  const Snapshot leaf = snapshot(convert(kVRay, "leaf"));
  EXPECT_EQ(differences(snapshot(convert(multi + "Mtl2Sided two { front=mm; back=red; }", "two")), leaf), "");
  EXPECT_EQ(takeLog(),
            "Multi-material mm where one material is expected: first sub-material used\n"
            "Two-sided material two: back side dropped\n");
  EXPECT_EQ(differences(snapshot(convert(multi + "BRDFLayered lay { brdfs=List(mm); }", "lay")), leaf), "");
  EXPECT_EQ(takeLog(), "Multi-material mm where one material is expected: first sub-material used\n");
  const ReportEntry& entry = log()->report().entries()[0];
  EXPECT_EQ(entry.kind + "|" + entry.subject + "|" + entry.detail + "|" + std::to_string(entry.count),
            "multi-material as one|mm|first sub-material used where one material is expected|2");
}

TEST_F(MaterialGraph, CyclesStopWithOneLine) {
  image("a.png");
  Mtl* m = convert(
      "BitmapBuffer ba { file=\"a.png\"; } MtlSingleBRDF s { brdf=bump; } "
      "BRDFBump bump { base_brdf=s; bump_tex=ba; bump_tex_mult=0.5; }",
      "s");
  EXPECT_EQ(takeLog(), "Cyclic material reference: s\n");
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "a.png");
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 0.5f);

  m = convert("BRDFLayered lay { brdfs=List(lay, lay, lay); }", "lay");
  EXPECT_EQ(takeLog(),
            "Cyclic material reference: lay\nCyclic material reference: lay\nCyclic material reference: lay\n");
  EXPECT_EQ(host::scene().materials().back().get(), m);
}

TEST_F(MaterialGraph, LongChainsStopAtTheDepthLimit) {
  // Wrappers two thousand deep around a diffuse: far past the limit, which
  // stops the branch before the stack runs out.
  std::string text = "BRDFDiffuse leaf { color=Color(1, 0, 0); } ";
  std::string below = "leaf";
  for (int i = 0; i < 2000; ++i) {
    const std::string name = "w" + std::to_string(i);
    text += "MtlOverride " + name + " { base_mtl=" + below + "; } ";
    below = name;
  }
  Mtl* m = convert(text, below);
  EXPECT_EQ(takeLog(), "Material graph too deep at: w1743\n");
  EXPECT_EQ(colorParam(m, u"base_color"), Color(0.5f, 0.5f, 0.5f));  // the leaf was never reached

  // A short chain converts whole.
  m = convert("BRDFDiffuse leaf { color=Color(1, 0, 0); } MtlOverride a { base_mtl=leaf; } "
              "MtlOverride b { base_mtl=a; }",
              "b");
  EXPECT_EQ(colorParam(m, u"base_color"), Color(1.0f, 0.0f, 0.0f));
}

TEST_F(MaterialGraph, WithoutALogMessagesAreDropped) {
  image("a.png");
  dir.write("notes.png", "not an image");
  Mtl* m = convert(
      "BRDFGlass g { } MtlMulti mm { } TexNoise n { } BitmapBuffer bad { file=\"notes.png\"; } "
      "BitmapBuffer lost { file=\"lost.png\"; } BitmapBuffer ba { file=\"a.png\"; } TexOutput o { texmap=o; } "
      "BRDFVRayMtl v { diffuse=n; reflect=bad; refract=lost; roughness=o; opacity=1.0; bump_map=ba; } "
      "MtlSingleBRDF cyc { brdf=cyc; } BRDFLayered lay { brdfs=List(g, mm, v, cyc); }",
      "lay", nullptr);
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "a.png");
  EXPECT_EQ(takeLog(), "");
  EXPECT_EQ(host::scene().materials().size(), 1u);
}

}  // namespace
}  // namespace cvimp::test
