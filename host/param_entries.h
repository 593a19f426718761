#pragma once
// Building blocks of the stand-in classes' parameter blocks.
#include <memory>
#include <vector>

#include "host/param_block.h"

namespace host {

// Parameter IDs of the stand-in's classes start here and step by this, so
// that code which takes an index for an ID goes wrong in tests.
constexpr ParamID kFirstParamId = 3;
constexpr ParamID kParamIdStep = 2;

using ParamEntry = IParamBlock2::Entry;

inline ParamEntry floatParam(const char16_t* name, float value) { return {name, TYPE_FLOAT, value}; }
inline ParamEntry intParam(const char16_t* name, int value) { return {name, TYPE_INT, value}; }
inline ParamEntry boolParam(const char16_t* name, bool value) { return {name, TYPE_BOOL, value ? 1 : 0}; }
inline ParamEntry colorParam(const char16_t* name, float r, float g, float b) {
  return {name, TYPE_RGBA, Color(r, g, b)};
}
inline ParamEntry stringParam(const char16_t* name, const char16_t* value) {
  return {name, TYPE_STRING, std::u16string(value)};
}

inline std::unique_ptr<IParamBlock2> paramBlock(std::vector<ParamEntry> entries) {
  return std::make_unique<IParamBlock2>(std::move(entries), kFirstParamId, kParamIdStep);
}

}  // namespace host
