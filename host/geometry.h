#pragma once
// Points and transforms of the host's scene.

class Point3 {
 public:
  float x = 0.0f;
  float y = 0.0f;
  float z = 0.0f;

  constexpr Point3() = default;
  constexpr Point3(float px, float py, float pz) : x(px), y(py), z(pz) {}
  constexpr Point3(double px, double py, double pz)
      : x(static_cast<float>(px)), y(static_cast<float>(py)), z(static_cast<float>(pz)) {}
  constexpr float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
  friend constexpr bool operator==(const Point3&, const Point3&) = default;
};

using UVVert = Point3;

// Four rows of three: the axes, then the translation. A new matrix is the
// identity.
class Matrix3 {
 public:
  Matrix3() { IdentityMatrix(); }
  void IdentityMatrix() {
    rows_[0] = Point3(1.0f, 0.0f, 0.0f);
    rows_[1] = Point3(0.0f, 1.0f, 0.0f);
    rows_[2] = Point3(0.0f, 0.0f, 1.0f);
    rows_[3] = Point3();
  }
  // Rows outside 0 to 3 are ignored.
  void SetRow(int i, const Point3& row) {
    if (i >= 0 && i < 4) rows_[i] = row;
  }
  Point3 GetRow(int i) const { return i >= 0 && i < 4 ? rows_[i] : Point3(); }
  Point3 GetTrans() const { return rows_[3]; }
  friend bool operator==(const Matrix3&, const Matrix3&) = default;

 private:
  Point3 rows_[4];
};
