#pragma once
// The glTF document's JSON as the writer streams it: numbers always finite,
// texts by length.
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <array>
#include <cmath>
#include <string>

namespace cvimp::gltf {

using Writer = rapidjson::Writer<rapidjson::StringBuffer>;

inline void number(Writer& out, double value) { out.Double(std::isfinite(value) ? value : 0.0); }

template <std::size_t N>
void numbers(Writer& out, const std::array<double, N>& values) {
  out.StartArray();
  for (const double v : values) number(out, v);
  out.EndArray();
}

inline void text(Writer& out, const std::string& value) {
  out.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
}

}  // namespace cvimp::gltf
