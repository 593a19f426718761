// Leaf BRDFs written into Physical Material parameters and slots, the slot
// setters' handling of each value kind, and the even blend of two materials.
#include "tests/materials/materials_fixture.h"

namespace cvimp::test {
namespace {

using PhysicalMapping = MaterialsTest;

void setColor(Mtl* m, std::u16string_view name, Color c) { m->GetParamBlock(0)->SetValue(*paramId(m, name), 0, c); }
void setFloat(Mtl* m, std::u16string_view name, float v) { m->GetParamBlock(0)->SetValue(*paramId(m, name), 0, v); }

TEST_F(PhysicalMapping, PresetsOnCreation) {
  Mtl* material = createPhysicalMaterial();
  ASSERT_NE(material, nullptr);
  EXPECT_EQ(material->ClassID(), PHYSICAL_MATERIAL_CLASS_ID);
  EXPECT_EQ(intParam(material, u"material_mode"), 1);
  EXPECT_EQ(floatParam(material, u"reflectivity"), 0.0f);
  EXPECT_EQ(floatParam(material, u"transparency"), 0.0f);
  EXPECT_EQ(host::scene().materials().size(), 1u);
  applyPhysicalDefaults(nullptr);
}

TEST_F(PhysicalMapping, SlotSettersByValueKind) {
  image("a.png");
  const VrpPlugin& p = parse(
      "BitmapBuffer ba { file=\"a.png\"; } "
      "X p { i=3; f=0.25; c=Color(0.1, 0.2, 0.3); a=AColor(0.4, 0.5, 0.6, 0.7); s=\"text\"; t=ba; gone=nothere; "
      "black=Color(0, 0, 0); }",
      "p");
  enum Setter { kFloat, kMapColor, kMapFloat, kMapOnly };
  struct Row {
    Setter setter;
    const char* attribute;
    bool result;
    const char* message;
    const char* changed;  // what differs from a fresh material afterwards
  };
  const Row rows[] = {
      {kFloat, "i", true, "", "bump_map_amt "},
      {kFloat, "f", true, "", "bump_map_amt "},
      {kFloat, "c", false, "Float slot c has unknown type: 4\n", ""},
      {kFloat, "a", false, "Float slot a has unknown type: 5\n", ""},
      {kFloat, "t", false, "Float slot t has unknown type: 8\n", ""},
      {kFloat, "s", false, "Float slot s has unknown type: 7\n", ""},
      {kFloat, "absent", false, "Float slot absent has unknown type: 8\n", ""},
      {kMapColor, "i", false, "Map color slot i has unknown type: 1\n", ""},
      {kMapColor, "f", false, "Map color slot f has unknown type: 2\n", ""},
      {kMapColor, "c", true, "", "base_color "},
      {kMapColor, "a", true, "", "base_color "},
      {kMapColor, "black", false, "", "base_color "},
      {kMapColor, "t", true, "", "slot1=a.png/none "},
      {kMapColor, "gone", false, "", ""},
      {kMapColor, "s", false, "Map color slot s has unknown type: 7\n", ""},
      {kMapFloat, "i", true, "", "diff_roughness "},
      {kMapFloat, "f", true, "", "diff_roughness "},
      {kMapFloat, "c", false, "Map float slot c has unknown type: 4\n", ""},
      {kMapFloat, "a", false, "Map float slot a has unknown type: 5\n", ""},
      {kMapFloat, "t", true, "", "slot6=a.png/none "},
      {kMapFloat, "s", false, "Map float slot s has unknown type: 7\n", ""},
      {kMapFloat, "absent", false, "", ""},
      {kMapOnly, "i", false, "Map only slot i has unknown type: 1\n", ""},
      {kMapOnly, "f", false, "Map only slot f has unknown type: 2\n", ""},
      {kMapOnly, "c", false, "Map only slot c has unknown type: 4\n", ""},
      {kMapOnly, "a", false, "Map only slot a has unknown type: 5\n", ""},
      {kMapOnly, "t", true, "", "slot33=a.png/none "},
      {kMapOnly, "s", false, "Map only slot s has unknown type: 7\n", ""},
      {kMapOnly, "absent", false, "", ""},
  };
  const Snapshot presets = presetSnapshot();
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("setter ") + std::to_string(row.setter) + " attribute " + row.attribute);
    Mtl* material = createPhysicalMaterial();
    GraphPath path;
    bool result = false;
    captureStdout([&] {
      switch (row.setter) {
        case kFloat: result = setFloatSlot(p, material, row.attribute, u"bump_map_amt", log()); break;
        case kMapColor:
          result = setMapColorSlot(p, material, dirs(), row.attribute, u"base_color", kBaseColorSlot, log(), path);
          break;
        case kMapFloat:
          result =
              setMapFloatSlot(p, material, dirs(), row.attribute, u"diff_roughness", kDiffRoughnessSlot, log(), path);
          break;
        case kMapOnly: result = setMapOnlySlot(p, material, dirs(), row.attribute, kCutoutSlot, log(), path); break;
      }
    });
    EXPECT_EQ(result, row.result);
    EXPECT_EQ(takeLog(), row.message);
    EXPECT_EQ(differences(snapshot(material), presets), row.changed);
  }

