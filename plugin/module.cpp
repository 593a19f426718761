#include "plugin/module.h"

#include "plugin/cvimp_class_desc.h"
#include "resources/resources.h"

extern "C" {

CVIMP_EXPORT const MCHAR* LibDescription() { return loadResourceString(IDS_LIBDESCRIPTION); }

CVIMP_EXPORT int LibNumberClasses() { return 1; }

CVIMP_EXPORT ClassDesc* LibClassDesc(int i) { return i == 0 ? cvimpClassDesc() : nullptr; }

CVIMP_EXPORT ULONG LibVersion() { return VERSION_3DSMAX; }

CVIMP_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    setModuleInstance(instance);
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

CVIMP_EXPORT const host::ResourceDirectory* HostModuleResources() { return &cvimp::resources::directory(); }

}  // extern "C"
