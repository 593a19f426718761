#pragma once
// The plug-in module's handle, saved when the host attaches the module, and
// the texts of its string table read through it.
#include "host/max.h"

// The module's handle; null until the module is attached (and in programs
// that link the plug-in's code without loading it as a module).
HINSTANCE moduleInstance();
void setModuleInstance(HINSTANCE instance);

// String `id` of the module, in one buffer of 512 characters that every call
// shares: each call overwrites the previous text, and the caller copies
// what it keeps. Null when the module handle is not known yet or the string
// does not exist.
const MCHAR* loadResourceString(int id);
