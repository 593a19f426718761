#include "cli/scene_json.h"

#include <cstring>

#include "cli/json_text.h"
#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

void writeDecodedData(JsonWriter& writer, const VrpFunction& function) {
  writer.Key("count");
  writer.Uint64(function.count);
  writer.Key("data");
  writer.StartArray();
  const std::uint8_t* bytes = function.data.get();
  if (function.name == "ListIntHex") {
    for (std::uint64_t i = 0; i < function.count; ++i) {
      std::int32_t v;
      std::memcpy(&v, bytes + 4 * i, 4);
      writer.Int(v);
    }
  } else {
    // Singles widened exactly to double, so they read back unchanged.
    const std::uint64_t numbers = function.count * (packedElementSize(function.name) / 4);
    for (std::uint64_t i = 0; i < numbers; ++i) {
      float v;
      std::memcpy(&v, bytes + 4 * i, 4);
      writeJsonNumber(writer, static_cast<double>(v));
    }
  }
  writer.EndArray();
}

void writeValue(JsonWriter& writer, const VrpValue& value) {
  writer.StartObject();
  switch (value.type()) {
    case 0:
      writer.Key("selector");
      writer.StartArray();
      writeJsonString(writer, value.selector()->plugin);
      writeJsonString(writer, value.selector()->attribute);
      writer.EndArray();
      break;
    case 1: {
      const VrpFunction& function = *value.function();
      writer.Key("function");
      writeJsonString(writer, function.name);
      writer.Key("values");
      writer.StartArray();
      for (const VrpValue& element : function.values) writeValue(writer, element);
      writer.EndArray();
      if (function.data && isPackedListName(function.name)) writeDecodedData(writer, function);
      break;
    }
    case 2:
      writer.Key("ident");
      writeJsonString(writer, value.identifier()->name);
      break;
    case 3:
      writer.Key("int");
      writeJsonInteger(writer, *value.intValue());
      break;
    case 4:
      writer.Key("float");
      writeJsonNumber(writer, *value.floatValue());
      break;
    case 5:
      writer.Key("string");
      writeJsonString(writer, *value.stringValue());
      break;
    default:
      writer.Key("invalid");
      writer.Null();
      break;
  }
  writer.EndObject();
}

void countValue(const VrpValue& value, PackedListStats& stats) {
  const VrpFunction* function = value.function();
  if (function == nullptr) return;
  if (isPackedListName(function->name)) {
    ++stats.lists;
    if (function->data) {
      ++stats.decoded;
      stats.decodedBytes += function->count * packedElementSize(function->name);
    }
  }
  for (const VrpValue& element : function->values) countValue(element, stats);
}

}  // namespace

PackedListStats countPackedLists(const VrpScene& scene) {
  PackedListStats stats;
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    for (const auto& attribute : plugin->attributes()) countValue(attribute->value, stats);
  }
  return stats;
}

std::string sceneDocumentJson(const VrpScene& scene, bool loaded, const bool* prebuilt,
                              const std::vector<VrpPlugin*>& orderedPlugins) {
  rapidjson::StringBuffer buffer;
  JsonWriter writer(buffer);
  writer.StartObject();
  writer.Key("loaded");
  writer.Bool(loaded);
  writer.Key("prebuilt");
  if (prebuilt != nullptr) {
    writer.Bool(*prebuilt);
  } else {
    writer.Null();
  }
  writer.Key("order");
  writer.StartArray();
  if (prebuilt != nullptr && *prebuilt) {
    for (const VrpPlugin* plugin : orderedPlugins) writeJsonString(writer, plugin->name);
  }
  writer.EndArray();
  writer.Key("plugins");
  writer.StartObject();
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    writeJsonKey(writer, plugin->name);
    writer.StartObject();
    writer.Key("type");
    writeJsonString(writer, plugin->type);
    writer.Key("path");
    writer.StartArray();
    for (std::uint64_t index : plugin->definitionPath) writer.Uint64(index);
    writer.EndArray();
    writer.Key("attributes");
    writer.StartObject();
    for (const auto& attribute : plugin->attributes()) {
      writeJsonKey(writer, attribute->name);
      writeValue(writer, attribute->value);
    }
    writer.EndObject();
    writer.EndObject();
  }
  writer.EndObject();
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

}  // namespace cvimp
