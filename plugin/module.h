#pragma once
// The exports of cvimp.gup, the entry points the host looks up by name.
#include "host/max.h"
#include "plugin/module_instance.h"

#define CVIMP_EXPORT __attribute__((visibility("default")))

extern "C" {
CVIMP_EXPORT const MCHAR* LibDescription();
CVIMP_EXPORT int LibNumberClasses();
CVIMP_EXPORT ClassDesc* LibClassDesc(int i);
CVIMP_EXPORT ULONG LibVersion();
// This platform's entry point and resource section (host/plugin_module.h).
CVIMP_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
CVIMP_EXPORT const host::ResourceDirectory* HostModuleResources();
}
