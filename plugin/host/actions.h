#pragma once
// The host's action system as far as plug-ins describe their commands:
// action tables of action items, each with its texts and default shortcut,
// and the action manager that knows the contexts the tables belong to.
#include <memory>
#include <string>
#include <vector>

#include "plugin/host/host_types.h"
#include "plugin/host/resources.h"
#include "plugin/host/wstr.h"

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

 private:
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

// The action manager. Tables, activation and shortcut dispatch come with
// the stand-in's application; contexts are what plug-ins register now.
class IActionManager {
 public:
  // false when a context of that id is already registered.
  BOOL RegisterActionContext(ActionContextId contextId, const MCHAR* name);
  // The name of a registered context; null for an unknown one.
  const MCHAR* GetActionContextName(ActionContextId contextId) const;
  int NumActionContexts() const { return static_cast<int>(contexts_.size()); }

 private:
  struct Context {
    ActionContextId id;
    MSTR name;
  };
  std::vector<Context> contexts_;
};

namespace host {

// Whether the core interface offers an action manager (it does unless a
// test takes it away, as a host starting up would not yet have one).
void setActionManagerAvailable(bool available);
// Action tables made so far, oldest first.
std::vector<const ActionTable*> actionTables();
// "0x2E932E12": how the journal writes table and context ids.
std::string hex(DWORD value);

}  // namespace host
