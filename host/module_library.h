#pragma once
// The system's loader under PluginModule, behind neutral types (the Windows
// side includes the system's headers, whose names the stand-in's headers
// also define).
#include <cstdint>
#include <string>

namespace host::module_library {

struct Loaded {
  void* handle = nullptr;   // null when the module could not be loaded
  std::uintptr_t base = 0;  // the address it is loaded at: the module's HINSTANCE
  std::string error;
};

Loaded load(const std::string& path);
void unload(void* handle);
void* symbol(void* handle, const char* name);
// Windows calls a DLL's entry point itself on load and unload; elsewhere the
// host calls its "DllMain" export by hand.
bool systemCallsEntryPoint();

}  // namespace host::module_library
