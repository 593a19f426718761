#pragma once
// Writing V-Ray scene text the way the platform's exporter does: plugin
// blocks, packed lists ("ZIPC" texts of zlib streams in Base64) and
// "TransformHex" forms. Used by the sample tool, the benchmark generator and
// the tests; the importer itself only reads.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cvimp::scenegen {

using Vec3 = std::array<float, 3>;

std::string encodeBase64(const void* data, std::size_t size);
// Eight upper-case digits, little-endian bytes, high nibble first.
std::string encodeHex32(std::uint32_t value);

// "ZIPC" + Hex32(size) + Hex32(compressed size) + Base64(zlib stream).
std::string packZipc(const void* data, std::size_t size, int level = 6);
std::string packInts(const std::vector<std::int32_t>& values, int level = 6);
std::string packFloats(const std::vector<float>& values, int level = 6);
std::string packVectors(const std::vector<Vec3>& values, int level = 6);

// The 128-digit text of TransformHex: matrix vectors m0, m1, m2 and offset.
std::string transformHexText(const std::array<Vec3, 3>& matrix, const std::array<double, 3>& offset);

// Shortest text that reads back as the same float.
std::string number(float value);
std::string number(double value);

std::string listVectorHex(const std::vector<Vec3>& values, int level = 6);       // ListVectorHex("ZIPC...")
std::string listIntHex(const std::vector<std::int32_t>& values, int level = 6);  // ListIntHex("ZIPC...")

// Lists as other exporters write them. V-Ray for Blender: plain hex of the
// elements' bytes (two upper-case digits a byte, in memory order), each list
// wrapped in an "interpolate" form with one key at frame 1.
std::string plainHex(const void* data, std::size_t size);
std::string listVectorPlainHex(const std::vector<Vec3>& values);       // ListVectorHex("0000803F...")
std::string listIntPlainHex(const std::vector<std::int32_t>& values);  // ListIntHex("01000000...")
std::string interpolated(std::string_view valueText);                  // interpolate((1, valueText))
// The App SDK: numbers written out, faces as vectors of three indices.
std::string listVector(const std::vector<Vec3>& values);           // ListVector(Vector(x, y, z), ...)
std::string listInt(const std::vector<std::int32_t>& values);      // ListInt(a, b, ...)
std::string listTriples(const std::vector<std::int32_t>& values);  // ListVector(Vector(a, b, c), ...)

std::string vectorForm(const Vec3& v);             // Vector(x, y, z)
std::string colorForm(float r, float g, float b);  // Color(r, g, b)
std::string transformForm(const std::array<Vec3, 3>& matrix,
                          const Vec3& offset);  // Transform(Matrix(...), Vector(...))

// Appends statements to a scene text.
class SceneWriter {
 public:
  void comment(std::string_view text);
  void include(std::string_view fileName);
  void begin(std::string_view type, std::string_view name);
  void attribute(std::string_view name, std::string_view valueText);
  void quoted(std::string_view name, std::string_view text);  // name="text";
  void end();
  // A whole block: begin, the attributes in order, end.
  void plugin(std::string_view type, std::string_view name,
              const std::vector<std::pair<std::string, std::string>>& attributes);

  const std::string& text() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  std::string out_;
};

}  // namespace cvimp::scenegen
