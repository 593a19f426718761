#include "vrscene/value.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "vrscene/scene.h"

namespace cvimp {

namespace {

struct NamedKind {
  std::string_view name;
  ValueKind kind;
};

constexpr NamedKind kFunctionKinds[] = {
    {"Vector", ValueKind::Vector},         {"Color", ValueKind::Color},         {"AColor", ValueKind::AColor},
    {"Transform", ValueKind::Transform},   {"List", ValueKind::List},           {"ListInt", ValueKind::ListInt},
    {"ListIntHex", ValueKind::ListInt},    {"ListFloat", ValueKind::ListFloat}, {"ListFloatHex", ValueKind::ListFloat},
    {"ListString", ValueKind::ListString},
};

// A key of an "interpolate" form: a function form with at least two values
// whose first value is the frame, as an Int.
const VrpFunction* asKey(const VrpValue& element) {
  const VrpFunction* key = element.function();
  if (key == nullptr || key->values.size() < 2) return nullptr;
  if (!key->values[0].holds(ValueType::Int)) return nullptr;
  return key;
}

std::int64_t keyFrame(const VrpFunction& key) { return *key.values[0].intValue(); }

// The nearest key's payload of an "interpolate" form at the scene's current
// frame, or the value itself when there is nothing to resolve. Values are
// never blended between keys.
template <std::size_t W>
const std::variant_alternative_t<W, VrpValue::Storage>* resolveAt(const VrpValue& value, const VrpScene* scene) {
  const auto* provisional = std::get_if<W>(&value.storage);
  if (scene == nullptr) return provisional;
  const VrpFunction* form = value.function();
  if (form == nullptr || form->name != "interpolate" || form->values.empty()) return provisional;

  const std::vector<VrpValue>& elements = form->values;
  const std::int64_t frame = scene->currentFrame;
  const VrpFunction* first = asKey(elements[0]);
  const std::int64_t firstFrame = first != nullptr ? keyFrame(*first) : 0;

  // Fast path: keys usually sit one per frame from the first key's frame on.
  std::int64_t d = 0;
  if (!__builtin_sub_overflow(frame, firstFrame, &d) && d >= 0 && static_cast<std::uint64_t>(d) < elements.size()) {
    const VrpFunction* key = asKey(elements[static_cast<std::size_t>(d)]);
    if (key != nullptr && keyFrame(*key) == frame) return std::get_if<W>(&key->values[1].storage);
  }

  // Nearest key; ties keep the earlier one. Distances are taken unsigned so
  // that frames far apart cannot overflow.
  std::uint64_t best = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  // Without any key, an "interpolate" form resolved as a function is itself.
  const std::variant_alternative_t<W, VrpValue::Storage>* result = provisional;
  for (const VrpValue& element : elements) {
    const VrpFunction* key = asKey(element);
    if (key == nullptr) continue;
    const std::int64_t k = keyFrame(*key);
    const std::uint64_t distance = k >= frame ? static_cast<std::uint64_t>(k) - static_cast<std::uint64_t>(frame)
                                              : static_cast<std::uint64_t>(frame) - static_cast<std::uint64_t>(k);
    if (distance < best) {
      best = distance;
      result = std::get_if<W>(&key->values[1].storage);
    }
  }
  return result;
}

}  // namespace

ValueKind VrpValue::kind() const {
  switch (storage.index()) {
    case 0:
    case 2:
      return ValueKind::Plugin;
    case 3:
      return ValueKind::Int;
    case 4:
      return ValueKind::Float;
    case 5:
      return ValueKind::String;
    case 1:
      for (const NamedKind& entry : kFunctionKinds) {
        if (function()->name == entry.name) return entry.kind;
      }
      return ValueKind::Unknown;
    default:
      return ValueKind::Unknown;
  }
}

const VrpAttributeSelector* VrpValue::resolveAttributeSelector(const VrpScene* scene) const {
  return resolveAt<0>(*this, scene);
}
const VrpFunction* VrpValue::resolveFunction(const VrpScene* scene) const { return resolveAt<1>(*this, scene); }
const VrpIdentifier* VrpValue::resolveIdentifier(const VrpScene* scene) const { return resolveAt<2>(*this, scene); }
const std::int64_t* VrpValue::resolveInt(const VrpScene* scene) const { return resolveAt<3>(*this, scene); }
const double* VrpValue::resolveFloat(const VrpScene* scene) const { return resolveAt<4>(*this, scene); }
const std::string_view* VrpValue::resolveString(const VrpScene* scene) const { return resolveAt<5>(*this, scene); }

float toSingle(double v) {
  // Round to nearest: from the largest single plus half its last unit on,
  // the result is an infinity; just below, the largest single.
  constexpr double kMax = std::numeric_limits<float>::max();
  const double overflow = kMax + std::ldexp(1.0, 103);
  if (v >= overflow) return std::numeric_limits<float>::infinity();
  if (v <= -overflow) return -std::numeric_limits<float>::infinity();
  if (v > kMax) return std::numeric_limits<float>::max();
  if (v < -kMax) return -std::numeric_limits<float>::max();
  return static_cast<float>(v);  // NaN stays NaN
}

std::int32_t truncateToInt32(double v) {
  // Like the processor's truncating conversion: anything that does not fit,
  // NaN included, gives the "integer indefinite" value.
  if (!(v > -2147483649.0 && v < 2147483648.0)) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

}  // namespace cvimp
