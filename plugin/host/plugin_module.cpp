#include "plugin/host/plugin_module.h"

#include <dlfcn.h>
#include <link.h>

#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "plugin/host/journal.h"

namespace host {
namespace {

struct ThreadCalls {
  std::mutex lock;
  std::set<HINSTANCE> disabled;
};

ThreadCalls& threadCalls() {
  static ThreadCalls instance;
  return instance;
}

int addObject(dl_phdr_info* info, std::size_t, void* names) {
  if (info->dlpi_name != nullptr && info->dlpi_name[0] != '\0')
    static_cast<std::set<std::string>*>(names)->insert(info->dlpi_name);
  return 0;
}

// The file names of the objects loaded now.
std::set<std::string> loadedObjects() {
  std::set<std::string> names;
  dl_iterate_phdr(&addObject, &names);
  return names;
}

// The libraries a module brought in stay loaded for the rest of the
// process, when the module itself is unloaded: they run threads and
// register GLib types of their own (oneTBB's workers, the browser engine),
// which must not be unmapped while the process runs. The module's own code
// goes, and comes back fresh on the next load, as a DLL does.
void keepLibrariesLoaded(const std::set<std::string>& before, const char* module) {
  for (const std::string& name : loadedObjects()) {
    if (before.contains(name) || name == module) continue;
    // A second reference that is never closed, to an object marked never
    // to be unloaded.
    dlopen(name.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  }
}

}  // namespace

bool threadLibraryCallsDisabled(HINSTANCE module) {
  std::lock_guard guard(threadCalls().lock);
  return threadCalls().disabled.contains(module);
}

PluginModule::~PluginModule() { unload(); }

PluginModule::PluginModule(PluginModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)),
      instance_(std::exchange(other.instance_, nullptr)),
      error_(std::move(other.error_)) {}

PluginModule& PluginModule::operator=(PluginModule&& other) noexcept {
  if (this != &other) {
    unload();
    handle_ = std::exchange(other.handle_, nullptr);
    instance_ = std::exchange(other.instance_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

bool PluginModule::load(const std::string& path) {
  unload();
  error_.clear();
  const std::set<std::string> before = loadedObjects();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    error_ = reason != nullptr ? reason : "cannot load " + path;
    return false;
  }
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    error_ = "cannot locate " + path;
    dlclose(handle);
    return false;
  }
  handle_ = handle;
  instance_ = reinterpret_cast<HINSTANCE>(map->l_addr);
  keepLibrariesLoaded(before, map->l_name);
  journal().record("LoadLibrary", quoted(std::string_view(path)));
  if (auto resources = function<ModuleResourcesFunction>("HostModuleResources"))
    registerModuleResources(instance_, resources());
  if (auto entry = function<DllMainFunction>("DllMain"); entry != nullptr && !entry(instance_, DLL_PROCESS_ATTACH, nullptr)) {
    error_ = "the entry point of " + path + " refused to attach";
    registerModuleResources(instance_, nullptr);
    dlclose(handle_);
    handle_ = nullptr;
    instance_ = nullptr;
    return false;
  }
  return true;
}

void PluginModule::unload() {
  if (handle_ == nullptr) return;
  if (auto entry = function<DllMainFunction>("DllMain")) entry(instance_, DLL_PROCESS_DETACH, nullptr);
  registerModuleResources(instance_, nullptr);
  {
    std::lock_guard guard(threadCalls().lock);
    threadCalls().disabled.erase(instance_);
  }
  dlclose(handle_);
  journal().record("FreeLibrary");
  handle_ = nullptr;
  instance_ = nullptr;
}

void* PluginModule::symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace host

BOOL DisableThreadLibraryCalls(HINSTANCE module) {
  if (module == nullptr) return FALSE;
  host::journal().record("DisableThreadLibraryCalls");
  std::lock_guard guard(host::threadCalls().lock);
  host::threadCalls().disabled.insert(module);
  return TRUE;
}
