#include "maxhost/viewport/icons.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace maxhost::viewport {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kCircleSegments = 24;

using Point = std::array<double, 3>;

class Lines {
 public:
  void line(const Point& a, const Point& b) {
    for (const Point* p : {&a, &b})
      for (const double v : *p) points_.push_back(static_cast<float>(v));
  }
  // A closed loop through `corners`.
  template <std::size_t N>
  void loop(const std::array<Point, N>& corners) {
    for (std::size_t i = 0; i < N; ++i) line(corners[i], corners[(i + 1) % N]);
  }
  // A circle of `radius` about `centre`, in the plane of axes `a` and `b`.
  void circle(const Point& centre, double radius, int a, int b) {
    Point last{};
    for (int i = 0; i <= kCircleSegments; ++i) {
      const double angle = 2 * kPi * i / kCircleSegments;
      Point p = centre;
      p[a] += radius * std::cos(angle);
      p[b] += radius * std::sin(angle);
      if (i > 0) line(last, p);
      last = p;
    }
  }
  // From the origin down local -Z, ending in an arrowhead.
  void ray(double length) {
    const Point tip{0, 0, -length};
    const double head = length / 6;
    line({0, 0, 0}, tip);
    line(tip, {head / 2, 0, -length + head});
    line(tip, {-head / 2, 0, -length + head});
    line(tip, {0, head / 2, -length + head});
    line(tip, {0, -head / 2, -length + head});
  }
  std::vector<float> take() { return std::move(points_); }

 private:
  std::vector<float> points_;
};

// A size from the parameter block: finite and not negative, or 0.
double sizeOf(Object& object, const char16_t* name) {
  const double value = std::abs(host::floatParamOf(object, name, 0));
  return std::isfinite(value) ? value : 0;
}

// A pyramid from the eye to the picture's frame, `depth` ahead, with a
// triangle over the frame's top that tells up from down.
void camera(Lines& lines, Object& object, double size, double aspect) {
  const double depth = 1.5 * size;
  const double fov = host::floatParamOf(object, u"fov", 45) * kPi / 180;
  const bool orthographic = host::boolParamOf(object, u"orthographic", false);
  double halfWidth = depth * std::tan(std::clamp(std::isfinite(fov) ? fov : kPi / 4, 0.01, kPi * 0.9) / 2);
  halfWidth = std::min(halfWidth, 2 * depth);
  if (orthographic) halfWidth = size / 2;
  const double halfHeight = halfWidth / (aspect > 0 && std::isfinite(aspect) ? aspect : 1);
  const std::array<Point, 4> frame{Point{-halfWidth, -halfHeight, -depth}, Point{halfWidth, -halfHeight, -depth},
                                   Point{halfWidth, halfHeight, -depth}, Point{-halfWidth, halfHeight, -depth}};
  lines.loop(frame);
  for (const Point& corner : frame) {
    lines.line(orthographic ? Point{corner[0], corner[1], 0} : Point{0, 0, 0}, corner);
  }
  if (orthographic) {
    lines.loop(std::array<Point, 4>{Point{-halfWidth, -halfHeight, 0}, Point{halfWidth, -halfHeight, 0},
                                    Point{halfWidth, halfHeight, 0}, Point{-halfWidth, halfHeight, 0}});
  }
  const double up = halfHeight * 0.6;
  lines.loop(std::array<Point, 3>{Point{-halfWidth / 2, halfHeight * 1.1, -depth},
                                  Point{halfWidth / 2, halfHeight * 1.1, -depth},
                                  Point{0, halfHeight * 1.1 + up, -depth}});
}

