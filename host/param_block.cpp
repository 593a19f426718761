#include "host/param_block.h"

#include "host/journal.h"

IParamBlock2::IParamBlock2(std::vector<Entry> entries, ParamID firstId, ParamID idStep)
    : entries_(std::move(entries)), firstId_(firstId), idStep_(idStep) {
  definitions_.reserve(entries_.size());
  for (int i = 0; i < NumParams(); ++i) {
    const Entry& entry = entries_[static_cast<std::size_t>(i)];
    definitions_.push_back({IndextoID(i), entry.name.c_str(), entry.type});
  }
}

ParamID IParamBlock2::IndextoID(int index) const {
  if (index < 0 || index >= NumParams()) return -1;
  return static_cast<ParamID>(firstId_ + index * idStep_);
}

int IParamBlock2::IDtoIndex(ParamID id) const {
  const int offset = id - firstId_;
  if (offset < 0 || offset % idStep_ != 0 || offset / idStep_ >= NumParams()) return -1;
  return offset / idStep_;
}

ParamDef& IParamBlock2::GetParamDef(ParamID id) {
  const int index = IDtoIndex(id);
  if (index < 0) {
    host::journal().record("IndexRejected", "IParamBlock2::GetParamDef " + std::to_string(id));
    missing_ = ParamDef();
    return missing_;
  }
  return definitions_[static_cast<std::size_t>(index)];
}

IParamBlock2::Entry* IParamBlock2::find(ParamID id, const char* operation) const {
  const int index = IDtoIndex(id);
  if (index < 0) {
    host::journal().record("IndexRejected", std::string("IParamBlock2::") + operation + " " + std::to_string(id));
    return nullptr;
  }
  return const_cast<Entry*>(&entries_[static_cast<std::size_t>(index)]);
}

namespace {

BOOL reject(const IParamBlock2::Entry& entry, const char* operation) {
  host::journal().record("ParamTypeRejected", std::string(operation) + " " + host::quoted(entry.name));
  return FALSE;
}

}  // namespace

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, float value, int) {
  Entry* entry = find(id, "SetValue");
  if (entry == nullptr) return FALSE;
  if (entry->type != TYPE_FLOAT) return reject(*entry, "SetValue(float)");
  entry->value = value;
  return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, int value, int) {
  Entry* entry = find(id, "SetValue");
  if (entry == nullptr) return FALSE;
  if (entry->type != TYPE_INT && entry->type != TYPE_BOOL) return reject(*entry, "SetValue(int)");
  entry->value = value;
  return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, const Color& value, int) {
  Entry* entry = find(id, "SetValue");
  if (entry == nullptr) return FALSE;
  if (entry->type != TYPE_RGBA) return reject(*entry, "SetValue(Color)");
  entry->value = value;
  return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue, const MCHAR* value, int) {
  Entry* entry = find(id, "SetValue");
  if (entry == nullptr) return FALSE;
  if (entry->type != TYPE_STRING) return reject(*entry, "SetValue(string)");
  entry->value = std::u16string(value != nullptr ? value : u"");
  return TRUE;
}

BOOL IParamBlock2::SetValue(ParamID id, TimeValue t, const AColor& value, int tabIndex) {
  return SetValue(id, t, Color(value.r, value.g, value.b), tabIndex);
}

float IParamBlock2::GetFloat(ParamID id, TimeValue, int) const {
  const Entry* entry = find(id, "GetFloat");
  if (entry == nullptr) return 0.0f;
  if (const float* value = std::get_if<float>(&entry->value)) return *value;
  reject(*entry, "GetFloat");
  return 0.0f;
}

int IParamBlock2::GetInt(ParamID id, TimeValue, int) const {
  const Entry* entry = find(id, "GetInt");
  if (entry == nullptr) return 0;
  if (const int* value = std::get_if<int>(&entry->value)) return *value;
  reject(*entry, "GetInt");
  return 0;
}

Color IParamBlock2::GetColor(ParamID id, TimeValue, int) const {
  const Entry* entry = find(id, "GetColor");
  if (entry == nullptr) return Color();
  if (const Color* value = std::get_if<Color>(&entry->value)) return *value;
  reject(*entry, "GetColor");
  return Color();
}

const MCHAR* IParamBlock2::GetStr(ParamID id, TimeValue, int) const {
  const Entry* entry = find(id, "GetStr");
  if (entry == nullptr) return u"";
  if (const std::u16string* value = std::get_if<std::u16string>(&entry->value)) return value->c_str();
  reject(*entry, "GetStr");
  return u"";
}
