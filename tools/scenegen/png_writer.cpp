#include "tools/scenegen/png_writer.h"

#include <zlib.h>

namespace cvimp::scenegen {

namespace {

void appendBigEndian(std::string& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

void appendChunk(std::string& out, const char type[4], const std::string& data) {
  appendBigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::string typed = std::string(type, 4) + data;
  out += typed;
  appendBigEndian(out, static_cast<std::uint32_t>(
                           crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()))));
}

}  // namespace

std::string encodePng(int width, int height, const std::vector<std::uint8_t>& rgb) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  appendBigEndian(header, static_cast<std::uint32_t>(width));
  appendBigEndian(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter choice, no interlace
  appendChunk(png, "IHDR", header);

  std::string raw;
  const auto rowBytes = static_cast<std::size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');  // filter: none
    raw.append(reinterpret_cast<const char*>(rgb.data()) + static_cast<std::size_t>(y) * rowBytes, rowBytes);
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string compressed(size, '\0');
  compress(reinterpret_cast<Bytef*>(compressed.data()), &size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  compressed.resize(size);
  appendChunk(png, "IDAT", compressed);
  appendChunk(png, "IEND", "");
  return png;
}

std::string checkerPng(int size, int cell, std::uint32_t colorA, std::uint32_t colorB) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size) * 3);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const std::uint32_t color = ((x / cell + y / cell) % 2 == 0) ? colorA : colorB;
      rgb.push_back(static_cast<std::uint8_t>(color >> 16));
      rgb.push_back(static_cast<std::uint8_t>(color >> 8));
      rgb.push_back(static_cast<std::uint8_t>(color));
    }
  }
  return encodePng(size, size, rgb);
}

}  // namespace cvimp::scenegen
