#include "builder/scene_node.h"

#include <string>
#include <vector>

#include "builder/mesh_object.h"
#include "host/max.h"
#include "materials/materials.h"
#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

// What the mesh builder said about a geometry, for the report: a mesh that
// gives no object is skipped, one whose warnings did not stop it lost a part.
void reportMesh(const VrpPlugin& geometry, const TriObject* object, ImportLog& log) {
  std::vector<std::string> lines = log.takeCapture();
  if (object == nullptr && lines.empty()) lines.emplace_back("no vertices or fewer than three face indices");
  const std::string lead = "Mesh \"" + geometry.name + "\": ";
  for (std::string& line : lines) {
    if (const std::size_t at = line.find(lead); at != std::string::npos) line.erase(0, at + lead.size());
    while (!line.empty() && (line.back() == '\n' || line.back() == '.')) line.pop_back();
    reportLoss(&log, object == nullptr ? loss::kMeshSkipped : loss::kMeshPartSkipped, geometry.name, line);
  }
}

// The object for a geometry plugin, built once per import.
TriObject* meshFor(const VrpPlugin& geometry, ImportContext& context) {
  const auto cached = context.geometryCache.find(&geometry);
  if (cached != context.geometryCache.end()) return cached->second;
  if (context.importLog) context.importLog->startCapture();
  TriObject* object = buildMeshObject(geometry, context.unitFactor, context.importLog.get(), &context.meshFills);
  if (context.importLog) reportMesh(geometry, object, *context.importLog);
  context.geometryCache.emplace(&geometry, object);
  if (object != nullptr) context.meshNames.emplace(object, geometry.name);
  // The cache answers for this geometry from now on: its decoded lists,
  // most of a design's memory, are not read again.
  if (VrpPlugin* owned = geometry.scene != nullptr ? geometry.scene->findPlugin(geometry.name) : nullptr) {
    owned->releaseDecodedLists();
  }
  return object;
}

void logSlotNames(Mtl& material, ImportContext& context) {
  if (!context.importLog || !context.logSlotNames) return;
  logLine(context.importLog.get(), "=== Physical Material SubTexmaps ===\n");
  for (int k = 0; k < material.NumSubTexmaps(); ++k) {
    const CStr name = material.GetSubTexmapSlotName(k, true).ToACP();
    logLine(context.importLog.get(), "[%d]: %s\n", k, name.data());
  }
  context.logSlotNames = false;
}

// A Physical Material with the import's defaults; null when the host makes none.
Mtl* newPhysicalMaterial(ImportContext& context) {
  auto* material =
      dynamic_cast<Mtl*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, PHYSICAL_MATERIAL_CLASS_ID));
  if (material == nullptr) return nullptr;
  if (IParamBlock2* block = material->GetParamBlock(0)) {
    applyPhysicalDefaults(block);
    logSlotNames(*material, context);
  }
  return material;
}

// The material for a material plugin, converted once per import.
Mtl* materialFor(const VrpPlugin& plugin, ImportContext& context) {
  const auto cached = context.materialCache.find(&plugin);
  if (cached != context.materialCache.end()) return cached->second;
  Mtl* material = newPhysicalMaterial(context);
  if (material == nullptr) {
    context.materialCache.emplace(&plugin, nullptr);
    return nullptr;
  }
  convertMaterial(&plugin, material, context.searchDirectories, context.importLog.get());
  Interval whole = FOREVER;
  material->Update(0, whole);
  context.materialCache.emplace(&plugin, material);
  return material;
}

