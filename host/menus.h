#pragma once
// The host's menu manager: menus of items, each item bound to an action or
// opening a sub-menu (or a separator), menus registered by title, and the
// main menu bar, the menu of the menu-bar context with ID 1.
//
// Ownership: the host owns every menu and item that GetIMenu and
// GetIMenuItem give out, whether registered, placed in a menu or not. No one
// deletes them: a plug-in that unregisters its menu just forgets it (the
// menu stays valid, out of every menu that held it, until host::reset,
// which frees them all).
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/actions.h"
#include "host/host_types.h"
#include "host/wstr.h"

using MenuContextId = DWORD;
constexpr MenuContextId kMainMenuBar = 1;

enum MenuContextType { kMenuContextMenuBar = 0, kMenuContextQuadMenu = 1 };

class IMenu;

namespace host {
class MenuStore;
}

class IMenuItem {
 public:
  IMenuItem(const IMenuItem&) = delete;
  IMenuItem& operator=(const IMenuItem&) = delete;

  // A title of its own; without one the item shows its sub-menu's title or
  // its action's menu text.
  void SetTitle(const MSTR& title);
  MSTR GetTitle() const;
  // Binds the item to the action (by its table's id and command id); false
  // for a null action.
  bool SetActionItem(ActionItem* action);
  // The bound action; null when none or when its table is gone.
  ActionItem* GetActionItem() const;
  bool IsActionItem() const { return hasAction_; }
  ActionTableId GetActionTableId() const { return tableId_; }
  int GetActionCommandId() const { return cmdId_; }
  // The item opens `menu` (not owned: menus are the host's).
  void SetSubMenu(IMenu* menu);
  IMenu* GetSubMenu() const { return subMenu_; }
  void ActAsSeparator();
  bool IsSeparator() const { return separator_; }
  // The menu the item is in; null when in none.
  IMenu* GetMenu() const { return menu_; }

 private:
  friend class host::MenuStore;
  friend class IMenu;
  IMenuItem() = default;
  ~IMenuItem() = default;

  MSTR title_;
  bool hasAction_ = false;
  ActionTableId tableId_ = 0;
  int cmdId_ = 0;
  IMenu* subMenu_ = nullptr;
  bool separator_ = false;
  IMenu* menu_ = nullptr;
};

class IMenu {
 public:
  IMenu(const IMenu&) = delete;
  IMenu& operator=(const IMenu&) = delete;

  void SetTitle(const MSTR& title);
  const MSTR& GetTitle() const { return title_; }
  int NumItems() const { return static_cast<int>(items_.size()); }
  // Null out of range.
  IMenuItem* GetItem(int position) const;
  // Inserts before `position`; a negative position or one past the end
  // appends. false for a null item or one already in a menu.
  bool AddItem(IMenuItem* item, int position = -1);
  // The item leaves the menu (it stays the host's).
  void RemoveItem(int position);
  void RemoveItem(IMenuItem* item);

 private:
  friend class host::MenuStore;
  IMenu() = default;
  ~IMenu() = default;

  MSTR title_;
  std::vector<IMenuItem*> items_;
};

class IMenuContext {
 public:
  IMenuContext(MenuContextId id, MenuContextType type) : id_(id), type_(type) {}
  virtual ~IMenuContext() = default;
  IMenuContext(const IMenuContext&) = delete;
  IMenuContext& operator=(const IMenuContext&) = delete;
  MenuContextId GetId() const { return id_; }
  MenuContextType GetType() const { return type_; }

 private:
  MenuContextId id_;
  MenuContextType type_;
};

// The context of a menu bar; the menu is the bar.
class IMenuBarContext : public IMenuContext {
 public:
  explicit IMenuBarContext(MenuContextId id) : IMenuContext(id, kMenuContextMenuBar) {}
  IMenu* GetMenu();
  void SetMenu(IMenu* menu);
};

class IMenuManager {
 public:
  // false for a null menu, one already registered or a title already taken.
  BOOL RegisterMenu(IMenu* menu, DWORD flags = 0);
  // Takes the menu off the register and out of every menu that opens it;
  // false when it was not registered. The menu is not deleted.
  BOOL UnRegisterMenu(IMenu* menu);
  // The registered menu of that title; null when none.
  IMenu* FindMenu(const MSTR& title);
  int NumMenus();
  IMenu* GetMenu(int index);
  // The context of that id (kMainMenuBar: an IMenuBarContext); null for
  // any other.
  IMenuContext* GetContext(MenuContextId id);
  IMenu* GetMainMenuBar();
  // Makes `menu` the bar (registering it when it is not); false for null.
  BOOL SetMainMenuBar(IMenu* menu);
  // Redraws the menu bar from the menus as they now are.
  void UpdateMenuBar();
};

// New menus and items, owned by the host.
IMenu* GetIMenu();
IMenuItem* GetIMenuItem();

namespace host {

// Whether the core interface offers a menu manager.
void setMenuManagerAvailable(bool available);
// UpdateMenuBar calls so far.
int menuBarUpdates();
// Called by each UpdateMenuBar (a host window redrawing its bar; null:
// none). Kept across reset.
void setMenuBarListener(std::function<void()> listener);
// The user chooses the item at `path` from the main menu bar, titles
// separated by '/', e.g. "Casavia (&K)/导入..."; a title matches with or
// without its '&' marks. Runs the bound action through its table's callback
// when the table is active, and gives whether it ran and was handled.
bool chooseMenuItem(std::string_view path);
// Part of host::reset: frees every menu and item and makes a fresh default
// bar (File, Edit, Tools, Group, Views, Create, Modifiers, Animation,
// Rendering, Customize, Scripting, Help).
void resetMenus();

}  // namespace host
