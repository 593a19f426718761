#include <vector>

#include "builder/builder.h"
#include "builder/import_context.h"
#include "builder/scene_node.h"
#include "host/max.h"
#include "vrscene/vrscene.h"

namespace cvimp {

const char16_t* const kQuadrifyScript =
    u"qitems = selection as array;itemnum = qitems.count;curiter = 0;for o in qitems do (  select o;  macros.run "
    u"\"Modifier Stack\" \"Convert_to_Poly\";  PolyToolsModeling.Quadrify false false;  curiter += 1;  m = "
    u"((curiter as float)/(itemnum as float))*100;  progressStart \"Optimizing scene...\";  progressUpdate m;  "
    u"progressEnd())";

namespace {

// The driver moves the bar itself.
DWORD noWork(LPVOID) { return 0; }

void runQuadrify(INodeTab& nodes) {
  Interface* core = GetCOREInterface();
  core->SelectNodeTab(nodes, TRUE, FALSE);
  FPValue scratch;
  scratch.Init();
  ExecuteMAXScriptScript(kQuadrifyScript, MAXScript::Embedded, FALSE, &scratch, TRUE);
  scratch.Free();
}

}  // namespace

bool importDesign(PluginState& state, WStr& result) {
  if (state.scenePath.isNull()) {
    result = u"Invalid scene file";
    return false;
  }
  Interface* core = GetCOREInterface();
  core->DisableSceneRedraw();
  core->ProgressStart(u"Importing design...", TRUE, noWork, nullptr);

  const std::string scenePath = state.scenePath.ToACP().str();
  ImportContext context;
  context.searchDirectories = buildSearchDirectories(scenePath);

  VrpScene scene;
  if (!loadScene(scenePath, scene, context.searchDirectories, true)) {
    core->ProgressEnd();
    core->EnableSceneRedraw();
    result = u"Cannot parse scene";
    return false;
  }
  std::vector<VrpPlugin*> ordered;
  if (!prebuildScene(scene, ordered)) {
    core->ProgressEnd();
    core->EnableSceneRedraw();
    result = u"Cannot prebuild scene";
    return false;
  }

  context.unitFactor = importUnitFactor();
  context.importLog = openImportLog(scenePath);
  context.logSlotNames = true;

  const std::size_t count = ordered.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (core->GetCancel()) break;
    core->ProgressUpdate(static_cast<int>(static_cast<float>(i) / static_cast<float>(count) * 100.0f), TRUE, nullptr);
    if (!state.importMesh) continue;
    const VrpPlugin& plugin = *ordered[i];
    if (plugin.type != "Node") continue;
    if (INode* node = createSceneNode(plugin, context, state)) context.importedNodes.Append(1, &node);
  }
  core->ProgressEnd();

  if (state.quadrifyMesh) runQuadrify(context.importedNodes);
  closeImportLog(context.importLog);

  core->EnableSceneRedraw();
  core->ViewportZoomExtents(FALSE, FALSE);
  core->ForceCompleteRedraw(FALSE);
  result = u"Succeed";
  return true;
}

}  // namespace cvimp
