// MAXScript in the stand-in: it knows the one script the plug-in runs, the
// quadrify script, and carries it out step by step; any other script is a
// script error.
#include <cstdio>
#include <string>

#include "host/core_interface.h"
#include "host/host_state.h"
#include "host/journal.h"
#include "host/poly_object.h"
#include "host/scene.h"

namespace host {

namespace {

constexpr std::u16string_view kQuadrifyScript =
    u"qitems = selection as array;itemnum = qitems.count;curiter = 0;for o in qitems do (  select o;  macros.run "
    u"\"Modifier Stack\" \"Convert_to_Poly\";  PolyToolsModeling.Quadrify false false;  curiter += 1;  m = "
    u"((curiter as float)/(itemnum as float))*100;  progressStart \"Optimizing scene...\";  progressUpdate m;  "
    u"progressEnd())";

// macros.run "Modifier Stack" "Convert_to_Poly" on the node's object; every
// instance of the object changes with it.
PolyObject* convertToPoly(INode& node) {
  Object* object = node.GetObjectRef();
  if (object == nullptr) return nullptr;
  if (object->ClassID() == POLYOBJ_CLASS_ID) return static_cast<PolyObject*>(object);
  if (object->ClassID() != TRIOBJ_CLASS_ID) return nullptr;
  journal().record("Convert_to_Poly", host::quoted(std::u16string_view(node.GetName())));
  std::unique_ptr<PolyObject> poly = polyFromMesh(static_cast<TriObject*>(object)->GetMesh());
  return static_cast<PolyObject*>(scene().replaceObject(object, std::move(poly)));
}

void runQuadrifyScript() {
  Interface* core = GetCOREInterface();
  const std::vector<INode*> items = scene().selection();
  const auto count = static_cast<float>(items.size());
  int done = 0;
  for (INode* node : items) {
    core->SelectNode(node, 1);
    if (PolyObject* poly = convertToPoly(*node)) {
      const int quads = quadrify(*poly);
      journal().record("PolyToolsModeling.Quadrify",
                       host::quoted(std::u16string_view(node->GetName())) + ", " + std::to_string(quads));
    }
    done += 1;
    const float percent = static_cast<float>(done) / count * 100.0f;
    core->ProgressStart(u"Optimizing scene...", TRUE, nullptr, nullptr);
    core->ProgressUpdate(static_cast<int>(percent), TRUE, nullptr);
    core->ProgressEnd();
  }
}

}  // namespace

void recordScript(const std::u16string& script);

}  // namespace host

BOOL ExecuteMAXScriptScript(const MCHAR* script, MAXScript::ScriptSource source, BOOL quietErrors, FPValue* result,
                            BOOL logQuietErrors) {
  const std::u16string text = script != nullptr ? script : u"";
  host::journal().record("ExecuteMAXScriptScript",
                         host::quoted(text) + ", " + std::to_string(static_cast<int>(source)) + ", " +
                             host::flag(quietErrors != 0) + ", " + (result != nullptr ? "result" : "none") + ", " +
                             host::flag(logQuietErrors != 0));
  host::recordScript(text);
  if (text == host::kQuadrifyScript) {
    host::runQuadrifyScript();
    return TRUE;
  }
  // The stand-in runs no other script: it is an error, shown unless quiet.
  host::journal().record("MAXScriptError", "unknown script");
  if (quietErrors == 0) std::fprintf(stderr, "MAXScript error: the stand-in host cannot run this script\n");
  return FALSE;
}
