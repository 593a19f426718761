#pragma once
// Jobs from the platform page: a UTF-16 JSON object whose "jobType" selects
// the job and whose other members are its fields.
#include <rapidjson/document.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cvimp {

using JobDocument = rapidjson::GenericDocument<rapidjson::UTF16<char16_t>>;

// Parses the job text (standard JSON, one root value). A text that does not
// parse, or whose root is no object, gives a document with no members.
JobDocument parseJob(const std::u16string& jobText);

// True when the member exists (the first of that name counts).
bool hasField(const JobDocument& job, std::u16string_view name);
// The member's string; empty when it is absent or not a string.
std::u16string readStringField(const JobDocument& job, std::u16string_view name);
// True only for the JSON literal true.
bool readFlagField(const JobDocument& job, std::u16string_view name);
// The member as a signed 32-bit integer; 0 when absent or not one.
std::int32_t readIntField(const JobDocument& job, std::u16string_view name);

}  // namespace cvimp
