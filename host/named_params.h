#pragma once
// The stand-in's parameters by internal name, read only, for what shows the
// scene: the viewport draws cameras and lights from them.
#include <string>
#include <string_view>

#include "host/objects.h"

namespace host {

// `object`'s parameter `name` in block 0; `fallback` when it has none of
// that name and type (booleans read as ints).
double floatParamOf(Object& object, std::u16string_view name, double fallback);
bool boolParamOf(Object& object, std::u16string_view name, bool fallback);
std::u16string stringParamOf(Object& object, std::u16string_view name);

}  // namespace host
