#include "maxhost/host_commands.h"

#include <utility>

namespace maxhost {

HostCommands::HostCommands(std::unique_ptr<ActionTable> table, ActionContextId context, const char16_t* contextName,
                           ActionCallback& callback, const char16_t* menu, const std::vector<Item>& items)
    : table_(std::move(table)), callback_(callback) {
  Interface* core = GetCOREInterface();
  IActionManager* actions = core->GetActionManager();
  IMenuManager* menus = core->GetMenuManager();
  if (actions == nullptr || menus == nullptr) return;
  actions->RegisterActionContext(context, contextName);
  actions->RegisterActionTable(table_.get());
  actions->ActivateActionTable(&callback_, table_->GetId());
  menu_ = menus->FindMenu(MSTR(menu));
  if (menu_ == nullptr) return;
  for (const Item& entry : items) {
    IMenuItem* item = GetIMenuItem();
    if (entry.command == 0) {
      item->ActAsSeparator();
    } else {
      ActionItem* action = table_->GetAction(entry.command);
      item->SetActionItem(action);
      MSTR title(entry.title != nullptr ? entry.title : u"");
      if (entry.title == nullptr && action != nullptr) action->GetMenuText(title);
      item->SetTitle(title);
    }
    menu_->AddItem(item);
    items_.push_back(item);
  }
  menus->UpdateMenuBar();
}

HostCommands::~HostCommands() {
  if (menu_ != nullptr) {
    for (IMenuItem* item : items_) menu_->RemoveItem(item);
  }
  if (IActionManager* actions = GetCOREInterface()->GetActionManager())
    actions->DeactivateActionTable(&callback_, table_->GetId());
}

}  // namespace maxhost
