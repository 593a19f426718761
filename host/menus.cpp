#include "host/menus.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <mutex>

#include "host/core_interface.h"
#include "host/journal.h"

namespace host {

// Every menu and item the host gave out, until reset frees them.
class MenuStore {
 public:
  MenuStore() = default;
  ~MenuStore() { clear(); }
  MenuStore(const MenuStore&) = delete;
  MenuStore& operator=(const MenuStore&) = delete;

  IMenu* newMenu() { return menus_.emplace_back(new IMenu); }
  IMenu* newMenu(const char16_t* title) {
    IMenu* menu = newMenu();
    menu->title_ = title;
    return menu;
  }
  // An item opening `subMenu`, at the end of `menu`.
  void appendOpener(IMenu* menu, IMenu* subMenu) {
    IMenuItem* item = newItem();
    item->subMenu_ = subMenu;
    item->menu_ = menu;
    menu->items_.push_back(item);
  }
  IMenuItem* newItem() { return items_.emplace_back(new IMenuItem); }
  const std::vector<IMenu*>& menus() const { return menus_; }
  void clear() {
    for (IMenu* menu : menus_) delete menu;
    for (IMenuItem* item : items_) delete item;
    menus_.clear();
    items_.clear();
  }
  // Takes every item that opens `menu` out of the menu it is in.
  void detachOpeners(const IMenu* menu) {
    for (IMenu* holder : menus_) {
      std::erase_if(holder->items_, [menu](IMenuItem* item) {
        if (item->subMenu_ != menu) return false;
        item->menu_ = nullptr;
        return true;
      });
    }
  }

 private:
  std::vector<IMenu*> menus_;
  std::vector<IMenuItem*> items_;
};

namespace {

constexpr std::array<const char16_t*, 12> kDefaultMenus = {u"File",      u"Edit",      u"Tools",     u"Group",
                                                           u"Views",     u"Create",    u"Modifiers", u"Animation",
                                                           u"Rendering", u"Customize", u"Scripting", u"Help"};

struct MenuState {
  std::recursive_mutex lock;
  bool managerAvailable = true;
  bool made = false;
  IMenuManager manager;
  IMenuBarContext barContext{kMainMenuBar};
  MenuStore store;
  std::vector<IMenu*> registered;
  IMenu* bar = nullptr;
  int updates = 0;
  std::function<void()> barListener;

  IMenu* find(const std::u16string& title) const {
    for (IMenu* menu : registered)
      if (menu->GetTitle().str() == title) return menu;
    return nullptr;
  }
  // The stand-in's default bar, made on first use.
  void ensureMade() {
    if (made) return;
    made = true;
    bar = store.newMenu(u"Main Menu Bar");
    registered.push_back(bar);
    for (const char16_t* title : kDefaultMenus) {
      IMenu* menu = store.newMenu(title);
      registered.push_back(menu);
      store.appendOpener(bar, menu);
    }
  }
};

// Never destroyed: menus may be asked for until the process ends.
MenuState& state() {
  static MenuState& instance = *new MenuState;
  return instance;
}

std::string titleOf(const IMenu* menu) { return menu != nullptr ? host::quoted(menu->GetTitle().str()) : "none"; }

std::u16string withoutMarks(std::u16string text) {
  std::erase(text, u'&');
  return text;
}

}  // namespace

void setMenuManagerAvailable(bool available) {
  std::lock_guard guard(state().lock);
  state().managerAvailable = available;
}

void setMenuBarListener(std::function<void()> listener) {
  std::lock_guard guard(state().lock);
  state().barListener = std::move(listener);
}

int menuBarUpdates() {
  std::lock_guard guard(state().lock);
  return state().updates;
}

bool chooseMenuItem(std::string_view path) {
  ActionTableId tableId = 0;
  int cmdId = 0;
  {
    std::lock_guard guard(state().lock);
    state().ensureMade();
    const IMenu* menu = state().bar;
    const IMenuItem* chosen = nullptr;
    std::string_view rest = path;
    while (true) {
      const std::size_t slash = rest.find('/');
      const std::u16string title = utf8ToUtf16(rest.substr(0, slash));
      if (menu == nullptr) return false;
      chosen = nullptr;
      for (int i = 0; i < menu->NumItems() && chosen == nullptr; ++i) {
        const IMenuItem* item = menu->GetItem(i);
        if (item->IsSeparator()) continue;
        const std::u16string itemTitle = item->GetTitle().str();
        if (itemTitle == title || withoutMarks(itemTitle) == title) chosen = item;
      }
      if (chosen == nullptr) return false;
      if (slash == std::string_view::npos) break;
      menu = chosen->GetSubMenu();
      rest.remove_prefix(slash + 1);
    }
    if (!chosen->IsActionItem()) return false;
    tableId = chosen->GetActionTableId();
    cmdId = chosen->GetActionCommandId();
  }
  journal().record("chooseMenuItem", host::quoted(path));
  return executeAction(tableId, cmdId);
}

void resetMenus() {
  std::lock_guard guard(state().lock);
  state().registered.clear();
  state().bar = nullptr;
  state().store.clear();
  state().updates = 0;
  state().made = false;
  state().ensureMade();
}

}  // namespace host

