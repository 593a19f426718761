#pragma once
// The stand-in's parameters by internal name, read only, with a fallback for
// a parameter that is missing or of another type (booleans read as ints):
// what shows the scene (the viewport, the glTF export) reads materials,
// cameras and lights through it.
#include <array>
#include <string>
#include <string_view>
#include <variant>

#include "host/objects.h"
#include "host/param_block.h"

namespace host {

class NamedParams {
 public:
  explicit NamedParams(const IParamBlock2* block) : block_(block) {}
  float number(const char16_t* name, float fallback) const {
    const IParamBlock2::Value* value = find(name);
    if (value == nullptr) return fallback;
    if (const float* f = std::get_if<float>(value)) return *f;
    if (const int* i = std::get_if<int>(value)) return static_cast<float>(*i);
    return fallback;
  }
  bool flag(const char16_t* name, bool fallback = false) const { return number(name, fallback ? 1.0f : 0.0f) != 0.0f; }
  std::array<double, 3> color(const char16_t* name, std::array<double, 3> fallback) const {
    const IParamBlock2::Value* value = find(name);
    const Color* c = value != nullptr ? std::get_if<Color>(value) : nullptr;
    return c != nullptr ? std::array<double, 3>{c->r, c->g, c->b} : fallback;
  }
  std::u16string text(const char16_t* name) const {
    const IParamBlock2::Value* value = find(name);
    const std::u16string* s = value != nullptr ? std::get_if<std::u16string>(value) : nullptr;
    return s != nullptr ? *s : std::u16string();
  }

 private:
  const IParamBlock2::Value* find(const char16_t* name) const {
    if (block_ == nullptr) return nullptr;
    for (const IParamBlock2::Entry& entry : block_->entries()) {
      if (entry.name == name) return &entry.value;
    }
    return nullptr;
  }
  const IParamBlock2* block_;
};

// `object`'s parameter `name` in block 0.
inline double floatParamOf(Object& object, std::u16string_view name, double fallback) {
  return NamedParams(object.GetParamBlock(0)).number(std::u16string(name).c_str(), static_cast<float>(fallback));
}
inline bool boolParamOf(Object& object, std::u16string_view name, bool fallback) {
  return NamedParams(object.GetParamBlock(0)).flag(std::u16string(name).c_str(), fallback);
}
inline std::u16string stringParamOf(Object& object, std::u16string_view name) {
  return NamedParams(object.GetParamBlock(0)).text(std::u16string(name).c_str());
}

}  // namespace host
