#pragma once
// A cube of 1 m from the origin, built in the host, wearing a
// Multi/Sub-Object material of two Physical Materials: wood (ID 3, in the
// first slot) and glass (ID 0, in the second), so that a lookup by slot
// instead of by ID swaps them. Its sides' IDs alternate in face order, so
// that grouping faces by ID moves them.
#include <array>
#include <string_view>

#include "host/stand_in.h"

namespace cvimp::test {

enum CubeSide { kBottom, kTop, kFront, kRight, kBack, kLeft };
inline constexpr std::array<MtlID, 6> kCubeSideIds{0, 3, 0, 3, 3, 0};
inline constexpr MtlID kWoodId = 3, kGlassId = 0;
// Flat Color shows these exactly: (0.8, 0.4, 0.2) and (0.2, 0.6, 1.0).
inline constexpr std::array<int, 3> kWoodRgb{204, 102, 51}, kGlassRgb{51, 153, 255};

struct TwoMaterialCube {
  INode* node = nullptr;
  TriObject* object = nullptr;
  MultiMtl* multi = nullptr;
  Mtl* wood = nullptr;
  Mtl* glass = nullptr;
};

inline Mtl* physicalMaterial(const Color& base) {
  auto* material = static_cast<Mtl*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, PHYSICAL_MATERIAL_CLASS_ID));
  IParamBlock2* block = material->GetParamBlock(0);
  for (int i = 0; i < block->NumParams(); ++i) {
    const ParamID id = block->IndextoID(i);
    if (std::u16string_view(block->GetParamDef(id).int_name) == u"base_color") block->SetValue(id, 0, base);
  }
  return material;
}

inline TwoMaterialCube twoMaterialCube() {
  TwoMaterialCube cube;
  cube.object = CreateNewTriObject();
  Mesh& mesh = cube.object->GetMesh();
  mesh.setNumVerts(8);
  for (int i = 0; i < 8; ++i) {
    mesh.setVert(i,
                 Point3((i & 1) != 0 ? 1000.0f : 0.0f, (i & 2) != 0 ? 1000.0f : 0.0f, (i & 4) != 0 ? 1000.0f : 0.0f));
  }
  // Two triangles per side, counter-clockwise seen from outside, the
  // diagonal hidden.
  constexpr std::array<std::array<DWORD, 4>, 6> sides{
      {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {1, 3, 7, 5}, {3, 2, 6, 7}, {2, 0, 4, 6}}};
  mesh.setNumFaces(12);
  for (std::size_t s = 0; s < sides.size(); ++s) {
    const auto& q = sides[s];
    Face& first = mesh.faces[static_cast<long long>(s * 2)];
    Face& second = mesh.faces[static_cast<long long>(s * 2 + 1)];
    first.setVerts(q[0], q[1], q[2]);
    first.setEdgeVisFlags(EDGE_VIS, EDGE_VIS, EDGE_INVIS);
    second.setVerts(q[0], q[2], q[3]);
    second.setEdgeVisFlags(EDGE_INVIS, EDGE_VIS, EDGE_VIS);
    first.setMatID(kCubeSideIds[s]);
    second.setMatID(kCubeSideIds[s]);
  }
  cube.wood = physicalMaterial(Color(0.8f, 0.4f, 0.2f));
  cube.glass = physicalMaterial(Color(0.2f, 0.6f, 1.0f));
  cube.multi = static_cast<MultiMtl*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, MULTI_CLASS_ID));
  cube.multi->SetNumSubMtls(0);
  cube.multi->AddMtl(cube.wood, kWoodId, u"Wood");
  cube.multi->AddMtl(cube.glass, kGlassId, u"Glass");
  cube.node = GetCOREInterface()->CreateObjectNode(cube.object);
  cube.node->SetName(u"cube");
  cube.node->SetMtl(cube.multi);
  return cube;
}

}  // namespace cvimp::test