using host::journal;
using host::quoted;

void IMenuItem::SetTitle(const MSTR& title) {
  journal().record("IMenuItem::SetTitle", host::quoted(title.str()));
  std::lock_guard guard(host::state().lock);
  title_ = title;
}

MSTR IMenuItem::GetTitle() const {
  std::lock_guard guard(host::state().lock);
  if (!title_.isNull()) return title_;
  if (subMenu_ != nullptr) return subMenu_->GetTitle();
  if (const ActionItem* action = GetActionItem()) {
    MSTR text;
    action->GetMenuText(text);
    return text;
  }
  return {};
}

bool IMenuItem::SetActionItem(ActionItem* action) {
  const ActionTable* table = action != nullptr ? action->GetTable() : nullptr;
  journal().record("IMenuItem::SetActionItem",
                   table != nullptr ? host::hex(table->GetId()) + ", " + std::to_string(action->GetId()) : "none");
  if (table == nullptr) return false;
  std::lock_guard guard(host::state().lock);
  hasAction_ = true;
  tableId_ = table->GetId();
  cmdId_ = action->GetId();
  return true;
}

ActionItem* IMenuItem::GetActionItem() const {
  if (!hasAction_) return nullptr;
  for (const ActionTable* table : host::actionTables())
    if (table->GetId() == tableId_) return table->GetAction(cmdId_);
  return nullptr;
}

void IMenuItem::SetSubMenu(IMenu* menu) {
  journal().record("IMenuItem::SetSubMenu", host::titleOf(menu));
  std::lock_guard guard(host::state().lock);
  subMenu_ = menu;
}

void IMenuItem::ActAsSeparator() {
  journal().record("IMenuItem::ActAsSeparator");
  std::lock_guard guard(host::state().lock);
  separator_ = true;
}

void IMenu::SetTitle(const MSTR& title) {
  journal().record("IMenu::SetTitle", host::quoted(title.str()));
  std::lock_guard guard(host::state().lock);
  title_ = title;
}

IMenuItem* IMenu::GetItem(int position) const {
  std::lock_guard guard(host::state().lock);
  if (position < 0 || position >= NumItems()) return nullptr;
  return items_[static_cast<std::size_t>(position)];
}

bool IMenu::AddItem(IMenuItem* item, int position) {
  journal().record("IMenu::AddItem",
                   host::titleOf(this) + ", " +
                       (item != nullptr ? host::quoted(item->GetTitle().str()) : std::string("none")) + ", " +
                       std::to_string(position));
  std::lock_guard guard(host::state().lock);
  if (item == nullptr || item->menu_ != nullptr) return false;
  const auto at = position < 0 || position > NumItems() ? items_.end() : items_.begin() + position;
  items_.insert(at, item);
  item->menu_ = this;
  return true;
}

void IMenu::RemoveItem(int position) {
  journal().record("IMenu::RemoveItem", host::titleOf(this) + ", " + std::to_string(position));
  std::lock_guard guard(host::state().lock);
  if (position < 0 || position >= NumItems()) return;
  items_[static_cast<std::size_t>(position)]->menu_ = nullptr;
  items_.erase(items_.begin() + position);
}

