#include "host/plugin_module.h"

#include <dlfcn.h>
#include <link.h>

#include <mutex>
#include <set>
#include <utility>

#include "host/journal.h"

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
  // The code stays mapped after unload(): a module leaves work behind that
  // may still run its code (idle sources of the browser layer, the page
  // bridge's detached workers returning from a send), and brings in
  // libraries that run threads and register GLib types of their own
  // (oneTBB's workers, the browser engine). To the plug-in, unload() is an
  // unload all the same: detached, resources gone, handle closed. Its
  // statics live on (a later load finds them as they were) and are
  // destroyed at exit.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
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
  journal().record("LoadLibrary", quoted(std::string_view(path)));
  if (auto resources = function<ModuleResourcesFunction>("HostModuleResources"))
    registerModuleResources(instance_, resources());
  if (auto entry = function<DllMainFunction>("DllMain");
      entry != nullptr && !entry(instance_, DLL_PROCESS_ATTACH, nullptr)) {
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

void* PluginModule::symbol(const char* name) const { return handle_ != nullptr ? dlsym(handle_, name) : nullptr; }

}  // namespace host

BOOL DisableThreadLibraryCalls(HINSTANCE module) {
  if (module == nullptr) return FALSE;
  host::journal().record("DisableThreadLibraryCalls");
  std::lock_guard guard(host::threadCalls().lock);
  host::threadCalls().disabled.insert(module);
  return TRUE;
}
