#include "cli/json_text.h"

#include <charconv>
#include <cmath>

#include "platform/platform.h"

namespace cvimp {

void writeJsonNumber(JsonWriter& writer, double value) {
  if (!std::isfinite(value)) {
    writer.Null();
    return;
  }
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  writer.RawValue(buffer, static_cast<std::size_t>(result.ptr - buffer), rapidjson::kNumberType);
}

void writeJsonInteger(JsonWriter& writer, std::int64_t value) { writer.Int64(value); }

void writeJsonString(JsonWriter& writer, std::string_view bytes) {
  const std::string text = platform::toValidUtf8(bytes);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void writeJsonKey(JsonWriter& writer, std::string_view bytes) {
  const std::string text = platform::toValidUtf8(bytes);
  writer.Key(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

}  // namespace cvimp
