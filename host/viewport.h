#pragma once
// The host's viewport as 3ds Max keeps it: which view it shows, where its
// camera is, its display style, and the requests to draw it. The picture
// itself is drawn by whatever shows the viewport (maxhost's window, or an
// image rendered without one); this part holds no graphics.
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "host/geometry.h"
#include "host/objects.h"

class INode;

namespace host {

// Perspective and the three standard views; Orthographic is a user view,
// which an orbit turns an axis view into, as in 3ds Max. Camera looks
// through a camera node of the scene.
enum class ViewType { Perspective, Top, Front, Left, Orthographic, Camera };
const char* viewName(ViewType type);

// What frames the picture. The camera looks at `target` from the direction
// given by `azimuth` (about Z, 0 from the front, -Y) and `elevation` (up
// from the ground plane), both in radians; `size` is half the image's
// smaller side, in system units, measured at the target. A Camera view
// takes all of that from the camera node `through`, while it still shows
// the camera object `lens` (a handle: an address may be reused).
struct Camera {
  ViewType type = ViewType::Perspective;
  std::array<double, 3> target{0, 0, 0};
  double azimuth = 0.785398163397448;    // from the front right
  double elevation = 0.436332312998582;  // 25 degrees
  double size = 1000;
  const INode* through = nullptr;
  AnimHandle lens = 0;
};

struct ViewportState {
  Camera camera;
  bool edgedFaces = false;  // F4: polygon edges over the shading
  bool flatColor = false;   // the "Flat Color" style: colours and textures unlit
};

ViewportState viewport();
// Any view but Camera.
void setViewType(ViewType type);

// The scene's nodes whose object is a camera, in scene order.
std::vector<INode*> cameraNodes();
// The camera node a Camera view looks through; null when the view is
// another or the node has gone from the scene.
INode* viewedCamera(const Camera& camera);
// The Camera view through `node`; false, changing nothing, when it is not
// a camera node of the scene.
bool lookThrough(INode* node);

// Where a picture of `width` x `height` shows the view: all of it, or in a
// Camera view the largest part of the render output's aspect
// (GetRendWidth / GetRendHeight), centred: the rest is a letterbox band.
struct Frame {
  int x = 0, y = 0, width = 0, height = 0;  // x, y from the top left
};
Frame viewFrame(const Camera& camera, int width, int height);
void setEdgedFaces(bool on);
void setFlatColor(bool on);

// An axis-aligned box; empty until something is added.
struct Box {
  std::array<double, 3> min{0, 0, 0}, max{0, 0, 0};
  bool empty = true;
  void add(const std::array<double, 3>& p);
  void merge(const Box& other);
  std::array<double, 3> corner(int i) const;  // i from 0 to 7
  std::array<double, 3> centre() const;
};
// The box of an object's own finite points (triangle mesh or editable
// poly), read on worker threads too; for a camera or a sun its origin, for
// a light its shape (rectangle "width" along X and "length" along Y, disc,
// sphere or cylinder of "radius", line and cylinder "length" along Y);
// empty for any other object.
Box objectBox(Object& object);
// `local` placed by a node transform: the box of its placed corners.
Box placedBox(const Box& local, const Matrix3& tm);
// The world box of a node's object under its transform; empty for a node
// without geometry.
Box worldBox(INode& node);
Box sceneBox(const std::vector<INode*>& nodes);

// Frames `nodes` (all nodes when empty) with a margin, so that they show
// whole in an image of any shape. Returns false, changing nothing, when
// they have no geometry. This and the moves below first turn a Camera view
// into the Perspective view from the camera's place and direction, as 3ds
// Max's P does: they move the view, not the camera.
bool zoomExtents(const std::vector<INode*>& nodes = {});
// Alt + middle drag: turns the camera about its target; an axis view
// becomes the Orthographic user view.
void orbit(double azimuthStep, double elevationStep);
// Middle drag: moves the camera along the image, by fractions of the
// image's smaller side (right and up positive).
void pan(double right, double up);
// Wheel: `factor` below 1 zooms in.
void zoom(double factor);

// The viewport needs drawing (a redraw, a new view). The one listener is
// what shows the viewport; null: none. Kept across reset.
void setViewportListener(std::function<void()> listener);
void requestViewportRedraw();

// Column-major 4 x 4 matrices for a picture of width / height `aspect` of a
// scene within `scene` (for the depth range). A Camera view spans the
// camera's horizontal "fov" across the width (or, "orthographic", the
// width that fov spans at "target_distance"); one whose node has gone
// shows the default Perspective view.
struct ViewMatrices {
  std::array<float, 16> view{};
  std::array<float, 16> projection{};
  std::array<double, 3> toEye{0, 0, 1};  // unit direction from the target to the camera
  std::array<double, 3> eye{0, 0, 0};    // the camera (the target itself in orthographic views)
  bool orthographic = false;
};
ViewMatrices viewMatrices(const Camera& camera, double aspect, const Box& scene);

// Part of host::reset: the default perspective view, shaded, no edges.
void resetViewport();

}  // namespace host
