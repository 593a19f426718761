#include "host/named_params.h"

#include "host/param_block.h"

namespace host {

namespace {

const IParamBlock2::Entry* entryOf(Object& object, std::u16string_view name) {
  const IParamBlock2* block = object.GetParamBlock(0);
  if (block == nullptr) return nullptr;
  for (const IParamBlock2::Entry& entry : block->entries()) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

}  // namespace

double floatParamOf(Object& object, std::u16string_view name, double fallback) {
  const IParamBlock2::Entry* entry = entryOf(object, name);
  const float* value = entry != nullptr ? std::get_if<float>(&entry->value) : nullptr;
  return value != nullptr ? *value : fallback;
}

bool boolParamOf(Object& object, std::u16string_view name, bool fallback) {
  const IParamBlock2::Entry* entry = entryOf(object, name);
  const int* value = entry != nullptr ? std::get_if<int>(&entry->value) : nullptr;
  return value != nullptr ? *value != 0 : fallback;
}

std::u16string stringParamOf(Object& object, std::u16string_view name) {
  const IParamBlock2::Entry* entry = entryOf(object, name);
  const std::u16string* value = entry != nullptr ? std::get_if<std::u16string>(&entry->value) : nullptr;
  return value != nullptr ? *value : std::u16string();
}

}  // namespace host
