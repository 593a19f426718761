#include "tools/scenegen/scene_writer.h"

#include <zlib.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace cvimp::scenegen {

std::string encodeBase64(const void* data, std::size_t size) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::string out;
  out.reserve((size + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= size; i += 3) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back(kAlphabet[v & 63]);
  }
  if (size - i == 1) {
    const std::uint32_t v = bytes[i] << 16;
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.append("==");
  } else if (size - i == 2) {
    const std::uint32_t v = (bytes[i] << 16) | (bytes[i + 1] << 8);
    out.push_back(kAlphabet[(v >> 18) & 63]);
    out.push_back(kAlphabet[(v >> 12) & 63]);
    out.push_back(kAlphabet[(v >> 6) & 63]);
    out.push_back('=');
  }
  return out;
}

std::string encodeHex32(std::uint32_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (int b = 0; b < 4; ++b) {
    const std::uint8_t byte = static_cast<std::uint8_t>(value >> (8 * b));
    out.push_back(kDigits[byte >> 4]);
    out.push_back(kDigits[byte & 15]);
  }
  return out;
}

std::string packZipc(const void* data, std::size_t size, int level) {
  uLongf compressedSize = compressBound(static_cast<uLong>(size));
  std::vector<Bytef> compressed(compressedSize);
  if (compress2(compressed.data(), &compressedSize, static_cast<const Bytef*>(data), static_cast<uLong>(size), level) !=
      Z_OK) {
    throw std::runtime_error("zlib compress2 failed");
  }
  return "ZIPC" + encodeHex32(static_cast<std::uint32_t>(size)) +
         encodeHex32(static_cast<std::uint32_t>(compressedSize)) + encodeBase64(compressed.data(), compressedSize);
}

std::string packInts(const std::vector<std::int32_t>& values, int level) {
  return packZipc(values.data(), values.size() * sizeof(std::int32_t), level);
}

std::string packFloats(const std::vector<float>& values, int level) {
  return packZipc(values.data(), values.size() * sizeof(float), level);
}

std::string packVectors(const std::vector<Vec3>& values, int level) {
  return packZipc(values.data(), values.size() * sizeof(Vec3), level);
}

std::string transformHexText(const std::array<Vec3, 3>& matrix, const std::array<double, 3>& offset) {
  std::uint8_t bytes[64] = {};
  for (int v = 0; v < 3; ++v) std::memcpy(bytes + 12 * v, matrix[v].data(), 12);
  std::memcpy(bytes + 40, offset.data(), 24);
  std::string out;
  for (int word = 0; word < 16; ++word) {
    std::uint32_t value;
    std::memcpy(&value, bytes + 4 * word, 4);
    out += encodeHex32(value);
  }
  return out;
}

std::string number(float value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

std::string number(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
  return std::string(buffer, result.ptr);
}

std::string vectorForm(const Vec3& v) {
  return "Vector(" + number(v[0]) + ", " + number(v[1]) + ", " + number(v[2]) + ")";
}

std::string colorForm(float r, float g, float b) {
  return "Color(" + number(r) + ", " + number(g) + ", " + number(b) + ")";
}

std::string transformForm(const std::array<Vec3, 3>& matrix, const Vec3& offset) {
  return "Transform(Matrix(" + vectorForm(matrix[0]) + ", " + vectorForm(matrix[1]) + ", " + vectorForm(matrix[2]) +
         "), " + vectorForm(offset) + ")";
}

void SceneWriter::comment(std::string_view text) {
  out_ += "// ";
  out_ += text;
  out_ += '\n';
}

void SceneWriter::include(std::string_view fileName) {
  out_ += "#include \"";
  out_ += fileName;
  out_ += "\"\n";
}

void SceneWriter::begin(std::string_view type, std::string_view name) {
  out_ += type;
  out_ += ' ';
  out_ += name;
  out_ += " {\n";
}

void SceneWriter::attribute(std::string_view name, std::string_view valueText) {
  out_ += "  ";
  out_ += name;
  out_ += '=';
  out_ += valueText;
  out_ += ";\n";
}

void SceneWriter::quoted(std::string_view name, std::string_view text) {
  out_ += "  ";
  out_ += name;
  out_ += "=\"";
  out_ += text;
  out_ += "\";\n";
}

void SceneWriter::end() { out_ += "}\n\n"; }

std::string listVectorHex(const std::vector<Vec3>& values, int level) {
  return "ListVectorHex(\"" + packVectors(values, level) + "\")";
}

std::string listIntHex(const std::vector<std::int32_t>& values, int level) {
  return "ListIntHex(\"" + packInts(values, level) + "\")";
}

std::string plainHex(const void* data, std::size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::string text(2 * size, '0');
  for (std::size_t i = 0; i < size; ++i) {
    text[2 * i] = kDigits[bytes[i] >> 4];
    text[2 * i + 1] = kDigits[bytes[i] & 15];
  }
  return text;
}

std::string listVectorPlainHex(const std::vector<Vec3>& values) {
  return "ListVectorHex(\"" + plainHex(values.data(), values.size() * sizeof(Vec3)) + "\")";
}

std::string listIntPlainHex(const std::vector<std::int32_t>& values) {
  return "ListIntHex(\"" + plainHex(values.data(), values.size() * sizeof(std::int32_t)) + "\")";
}

std::string interpolated(std::string_view valueText) { return "interpolate((1, " + std::string(valueText) + "))"; }

namespace {

template <typename T, typename Write>
std::string listForm(std::string_view name, const std::vector<T>& values, Write write) {
  std::string text(name);
  text += '(';
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i != 0) text += ", ";
    write(text, values[i]);
  }
  return text + ')';
}

}  // namespace

std::string listVector(const std::vector<Vec3>& values) {
  // "-0" would read as the integer 0: a negative zero keeps its sign as "-0.0".
  auto component = [](float c) { return c == 0 && std::signbit(c) ? std::string("-0.0") : number(c); };
  return listForm("ListVector", values, [&](std::string& text, const Vec3& v) {
    text += "Vector(" + component(v[0]) + ", " + component(v[1]) + ", " + component(v[2]) + ")";
  });
}

std::string listInt(const std::vector<std::int32_t>& values) {
  return listForm("ListInt", values, [](std::string& text, std::int32_t v) { text += std::to_string(v); });
}

std::string listTriples(const std::vector<std::int32_t>& values) {
  std::vector<std::array<std::int32_t, 3>> triples(values.size() / 3);
  for (std::size_t i = 0; i < triples.size(); ++i) triples[i] = {values[3 * i], values[3 * i + 1], values[3 * i + 2]};
  return listForm("ListVector", triples, [](std::string& text, const std::array<std::int32_t, 3>& t) {
    text += "Vector(" + std::to_string(t[0]) + ", " + std::to_string(t[1]) + ", " + std::to_string(t[2]) + ")";
  });
}

void SceneWriter::plugin(std::string_view type, std::string_view name,
                         const std::vector<std::pair<std::string, std::string>>& attributes) {
  begin(type, name);
  for (const auto& [key, value] : attributes) attribute(key, value);
  end();
}

}  // namespace cvimp::scenegen
