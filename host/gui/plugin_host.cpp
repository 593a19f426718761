#include "host/gui/plugin_host.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "host/class_desc.h"
#include "host/core_interface.h"
#include "host/gui/window_host.h"
#include "host/journal.h"

namespace host {

namespace {

using LibDescriptionFunction = const MCHAR* (*)();
using LibNumberClassesFunction = int (*)();
using LibClassDescFunction = ClassDesc* (*)(int);
using LibVersionFunction = ULONG (*)();

constexpr SClass_ID kGupSuperClass = 0x10E0;

// Registers the descriptor's action tables and, for a global utility
// plug-in, creates and starts it; one that does not ask to be kept is
// deleted at once.
void startClass(ClassDesc& descriptor, LoadedPlugin& plugin) {
  IActionManager* actions = GetCOREInterface()->GetActionManager();
  for (int i = 0; actions != nullptr && i < descriptor.NumActionTables(); ++i) {
    if (ActionTable* table = descriptor.GetActionTable(i)) actions->RegisterActionTable(table);
  }
  if (descriptor.SuperClassID() != kGupSuperClass) return;
  auto* gup = static_cast<GUP*>(descriptor.Create(FALSE));
  if (gup == nullptr) return;
  if (gup->Start() == GUPRESULT_KEEP) {
    plugin.started.push_back(gup);
  } else {
    gup->DeleteThis();
  }
}

}  // namespace

PluginHost::~PluginHost() { shutdown(); }

bool PluginHost::load(const std::string& path, std::string& error) {
  auto plugin = std::make_unique<LoadedPlugin>();
  plugin->path = path;
  if (!plugin->module.load(path)) {
    error = plugin->module.error();
    return false;
  }
  const PluginModule& module = plugin->module;
  const auto description = module.function<LibDescriptionFunction>("LibDescription");
  const auto numberClasses = module.function<LibNumberClassesFunction>("LibNumberClasses");
  const auto classDesc = module.function<LibClassDescFunction>("LibClassDesc");
  const auto version = module.function<LibVersionFunction>("LibVersion");
  if (description == nullptr || numberClasses == nullptr || classDesc == nullptr || version == nullptr) {
    error = path + ": not a plug-in (an export is missing)";
    return false;
  }
  if (version() != VERSION_3DSMAX) {
    error = path + ": built for another version of the host";
    return false;
  }
  if (const MCHAR* text = description()) plugin->description = text;
  journal().record("PluginHost::load", host::quoted(std::string_view(path)));
  const int count = numberClasses();
  for (int i = 0; i < count; ++i) {
    if (ClassDesc* descriptor = classDesc(i)) startClass(*descriptor, *plugin);
  }
  plugins_.push_back(std::move(plugin));
  return true;
}

std::vector<std::string> PluginHost::loadFolder(const std::string& folder) {
  std::vector<std::string> paths;
  std::error_code failure;
  for (const auto& entry : std::filesystem::directory_iterator(folder, failure)) {
    if (entry.path().extension() == ".gup") paths.push_back(entry.path().string());
  }
  std::vector<std::string> errors;
  if (failure) errors.push_back(folder + ": " + failure.message());
  std::sort(paths.begin(), paths.end());
  for (const std::string& path : paths) {
    std::string error;
    if (!load(path, error)) errors.push_back(error);
  }
  return errors;
}

void PluginHost::shutdown() {
  for (auto plugin = plugins_.rbegin(); plugin != plugins_.rend(); ++plugin) {
    for (auto gup = (*plugin)->started.rbegin(); gup != (*plugin)->started.rend(); ++gup) (*gup)->Stop();
  }
  // The plug-ins' windows go before the plug-ins (their procedures read
  // the objects) and long before the code they run is unloaded.
  destroyDialogs();
  for (auto plugin = plugins_.rbegin(); plugin != plugins_.rend(); ++plugin) {
    for (auto gup = (*plugin)->started.rbegin(); gup != (*plugin)->started.rend(); ++gup) (*gup)->DeleteThis();
    (*plugin)->started.clear();
  }
  // Unloaded newest first, as the modules go away with the plug-in list.
  while (!plugins_.empty()) plugins_.pop_back();
}

}  // namespace host
