#pragma once
// Colours of the host: three or four floats.

class Color {
 public:
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  constexpr Color() = default;
  constexpr Color(float red, float green, float blue) : r(red), g(green), b(blue) {}
  friend constexpr bool operator==(const Color&, const Color&) = default;
};

class AColor {
 public:
  float r = 0.0f;
  float g = 0.0f;
  float b = 0.0f;
  float a = 1.0f;
  constexpr AColor() = default;
  constexpr AColor(float red, float green, float blue, float alpha = 1.0f) : r(red), g(green), b(blue), a(alpha) {}
  friend constexpr bool operator==(const AColor&, const AColor&) = default;
};
