#include "builder/face_ids.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/max.h"
#include "report/report.h"

namespace cvimp {

namespace {

constexpr std::size_t kIdCount = 0x10000;

// What one material's rule makes of a mesh: the new ID of each ID its faces
// carry, and how many faces matched no slot.
struct Outcome {
  std::vector<MtlID> to;  // parallel to the mesh's used IDs
  std::uint32_t unmatchedFaces = 0;
  const ImportContext::FaceIdRule* rule = nullptr;
  TriObject* object = nullptr;
};

// The IDs a mesh's faces carry, ascending, and how many faces carry each.
struct UsedIds {
  std::vector<MtlID> ids;
  std::vector<std::uint32_t> faces = std::vector<std::uint32_t>(kIdCount, 0);
};

UsedIds usedIds(const Mesh& mesh) {
  UsedIds used;
  for (const Face& face : mesh.faces) ++used.faces[face.getMatID()];
  for (std::size_t id = 0; id < kIdCount; ++id) {
    if (used.faces[id] != 0) used.ids.push_back(static_cast<MtlID>(id));
  }
  return used;
}

Outcome outcomeFor(MultiMtl& multi, const ImportContext::FaceIdRule& rule, const UsedIds& used) {
  std::vector<bool> present(kIdCount, false);
  int largest = 0;
  for (int slot = 0; slot < multi.NumSubMtls(); ++slot) {
    const int id = multi.GetSubMtlID(slot);
    present[static_cast<std::size_t>(id)] = true;
    largest = std::max(largest, id);
  }
  const auto first = static_cast<MtlID>(multi.GetSubMtlID(0));
  Outcome outcome;
  outcome.rule = &rule;
  for (const MtlID id : used.ids) {
    const int wanted = rule.wrapIds ? id % (largest + 1) : id;
    if (present[static_cast<std::size_t>(wanted)]) {
      outcome.to.push_back(static_cast<MtlID>(wanted));
    } else {
      outcome.to.push_back(first);
      outcome.unmatchedFaces += used.faces[id];
    }
  }
  return outcome;
}

void rewrite(Mesh& mesh, const UsedIds& used, const Outcome& outcome) {
  std::vector<MtlID> table(kIdCount, 0);
  for (std::size_t i = 0; i < used.ids.size(); ++i) table[used.ids[i]] = outcome.to[i];
  for (int f = 0; f < mesh.getNumFaces(); ++f) mesh.faces[f].setMatID(table[mesh.faces[f].getMatID()]);
}

// The nodes of one mesh object, and what their multi-materials make of it.
void applyToMesh(TriObject& object, const std::vector<INode*>& nodes, ImportContext& context) {
  std::vector<std::pair<INode*, MultiMtl*>> choosing;
  for (INode* node : nodes) {
    Mtl* material = node->GetMtl();
    if (material != nullptr && context.faceIdRules.contains(material)) {
      choosing.emplace_back(node, static_cast<MultiMtl*>(material));
    }
  }
  if (choosing.empty()) return;
  Mesh& mesh = object.GetMesh();
  const UsedIds used = usedIds(mesh);
  std::vector<Outcome> outcomes;
  std::vector<std::size_t> outcomeOf;
  for (const auto& [node, multi] : choosing) {
    Outcome outcome = outcomeFor(*multi, context.faceIdRules.at(multi), used);
    const auto same = std::find_if(outcomes.begin(), outcomes.end(),
                                   [&](const Outcome& earlier) { return earlier.to == outcome.to; });
    outcomeOf.push_back(static_cast<std::size_t>(same - outcomes.begin()));
    if (same == outcomes.end()) outcomes.push_back(std::move(outcome));
  }
  // Copies are taken before the original's faces change.
  outcomes[0].object = &object;
  for (std::size_t k = 1; k < outcomes.size(); ++k) {
    outcomes[k].object = CreateNewTriObject();
    outcomes[k].object->GetMesh() = mesh;
  }
  for (std::size_t i = 0; i < choosing.size(); ++i) {
    if (outcomeOf[i] != 0) choosing[i].first->SetObjectRef(outcomes[outcomeOf[i]].object);
  }

  ImportLog* log = context.importLog.get();
  const std::string& name = context.meshNames[&object];
  for (const Outcome& outcome : outcomes) {
    rewrite(outcome.object->GetMesh(), used, outcome);
    if (outcome.unmatchedFaces == 0) continue;
    logLine(log, "Mesh \"%s\": %u faces match no ID of %s; its first sub-material used\n", name.c_str(),
            outcome.unmatchedFaces, outcome.rule->name.c_str());
    if (log != nullptr) {
      log->report().add(ReportStage::Import, loss::kUnmatchedFaceIds, name,
                        "faces given the first sub-material of " + outcome.rule->name, outcome.unmatchedFaces);
    }
  }
  if (outcomes.size() > 1) {
    const auto copies = static_cast<std::uint32_t>(outcomes.size() - 1);
    logLine(log, "Mesh \"%s\": copied %u times, its nodes' multi-materials choose differently\n", name.c_str(), copies);
    if (log != nullptr) {
      log->report().add(ReportStage::Import, loss::kMeshCopied, name,
                        "nodes' multi-materials choose sub-materials differently", copies);
    }
  }
}

}  // namespace

void applyFaceIdRules(ImportContext& context) {
  if (context.faceIdRules.empty()) return;
  // Meshes in the order their first node was made.
  std::vector<TriObject*> order;
  std::unordered_map<TriObject*, std::vector<INode*>> users;
  for (int i = 0; i < context.importedNodes.Count(); ++i) {
    INode* node = context.importedNodes[i];
    Object* shown = node->GetObjectRef();
    if (shown == nullptr || shown->ClassID() != TRIOBJ_CLASS_ID) continue;
    auto* object = static_cast<TriObject*>(shown);
    std::vector<INode*>& list = users[object];
    if (list.empty()) order.push_back(object);
    list.push_back(node);
  }
  for (TriObject* object : order) applyToMesh(*object, users[object], context);
}

}  // namespace cvimp
