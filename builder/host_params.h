#pragma once
// Parameters of a host object's block set by internal name; a name the
// block does not have is passed over.
#include <string>
#include <string_view>

#include "host/max.h"
#include "materials/materials.h"

namespace cvimp {

inline void setFloatParam(IParamBlock2* block, std::u16string_view name, float value) {
  if (const auto id = findParamId(block, name)) block->SetValue(*id, 0, value);
}
inline void setBoolParam(IParamBlock2* block, std::u16string_view name, bool value) {
  if (const auto id = findParamId(block, name)) block->SetValue(*id, 0, value ? 1 : 0);
}
inline void setColorParam(IParamBlock2* block, std::u16string_view name, const Color& value) {
  if (const auto id = findParamId(block, name)) block->SetValue(*id, 0, value);
}
inline void setTextParam(IParamBlock2* block, std::u16string_view name, const std::u16string& value) {
  if (const auto id = findParamId(block, name)) block->SetValue(*id, 0, value.c_str());
}

}  // namespace cvimp
