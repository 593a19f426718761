// Typed reading of attribute values, with the fixed fallbacks and messages
// that let a malformed attribute degrade an import instead of stopping it.
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "vrscene/diagnostics.h"
#include "vrscene/packed.h"
#include "vrscene/plain_lists.h"
#include "vrscene/plugin.h"
#include "vrscene/scene.h"
#include "vrscene/value.h"

namespace cvimp {

namespace {

const VrpValue& defaultValue() {
  static const VrpValue value;  // an empty attribute selector
  return value;
}

// Three or four elements of a function form, read as singles.
bool readComponents(const VrpValue& value, const VrpScene* scene, std::size_t n, float* out) {
  const VrpFunction* function = value.resolveFunction(scene);
  if (function == nullptr || function->values.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i) out[i] = readElementFloat(function->values[i], scene);
  return true;
}

// Decoded elements, or a decoding of the list now (not stored back).
PackedListView viewList(const VrpValue& value, const VrpScene* scene, std::size_t elementSize,
                        const ListOrigin& origin) {
  PackedListView view;
  view.elementSize = elementSize;
  const VrpFunction* function = value.resolveFunction(scene);
  if (function == nullptr || function->values.empty()) {
    vrpPrint("[VRP] WARNING: Cannot get list.\n");
    return view;
  }
  const bool plain = isPlainListName(function->name);
  const bool asInts = elementSize == kIntElementSize;
  std::shared_ptr<std::uint8_t[]> data = function->data;
  // Data decoded for another form (integers read as vectors) holds fewer
  // elements of this size than its count says: never read past it.
  std::uint64_t elements =
      std::min<std::uint64_t>(function->count, function->count * listElementSize(function->name) / elementSize);
  // A plain list's data holds its own kind of number; read as the other
  // kind, its values are converted, not its bytes.
  if (plain && plainListHoldsInts(function->name) != asInts) data.reset();
  if (!data || function->count == 0) {
    std::optional<DecodedList> decoded;
    if (plain) {
      std::string why;
      decoded = convertPlainList(*function, scene, asInts, elementSize, &why);
      if (!decoded) printListFailure(origin, why);
    } else {
      const std::string_view* text = function->values[0].resolveString(scene);
      if (text == nullptr) {
        vrpPrint("[VRP] ERROR: Cannot get list data.\n");
        return view;
      }
      decoded = decodePackedText(*text, function->name, elementSize, origin);
    }
    if (!decoded) return view;
    data = std::move(decoded->data);
    elements = decoded->count;
  }
  view.data = std::move(data);
  view.count = static_cast<std::size_t>(elements);
  return view;
}

template <typename T>
std::unique_ptr<T[]> readList(const VrpValue& value, const VrpScene* scene, std::size_t elementSize, std::size_t& count,
                              const ListOrigin& origin) {
  const PackedListView view = viewList(value, scene, elementSize, origin);
  count = view.count;
  if (!view.data) return nullptr;
  auto result = std::make_unique_for_overwrite<T[]>(view.count);
  std::memcpy(result.get(), view.data.get(), view.count * elementSize);
  return result;
}

void releaseLists(VrpValue& value, int depth) {
  VrpFunction* function = value.function();
  if (function == nullptr || depth >= kMaxValueDepth) return;
  function->data.reset();
  function->count = 0;
  for (VrpValue& element : function->values) releaseLists(element, depth + 1);
}

}  // namespace

float readElementFloat(const VrpValue& element, const VrpScene* scene) {
  if (const double* value = element.resolveFloat(scene)) return toSingle(*value);
  if (const std::int64_t* value = element.intValue()) return static_cast<float>(*value);
  vrpPrint("[VRP] ERROR: Cannot get float.\n");
  return 0.0f;
}

std::string VrpValue::getString(const VrpScene* scene) const {
  const std::string_view* text = resolveString(scene);
  if (text == nullptr) {
    vrpPrint("[VRP] ERROR: Cannot get string.\n");
    return {};
  }
  const std::size_t zero = text->find('\0');
  return std::string(zero == std::string_view::npos ? *text : text->substr(0, zero));
}

const VrpPlugin* VrpValue::getPlugin(const VrpScene* scene) const {
  if (scene == nullptr) {
    vrpPrint("[VRP] ERROR: Invalid scene pointer\n");
    return nullptr;
  }
  switch (type()) {
    case 0: {
      const VrpAttributeSelector* selector = resolveAttributeSelector(scene);
      if (selector == nullptr) {
        vrpPrint("[VRP] ERROR: Cannot get plugin as attribute selector\n");
        return nullptr;
      }
      return scene->findPlugin(selector->plugin);  // the attribute part plays no role
    }
    case 2: {
      const VrpIdentifier* identifier = resolveIdentifier(scene);
      if (identifier == nullptr) {
        vrpPrint("[VRP] ERROR: Cannot get plugin as identifier\n");
        return nullptr;
      }
      return scene->findPlugin(identifier->name);
    }
    default:
      vrpPrint("[VRP] ERROR: Cannot get plugin by index: %zu\n", type());
      return nullptr;
  }
}

VrpVector VrpValue::getVector(const VrpScene* scene) const {
  float c[3];
  if (!readComponents(*this, scene, 3, c)) {
    vrpPrint("[VRP] ERROR: Cannot get vector.\n");
    return {};
  }
  return {c[0], c[1], c[2]};
}

VrpColor VrpValue::getColor(const VrpScene* scene) const {
  float c[3];
  if (!readComponents(*this, scene, 3, c)) {
    vrpPrint("[VRP] ERROR: Cannot get color.\n");
    return {};
  }
  return {c[0], c[1], c[2]};
}

VrpAColor VrpValue::getAColor(const VrpScene* scene) const {
  float c[4];
  if (!readComponents(*this, scene, 4, c)) {
    vrpPrint("[VRP] ERROR: Cannot get acolor.\n");
    return {};
  }
  return {c[0], c[1], c[2], c[3]};
}

VrpTransform VrpValue::getTransform(const VrpScene* scene) const {
  const VrpFunction* function = resolveFunction(scene);
  if (function == nullptr) {
    vrpPrint("[VRP] ERROR: Cannot get transform.\n");
    return {};
  }
  if (function->name == "Transform") {
    if (function->values.size() < 2) {
      vrpPrint("[VRP] ERROR: Invalid transform arguments.\n");
      return {};
    }
    VrpTransform transform;
    transform.offset = function->values[1].getVector(scene);
    const VrpFunction* matrix = function->values[0].resolveFunction(scene);
    if (matrix == nullptr || matrix->values.size() < 3) {
      vrpPrint("[VRP] ERROR: Cannot get matrix.\n");
      return transform;
    }
    for (std::size_t i = 0; i < 3; ++i) transform.matrix[i] = matrix->values[i].getVector(scene);
    return transform;
  }
  if (function->name == "TransformHex") {
    if (function->values.empty()) {
      vrpPrint("[VRP] ERROR: Invalid transform arguments.\n");
      return {};
    }
    return decodeTransformHex(function->values[0].getString(scene));
  }
  vrpPrint("[VRP] ERROR: Unknown transform function.\n");
  return {};
}

const std::vector<VrpValue>& VrpValue::getValueList(const VrpScene* scene) const {
  static const std::vector<VrpValue> empty;
  const VrpFunction* function = resolveFunction(scene);
  if (function == nullptr) {
    vrpPrint("[VRP] ERROR: Cannot get value list.\n");
    return empty;
  }
  return function->values;
}

std::unique_ptr<std::int32_t[]> VrpValue::getIntList(const VrpScene* scene, std::size_t& count,
                                                     const ListOrigin& origin) const {
  return readList<std::int32_t>(*this, scene, kIntElementSize, count, origin);
}

std::unique_ptr<VrpVector[]> VrpValue::getVectorList(const VrpScene* scene, std::size_t& count,
                                                     const ListOrigin& origin) const {
  return readList<VrpVector>(*this, scene, kVectorElementSize, count, origin);
}

PackedListView VrpValue::viewIntList(const VrpScene* scene, const ListOrigin& origin) const {
  return viewList(*this, scene, kIntElementSize, origin);
}

PackedListView VrpValue::viewVectorList(const VrpScene* scene, const ListOrigin& origin) const {
  return viewList(*this, scene, kVectorElementSize, origin);
}

const VrpValue& VrpPlugin::valueOrDefault(std::string_view attributeName) const {
  const VrpValue* value = findAttribute(attributeName);
  return value != nullptr ? *value : defaultValue();
}

VrpValue VrpPlugin::getValue(std::string_view attributeName) const { return valueOrDefault(attributeName); }

float VrpPlugin::getFloat(std::string_view attributeName, float defaultFloat) const {
  const VrpValue* value = findAttribute(attributeName);
  if (value == nullptr) return defaultFloat;
  if (const double* resolved = value->resolveFloat(scene)) return toSingle(*resolved);
  if (const std::int64_t* integer = value->intValue()) return static_cast<float>(*integer);
  vrpPrint("[VRP] ERROR: Cannot get float.\n");
  return 0.0f;
}

std::int32_t VrpPlugin::getInt(std::string_view attributeName, std::int32_t defaultInt) const {
  const VrpValue* value = findAttribute(attributeName);
  if (value == nullptr) return defaultInt;
  if (const std::int64_t* resolved = value->resolveInt(scene)) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*resolved));  // the low 32 bits
  }
  if (const double* floating = value->floatValue()) return truncateToInt32(*floating);
  vrpPrint("[VRP] ERROR: Cannot get int.\n");
  return 0;
}

