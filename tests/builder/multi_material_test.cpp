// Multi-materials: which sub-material each face gets, decided once at import
// and written into the faces' IDs; meshes shared by nodes that choose
// differently are copied.
#include <string>
#include <variant>
#include <vector>

#include "report/report.h"
#include "tests/builder/import_fixture.h"

namespace cvimp {
namespace {

// Five triangles whose face_mtlIDs are 0, 2, 5, 8 and 13.
constexpr std::int32_t kFaceIds[] = {0, 2, 5, 8, 13};

class MultiMaterialTest : public ImportTest {
 protected:
  // The strip, red, green and blue, and the multi-materials of `multis`;
  // `nodes` pairs node names with their materials, all showing the strip.
  void importScene(const std::string& multis, const std::vector<std::pair<std::string, std::string>>& nodes) {
    gen::SceneWriter w;
    std::vector<gen::Vec3> vertices;
    std::vector<std::int32_t> faces;
    for (int i = 0; i < 7; ++i) vertices.push_back({static_cast<float>(i), static_cast<float>(i % 2), 0});
    for (int f = 0; f < 5; ++f) faces.insert(faces.end(), {f, f + 1, f + 2});
    w.begin("GeomStaticMesh", "strip");
    w.attribute("vertices", vectors(vertices));
    w.attribute("faces", ints(faces));
    w.attribute("face_mtlIDs", ints({std::begin(kFaceIds), std::end(kFaceIds)}));
    w.end();
    diffuseMaterial(w, "red", 1, 0, 0);
    diffuseMaterial(w, "green", 0, 1, 0);
    diffuseMaterial(w, "blue", 0, 0, 1);
    for (const auto& [name, material] : nodes) node(w, name, "strip", material);
    import(write("vr.vrscene", w.take() + multis));
    ASSERT_TRUE(succeeded);
  }

  INode& nodeNamed(const std::u16string& name) {
    for (const auto& n : scene().nodes()) {
      if (n->GetName() == name) return *n;
    }
    throw std::runtime_error("no such node");
  }

  // Per face: its stored ID and the base colour of the material it shows,
  // as "2 red".
  std::vector<std::string> faces(INode& n) {
    std::vector<std::string> shown;
    Mesh& mesh = static_cast<TriObject*>(n.GetObjectRef())->GetMesh();
    for (int f = 0; f < mesh.getNumFaces(); ++f) {
      const MtlID id = mesh.faces[f].getMatID();
      shown.push_back(std::to_string(id) + " " + colourName(host::faceMaterial(n.GetMtl(), id)));
    }
    return shown;
  }

  static std::string colourName(Mtl* material) {
    if (material == nullptr) return "none";
    for (const IParamBlock2::Entry& entry : material->GetParamBlock(0)->entries()) {
      if (entry.name != u"base_color") continue;
      const Color c = std::get<Color>(entry.value);
      return c == Color(1, 0, 0) ? "red" : c == Color(0, 1, 0) ? "green" : c == Color(0, 0, 1) ? "blue" : "other";
    }
    return "other";
  }

