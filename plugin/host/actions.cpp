#include "plugin/host/actions.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>
#include <string>

#include "plugin/host/core_interface.h"
#include "plugin/host/journal.h"

namespace host {
namespace {

struct ActionState {
  std::mutex lock;
  bool managerAvailable = true;
  IActionManager manager;
  std::vector<const ActionTable*> tables;
};

// Never destroyed: the tables are the host's for the life of the process.
ActionState& state() {
  static ActionState& instance = *new ActionState;
  return instance;
}

std::u16string keyName(WORD key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::u16string(1, static_cast<char16_t>(key));
  if (key >= 0x70 && key <= 0x87) return u"F" + utf8ToUtf16(std::to_string(key - 0x70 + 1));
  return u"#" + utf8ToUtf16(std::to_string(key));
}

// The text of a string resource, empty when the module has none.
MSTR loadText(HINSTANCE module, int id) {
  std::array<MCHAR, 512> buffer{};
  if (LoadStringW(module, static_cast<UINT>(id), buffer.data(), static_cast<int>(buffer.size())) == 0) return {};
  return MSTR(buffer.data());
}

}  // namespace

std::string hex(DWORD value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
  return text;
}

void setActionManagerAvailable(bool available) {
  std::lock_guard guard(state().lock);
  state().managerAvailable = available;
}

std::vector<const ActionTable*> actionTables() {
  std::lock_guard guard(state().lock);
  return state().tables;
}

}  // namespace host

std::u16string shortcutText(Shortcut shortcut) {
  if (shortcut.empty()) return {};
  std::u16string text;
  if (shortcut.modifiers & FCONTROL) text += u"Ctrl+";
  if (shortcut.modifiers & FALT) text += u"Alt+";
  if (shortcut.modifiers & FSHIFT) text += u"Shift+";
  return text + host::keyName(shortcut.key);
}

ActionItem::ActionItem(int id, MSTR description, MSTR shortName, MSTR category, Shortcut shortcut)
    : id_(id),
      description_(std::move(description)),
      shortName_(std::move(shortName)),
      category_(std::move(category)),
      shortcut_(shortcut) {}

ActionTable::ActionTable(ActionTableId id, ActionContextId contextId, const MSTR& name, HACCEL defaults, int numIds,
                         const ActionDescription* descriptions, HINSTANCE module)
    : id_(id), contextId_(contextId), name_(name), defaults_(defaults) {
  const std::vector<ACCEL> accelerators = host::acceleratorEntries(defaults);
  for (int i = 0; descriptions != nullptr && i < numIds; ++i) {
    const ActionDescription& description = descriptions[i];
    Shortcut shortcut;
    auto accelerator = std::find_if(accelerators.begin(), accelerators.end(), [&](const ACCEL& entry) {
      return entry.cmd == description.mCmdID && (entry.fVirt & FVIRTKEY) != 0;
    });
    if (accelerator != accelerators.end())
      shortcut = {static_cast<BYTE>(accelerator->fVirt & (FSHIFT | FCONTROL | FALT)), accelerator->key};
    items_.push_back(std::make_unique<ActionItem>(
        description.mCmdID, host::loadText(module, description.mDescriptionResourceID),
        host::loadText(module, description.mShortNameResourceID),
        host::loadText(module, description.mCategoryResourceID), shortcut));
  }
  host::journal().record("ActionTable::ActionTable", host::hex(id) + ", " + host::hex(contextId) + ", " +
                                                         host::quoted(name.str()) + ", " + std::to_string(numIds));
  std::lock_guard guard(host::state().lock);
  host::state().tables.push_back(this);
}

ActionTable::~ActionTable() {
  std::lock_guard guard(host::state().lock);
  std::erase(host::state().tables, this);
}

ActionItem* ActionTable::operator[](int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(index)].get();
}

ActionItem* ActionTable::GetAction(int cmdId) const {
  for (const auto& item : items_)
    if (item->GetId() == cmdId) return item.get();
  return nullptr;
}

BOOL IActionManager::RegisterActionContext(ActionContextId contextId, const MCHAR* name) {
  host::journal().record("IActionManager::RegisterActionContext",
                         host::hex(contextId) + ", " + host::quoted(std::u16string_view(name ? name : u"")));
  if (GetActionContextName(contextId) != nullptr) return FALSE;
  contexts_.push_back({contextId, MSTR(name)});
  return TRUE;
}

const MCHAR* IActionManager::GetActionContextName(ActionContextId contextId) const {
  for (const Context& context : contexts_)
    if (context.id == contextId) return context.name.data();
  return nullptr;
}

IActionManager* Interface::GetActionManager() {
  std::lock_guard guard(host::state().lock);
  return host::state().managerAvailable ? &host::state().manager : nullptr;
}
