#include "host/resources.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "host/dialog_templates.h"

struct HACCEL__ {
  std::vector<ACCEL> entries;
};

namespace host {
namespace {

struct Registry {
  std::mutex lock;
  std::map<HINSTANCE, const ResourceDirectory*> modules;
  std::map<std::pair<HINSTANCE, int>, std::unique_ptr<HACCEL__>> accelerators;
  // Tables of unloaded modules: their handles stay valid.
  std::vector<std::unique_ptr<HACCEL__>> retired;
};

Registry& registry() {
  static Registry instance;
  return instance;
}

const ResourceDirectory* find(HINSTANCE module) {
  auto found = registry().modules.find(module);
  return found != registry().modules.end() ? found->second : nullptr;
}

}  // namespace

void registerModuleResources(HINSTANCE module, const ResourceDirectory* resources) {
  {
    std::lock_guard guard(registry().lock);
    if (resources == nullptr) {
      registry().modules.erase(module);
      auto& tables = registry().accelerators;
      for (auto table = tables.begin(); table != tables.end();) {
        if (table->first.first != module) {
          ++table;
          continue;
        }
        registry().retired.push_back(std::move(table->second));
        table = tables.erase(table);
      }
      return;
    }
    registry().modules[module] = resources;
  }
  registerDialogs(resources->dialogs);
}

void registerDialogs(std::span<const DialogResource> dialogs) {
  for (const DialogResource& dialog : dialogs) {
    DialogTemplate made{std::u16string(dialog.caption), dialog.width, dialog.height, dialog.style, {}};
    // Static texts are the controls the plug-in's dialogs have.
    for (const DialogControl& control : dialog.controls) {
      if (control.className != u"STATIC") continue;
      made.controls.push_back({control.id, std::u16string(control.text), (control.style & SS_NOTIFY) != 0, control.x,
                               control.y, control.width, control.height});
    }
    registerDialogTemplate(dialog.id, std::move(made));
  }
}

const ResourceDirectory* moduleResources(HINSTANCE module) {
  std::lock_guard guard(registry().lock);
  return find(module);
}

std::vector<ACCEL> acceleratorEntries(HACCEL table) { return table != nullptr ? table->entries : std::vector<ACCEL>{}; }

}  // namespace host

int LoadStringW(HINSTANCE module, UINT id, MCHAR* buffer, int bufferMax) {
  if (buffer == nullptr || bufferMax < 0) return 0;
  std::lock_guard guard(host::registry().lock);
  const host::ResourceDirectory* resources = host::find(module);
  if (resources == nullptr) return 0;
  // One language is all a module carries here; the first table that has
  // the string answers.
  for (const host::StringTable& table : resources->stringTables) {
    for (const host::StringResource& entry : table.entries) {
      if (entry.id != id) continue;
      if (bufferMax == 0) {
        const MCHAR* text = entry.text.data();
        std::memcpy(buffer, &text, sizeof text);
        return static_cast<int>(entry.text.size());
      }
      const std::size_t length = std::min(entry.text.size(), static_cast<std::size_t>(bufferMax - 1));
      std::copy_n(entry.text.data(), length, buffer);
      buffer[length] = u'\0';
      return static_cast<int>(length);
    }
  }
  return 0;
}

HACCEL LoadAcceleratorsW(HINSTANCE module, int id) {
  std::lock_guard guard(host::registry().lock);
  auto& tables = host::registry().accelerators;
  if (auto known = tables.find({module, id}); known != tables.end()) return known->second.get();
  const host::ResourceDirectory* resources = host::find(module);
  if (resources == nullptr) return nullptr;
  for (const host::AcceleratorResource& resource : resources->accelerators) {
    if (resource.id != id) continue;
    auto table = std::make_unique<HACCEL__>();
    for (ACCEL entry : resource.entries) {
      entry.fVirt = static_cast<BYTE>(entry.fVirt & ~host::kAcceleratorEndMark);
      table->entries.push_back(entry);
    }
    HACCEL handle = table.get();
    tables.emplace(std::pair{module, id}, std::move(table));
    return handle;
  }
  return nullptr;
}
