#include "host/scene_summary.h"

#include <algorithm>

#include "host/bitmap_tex.h"
#include "host/camera.h"
#include "host/lights.h"
#include "host/poly_object.h"
#include "host/scene.h"
#include "host/wstr.h"

namespace host {

namespace {

std::size_t trianglesOf(Object& object) {
  if (object.ClassID() == TRIOBJ_CLASS_ID)
    return static_cast<std::size_t>(static_cast<TriObject&>(object).GetMesh().getNumFaces());
  std::size_t triangles = 0;
  if (object.ClassID() == POLYOBJ_CLASS_ID) {
    for (const PolyFace& face : static_cast<PolyObject&>(object).faces) {
      if (face.vertices.size() >= 3) triangles += face.vertices.size() - 2;
    }
  }
  return triangles;
}

std::string describeObject(Object* object) {
  if (object == nullptr) return "";
  std::string text = utf16ToUtf8(object->ClassName().str());
  if (object->ClassID() == TRIOBJ_CLASS_ID) {
    text += std::string(", ") + std::to_string(static_cast<TriObject&>(*object).GetMesh().getNumFaces()) + " faces";
  } else if (object->ClassID() == POLYOBJ_CLASS_ID) {
    text += std::string(", ") + std::to_string(static_cast<PolyObject&>(*object).faces.size()) + " polygons";
  }
  return text;
}

// Materials have no names of their own here: "Physical Material #3" is the
// third material made in the scene.
std::string describeMaterial(const Scene& current, Mtl* material) {
  const auto& materials = current.materials();
  const auto found = std::find_if(materials.begin(), materials.end(),
                                  [material](const std::unique_ptr<Mtl>& item) { return item.get() == material; });
  std::string text = utf16ToUtf8(material->ClassName().str());
  if (found != materials.end()) text += std::string(" #") + std::to_string(found - materials.begin() + 1);
  return text;
}

}  // namespace

SceneCounts countScene() {
  const Scene& current = scene();
  SceneCounts counts;
  counts.nodes = current.nodes().size();
  counts.objects = current.objects().size();
  for (const auto& object : current.objects()) {
    counts.triangles += trianglesOf(*object);
    if (object->SuperClassID() == CAMERA_CLASS_ID) ++counts.cameras;
    if (object->SuperClassID() == LIGHT_CLASS_ID) ++counts.lights;
  }
  counts.materials = current.materials().size();
  counts.maps = current.maps().size();
  for (const auto& map : current.maps()) {
    if (map->ClassID() == BMTEX_CLASS_ID && static_cast<const BitmapTex&>(*map).bitmap() != nullptr) ++counts.bitmaps;
  }
  return counts;
}

std::vector<NodeRow> nodeRows() {
  const Scene& current = scene();
  const std::vector<INode*> selection = current.selection();
  std::vector<NodeRow> rows;
  rows.reserve(current.nodes().size());
  for (const auto& node : current.nodes()) {
    NodeRow row;
    row.name = utf16ToUtf8(node->GetName());
    row.object = describeObject(node->GetObjectRef());
    if (Mtl* material = node->GetMtl()) row.material = describeMaterial(current, material);
    row.selected = std::find(selection.begin(), selection.end(), node.get()) != selection.end();
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace host
