#include "host/viewport.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "host/node.h"
#include "host/objects.h"
#include "host/poly_object.h"
#include "host/scene.h"
#include "platform/platform.h"

namespace host {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Half the field of view across the image's smaller side: 45 degrees in all.
constexpr double kHalfFov = kPi / 8;
constexpr double kMargin = 1.1;

using Vec = std::array<double, 3>;

struct ViewportStore {
  std::mutex lock;
  ViewportState state;
  std::function<void()> listener;
};

ViewportStore& store() {
  static ViewportStore instance;
  return instance;
}

// Tells the listener, outside the lock: it draws, reading the state.
void changed() {
  std::function<void()> listener;
  {
    std::lock_guard guard(store().lock);
    listener = store().listener;
  }
  if (listener) listener();
}

Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vec cross(const Vec& a, const Vec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The camera's axes: right, up, and toward the camera.
struct Axes {
  Vec right, up, toEye;
};
Axes axesOf(const Camera& camera) {
  const double ce = std::cos(camera.elevation), se = std::sin(camera.elevation);
  const double ca = std::cos(camera.azimuth), sa = std::sin(camera.azimuth);
  Axes axes;
  axes.toEye = {ce * sa, -ce * ca, se};
  axes.right = {ca, sa, 0};
  axes.up = cross(axes.toEye, axes.right);
  return axes;
}

void aimFor(Camera& camera, ViewType type) {
  camera.type = type;
  switch (type) {
    case ViewType::Top:
      camera.azimuth = 0;
      camera.elevation = kPi / 2;
      break;
    case ViewType::Front:
      camera.azimuth = 0;
      camera.elevation = 0;
      break;
    case ViewType::Left:
      camera.azimuth = -kPi / 2;
      camera.elevation = 0;
      break;
    case ViewType::Perspective:
      camera.azimuth = ViewportState().camera.azimuth;
      camera.elevation = ViewportState().camera.elevation;
      break;
    case ViewType::Orthographic:
      break;
  }
}

// Points per task of the box's parallel pass.
constexpr std::size_t kChunk = 1 << 16;

Box boxOf(const Point3* points, std::size_t count) {
  std::vector<Box> boxes((count + kChunk - 1) / kChunk);
  cvimp::platform::parallelFor(boxes.size(), [&](std::size_t chunk) {
    for (std::size_t i = chunk * kChunk; i < std::min(count, (chunk + 1) * kChunk); ++i) {
      const Point3& p = points[i];
      if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) boxes[chunk].add({p.x, p.y, p.z});
    }
  });
  Box all;
  for (const Box& box : boxes) all.merge(box);
  return all;
}

}  // namespace

const char* viewName(ViewType type) {
  switch (type) {
    case ViewType::Perspective:
      return "Perspective";
    case ViewType::Top:
      return "Top";
    case ViewType::Front:
      return "Front";
    case ViewType::Left:
      return "Left";
    case ViewType::Orthographic:
      return "Orthographic";
  }
  return "";
}

void Box::add(const std::array<double, 3>& p) {
  if (empty) {
    min = max = p;
    empty = false;
    return;
  }
  for (int axis = 0; axis < 3; ++axis) {
    min[axis] = std::min(min[axis], p[axis]);
    max[axis] = std::max(max[axis], p[axis]);
  }
}

void Box::merge(const Box& other) {
  if (other.empty) return;
  add(other.min);
  add(other.max);
}

std::array<double, 3> Box::corner(int i) const {
  return {(i & 1) != 0 ? max[0] : min[0], (i & 2) != 0 ? max[1] : min[1], (i & 4) != 0 ? max[2] : min[2]};
}

std::array<double, 3> Box::centre() const {
  return {(min[0] + max[0]) / 2, (min[1] + max[1]) / 2, (min[2] + max[2]) / 2};
}

Box objectBox(Object& object) {
  if (object.ClassID() == TRIOBJ_CLASS_ID) {
    const Mesh& mesh = static_cast<TriObject&>(object).mesh;
    return boxOf(mesh.verts.begin(), static_cast<std::size_t>(std::max(mesh.getNumVerts(), 0)));
  }
  if (object.ClassID() == POLYOBJ_CLASS_ID) {
    const auto& points = static_cast<PolyObject&>(object).vertices;
    return boxOf(points.data(), points.size());
  }
  return {};
}

Box placedBox(const Box& local, const Matrix3& tm) {
  Box box;
  if (local.empty) return box;
  for (int i = 0; i < 8; ++i) {
    const Vec p = local.corner(i);
    Vec world{};
    for (int axis = 0; axis < 3; ++axis) {
      world[axis] =
          p[0] * tm.GetRow(0)[axis] + p[1] * tm.GetRow(1)[axis] + p[2] * tm.GetRow(2)[axis] + tm.GetRow(3)[axis];
    }
    if (std::isfinite(world[0]) && std::isfinite(world[1]) && std::isfinite(world[2])) box.add(world);
  }
  return box;
}

Box worldBox(INode& node) {
  Object* object = node.GetObjectRef();
  return object != nullptr ? placedBox(objectBox(*object), node.GetNodeTM(0)) : Box();
}

Box sceneBox(const std::vector<INode*>& nodes) {
  Box box;
  for (INode* node : nodes) box.merge(worldBox(*node));
  return box;
}

ViewportState viewport() {
  std::lock_guard guard(store().lock);
  return store().state;
}

void setViewType(ViewType type) {
  {
    std::lock_guard guard(store().lock);
    aimFor(store().state.camera, type);
  }
  changed();
}

