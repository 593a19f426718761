#include "host/viewport.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "host/camera.h"
#include "host/core_interface.h"
#include "host/lights.h"
#include "host/named_params.h"
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
    case ViewType::Camera:
      break;
  }
}

Vec scaled(const Vec& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
Vec unit(const Vec& a) {
  const double length = std::sqrt(dot(a, a));
  return length > 0 && std::isfinite(length) ? scaled(a, 1 / length) : Vec{0, 0, 0};
}
Vec rowOf(const Matrix3& tm, int row) {
  const Point3 p = tm.GetRow(row);
  return {p.x, p.y, p.z};
}

bool isCamera(INode& node) {
  Object* object = node.GetObjectRef();
  return object != nullptr && object->SuperClassID() == CAMERA_CLASS_ID;
}

// The camera node a Camera view looks through, if still in the scene.
INode* throughOf(const Camera& camera) {
  if (camera.through == nullptr) return nullptr;
  for (const auto& node : scene().nodes()) {
    if (node.get() == camera.through && isCamera(*node) &&
        Animatable::GetHandleByAnim(node->GetObjectRef()) == camera.lens)
      return node.get();
  }
  return nullptr;
}

// A camera node's place and axes, the scale of its transform taken out and
// its up made square to its view; false for a transform that gives none.
struct Eye {
  Vec at;
  Axes axes;
};
bool eyeOf(INode& node, Eye& eye) {
  const Matrix3 tm = node.GetNodeTM(0);
  eye.at = rowOf(tm, 3);
  eye.axes.toEye = unit(rowOf(tm, 2));
  // Up comes from the node's +Y, so that a mirrored camera (its X flipped)
  // still shows the picture upright; a +Y along the view falls back to +X.
  const Vec y = rowOf(tm, 1);
  eye.axes.up = unit(sub(y, scaled(eye.axes.toEye, dot(y, eye.axes.toEye))));
  if (dot(eye.axes.up, eye.axes.up) > 0.5) {
    eye.axes.right = cross(eye.axes.up, eye.axes.toEye);
  } else {
    const Vec x = rowOf(tm, 0);
    eye.axes.right = unit(sub(x, scaled(eye.axes.toEye, dot(x, eye.axes.toEye))));
    eye.axes.up = cross(eye.axes.toEye, eye.axes.right);
  }
  const bool finite = std::all_of(eye.at.begin(), eye.at.end(), [](double v) { return std::isfinite(v); });
  return finite && dot(eye.axes.toEye, eye.axes.toEye) > 0.5 && dot(eye.axes.right, eye.axes.right) > 0.5;
}

// The camera's horizontal field of view in radians, kept within what a
// projection can take.
double fovOf(Object& camera) {
  const double fov = floatParamOf(camera, u"fov", 45) * kPi / 180;
  return std::isfinite(fov) ? std::clamp(fov, 1e-4, kPi - 1e-4) : kPi / 4;
}

double targetDistanceOf(Object& camera) {
  const double distance = floatParamOf(camera, u"target_distance", 1000);
  return distance > 0 && std::isfinite(distance) ? distance : 1000;
}

// A Camera view becomes the Perspective view from the camera's eye along
// its direction, turning about a target at the camera's target distance
// (its roll is dropped: the view keeps Z up); with the camera gone, the
// default Perspective view. Any other view stays as it is.
void leaveCamera(Camera& camera) {
  if (camera.type != ViewType::Camera) return;
  INode* node = throughOf(camera);
  Eye eye;
  camera.through = nullptr;
  camera.lens = 0;
  if (node == nullptr || !eyeOf(*node, eye)) {
    camera = Camera();
    return;
  }
  const double distance = targetDistanceOf(*node->GetObjectRef());
  camera.type = ViewType::Perspective;
  camera.elevation = std::asin(std::clamp(eye.axes.toEye[2], -1.0, 1.0));
  camera.azimuth = std::atan2(eye.axes.toEye[0], -eye.axes.toEye[1]);
  camera.size = distance * std::tan(kHalfFov);
  camera.target = sub(eye.at, scaled(eye.axes.toEye, distance));
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
    case ViewType::Camera:
      return "Camera";
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
  if (object.SuperClassID() == CAMERA_CLASS_ID || object.ClassID() == SUN_POSITIONER_CLASS_ID) {
    Box box;
    box.add({0, 0, 0});
    return box;
  }
  if (object.ClassID() == FREE_LIGHT_CLASS_ID) {
    auto size = [&](const char16_t* name) {
      const double value = std::abs(floatParamOf(object, name, 0));
      return std::isfinite(value) ? value : 0.0;
    };
    const std::u16string shape = stringParamOf(object, u"shape");
    const double radius = size(u"radius"), halfLength = size(u"length") / 2;
    Vec half{0, 0, 0};
    if (shape == u"rectangle") half = {size(u"width") / 2, halfLength, 0};
    if (shape == u"disc") half = {radius, radius, 0};
    if (shape == u"sphere") half = {radius, radius, radius};
    if (shape == u"cylinder") half = {radius, std::max(radius, halfLength), radius};
    if (shape == u"line") half = {0, halfLength, 0};
    Box box;
    box.add(scaled(half, -1));
    box.add(half);
    return box;
  }
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
  if (type == ViewType::Camera) return;
  {
    std::lock_guard guard(store().lock);
    store().state.camera.through = nullptr;
    store().state.camera.lens = 0;
    aimFor(store().state.camera, type);
  }
  changed();
}

std::vector<INode*> cameraNodes() {
  std::vector<INode*> cameras;
  for (const auto& node : scene().nodes()) {
    if (isCamera(*node)) cameras.push_back(node.get());
  }
  return cameras;
}

INode* viewedCamera(const Camera& camera) { return camera.type == ViewType::Camera ? throughOf(camera) : nullptr; }

bool lookThrough(INode* node) {
  Camera wanted;
  wanted.through = node;
  wanted.lens = node != nullptr ? Animatable::GetHandleByAnim(node->GetObjectRef()) : 0;
  if (throughOf(wanted) == nullptr) return false;
  {
    std::lock_guard guard(store().lock);
    store().state.camera.type = ViewType::Camera;
    store().state.camera.through = node;
    store().state.camera.lens = wanted.lens;
  }
  changed();
  return true;
}

Frame viewFrame(const Camera& camera, int width, int height) {
  Frame frame{0, 0, std::max(width, 0), std::max(height, 0)};
  if (viewedCamera(camera) == nullptr || width <= 0 || height <= 0) return frame;
  Interface* core = GetCOREInterface();
  const double aspect = static_cast<double>(std::max(core->GetRendWidth(), 1)) / std::max(core->GetRendHeight(), 1);
  if (aspect * height > width) {
    frame.height = std::clamp(static_cast<int>(std::lround(width / aspect)), 1, height);
    frame.y = (height - frame.height) / 2;
  } else {
    frame.width = std::clamp(static_cast<int>(std::lround(height * aspect)), 1, width);
    frame.x = (width - frame.width) / 2;
  }
  return frame;
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
    leaveCamera(camera);
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
    leaveCamera(camera);
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
    leaveCamera(camera);
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
    leaveCamera(camera);
    camera.size = std::clamp(camera.size * factor, 1e-6, 1e12);
  }
  changed();
}