  static std::vector<std::string> reportLines() {
    std::vector<std::string> lines;
    const Report report = reportFromScene();
    for (const ReportEntry& e : report.entries()) {
      lines.push_back(e.kind + "|" + e.subject + "|" + e.detail + "|" + std::to_string(e.count));
    }
    return lines;
  }
};

TEST_F(MultiMaterialTest, EachFaceGetsTheSubMaterialOfItsId) {
  const struct {
    const char* what;
    const char* multi;
    std::vector<std::string> faces;
    std::vector<std::string> report;
  } cases[] = {
      {"literal",
       "MtlMulti m { mtls_list=List(red, green, blue); ids_list=ListInt(2, 0, 5); wrap_id=0; }",
       {"0 green", "2 red", "5 blue", "2 red", "2 red"},
       {"unmatched material ID|strip|faces given the first sub-material of m|2"}},
      // Modulo 6: 8 is 2 and 13 is 1, which nothing has.
      {"wrapped",
       "MtlMulti m { mtls_list=List(red, green, blue); ids_list=ListInt(2, 0, 5); wrap_id=1; }",
       {"0 green", "2 red", "5 blue", "2 red", "2 red"},
       {"unmatched material ID|strip|faces given the first sub-material of m|1"}},
      {"list positions, through a wrapper",
       "MtlMulti m { mtls_list=List(blue, green, red); } "
       "MtlRenderStats stats { base_mtl=m; }",
       {"0 blue", "2 red", "0 blue", "0 blue", "0 blue"},
       {"unmatched material ID|strip|faces given the first sub-material of m|3"}},
      {"duplicate ID, first wins",
       "MtlMulti m { mtls_list=List(red, green, blue); ids_list=ListInt(2, 2, 0); }",
       {"0 blue", "2 red", "2 red", "2 red", "2 red"},
       {"material ID dropped|m|sub-material 1 with ID 2 dropped: an earlier sub-material has it|1",
        "unmatched material ID|strip|faces given the first sub-material of m|3"}},
  };
  for (const auto& c : cases) {
    freshHost();
    const bool wrapped = std::string(c.multi).find("stats") != std::string::npos;
    importScene(c.multi, {{"n", wrapped ? "stats" : "m"}, {"plain", "red"}});
    INode& n = nodeNamed(u"n");
    EXPECT_EQ(n.GetMtl()->ClassID(), MULTI_CLASS_ID) << c.what;
    EXPECT_EQ(faces(n), c.faces) << c.what;
    EXPECT_EQ(reportLines(), c.report) << c.what;
    // The sub-material is the one a node naming it directly has.
    EXPECT_EQ(host::faceMaterial(n.GetMtl(), 2), nodeNamed(u"plain").GetMtl()) << c.what;
  }
}

// Nodes sharing the strip: two multi-materials that choose alike share it,
// a third that chooses otherwise gets a copy; a node with one material does
// not count. A multi-material inside another is its first entry.
TEST_F(MultiMaterialTest, SharedMeshIsCopiedOncePerDistinctChoice) {
  importScene(
      "MtlMulti a { mtls_list=List(red, green, blue); ids_list=ListInt(2, 0, 5); } "
      "MtlMulti same { mtls_list=List(blue, red, green); ids_list=ListInt(2, 0, 5); } "
      "MtlMulti wraps { mtls_list=List(red, green, blue); ids_list=ListInt(2, 0, 3); wrap_id=1; } "
      "MtlMulti outer { mtls_list=List(wraps, blue); ids_list=ListInt(0, 2); }",
      {{"a1", "a"}, {"plain", "green"}, {"w", "wraps"}, {"a2", "a"}, {"s", "same"}, {"o", "outer"}});
  Object* original = nodeNamed(u"a1").GetObjectRef();
  EXPECT_EQ(nodeNamed(u"plain").GetObjectRef(), original);
  EXPECT_EQ(nodeNamed(u"a2").GetObjectRef(), original);
  EXPECT_EQ(nodeNamed(u"s").GetObjectRef(), original);
  EXPECT_NE(nodeNamed(u"w").GetObjectRef(), original);
  EXPECT_NE(nodeNamed(u"o").GetObjectRef(), original);
  EXPECT_NE(nodeNamed(u"o").GetObjectRef(), nodeNamed(u"w").GetObjectRef());
  EXPECT_EQ(faces(nodeNamed(u"a1")), (std::vector<std::string>{"0 green", "2 red", "5 blue", "2 red", "2 red"}));
  EXPECT_EQ(faces(nodeNamed(u"s")), (std::vector<std::string>{"0 red", "2 blue", "5 green", "2 blue", "2 blue"}));
  EXPECT_EQ(faces(nodeNamed(u"w")), (std::vector<std::string>{"0 green", "2 red", "2 red", "0 green", "2 red"}));
  EXPECT_EQ(faces(nodeNamed(u"o")), (std::vector<std::string>{"0 red", "2 blue", "0 red", "0 red", "0 red"}));
  EXPECT_EQ(reportLines(), (std::vector<std::string>{
                               "multi-material as one|wraps|first sub-material used where one material is expected|1",
                               "unmatched material ID|strip|faces given the first sub-material of a|2",
                               "unmatched material ID|strip|faces given the first sub-material of wraps|2",
                               "unmatched material ID|strip|faces given the first sub-material of outer|3",
                               "mesh copied|strip|nodes' multi-materials choose sub-materials differently|2",
                           }));
}

}  // namespace
}  // namespace cvimp