// A node's material: a Multi/Sub-Object for an MtlMulti, whose entries are
// materials as any other (shared through the cache); one without entries
// gives the default Physical Material.
Mtl* nodeMaterialFor(const VrpPlugin& plugin, ImportContext& context) {
  const auto cached = context.multiMaterialCache.find(&plugin);
  if (cached != context.multiMaterialCache.end()) return cached->second;
  if (!isMultiMaterial(plugin)) return materialFor(plugin, context);
  ImportLog* log = context.importLog.get();
  const MultiMaterialGraph graph = readMultiMaterial(plugin, log);
  Mtl* result = nullptr;
  if (graph.entries.empty()) {
    logLine(log, "Multi-material %s has no sub-materials\n", graph.plugin->name.c_str());
    reportLoss(log, loss::kEmptyMultiMaterial, graph.plugin->name, "no sub-materials; default material used");
    result = newPhysicalMaterial(context);
  } else if (auto* multi =
                 dynamic_cast<MultiMtl*>(GetCOREInterface()->CreateInstance(MATERIAL_CLASS_ID, MULTI_CLASS_ID))) {
    multi->SetNumSubMtls(0);
    for (const MultiMaterialEntry& entry : graph.entries) {
      Mtl* sub = entry.material != nullptr ? materialFor(*entry.material, context) : nullptr;
      const std::string& name = entry.material != nullptr ? entry.material->name : std::string();
      const WStr wide = WStr::FromACP(name.c_str(), static_cast<std::ptrdiff_t>(name.size()));
      multi->AddMtl(sub, entry.id, wide.data());
    }
    Interval whole = FOREVER;
    multi->Update(0, whole);
    context.faceIdRules.emplace(multi, ImportContext::FaceIdRule{graph.wrapIds, graph.plugin->name});
    result = multi;
  }
  context.multiMaterialCache.emplace(&plugin, result);
  return result;
}

}  // namespace

VrpTransform standaloneTransform(const VrpPlugin& plugin) {
  if (plugin.findAttribute("transform") == nullptr) return VrpTransform();
  return plugin.getValue("transform").getTransform(plugin.scene);
}

Matrix3 nodeTransform(const VrpTransform& transform, float unitFactor) {
  Matrix3 tm;
  for (int row = 0; row < 3; ++row) {
    const VrpVector& axis = transform.matrix[static_cast<std::size_t>(row)];
    tm.SetRow(row, Point3(axis.x, axis.y, axis.z));
  }
  const VrpVector& offset = transform.offset;
  tm.SetRow(3, Point3(offset.x * unitFactor, offset.y * unitFactor, offset.z * unitFactor));
  return tm;
}

INode* placeObject(Object* object, const VrpPlugin& plugin, Matrix3 transform, DWORD wireColor) {
  INode* node = GetCOREInterface()->CreateObjectNode(object);
  if (node == nullptr) return nullptr;
  const WStr name = WStr::FromACP(plugin.name.c_str(), static_cast<std::ptrdiff_t>(plugin.name.size()));
  node->SetName(name.data());
  node->SetNodeTM(0, transform);
  node->SetWireColor(wireColor);
  return node;
}

bool sceneNodeReads(std::string_view type) {
  return type == "Node" || type == "GeomStaticMesh" || type == "GeomDisplacedMesh";
}

INode* createSceneNode(const VrpPlugin& plugin, ImportContext& context, const PluginState& state) {
  const VrpTransform transform = plugin.getValue("transform").getTransform(plugin.scene);
  const VrpPlugin* geometry = referencedPlugin(plugin, "geometry");
  const VrpPlugin* material = referencedPlugin(plugin, "material");

  if (geometry != nullptr && geometry->type == "GeomDisplacedMesh") geometry = referencedPlugin(*geometry, "mesh");
  if (geometry == nullptr || geometry->type != "GeomStaticMesh") {
    reportLoss(context.importLog.get(), loss::kMeshSkipped, geometry != nullptr ? geometry->type : "no geometry",
               geometry != nullptr ? "geometry type not supported" : "node without a mesh");
    return nullptr;
  }
  TriObject* object = meshFor(*geometry, context);
  if (object == nullptr) return nullptr;

  INode* node = placeObject(object, plugin, nodeTransform(transform, context.unitFactor), RGB(128, 128, 128));
  if (node == nullptr) return nullptr;

  if (state.importMaterial && material != nullptr) {
    if (Mtl* converted = nodeMaterialFor(*material, context)) node->SetMtl(converted);
  }
  return node;
}

}  // namespace cvimp
