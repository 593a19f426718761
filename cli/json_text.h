#pragma once
// Small helpers for writing JSON with RapidJSON: numbers that read back
// exactly, and byte strings made valid UTF-8.
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cvimp {

using JsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// Shortest decimal form that reads back as the same double; null for
// infinities and NaN, which JSON cannot hold.
void writeJsonNumber(JsonWriter& writer, double value);
void writeJsonInteger(JsonWriter& writer, std::int64_t value);
// Scene strings are bytes: invalid UTF-8 sequences are written as U+FFFD.
void writeJsonString(JsonWriter& writer, std::string_view bytes);
void writeJsonKey(JsonWriter& writer, std::string_view bytes);

}  // namespace cvimp