std::string VrpPlugin::getString(std::string_view attributeName) const {
  return valueOrDefault(attributeName).getString(scene);
}

PackedListView VrpPlugin::viewIntList(std::string_view attributeName) const {
  return valueOrDefault(attributeName).viewIntList(scene, {this, attributeName});
}

PackedListView VrpPlugin::viewVectorList(std::string_view attributeName) const {
  return valueOrDefault(attributeName).viewVectorList(scene, {this, attributeName});
}

void VrpPlugin::releaseDecodedLists() {
  for (const auto& attribute : attributeList_) releaseLists(attribute->value, 0);
}

std::unique_ptr<std::int32_t[]> VrpPlugin::getIntList(std::string_view attributeName, std::size_t& count) const {
  return valueOrDefault(attributeName).getIntList(scene, count, {this, attributeName});
}

std::unique_ptr<VrpVector[]> VrpPlugin::getVectorList(std::string_view attributeName, std::size_t& count) const {
  return valueOrDefault(attributeName).getVectorList(scene, count, {this, attributeName});
}

float getFloatByKind(const VrpPlugin& plugin, std::string_view attributeName) {
  const VrpValue* value = plugin.findAttribute(attributeName);
  if (value == nullptr) return 1.0f;
  switch (value->kind()) {
    case ValueKind::Int:
      return static_cast<float>(static_cast<std::int32_t>(static_cast<std::uint32_t>(*value->intValue())));
    case ValueKind::Float:
      return toSingle(*value->floatValue());
    case ValueKind::Plugin:
      return 1.0f;
    default:
      return 0.0f;
  }
}

}  // namespace cvimp
