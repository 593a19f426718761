#include "plugin/cvimp_class_desc.h"

#include "plugin/cvimp_gup.h"
#include "plugin/module_instance.h"
#include "resources/resources.h"

namespace {

CvimpClassDesc classDesc;

// The commands in menu order: command, description, short name, category.
ActionDescription actionDescriptions[] = {
    {ID_IMPORT, IDS_IMPORT, IDS_IMPORT, IDS_CVIMP},
    {ID_QUADRIFY, IDS_QUADRIFY, IDS_QUADRIFY, IDS_CVIMP},
    {ID_HELP, IDS_HELP, IDS_HELP, IDS_CVIMP},
    {ID_ABOUT, IDS_ABOUT, IDS_ABOUT, IDS_CVIMP},
};
constexpr int kActionCount = static_cast<int>(std::size(actionDescriptions));

}  // namespace

CvimpClassDesc* cvimpClassDesc() { return &classDesc; }

// The host takes the object as a GUP: converted here, where its type is known.
void* CvimpClassDesc::Create(BOOL) { return static_cast<GUP*>(new CvimpGUP()); }

const MCHAR* CvimpClassDesc::ClassName() { return loadResourceString(IDS_CLASS_NAME); }

const MCHAR* CvimpClassDesc::Category() { return loadResourceString(IDS_CATEGORY); }

ActionTable* CvimpClassDesc::GetActionTable(int) {
  if (actionTable != nullptr) return actionTable;
  IActionManager* manager = GetCOREInterface()->GetActionManager();
  if (manager == nullptr) return nullptr;
  // The name is copied at once: the string buffer is shared.
  const MSTR name(loadResourceString(IDS_CVIMP));
  HACCEL accelerators = LoadAcceleratorsW(moduleInstance(), IDR_ACCELERATOR);
  auto* table = new ActionTable(kCvimpActionTableId, kCvimpActionContextId, name, accelerators, kActionCount,
                                actionDescriptions, moduleInstance());
  manager->RegisterActionContext(kCvimpActionContextId, name.data());
  actionTable = table;
  return actionTable;
}
