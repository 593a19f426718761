#include "plugin/cvimp_gup.h"

#include "bridge/bridge.h"
#include "host/max.h"
#include "plugin/cvimp_action_callback.h"
#include "plugin/cvimp_class_desc.h"
#include "plugin/module_instance.h"
#include "resources/resources.h"

namespace {

// The commands in the order the menu shows them.
constexpr int kMenuCommands[] = {ID_IMPORT, ID_QUADRIFY, ID_HELP, ID_ABOUT};

// Builds the "Casavia (&K)" menu and puts it before the last three menus of
// the main menu bar. Whatever is missing leaves the menu out or incomplete.
void insertMenu(IMenuManager& menus, IActionManager& actions) {
  const MCHAR* loadedTitle = loadResourceString(IDS_MENU_TITLE);
  const MSTR title(loadedTitle);
  // A menu left by an earlier run goes first.
  if (IMenu* earlier = menus.FindMenu(title)) menus.UnRegisterMenu(earlier);

  auto* context = static_cast<IMenuBarContext*>(menus.GetContext(kMainMenuBar));
  IMenu* bar = context != nullptr ? context->GetMenu() : nullptr;
  if (bar == nullptr) return;
  IMenu* menu = GetIMenu();
  if (menu == nullptr) return;
  menu->SetTitle(title);
  if (!menus.RegisterMenu(menu, 0)) return;

  if (ActionTable* table = actions.FindTable(kCvimpActionTableId)) {
    for (const int command : kMenuCommands) {
      ActionItem* action = table->GetAction(command);
      if (action == nullptr) continue;
      IMenuItem* item = GetIMenuItem();
      if (item == nullptr) continue;
      item->SetActionItem(action);
      menu->AddItem(item, -1);
    }
  }
  IMenuItem* opener = GetIMenuItem();
  if (opener == nullptr) return;
  opener->SetSubMenu(menu);
  const int position = bar->NumItems() - 3;
  bar->AddItem(opener, position < 0 ? 0 : position);
}

}  // namespace

CvimpGUP::~CvimpGUP() = default;

DWORD CvimpGUP::Start() {
  Interface* core = GetCOREInterface();
  IActionManager* actions = core->GetActionManager();
  if (actions == nullptr) return GUPRESULT_KEEP;
  if (!actionCallback) actionCallback = std::make_unique<CvimpActionCallback>(this);
  actions->ActivateActionTable(actionCallback.get(), kCvimpActionTableId);

  IMenuManager* menus = core->GetMenuManager();
  if (menus == nullptr) return GUPRESULT_KEEP;
  insertMenu(*menus, *actions);
  menus->UpdateMenuBar();
  return GUPRESULT_KEEP;
}

void CvimpGUP::Stop() {
  if (IActionManager* actions = GetCOREInterface()->GetActionManager())
    actions->DeactivateActionTable(actionCallback.get(), kCvimpActionTableId);
  if (frameworkStarted) {
    cvimp::shutdownBrowsers(cvimp::browserHost());
    frameworkStarted = false;
  }
}
