#pragma once
// A scene attribute value: a tagged union of six alternatives, with the
// classification the converters switch on and resolution of "interpolate"
// forms at the scene's current frame.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vrscene/records.h"

namespace cvimp {

class VrpScene;
class VrpPlugin;
class VrpValue;

// The alternative a value holds; VrpValue::type() returns this index.
enum class ValueType : std::size_t {
  AttributeSelector = 0,
  Function = 1,
  Identifier = 2,
  Int = 3,
  Float = 4,
  String = 5,
};

// Classification of a value as stored ("interpolate" is not resolved first).
enum class ValueKind : std::uint8_t {
  Int = 1,
  Float = 2,
  Vector = 3,
  Color = 4,
  AColor = 5,
  Transform = 6,
  String = 7,
  Plugin = 8,  // attribute selector or identifier, whether or not the plugin exists
  List = 9,
  ListInt = 10,    // "ListInt" or "ListIntHex"
  ListFloat = 11,  // "ListFloat" or "ListFloatHex"
  ListString = 12,
  Unknown = 255,  // any other function name, or an invalid alternative
};

// plugin::attribute
struct VrpAttributeSelector {
  std::string plugin;
  std::string attribute;
};

// A bare word, normally the name of another plugin.
struct VrpIdentifier {
  std::string name;
};

// A function form name(values...). Packed lists keep their decoded elements
// in `data` (shared between copies of the value) and their number in `count`.
struct VrpFunction {
  std::string name;
  std::vector<VrpValue> values;
  std::shared_ptr<std::uint8_t[]> data;  // empty until decoded
  std::uint64_t count = 0;
  // Decoded while the text was still being read, kept aside until decoding
  // takes it over; what prebuilding does not take is dropped then.
  std::shared_ptr<std::uint8_t[]> early;
  std::uint64_t earlyCount = 0;
};

// The decoded elements of a packed list, shared with the scene instead of
// copied; the data stays alive as long as the view does.
struct PackedListView {
  std::shared_ptr<const std::uint8_t[]> data;
  std::size_t count = 0;
  std::size_t elementSize = 0;
  const std::uint8_t* element(std::size_t i) const { return data.get() + i * elementSize; }
};

// The plugin and attribute a list is read from, which a list refused for
// its contents names; empty when the reader does not know them.
struct ListOrigin {
  const VrpPlugin* plugin = nullptr;
  std::string_view attribute;
};

// Deepest nesting of function forms that is read and walked; deeper input is
// treated as unreadable instead of exhausting the stack.
inline constexpr int kMaxValueDepth = 256;

class VrpValue {
 public:
  // Alternatives in ValueType order. A String is a view into a kept scene text.
  using Storage =
      std::variant<VrpAttributeSelector, VrpFunction, VrpIdentifier, std::int64_t, double, std::string_view>;

  VrpValue() = default;  // an AttributeSelector with two empty names
  VrpValue(Storage storage) : storage(std::move(storage)) {}

  static VrpValue makeInt(std::int64_t v) { return Storage(std::in_place_index<3>, v); }
  static VrpValue makeFloat(double v) { return Storage(std::in_place_index<4>, v); }
  static VrpValue makeString(std::string_view v) { return Storage(std::in_place_index<5>, v); }
  static VrpValue makeIdentifier(std::string name) { return Storage(VrpIdentifier{std::move(name)}); }
  static VrpValue makeSelector(std::string plugin, std::string attribute) {
    return Storage(VrpAttributeSelector{std::move(plugin), std::move(attribute)});
  }
  static VrpValue makeFunction(std::string name, std::vector<VrpValue> values = {}) {
    return Storage(VrpFunction{std::move(name), std::move(values), nullptr, 0, nullptr, 0});
  }

  // The alternative's index; outside 0..5 only for a value left empty.
  std::size_t type() const { return storage.index(); }
  bool holds(ValueType t) const { return storage.index() == static_cast<std::size_t>(t); }
  ValueKind kind() const;

  // Direct access without resolution; null when another alternative is held.
  const VrpFunction* function() const { return std::get_if<VrpFunction>(&storage); }
  VrpFunction* function() { return std::get_if<VrpFunction>(&storage); }
  const std::int64_t* intValue() const { return std::get_if<3>(&storage); }
  const double* floatValue() const { return std::get_if<4>(&storage); }
  const std::string_view* stringValue() const { return std::get_if<5>(&storage); }
  const VrpIdentifier* identifier() const { return std::get_if<VrpIdentifier>(&storage); }
  const VrpAttributeSelector* selector() const { return std::get_if<VrpAttributeSelector>(&storage); }

  // Resolution at the scene's current frame: the payload of the wanted
  // alternative, held by this value or by the nearest key of an "interpolate"
  // form; null when there is none. A null scene resolves nothing.
  const VrpAttributeSelector* resolveAttributeSelector(const VrpScene* scene) const;
  const VrpFunction* resolveFunction(const VrpScene* scene) const;
  const VrpIdentifier* resolveIdentifier(const VrpScene* scene) const;
  const std::int64_t* resolveInt(const VrpScene* scene) const;
  const double* resolveFloat(const VrpScene* scene) const;
  const std::string_view* resolveString(const VrpScene* scene) const;

  // Typed accessors: on a mismatch each prints one diagnostic and returns its
  // fallback (empty string, null, zero vector or colour, identity transform).
  std::string getString(const VrpScene* scene) const;
  const VrpPlugin* getPlugin(const VrpScene* scene) const;
  VrpVector getVector(const VrpScene* scene) const;
  VrpColor getColor(const VrpScene* scene) const;
  VrpAColor getAColor(const VrpScene* scene) const;
  VrpTransform getTransform(const VrpScene* scene) const;
  // The value list of a function form; a shared empty list on failure.
  const std::vector<VrpValue>& getValueList(const VrpScene* scene) const;
  // Fresh copies of list elements, owned by the caller; null and count 0
  // when there is no data. Packed lists give their bytes; plain lists
  // ("ListInt(...)", "ListVector(Vector(...), ...)") their numbers, as
  // indices or as singles.
  std::unique_ptr<std::int32_t[]> getIntList(const VrpScene* scene, std::size_t& count,
                                             const ListOrigin& origin = {}) const;
  std::unique_ptr<VrpVector[]> getVectorList(const VrpScene* scene, std::size_t& count,
                                             const ListOrigin& origin = {}) const;
  // The same lists, with the same messages, without the copy.
  PackedListView viewIntList(const VrpScene* scene, const ListOrigin& origin = {}) const;
  PackedListView viewVectorList(const VrpScene* scene, const ListOrigin& origin = {}) const;

  Storage storage;
};

// Element reading: a value as single precision, resolving "interpolate";
// prints "Cannot get float." and gives 0 for anything but a number.
float readElementFloat(const VrpValue& element, const VrpScene* scene);

// Conversions that C++ leaves undefined, done the way the scene format's
// consumers expect: out-of-range doubles become infinities in single
// precision; out-of-range or NaN doubles truncate to the most negative int32.
float toSingle(double v);
std::int32_t truncateToInt32(double v);

}  // namespace cvimp
