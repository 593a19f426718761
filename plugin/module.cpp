#include "plugin/module.h"

#include <array>

#include "plugin/cvimp_class_desc.h"
#include "resources/resources.h"

namespace {

HINSTANCE savedInstance = nullptr;
std::array<MCHAR, 512> stringBuffer{};

}  // namespace

HINSTANCE moduleInstance() { return savedInstance; }

const MCHAR* loadResourceString(int id) {
  if (savedInstance == nullptr) return nullptr;
  if (LoadStringW(savedInstance, static_cast<UINT>(id), stringBuffer.data(), static_cast<int>(stringBuffer.size())) == 0)
    return nullptr;
  return stringBuffer.data();
}

extern "C" {

CVIMP_EXPORT const MCHAR* LibDescription() { return loadResourceString(IDS_LIBDESCRIPTION); }

CVIMP_EXPORT int LibNumberClasses() { return 1; }

CVIMP_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? cvimpClassDesc() : nullptr; }

CVIMP_EXPORT ULONG LibVersion() { return VERSION_3DSMAX; }

CVIMP_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    savedInstance = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

CVIMP_EXPORT const host::ResourceDirectory* HostModuleResources() { return &cvimp::resources::directory(); }

}  // extern "C"