  Mtl* material = createPhysicalMaterial();
  GraphPath path;
  // A missing parameter or material: false, silently.
  EXPECT_FALSE(setFloatSlot(p, material, "f", u"no_such_param", log()));
  EXPECT_FALSE(setMapOnlySlot(p, nullptr, dirs(), "t", kCutoutSlot, log(), path));
  EXPECT_EQ(takeLog(), "");
}

TEST_F(PhysicalMapping, VRayMtlWithEveryAttribute) {
  image("a.png");
  image("b.png");
  Mtl* m = convert(
      "BitmapBuffer ba { file=\"a.png\"; } BitmapBuffer bb { file=\"b.png\"; } "
      "BRDFVRayMtl v { diffuse=Color(0.8, 0.6, 0.4); roughness=0.3; reflect=Color(0.5, 0.5, 0.5); "
      "reflect_glossiness=0.8; refract=AColor(0.2, 0.3, 0.4, 0.5); refract_glossiness=1; refract_ior=1.6; "
      "bump_map=ba; bump_amount=0.7; opacity=bb; }",
      "v");
  EXPECT_EQ(colorParam(m, u"base_color"), Color(0.8f, 0.6f, 0.4f));
  EXPECT_EQ(floatParam(m, u"diff_roughness"), 0.3f);
  EXPECT_EQ(colorParam(m, u"refl_color"), Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(floatParam(m, u"reflectivity"), 1.0f);
  EXPECT_EQ(floatParam(m, u"roughness"), 0.8f);
  EXPECT_EQ(intParam(m, u"roughness_inv"), 1);
  EXPECT_EQ(colorParam(m, u"trans_color"), Color(0.2f, 0.3f, 0.4f));
  EXPECT_EQ(floatParam(m, u"transparency"), 1.0f);
  EXPECT_EQ(floatParam(m, u"trans_roughness"), 1.0f);
  EXPECT_EQ(intParam(m, u"trans_roughness_inv"), 1);
  EXPECT_EQ(intParam(m, u"trans_roughness_lock"), 0);
  EXPECT_EQ(floatParam(m, u"trans_ior"), 1.6f);
  EXPECT_EQ(describe(m->GetSubTexmap(kBumpSlot)), "a.png");
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 0.7f);
  EXPECT_EQ(describe(m->GetSubTexmap(kCutoutSlot)), "b.png");
  EXPECT_EQ(takeLog(), "");
}

