#pragma once
// The host's action system as far as plug-ins describe their commands:
// action tables of action items, each with its texts and default shortcut,
// and the action manager that knows the contexts the tables belong to.
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/host_types.h"
#include "host/resources.h"
#include "host/wstr.h"

using MSTR = WStr;
using ActionTableId = DWORD;
using ActionContextId = DWORD;

// One command of a table, with the string resource ids of its texts.
struct ActionDescription {
  int mCmdID = 0;
  int mDescriptionResourceID = 0;
  int mShortNameResourceID = 0;
  int mCategoryResourceID = 0;
};

// A key with its modifiers, as an accelerator gives it (FSHIFT, FCONTROL,
// FALT); no key means no shortcut.
struct Shortcut {
  BYTE modifiers = 0;
  WORD key = 0;
  bool empty() const { return key == 0; }
  friend bool operator==(const Shortcut&, const Shortcut&) = default;
};
// "Shift+K", "Ctrl+Alt+F5"-like text; empty for no shortcut.
std::u16string shortcutText(Shortcut shortcut);
// The shortcut such a text names (modifiers in any order and case, "Ctrl"
// or "Control"); none for text that names no key.
std::optional<Shortcut> parseShortcut(std::string_view text);

class ActionTable;

// Commands of an action table reach the plug-in through its callback. The
// plug-in owns it; a callback that goes away takes itself out of every
// table it was activated with.
class ActionCallback {
 public:
  ActionCallback();
  ActionCallback(const ActionCallback&) = delete;
  ActionCallback& operator=(const ActionCallback&) = delete;
  virtual ~ActionCallback();
  // Whether the command was handled.
  virtual BOOL ExecuteAction(int id) = 0;
};

class ActionItem {
 public:
  ActionItem(int id, MSTR description, MSTR shortName, MSTR category, Shortcut shortcut);
  virtual ~ActionItem() = default;
  ActionItem(const ActionItem&) = delete;
  ActionItem& operator=(const ActionItem&) = delete;

  int GetId() const { return id_; }
  void GetDescriptionText(MSTR& text) const { text = description_; }
  void GetButtonText(MSTR& text) const { text = shortName_; }
  void GetMenuText(MSTR& text) const { text = shortName_; }
  void GetCategoryText(MSTR& text) const { text = category_; }
  Shortcut GetShortcut() const { return shortcut_; }
  // The table the item belongs to.
  ActionTable* GetTable() const { return table_; }

 private:
  friend class ActionTable;
  ActionTable* table_ = nullptr;
  int id_;
  MSTR description_;
  MSTR shortName_;
  MSTR category_;
  Shortcut shortcut_;
};

// A plug-in's commands. The texts are loaded through `module` when the
// table is made; each item's default shortcut is the first accelerator of
// `defaults` for its command. The host keeps every table for the life of
// the process (plug-ins make them with new and never delete them).
class ActionTable {
 public:
  ActionTable(ActionTableId id, ActionContextId contextId, const MSTR& name, HACCEL defaults, int numIds,
              const ActionDescription* descriptions, HINSTANCE module);
  virtual ~ActionTable();
  ActionTable(const ActionTable&) = delete;
  ActionTable& operator=(const ActionTable&) = delete;

  ActionTableId GetId() const { return id_; }
  ActionContextId GetContextId() const { return contextId_; }
  const MSTR& GetName() const { return name_; }
  HACCEL GetHAccel() const { return defaults_; }
  int Count() const { return static_cast<int>(items_.size()); }
  ActionItem* operator[](int index) const;
  // The item of command `cmdId`; null when the table has none.
  ActionItem* GetAction(int cmdId) const;

 private:
  ActionTableId id_;
  ActionContextId contextId_;
  MSTR name_;
  HACCEL defaults_;
  std::vector<std::unique_ptr<ActionItem>> items_;
};

// A context of actions. Its tables' shortcuts work only while it is active;
// a context is active from its registration on.
class ActionContext {
 public:
  ActionContext(ActionContextId id, MSTR name) : id_(id), name_(std::move(name)) {}
  ActionContextId GetContextId() const { return id_; }
  const MCHAR* GetName() const { return name_.data(); }
  bool IsActive() const { return active_; }
  void SetActive(bool active) { active_ = active; }

 private:
  ActionContextId id_;
  MSTR name_;
  bool active_ = true;
};

// The action manager: contexts, the tables registered with it, and which
// callback each table is activated with. It owns its contexts; tables and
// callbacks stay their makers' (the manager only points at them). The host
// registers the tables plug-ins describe (ClassDesc::GetActionTable).
class IActionManager {
 public:
  // false when a context of that id is already registered.
  BOOL RegisterActionContext(ActionContextId contextId, const MCHAR* name);
  // The name of a registered context; null for an unknown one.
  const MCHAR* GetActionContextName(ActionContextId contextId) const;
  int NumActionContexts() const;
  ActionContext* GetActionContext(int index);
  // Null for an unknown id.
  ActionContext* FindContext(ActionContextId contextId);
  // false for an unknown context.
  BOOL IsContextActive(ActionContextId contextId);

  // false for a null table or one with an id already registered.
  BOOL RegisterActionTable(ActionTable* table);
  int NumActionTables();
  ActionTable* GetTable(int index);
  // Null when no registered table has that id.
  ActionTable* FindTable(ActionTableId id);
  // From now on the table's commands run through `callback` (replacing any
  // earlier callback); false for an unregistered table or a null callback.
  BOOL ActivateActionTable(ActionCallback* callback, ActionTableId id);
  // Takes the table's callback away when it is `callback`; false otherwise.
  BOOL DeactivateActionTable(ActionCallback* callback, ActionTableId id);
};

namespace host {

// Whether the core interface offers an action manager (it does unless a
// test takes it away, as a host starting up would not yet have one).
void setActionManagerAvailable(bool available);
// Action tables made so far, oldest first.
std::vector<const ActionTable*> actionTables();
// "0x2E932E12": how the journal writes table and context ids.
std::string hex(DWORD value);

// Whether `tableId` is registered, activated with a callback and in an
// active context.
bool isTableActive(ActionTableId tableId);
// Runs command `cmdId` of table `tableId` through the table's callback when
// the table is active; gives what the callback answers (false when none ran).
bool executeAction(ActionTableId tableId, int cmdId);
// The user presses `shortcut` ("Shift+K"): the first active table (in
// registration order) with an action of that shortcut runs it. Gives
// whether an action ran and was handled.
bool pressShortcut(std::string_view shortcut);
// Part of host::reset: no contexts, no registered tables, no activations.
// The tables themselves stay (their makers own them).
void resetActions();

}  // namespace host
