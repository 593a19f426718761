#include "cli/json_text.h"

#include <charconv>
#include <cmath>

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

std::string toValidUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, minimum = 0x10000;
    }
    bool valid = length != 0 && i + length <= bytes.size();
    std::uint32_t code = length <= 1 ? lead : lead & (0x3Fu >> (length - 1));
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    valid = valid && code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
    if (valid) {
      out.append(bytes.substr(i, length));
      i += length;
    } else {
      out.append("\xEF\xBF\xBD");
      ++i;
    }
  }
  return out;
}

void writeJsonString(JsonWriter& writer, std::string_view bytes) {
  const std::string text = toValidUtf8(bytes);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

void writeJsonKey(JsonWriter& writer, std::string_view bytes) {
  const std::string text = toValidUtf8(bytes);
  writer.Key(text.data(), static_cast<rapidjson::SizeType>(text.size()));
}

}  // namespace cvimp
