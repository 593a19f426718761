#pragma once
// The plug-in module: its handle, saved when the host attaches it, and the
// texts of its string table.
#include "plugin/host/class_desc.h"
#include "plugin/host/plugin_module.h"

#define CVIMP_EXPORT __attribute__((visibility("default")))

// The module's handle; null until the module is attached.
HINSTANCE moduleInstance();

// String `id` of the module, in one buffer of 512 characters that every call
// shares: each call overwrites the previous text, and the caller copies
// what it keeps. Null when the module handle is not known yet or the string
// does not exist.
const MCHAR* loadResourceString(int id);

// The exports the host looks up by name.
extern "C" {
CVIMP_EXPORT const MCHAR* LibDescription();
CVIMP_EXPORT int LibNumberClasses();
CVIMP_EXPORT ClassDesc* LibClassDesc(int i);
CVIMP_EXPORT ULONG LibVersion();
// This platform's entry point and resource section (plugin/host/plugin_module.h).
CVIMP_EXPORT BOOL DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
CVIMP_EXPORT const host::ResourceDirectory* HostModuleResources();
}
