#include <cstdint>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

#include "builder/builder.h"
#include "builder/face_ids.h"
#include "builder/import_context.h"
#include "builder/scene_camera.h"
#include "builder/scene_lights.h"
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

// What did not come across at all: per plugin type that no conversion reads,
// how many plugins the scene holds, by type name. Settings are not scene
// content.
// Cameras and lights left out by their option are the user's choice, as
// meshes are, not losses.
void reportTypesNotImported(const VrpScene& scene, ImportLog* log) {
  std::map<std::string_view, std::uint32_t> counts;
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    const std::string_view type = plugin->type;
    if (type.starts_with("Settings") || sceneNodeReads(type) || materialConversionReads(type) ||
        textureConversionReads(type) || cameraConversionReads(type) || lightConversionReads(type)) {
      continue;
    }
    ++counts[type];
  }
  for (const auto& [type, count] : counts) {
    log->report().add(ReportStage::Import, loss::kNotImported, type, "no conversion reads this type", count);
  }
}

// Cameras and lights have no polygons: the script would stop at them.
void runQuadrify(const INodeTab& nodes) {
  INodeTab meshes;
  for (int i = 0; i < nodes.Count(); ++i) {
    INode* node = nodes[i];
    Object* object = node->GetObjectRef();
    if (object == nullptr || object->SuperClassID() == CAMERA_CLASS_ID || object->SuperClassID() == LIGHT_CLASS_ID) {
      continue;
    }
    meshes.Append(1, &node);
  }
  GetCOREInterface()->SelectNodeTab(meshes, TRUE, FALSE);
  runQuadrifyScript();
}

// One node per plugin that the options ask for: meshes of "Node" plugins,
// lights, and the render view's camera.
INode* createNodeFor(const VrpPlugin& plugin, ImportContext& context, const PluginState& state) {
  if (plugin.type == "Node") return state.importMesh ? createSceneNode(plugin, context, state) : nullptr;
  if (state.importLight && isLightType(plugin.type)) return createLight(plugin, context);
  if (state.importCamera && plugin.type == "RenderView") return createCamera(plugin, context);
  return nullptr;
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

  context.importLog = openImportLog(scenePath);
  // Without a log file the report is still collected.
  if (!context.importLog) context.importLog = std::make_unique<ImportLog>();
  context.unitFactor = importUnitFactor(scene, context.importLog.get());
  context.photometricScale = importPhotometricScale(scene, context.importLog.get());
  context.logSlotNames = true;

  const std::size_t count = ordered.size();
  for (std::size_t i = 0; i < count; ++i) {
    if (core->GetCancel()) break;
    progress.update(static_cast<int>(static_cast<float>(i) / static_cast<float>(count) * 100.0f));
    if (INode* node = createNodeFor(*ordered[i], context, state)) context.importedNodes.Append(1, &node);
  }
  // The meshes are complete before anything reads them.
  context.meshFills.wait();
  applyFaceIdRules(context);
  progress.end();
  if (state.importCamera) finishCameras(scene, context);
  if (state.importLight) finishLights(scene, context);
  if (context.camerasMade + context.lightsMade > 0) {
    logLine(context.importLog.get(), "Cameras made: %d, lights made: %d\n", context.camerasMade, context.lightsMade);
  }
  reportTypesNotImported(scene, context.importLog.get());

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
