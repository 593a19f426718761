#include <memory>
#include <vector>

#include "builder/builder.h"
#include "builder/import_context.h"
#include "builder/scene_node.h"
#include "host/max.h"
#include "report/report.h"
#include "vrscene/vrscene.h"

namespace cvimp {

const char16_t* const kQuadrifyScript =
    u"qitems = selection as array;itemnum = qitems.count;curiter = 0;for o in qitems do (  select o;  macros.run "
    u"\"Modifier Stack\" \"Convert_to_Poly\";  PolyToolsModeling.Quadrify false false;  curiter += 1;  m = "
    u"((curiter as float)/(itemnum as float))*100;  progressStart \"Optimizing scene...\";  progressUpdate m;  "
    u"progressEnd())";

namespace {

void runQuadrify(INodeTab& nodes) {
  GetCOREInterface()->SelectNodeTab(nodes, TRUE, FALSE);
  runQuadrifyScript();
}

}  // namespace

void runQuadrifyScript() {
  FPValue scratch;
  scratch.Init();
  ExecuteMAXScriptScript(kQuadrifyScript, MAXScript::Embedded, FALSE, &scratch, TRUE);
  scratch.Free();
}

bool importDesign(PluginState& state, WStr& result) {
  if (state.scenePath.isNull()) {
    return fail(result, u"Invalid scene file");
  }
  Interface* core = GetCOREInterface();
  SceneRedrawOff redraw;
  ProgressScope progress(u"Importing design...");

  const std::string scenePath = state.scenePath.ToUTF8().str();
  ImportContext context;
  context.searchDirectories = buildSearchDirectories(scenePath);

  VrpScene scene;
  if (!loadScene(scenePath, scene, context.searchDirectories, true)) {
    return fail(result, u"Cannot parse scene");
  }
  std::vector<VrpPlugin*> ordered;
  if (!prebuildScene(scene, ordered)) {
    return fail(result, u"Cannot prebuild scene");
  }

  context.unitFactor = importUnitFactor();
  context.importLog = openImportLog(scenePath);
  // Without a log file the report is still collected.
  if (!context.importLog) context.importLog = std::make_unique<ImportLog>();
  context.logSlotNames = true;

  const std::size_t count = ordered.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (core->GetCancel()) break;
    progress.update(static_cast<int>(static_cast<float>(i) / static_cast<float>(count) * 100.0f));
    if (!state.importMesh) continue;
    const VrpPlugin& plugin = *ordered[i];
    if (plugin.type != "Node") continue;
    if (INode* node = createSceneNode(plugin, context, state)) context.importedNodes.Append(1, &node);
  }
  // The meshes are complete before anything reads them.
  context.meshFills.wait();
  progress.end();

  if (state.quadrifyMesh) runQuadrify(context.importedNodes);
  const Report& report = context.importLog->report();
  logLine(context.importLog.get(), "%s", report.summaryLine().c_str());
  storeReportInScene(report);
  closeImportLog(context.importLog);

  redraw.restore();
  core->ViewportZoomExtents(FALSE, FALSE);
  core->ForceCompleteRedraw(FALSE);
  return succeed(result);
}

}  // namespace cvimp