void setEdgedFaces(bool on) {
  {
    std::lock_guard guard(store().lock);
    store().state.edgedFaces = on;
  }
  changed();
}

void setFlatColor(bool on) {
  {
    std::lock_guard guard(store().lock);
    store().state.flatColor = on;
  }
  changed();
}

bool zoomExtents(const std::vector<INode*>& nodes) {
  std::vector<INode*> all = nodes;
  if (all.empty()) {
    for (const auto& node : scene().nodes()) all.push_back(node.get());
  }
  const Box box = sceneBox(all);
  if (box.empty) return false;
  {
    std::lock_guard guard(store().lock);
    Camera& camera = store().state.camera;
    const Vec centre = box.centre();
    camera.target = centre;
    double size = 0;
    if (camera.type == ViewType::Perspective) {
      // The bounding sphere fits the cone of view across the smaller side.
      const double radius = std::sqrt(dot(sub(box.max, centre), sub(box.max, centre)));
      size = radius / std::cos(kHalfFov);
    } else {
      const Axes axes = axesOf(camera);
      for (int corner = 0; corner < 8; ++corner) {
        const Vec d = sub(box.corner(corner), centre);
        size = std::max({size, std::abs(dot(d, axes.right)), std::abs(dot(d, axes.up))});
      }
    }
    // A single point still shows as a small region around it.
    camera.size = std::max(size * kMargin, 1e-3);
  }
  changed();
  return true;
}

void orbit(double azimuthStep, double elevationStep) {
  {
    std::lock_guard guard(store().lock);
    Camera& camera = store().state.camera;
    if (camera.type != ViewType::Perspective) camera.type = ViewType::Orthographic;
    camera.azimuth = std::remainder(camera.azimuth + azimuthStep, 2 * kPi);
    camera.elevation = std::clamp(camera.elevation + elevationStep, -kPi / 2, kPi / 2);
  }
  changed();
}

void pan(double right, double up) {
  {
    std::lock_guard guard(store().lock);
    Camera& camera = store().state.camera;
    const Axes axes = axesOf(camera);
    // The scene follows the pointer: the camera moves the other way.
    for (int axis = 0; axis < 3; ++axis)
      camera.target[axis] -= 2 * camera.size * (right * axes.right[axis] + up * axes.up[axis]);
  }
  changed();
}

void zoom(double factor) {
  if (!std::isfinite(factor) || factor <= 0) return;
  {
    std::lock_guard guard(store().lock);
    Camera& camera = store().state.camera;
    camera.size = std::clamp(camera.size * factor, 1e-6, 1e12);
  }
  changed();
}

void setViewportListener(std::function<void()> listener) {
  std::lock_guard guard(store().lock);
  store().listener = std::move(listener);
}

void requestViewportRedraw() { changed(); }

ViewMatrices viewMatrices(const Camera& camera, double aspect, const Box& scene) {
  ViewMatrices out;
  const Axes axes = axesOf(camera);
  out.toEye = axes.toEye;
  out.orthographic = camera.type != ViewType::Perspective;
  if (!(aspect > 0) || !std::isfinite(aspect)) aspect = 1;
  const double size = camera.size > 0 && std::isfinite(camera.size) ? camera.size : 1;
  const double distance = out.orthographic ? 0 : size / std::tan(kHalfFov);
  Vec eye;
  for (int axis = 0; axis < 3; ++axis) eye[axis] = camera.target[axis] + axes.toEye[axis] * distance;
  out.eye = eye;

  // Rows right, up, toward the eye; column-major storage.
  const Vec* rows[3] = {&axes.right, &axes.up, &axes.toEye};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) out.view[column * 4 + row] = static_cast<float>((*rows[row])[column]);
    out.view[12 + row] = static_cast<float>(-dot(*rows[row], eye));
  }
  out.view[15] = 1;

  // Depth range: the scene's bounding sphere, seen along the view.
  Vec centre = camera.target;
  double radius = size;
  if (!scene.empty) {
    centre = scene.centre();
    radius = std::sqrt(dot(sub(scene.max, centre), sub(scene.max, centre)));
  }
  radius = std::max(radius, size) * 1.01 + 1e-6;
  const double ahead = -dot(sub(centre, eye), axes.toEye);  // depth of the centre
  const double halfWidth = aspect >= 1 ? size * aspect : size;
  const double halfHeight = aspect >= 1 ? size : size / aspect;
  std::array<float, 16>& p = out.projection;
  p.fill(0);
  if (out.orthographic) {
    const double near = ahead - radius, far = ahead + radius;
    p[0] = static_cast<float>(1 / halfWidth);
    p[5] = static_cast<float>(1 / halfHeight);
    p[10] = static_cast<float>(-2 / (far - near));
    p[14] = static_cast<float>(-(far + near) / (far - near));
    p[15] = 1;
  } else {
    // Inside the scene (an interior), the near plane a thousandth of the
    // far one: enough depth resolution for a rug on a floor.
    const double far = std::max(ahead + radius, distance * 1e-3);
    const double near = std::max(ahead - radius, far * 1e-3);
    p[0] = static_cast<float>(distance / halfWidth);
    p[5] = static_cast<float>(distance / halfHeight);
    p[10] = static_cast<float>(-(far + near) / (far - near));
    p[11] = -1;
    p[14] = static_cast<float>(-2 * far * near / (far - near));
  }
  return out;
}

void resetViewport() {
  std::lock_guard guard(store().lock);
  store().state = ViewportState();
}

}  // namespace host