// The light's shape at its own size, and where its light goes: a ray down
// -Z for a directed distribution, the falloff cone for a spotlight, a star
// for a point that shines all round.
void freeLight(Lines& lines, Object& object, double size) {
  const std::u16string shape = host::stringParamOf(object, u"shape");
  const std::u16string distribution = host::stringParamOf(object, u"distribution");
  const double width = sizeOf(object, u"width"), length = sizeOf(object, u"length");
  const double radius = sizeOf(object, u"radius");
  const double shown = radius > 0 ? radius : size / 4;  // a shape of no size still shows
  if (shape == u"rectangle") {
    const double w = (width > 0 ? width : size) / 2, l = (length > 0 ? length : size) / 2;
    lines.loop(std::array<Point, 4>{Point{-w, -l, 0}, Point{w, -l, 0}, Point{w, l, 0}, Point{-w, l, 0}});
    lines.line({-w, -l, 0}, {w, l, 0});
    lines.line({w, -l, 0}, {-w, l, 0});
  } else if (shape == u"disc") {
    lines.circle({0, 0, 0}, shown, 0, 1);
  } else if (shape == u"sphere") {
    lines.circle({0, 0, 0}, shown, 0, 1);
    lines.circle({0, 0, 0}, shown, 1, 2);
    lines.circle({0, 0, 0}, shown, 0, 2);
  } else if (shape == u"cylinder" || shape == u"line") {
    const double l = (length > 0 ? length : size) / 2;
    lines.line({0, -l, 0}, {0, l, 0});
    if (shape == u"cylinder") {
      lines.circle({0, -l, 0}, shown, 0, 2);
      lines.circle({0, l, 0}, shown, 0, 2);
      for (const double side : {-shown, shown}) {
        lines.line({side, -l, 0}, {side, l, 0});
        lines.line({0, -l, side}, {0, l, side});
      }
    }
  } else {
    const double s = size / 4;
    lines.line({-s, 0, 0}, {s, 0, 0});
    lines.line({0, -s, 0}, {0, s, 0});
    lines.line({0, 0, -s}, {0, 0, s});
  }
  if (distribution == u"uniform spherical") return;
  const double reach = 2 * size;
  if (distribution == u"spotlight") {
    const double falloff = host::floatParamOf(object, u"falloff", 60) * kPi / 180;
    const double spread = reach * std::tan(std::clamp(std::isfinite(falloff) ? falloff : kPi / 3, 0.01, kPi * 0.9) / 2);
    const double r = std::min(spread, 2 * reach);
    lines.circle({0, 0, -reach}, r, 0, 1);
    for (const Point& edge : {Point{r, 0, -reach}, Point{-r, 0, -reach}, Point{0, r, -reach}, Point{0, -r, -reach}}) {
      lines.line({0, 0, 0}, edge);
    }
  }
  lines.ray(reach);
}

// The sun: a disc with its rays about it, and the direction it shines in.
void sun(Lines& lines, double size) {
  const double r = size / 3;
  lines.circle({0, 0, 0}, r, 0, 1);
  for (int i = 0; i < 8; ++i) {
    const double angle = 2 * kPi * i / 8;
    const double c = std::cos(angle), s = std::sin(angle);
    lines.line({c * r * 1.3, s * r * 1.3, 0}, {c * r * 1.8, s * r * 1.8, 0});
  }
  lines.ray(4 * size);
}

}  // namespace

double iconSize(const host::Box& box) {
  if (box.empty) return 100;
  double squares = 0;
  for (int axis = 0; axis < 3; ++axis) squares += (box.max[axis] - box.min[axis]) * (box.max[axis] - box.min[axis]);
  const double size = std::sqrt(squares) / 40;
  return size > 0 && std::isfinite(size) ? size : 100;
}

std::vector<float> iconLines(Object& object, double size, double aspect) {
  Lines lines;
  if (object.SuperClassID() == CAMERA_CLASS_ID) {
    camera(lines, object, size, aspect);
  } else if (object.ClassID() == FREE_LIGHT_CLASS_ID) {
    freeLight(lines, object, size);
  } else if (object.ClassID() == SUN_POSITIONER_CLASS_ID) {
    sun(lines, size);
  }
  return lines.take();
}

}  // namespace maxhost::viewport
