#pragma once
// Parameter blocks: a material's or map's parameters, addressed by ID, with
// a definition (internal name, type) for each. The stand-in's parameters are
// not animated: a value holds at every time.
#include <string>
#include <variant>
#include <vector>

#include "host/color.h"
#include "host/host_types.h"

using ParamID = short;

enum ParamType2 { TYPE_FLOAT = 0, TYPE_INT = 1, TYPE_RGBA = 2, TYPE_BOOL = 4, TYPE_STRING = 8 };

struct ParamDef {
  ParamID ID = -1;
  const MCHAR* int_name = nullptr;  // the internal name scripts and plug-ins use
  ParamType2 type = TYPE_FLOAT;
};

class IParamBlock2 {
 public:
  using Value = std::variant<float, int, Color, std::u16string>;
  struct Entry {
    std::u16string name;
    ParamType2 type;
    Value value;
  };

  // IDs are not the indices: callers map one to the other.
  IParamBlock2(std::vector<Entry> entries, ParamID firstId, ParamID idStep);
  IParamBlock2(const IParamBlock2&) = delete;
  IParamBlock2& operator=(const IParamBlock2&) = delete;

  int NumParams() const { return static_cast<int>(entries_.size()); }
  ParamID IndextoID(int index) const;
  int IDtoIndex(ParamID id) const;
  // The definition of `id`; an unknown ID gives a definition without name.
  ParamDef& GetParamDef(ParamID id);

  // False (and journaled) for an unknown ID or a value of the wrong type.
  // Integers and booleans take ints; floats take floats; colours take both
  // colour classes (alpha dropped).
  BOOL SetValue(ParamID id, TimeValue t, float value, int tabIndex = 0);
  BOOL SetValue(ParamID id, TimeValue t, int value, int tabIndex = 0);
  BOOL SetValue(ParamID id, TimeValue t, const Color& value, int tabIndex = 0);
  BOOL SetValue(ParamID id, TimeValue t, const AColor& value, int tabIndex = 0);
  BOOL SetValue(ParamID id, TimeValue t, const MCHAR* value, int tabIndex = 0);
  float GetFloat(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
  int GetInt(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
  Color GetColor(ParamID id, TimeValue t = 0, int tabIndex = 0) const;
  // Empty for a parameter that is not a string.
  const MCHAR* GetStr(ParamID id, TimeValue t = 0, int tabIndex = 0) const;

  // For the scene writer: parameters in index order.
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  Entry* find(ParamID id, const char* operation) const;

  std::vector<Entry> entries_;
  std::vector<ParamDef> definitions_;
  ParamDef missing_;
  ParamID firstId_;
  ParamID idStep_;
};
