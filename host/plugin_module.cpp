#include "host/plugin_module.h"

#include <mutex>
#include <set>
#include <utility>

#include "host/journal.h"
#include "host/module_library.h"

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
  const module_library::Loaded loaded = module_library::load(path);
  if (loaded.handle == nullptr) {
    error_ = loaded.error;
    return false;
  }
  handle_ = loaded.handle;
  instance_ = reinterpret_cast<HINSTANCE>(loaded.base);
  journal().record("LoadLibrary", host::quoted(std::string_view(path)));
  if (auto resources = function<ModuleResourcesFunction>("HostModuleResources"))
    registerModuleResources(instance_, resources());
  if (auto entry = entryPoint(); entry != nullptr && !entry(instance_, DLL_PROCESS_ATTACH, nullptr)) {
    error_ = "the entry point of " + path + " refused to attach";
    registerModuleResources(instance_, nullptr);
    module_library::unload(handle_);
    handle_ = nullptr;
    instance_ = nullptr;
    return false;
  }
  return true;
}

void PluginModule::unload() {
  if (handle_ == nullptr) return;
  if (auto entry = entryPoint()) entry(instance_, DLL_PROCESS_DETACH, nullptr);
  registerModuleResources(instance_, nullptr);
  {
    std::lock_guard guard(threadCalls().lock);
    threadCalls().disabled.erase(instance_);
  }
  module_library::unload(handle_);
  journal().record("FreeLibrary");
  handle_ = nullptr;
  instance_ = nullptr;
}

void* PluginModule::symbol(const char* name) const {
  return handle_ != nullptr ? module_library::symbol(handle_, name) : nullptr;
}

DllMainFunction PluginModule::entryPoint() const {
  return module_library::systemCallsEntryPoint() ? nullptr : function<DllMainFunction>("DllMain");
}

}  // namespace host

BOOL DisableThreadLibraryCalls(HINSTANCE module) {
  if (module == nullptr) return FALSE;
  host::journal().record("DisableThreadLibraryCalls");
  std::lock_guard guard(host::threadCalls().lock);
  host::threadCalls().disabled.insert(module);
  return TRUE;
}
