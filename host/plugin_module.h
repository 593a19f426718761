#pragma once
// Plug-in modules: what the host loads from its plug-in folders, and the
// fixed entry points it asks them.
//
// On Windows the loader calls a DLL's entry point itself. On other systems
// the stand-in's loader does the same by hand: after dlopen it registers the module's
// resources (its "HostModuleResources" export) under the module's handle
// and calls its "DllMain" export with DLL_PROCESS_ATTACH; before dlclose it
// calls it with DLL_PROCESS_DETACH and takes the resources away. The
// module's handle is the address it is loaded at. Unlike a DLL, a module's
// code and statics stay in memory after unload until the process ends, and
// a later load of the same file finds its statics as they were.
//
// A module leaves the host's symbols undefined: they come from the
// executable that loads it, which exports the host's interface, so that
// there is one host state, as there is one 3ds Max core.
#include <string>

#include "host/host_types.h"
#include "host/resources.h"

constexpr DWORD DLL_PROCESS_DETACH = 0;
constexpr DWORD DLL_PROCESS_ATTACH = 1;
constexpr DWORD DLL_THREAD_ATTACH = 2;
constexpr DWORD DLL_THREAD_DETACH = 3;

// The SDK version plug-ins are built for, as LibVersion answers it.
constexpr ULONG MAX_RELEASE = 24000;
constexpr ULONG MAX_API_NUM = 60;
constexpr ULONG MAX_SDK_REV = 0;
constexpr ULONG VERSION_3DSMAX = (MAX_RELEASE << 16) + (MAX_API_NUM << 8) + MAX_SDK_REV;

// Turns off a module's thread attach and detach calls; the stand-in never
// makes them, and records the request.
BOOL DisableThreadLibraryCalls(HINSTANCE module);

namespace host {

// Whether a module has turned off its thread calls.
bool threadLibraryCallsDisabled(HINSTANCE module);

using DllMainFunction = BOOL (*)(HINSTANCE, DWORD, LPVOID);
using ModuleResourcesFunction = const ResourceDirectory* (*)();

// A loaded plug-in module, unloaded with the object.
class PluginModule {
 public:
  PluginModule() = default;
  ~PluginModule();
  PluginModule(PluginModule&& other) noexcept;
  PluginModule& operator=(PluginModule&& other) noexcept;
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Loads the module at `path` and attaches it. False with a short text in
  // error() when it cannot be loaded or its entry point refuses.
  bool load(const std::string& path);
  void unload();

  bool loaded() const { return handle_ != nullptr; }
  HINSTANCE instance() const { return instance_; }
  const std::string& error() const { return error_; }
  // An exported symbol; null when the module has none.
  void* symbol(const char* name) const;
  template <typename Function>
  Function function(const char* name) const {
    return reinterpret_cast<Function>(symbol(name));
  }

 private:
  // "DllMain", when the host is the one to call it.
  DllMainFunction entryPoint() const;

  void* handle_ = nullptr;
  HINSTANCE instance_ = nullptr;
  std::string error_;
};

}  // namespace host
