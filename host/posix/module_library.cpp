#include "host/module_library.h"

#include <dlfcn.h>
#include <link.h>

namespace host::module_library {

Loaded load(const std::string& path) {
  Loaded loaded;
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
    loaded.error = reason != nullptr ? reason : "cannot load " + path;
    return loaded;
  }
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    loaded.error = "cannot locate " + path;
    dlclose(handle);
    return loaded;
  }
  loaded.handle = handle;
  loaded.base = map->l_addr;
  return loaded;
}

void unload(void* handle) { dlclose(handle); }

void* symbol(void* handle, const char* name) { return dlsym(handle, name); }

bool systemCallsEntryPoint() { return false; }

}  // namespace host::module_library