TEST_F(PhysicalMapping, VRayMtlFlagsFollowWhatWasSet) {
  image("a.png");
  Mtl* m = convert(
      "BitmapBuffer ba { file=\"a.png\"; } "
      "BRDFVRayMtl v { diffuse=\"wood\"; reflect=Color(0, 0, 0); reflect_glossiness=ba; refract=Color(0, 0, 0); "
      "refract_glossiness=\"x\"; opacity=1.0; }",
      "v");
  // Black is written but does not switch reflection on.
  EXPECT_EQ(colorParam(m, u"refl_color"), Color(0, 0, 0));
  EXPECT_EQ(floatParam(m, u"reflectivity"), 0.0f);
  // A glossiness map goes to its slot; the value stays, the flag is raised.
  EXPECT_EQ(describe(m->GetSubTexmap(kRoughnessSlot)), "a.png");
  EXPECT_EQ(floatParam(m, u"roughness"), 0.0f);
  EXPECT_EQ(intParam(m, u"roughness_inv"), 1);
  EXPECT_EQ(floatParam(m, u"transparency"), 0.0f);
  EXPECT_EQ(intParam(m, u"trans_roughness_inv"), 0);
  EXPECT_EQ(intParam(m, u"trans_roughness_lock"), 1);
  EXPECT_EQ(colorParam(m, u"base_color"), Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(m->GetSubTexmap(kCutoutSlot), nullptr);
  EXPECT_EQ(floatParam(m, u"bump_map_amt"), 0.3f);
  EXPECT_EQ(takeLog(),
            "Map color slot diffuse has unknown type: 7\n"
            "Map float slot refract_glossiness has unknown type: 7\n"
            "Float slot bump_amount has unknown type: 8\n"
            "Map only slot opacity has unknown type: 2\n");

  m = convert("BitmapBuffer ba { file=\"a.png\"; } BRDFVRayMtl v { refract=ba; refract_glossiness=ba; bump_amount=1; }",
              "v");
  EXPECT_EQ(describe(m->GetSubTexmap(kTransColorSlot)), "a.png");
  EXPECT_EQ(floatParam(m, u"transparency"), 1.0f);
  EXPECT_EQ(colorParam(m, u"trans_color"), Color(1, 1, 1));
  EXPECT_EQ(describe(m->GetSubTexmap(kTransRoughnessSlot)), "a.png");
  EXPECT_EQ(intParam(m, u"trans_roughness_inv"), 1);
  EXPECT_EQ(intParam(m, u"trans_roughness_lock"), 0);
  EXPECT_EQ(floatParam(m, u"reflectivity"), 0.0f);
  EXPECT_EQ(takeLog(), "");
}

TEST_F(PhysicalMapping, DiffuseAndLight) {
  image("a.png");
  image("b.png");
  Mtl* m = convert("BRDFDiffuse d { color=Color(0.2, 0.4, 0.6); transparency=Color(0.5, 0.5, 0.5); }", "d");
  EXPECT_EQ(colorParam(m, u"base_color"), Color(0.2f, 0.4f, 0.6f));
  EXPECT_EQ(colorParam(m, u"trans_color"), Color(0.5f, 0.5f, 0.5f));
  EXPECT_EQ(floatParam(m, u"transparency"), 0.0f);  // no flag for a diffuse BRDF

  m = convert("BRDFLight l { colorMultiplier=2; color=Color(1, 0.9, 0.8); transparency=Color(0, 0, 0); }", "l");
  EXPECT_EQ(floatParam(m, u"base_weight"), 0.0f);
  EXPECT_EQ(floatParam(m, u"emission"), 2.0f);
  EXPECT_EQ(colorParam(m, u"emit_color"), Color(1.0f, 0.9f, 0.8f));
  EXPECT_EQ(colorParam(m, u"trans_color"), Color(0, 0, 0));

  m = convert(
      "BitmapBuffer ba { file=\"a.png\"; } BitmapBuffer bb { file=\"b.png\"; } "
      "BRDFLight l { colorMultiplier=ba; color=bb; }",
      "l");
  EXPECT_EQ(describe(m->GetSubTexmap(kEmissionSlot)), "a.png");
  EXPECT_EQ(describe(m->GetSubTexmap(kEmitColorSlot)), "b.png");
  EXPECT_EQ(floatParam(m, u"emission"), 1.0f);
  EXPECT_EQ(colorParam(m, u"emit_color"), Color(0, 0, 0));
  EXPECT_EQ(takeLog(), "");
}

TEST_F(PhysicalMapping, BlendAveragesAndMixes) {
  Mtl* d = createPhysicalMaterial();
  Mtl* a = createPhysicalMaterial();
  Mtl* b = createPhysicalMaterial();
  Texmap* baseMap = NewDefaultBitmapTex();
  Texmap* bumpA = NewDefaultBitmapTex();
  Texmap* bumpB = NewDefaultBitmapTex();
  setColor(a, u"base_color", Color(1, 0, 0));
  setColor(b, u"base_color", Color(0, 0, 1));
  a->SetSubTexmap(kBaseColorSlot, baseMap);
  a->SetSubTexmap(kBumpSlot, bumpA);
  b->SetSubTexmap(kBumpSlot, bumpB);
  for (Mtl* source : {a, b}) {
    setColor(source, u"trans_color", Color(0, 0, 0));
    setColor(source, u"refl_color", Color(0, 0, 0));
    setFloat(source, u"roughness", -0.5f);
  }
  setFloat(a, u"diff_roughness", 0.2f);
  setFloat(b, u"diff_roughness", 0.4f);
  setFloat(a, u"trans_ior", 1.0f);
  setFloat(b, u"trans_ior", 2.0f);
  setFloat(a, u"bump_map_amt", 0.2f);
  setFloat(b, u"bump_map_amt", 0.6f);
  setColor(a, u"emit_color", Color(1, 0, 0));
  setFloat(a, u"emission", 3.0f);
  setFloat(d, u"emission", 5.0f);

  ASSERT_TRUE(blendPhysicalMaterials(d, a, b));
  EXPECT_EQ(colorParam(d, u"base_color"), Color(0.5f, 0.0f, 0.5f));
  EXPECT_EQ(d->GetSubTexmap(kBaseColorSlot), baseMap);  // one side: the map itself
  Texmap* bump = d->GetSubTexmap(kBumpSlot);
  ASSERT_NE(bump, nullptr);
  EXPECT_EQ(bump->ClassID(), MIX_CLASS_ID);
  EXPECT_EQ(floatParam(bump, u"mixAmount"), 0.5f);
  EXPECT_EQ(bump->GetSubTexmap(0), bumpA);
  EXPECT_EQ(bump->GetSubTexmap(1), bumpB);
  EXPECT_FLOAT_EQ(floatParam(d, u"diff_roughness"), 0.3f);
  EXPECT_EQ(floatParam(d, u"trans_ior"), 1.5f);
  EXPECT_FLOAT_EQ(floatParam(d, u"bump_map_amt"), 0.4f);
  // Black colours and a negative glossiness raise no flag.
  EXPECT_EQ(floatParam(d, u"transparency"), 0.0f);
  EXPECT_EQ(floatParam(d, u"reflectivity"), 0.0f);
  EXPECT_EQ(intParam(d, u"roughness_inv"), 0);
  EXPECT_EQ(intParam(d, u"trans_roughness_inv"), 1);
  EXPECT_EQ(intParam(d, u"trans_roughness_lock"), 0);
  // Emission is not averaged.
  EXPECT_EQ(floatParam(d, u"emission"), 5.0f);
  EXPECT_EQ(colorParam(d, u"emit_color"), Color(0, 0, 0));
  // The sources are gone; their maps live on in the destination.
  ASSERT_EQ(host::scene().materials().size(), 1u);
  EXPECT_EQ(host::scene().materials()[0].get(), d);
  EXPECT_EQ(host::scene().maps().size(), 4u);
}

TEST_F(PhysicalMapping, BlendRaisesFlagsForColoursOrMaps) {
  Mtl* d = createPhysicalMaterial();
  Mtl* a = createPhysicalMaterial();
  Mtl* b = createPhysicalMaterial();
  for (Mtl* source : {a, b}) setColor(source, u"trans_color", Color(0, 0, 0));
  a->SetSubTexmap(kTransColorSlot, NewDefaultBitmapTex());
  ASSERT_TRUE(blendPhysicalMaterials(d, a, b));
  EXPECT_EQ(floatParam(d, u"transparency"), 1.0f);  // by the map
  EXPECT_EQ(floatParam(d, u"reflectivity"), 1.0f);  // by the white default reflection
  EXPECT_EQ(intParam(d, u"roughness_inv"), 1);

  // Nothing happens, and nothing is deleted, without all three materials.
  Mtl* c = createPhysicalMaterial();
  Mtl* e = createPhysicalMaterial();
  EXPECT_FALSE(blendPhysicalMaterials(nullptr, c, e));
  EXPECT_FALSE(blendPhysicalMaterials(d, c, nullptr));
  EXPECT_EQ(host::scene().materials().size(), 3u);
}

}  // namespace
}  // namespace cvimp::test
