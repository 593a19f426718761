#pragma once
// Small real PNG images for sample designs and tests.
#include <cstdint>
#include <string>
#include <vector>

namespace cvimp::scenegen {

// An 8-bit RGB image, rows top to bottom, as PNG file bytes.
std::string encodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

// A checkerboard of two colours, `cell` pixels wide.
std::string checkerPng(int size, int cell, std::uint32_t colorA, std::uint32_t colorB);

}  // namespace cvimp::scenegen
