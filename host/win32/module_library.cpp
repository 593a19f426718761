#include "host/module_library.h"

#include <windows.h>

#include "platform/platform.h"

namespace host::module_library {

Loaded load(const std::string& path) {
  Loaded loaded;
  const std::u16string name = cvimp::platform::utf8ToUtf16(path);
  const HMODULE module =
      ::LoadLibraryExW(reinterpret_cast<const wchar_t*>(name.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    loaded.error = "cannot load " + path + " (error " + std::to_string(::GetLastError()) + ")";
    return loaded;
  }
  loaded.handle = module;
  loaded.base = reinterpret_cast<std::uintptr_t>(module);
  return loaded;
}

void unload(void* handle) { ::FreeLibrary(static_cast<HMODULE>(handle)); }

void* symbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle), name));
}

bool systemCallsEntryPoint() { return true; }

}  // namespace host::module_library
