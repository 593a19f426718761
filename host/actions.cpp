#include "host/actions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <mutex>
#include <string>

#include "host/core_interface.h"
#include "host/journal.h"

namespace host {
namespace {

struct Registration {
  ActionTable* table;
  ActionCallback* callback;  // the activation; null while inactive
};

struct ActionState {
  std::mutex lock;
  bool managerAvailable = true;
  IActionManager manager;
  std::vector<const ActionTable*> tables;
  std::vector<std::unique_ptr<ActionContext>> contexts;
  std::vector<Registration> registered;  // in registration order

  ActionContext* context(ActionContextId id) {
    for (const auto& context : contexts)
      if (context->GetContextId() == id) return context.get();
    return nullptr;
  }
  Registration* registration(ActionTableId id) {
    for (Registration& entry : registered)
      if (entry.table->GetId() == id) return &entry;
    return nullptr;
  }
  // The callback that runs the table's commands now; null when none would.
  ActionCallback* activeCallback(const Registration& entry) {
    const ActionContext* owner = context(entry.table->GetContextId());
    return owner != nullptr && owner->IsActive() ? entry.callback : nullptr;
  }
};

// Never destroyed: the tables are the host's for the life of the process.
ActionState& state() {
  static ActionState& instance = *new ActionState;
  return instance;
}

std::u16string keyName(WORD key) {
  if ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9')) return std::u16string(1, static_cast<char16_t>(key));
  // Appended rather than concatenated: g++ 12 warns falsely (-Wrestrict) on
  // a literal plus a string in optimised builds.
  std::u16string name(1, key >= 0x70 && key <= 0x87 ? u'F' : u'#');
  name += utf8ToUtf16(std::to_string(key >= 0x70 && key <= 0x87 ? key - 0x70 + 1 : key));
  return name;
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

bool isTableActive(ActionTableId tableId) {
  std::lock_guard guard(state().lock);
  const Registration* entry = state().registration(tableId);
  return entry != nullptr && state().activeCallback(*entry) != nullptr;
}

bool executeAction(ActionTableId tableId, int cmdId) {
  ActionCallback* callback = nullptr;
  {
    std::lock_guard guard(state().lock);
    const Registration* entry = state().registration(tableId);
    if (entry == nullptr || entry->table->GetAction(cmdId) == nullptr) return false;
    callback = state().activeCallback(*entry);
  }
  if (callback == nullptr) return false;
  journal().record("ActionCallback::ExecuteAction", hex(tableId) + ", " + std::to_string(cmdId));
  // Unlocked: the command may call back into the host.
  return callback->ExecuteAction(cmdId) != FALSE;
}

bool pressShortcut(std::string_view text) {
  const std::optional<Shortcut> shortcut = parseShortcut(text);
  if (!shortcut) return false;
  ActionTableId tableId = 0;
  int cmdId = 0;
  bool found = false;
  {
    std::lock_guard guard(state().lock);
    for (const Registration& entry : state().registered) {
      if (state().activeCallback(entry) == nullptr) continue;
      for (int i = 0; i < entry.table->Count() && !found; ++i) {
        const ActionItem* item = (*entry.table)[i];
        if (item->GetShortcut() == *shortcut) {
          tableId = entry.table->GetId();
          cmdId = item->GetId();
          found = true;
        }
      }
      if (found) break;
    }
  }
  return found && executeAction(tableId, cmdId);
}

void resetActions() {
  std::lock_guard guard(state().lock);
  state().contexts.clear();
  state().registered.clear();
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

std::optional<Shortcut> parseShortcut(std::string_view text) {
  Shortcut shortcut;
  std::string rest(text);
  for (char& c : rest) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (std::size_t plus; (plus = rest.find('+')) != std::string::npos && plus + 1 < rest.size();) {
    const std::string modifier = rest.substr(0, plus);
    if (modifier == "CTRL" || modifier == "CONTROL")
      shortcut.modifiers |= FCONTROL;
    else if (modifier == "ALT")
      shortcut.modifiers |= FALT;
    else if (modifier == "SHIFT")
      shortcut.modifiers |= FSHIFT;
    else
      return std::nullopt;
    rest.erase(0, plus + 1);
  }
  if (rest.size() == 1 && std::isalnum(static_cast<unsigned char>(rest[0]))) {
    shortcut.key = static_cast<WORD>(rest[0]);
  } else if (rest.size() >= 2 && rest.size() <= 3 && rest[0] == 'F' &&
             std::all_of(rest.begin() + 1, rest.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    const int number = std::stoi(rest.substr(1));
    if (number < 1 || number > 24) return std::nullopt;
    shortcut.key = static_cast<WORD>(0x70 + number - 1);
  } else {
    return std::nullopt;
  }
  return shortcut;
}

ActionCallback::ActionCallback() { host::journal().record("ActionCallback::ActionCallback"); }

ActionCallback::~ActionCallback() {
  host::journal().record("ActionCallback::~ActionCallback");
  std::lock_guard guard(host::state().lock);
  for (host::Registration& entry : host::state().registered)
    if (entry.callback == this) entry.callback = nullptr;
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
    items_.push_back(std::make_unique<ActionItem>(description.mCmdID,
                                                  host::loadText(module, description.mDescriptionResourceID),
                                                  host::loadText(module, description.mShortNameResourceID),
                                                  host::loadText(module, description.mCategoryResourceID), shortcut));
    items_.back()->table_ = this;
  }
  host::journal().record("ActionTable::ActionTable", host::hex(id) + ", " + host::hex(contextId) + ", " +
                                                         host::quoted(name.str()) + ", " + std::to_string(numIds));
  std::lock_guard guard(host::state().lock);
  host::state().tables.push_back(this);
}

ActionTable::~ActionTable() {
  std::lock_guard guard(host::state().lock);
  std::erase(host::state().tables, this);
  std::erase_if(host::state().registered, [this](const host::Registration& entry) { return entry.table == this; });
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
  std::lock_guard guard(host::state().lock);
  if (host::state().context(contextId) != nullptr) return FALSE;
  host::state().contexts.push_back(std::make_unique<ActionContext>(contextId, MSTR(name)));
  return TRUE;
}

const MCHAR* IActionManager::GetActionContextName(ActionContextId contextId) const {
  std::lock_guard guard(host::state().lock);
  const ActionContext* context = host::state().context(contextId);
  return context != nullptr ? context->GetName() : nullptr;
}

int IActionManager::NumActionContexts() const {
  std::lock_guard guard(host::state().lock);
  return static_cast<int>(host::state().contexts.size());
}

ActionContext* IActionManager::GetActionContext(int index) {
  std::lock_guard guard(host::state().lock);
  if (index < 0 || index >= static_cast<int>(host::state().contexts.size())) return nullptr;
  return host::state().contexts[static_cast<std::size_t>(index)].get();
}

ActionContext* IActionManager::FindContext(ActionContextId contextId) {
  std::lock_guard guard(host::state().lock);
  return host::state().context(contextId);
}

BOOL IActionManager::IsContextActive(ActionContextId contextId) {
  std::lock_guard guard(host::state().lock);
  const ActionContext* context = host::state().context(contextId);
  return context != nullptr && context->IsActive() ? TRUE : FALSE;
}

BOOL IActionManager::RegisterActionTable(ActionTable* table) {
  host::journal().record("IActionManager::RegisterActionTable", table != nullptr ? host::hex(table->GetId()) : "none");
  std::lock_guard guard(host::state().lock);
  if (table == nullptr || host::state().registration(table->GetId()) != nullptr) return FALSE;
  host::state().registered.push_back({table, nullptr});
  return TRUE;
}

int IActionManager::NumActionTables() {
  std::lock_guard guard(host::state().lock);
  return static_cast<int>(host::state().registered.size());
}

ActionTable* IActionManager::GetTable(int index) {
  std::lock_guard guard(host::state().lock);
  if (index < 0 || index >= static_cast<int>(host::state().registered.size())) return nullptr;
  return host::state().registered[static_cast<std::size_t>(index)].table;
}

ActionTable* IActionManager::FindTable(ActionTableId id) {
  host::journal().record("IActionManager::FindTable", host::hex(id));
  std::lock_guard guard(host::state().lock);
  const host::Registration* entry = host::state().registration(id);
  return entry != nullptr ? entry->table : nullptr;
}

BOOL IActionManager::ActivateActionTable(ActionCallback* callback, ActionTableId id) {
  host::journal().record("IActionManager::ActivateActionTable",
                         std::string(callback != nullptr ? "callback" : "none") + ", " + host::hex(id));
  std::lock_guard guard(host::state().lock);
  host::Registration* entry = host::state().registration(id);
  if (entry == nullptr || callback == nullptr) return FALSE;
  entry->callback = callback;
  return TRUE;
}

BOOL IActionManager::DeactivateActionTable(ActionCallback* callback, ActionTableId id) {
  host::journal().record("IActionManager::DeactivateActionTable",
                         std::string(callback != nullptr ? "callback" : "none") + ", " + host::hex(id));
  std::lock_guard guard(host::state().lock);
  host::Registration* entry = host::state().registration(id);
  if (entry == nullptr || callback == nullptr || entry->callback != callback) return FALSE;
  entry->callback = nullptr;
  return TRUE;
}

IActionManager* Interface::GetActionManager() {
  std::lock_guard guard(host::state().lock);
  return host::state().managerAvailable ? &host::state().manager : nullptr;
}
