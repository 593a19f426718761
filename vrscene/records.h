#pragma once
// Plain results of the typed accessors.
#include <array>

namespace cvimp {

struct VrpVector {
  float x = 0, y = 0, z = 0;
};

struct VrpColor {
  float r = 0, g = 0, b = 0;
};

struct VrpAColor {
  float r = 0, g = 0, b = 0, a = 0;
};

// An affine transform as written in the scene: the three vectors of its
// Matrix form (m0, m1, m2, in order) and the offset. Default: the identity.
struct VrpTransform {
  std::array<VrpVector, 3> matrix{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  VrpVector offset{};
};

static_assert(sizeof(VrpVector) == 12, "packed vector lists are copied as 12-byte elements");

}  // namespace cvimp