void IMenu::RemoveItem(IMenuItem* item) {
  std::lock_guard guard(host::state().lock);
  const auto found = std::find(items_.begin(), items_.end(), item);
  if (found != items_.end()) RemoveItem(static_cast<int>(found - items_.begin()));
}

IMenu* IMenuBarContext::GetMenu() {
  journal().record("IMenuBarContext::GetMenu", host::hex(GetId()));
  std::lock_guard guard(host::state().lock);
  host::state().ensureMade();
  return GetId() == kMainMenuBar ? host::state().bar : nullptr;
}

void IMenuBarContext::SetMenu(IMenu* menu) {
  if (GetId() == kMainMenuBar) host::state().manager.SetMainMenuBar(menu);
}

BOOL IMenuManager::RegisterMenu(IMenu* menu, DWORD flags) {
  journal().record("IMenuManager::RegisterMenu", host::titleOf(menu) + ", " + std::to_string(flags));
  std::lock_guard guard(host::state().lock);
  host::MenuState& state = host::state();
  state.ensureMade();
  if (menu == nullptr || std::ranges::find(state.registered, menu) != state.registered.end() ||
      state.find(menu->GetTitle().str()) != nullptr)
    return FALSE;
  state.registered.push_back(menu);
  return TRUE;
}

BOOL IMenuManager::UnRegisterMenu(IMenu* menu) {
  journal().record("IMenuManager::UnRegisterMenu", host::titleOf(menu));
  std::lock_guard guard(host::state().lock);
  host::MenuState& state = host::state();
  state.ensureMade();
  if (std::erase(state.registered, menu) == 0) return FALSE;
  state.store.detachOpeners(menu);
  return TRUE;
}

IMenu* IMenuManager::FindMenu(const MSTR& title) {
  journal().record("IMenuManager::FindMenu", host::quoted(title.str()));
  std::lock_guard guard(host::state().lock);
  host::state().ensureMade();
  return host::state().find(title.str());
}

int IMenuManager::NumMenus() {
  std::lock_guard guard(host::state().lock);
  host::state().ensureMade();
  return static_cast<int>(host::state().registered.size());
}

IMenu* IMenuManager::GetMenu(int index) {
  std::lock_guard guard(host::state().lock);
  host::state().ensureMade();
  if (index < 0 || index >= static_cast<int>(host::state().registered.size())) return nullptr;
  return host::state().registered[static_cast<std::size_t>(index)];
}

IMenuContext* IMenuManager::GetContext(MenuContextId id) {
  journal().record("IMenuManager::GetContext", std::to_string(id));
  return id == kMainMenuBar ? &host::state().barContext : nullptr;
}

IMenu* IMenuManager::GetMainMenuBar() {
  journal().record("IMenuManager::GetMainMenuBar");
  std::lock_guard guard(host::state().lock);
  host::state().ensureMade();
  return host::state().bar;
}

BOOL IMenuManager::SetMainMenuBar(IMenu* menu) {
  journal().record("IMenuManager::SetMainMenuBar", host::titleOf(menu));
  std::lock_guard guard(host::state().lock);
  host::MenuState& state = host::state();
  state.ensureMade();
  if (menu == nullptr) return FALSE;
  if (std::ranges::find(state.registered, menu) == state.registered.end()) state.registered.push_back(menu);
  state.bar = menu;
  return TRUE;
}

void IMenuManager::UpdateMenuBar() {
  journal().record("IMenuManager::UpdateMenuBar");
  std::function<void()> listener;
  {
    std::lock_guard guard(host::state().lock);
    host::state().updates += 1;
    listener = host::state().barListener;
  }
  if (listener) listener();
}

IMenu* GetIMenu() {
  journal().record("GetIMenu");
  std::lock_guard guard(host::state().lock);
  return host::state().store.newMenu();
}

IMenuItem* GetIMenuItem() {
  journal().record("GetIMenuItem");
  std::lock_guard guard(host::state().lock);
  return host::state().store.newItem();
}

IMenuManager* Interface::GetMenuManager() {
  std::lock_guard guard(host::state().lock);
  return host::state().managerAvailable ? &host::state().manager : nullptr;
}