void setViewportListener(std::function<void()> listener) {
  std::lock_guard guard(store().lock);
  store().listener = std::move(listener);
}

void requestViewportRedraw() { changed(); }

namespace {

// Rows right, up, toward the eye, in column-major storage.
void setView(ViewMatrices& out, const Axes& axes, const Vec& eye) {
  const Vec* rows[3] = {&axes.right, &axes.up, &axes.toEye};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) out.view[column * 4 + row] = static_cast<float>((*rows[row])[column]);
    out.view[12 + row] = static_cast<float>(-dot(*rows[row], eye));
  }
  out.view[15] = 1;
  out.toEye = axes.toEye;
  out.eye = eye;
}

// Through a camera node: the width spans its field of view, or in an
// orthographic camera the width that spans at its target distance.
bool cameraMatrices(INode& node, double aspect, const Box& scene, ViewMatrices& out) {
  Eye eye;
  if (!eyeOf(node, eye)) return false;
  Object& camera = *node.GetObjectRef();
  setView(out, eye.axes, eye.at);
  out.orthographic = boolParamOf(camera, u"orthographic", false);
  const double tangent = std::tan(fovOf(camera) / 2);
  Vec centre = eye.at;
  double radius = 1;
  if (!scene.empty) {
    centre = scene.centre();
    radius = std::sqrt(dot(sub(scene.max, centre), sub(scene.max, centre)));
  }
  radius = radius * 1.01 + 1e-6;
  const double ahead = -dot(sub(centre, eye.at), eye.axes.toEye);
  std::array<float, 16>& p = out.projection;
  p.fill(0);
  if (out.orthographic) {
    const double halfWidth = targetDistanceOf(camera) * tangent;
    const double near = ahead - radius, far = ahead + radius;
    p[0] = static_cast<float>(1 / halfWidth);
    p[5] = static_cast<float>(aspect / halfWidth);
    p[10] = static_cast<float>(-2 / (far - near));
    p[14] = static_cast<float>(-(far + near) / (far - near));
    p[15] = 1;
  } else {
    // As in an interior view below: the near plane a thousandth of the far.
    const double far = std::max(ahead + radius, radius * 1e-3);
    const double near = std::max(ahead - radius, far * 1e-3);
    p[0] = static_cast<float>(1 / tangent);
    p[5] = static_cast<float>(aspect / tangent);
    p[10] = static_cast<float>(-(far + near) / (far - near));
    p[11] = -1;
    p[14] = static_cast<float>(-2 * far * near / (far - near));
  }
  return true;
}

}  // namespace

ViewMatrices viewMatrices(const Camera& camera, double aspect, const Box& scene) {
  ViewMatrices out;
  if (!(aspect > 0) || !std::isfinite(aspect)) aspect = 1;
  if (camera.type == ViewType::Camera) {
    INode* node = viewedCamera(camera);
    if (node != nullptr && cameraMatrices(*node, aspect, scene, out)) return out;
    return viewMatrices(Camera(), aspect, scene);
  }
  const Axes axes = axesOf(camera);
  out.orthographic = camera.type != ViewType::Perspective;
  const double size = camera.size > 0 && std::isfinite(camera.size) ? camera.size : 1;
  const double distance = out.orthographic ? 0 : size / std::tan(kHalfFov);
  Vec eye;
  for (int axis = 0; axis < 3; ++axis) eye[axis] = camera.target[axis] + axes.toEye[axis] * distance;
  setView(out, axes, eye);

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
