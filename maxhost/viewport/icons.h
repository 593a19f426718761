#pragma once
// Cameras and lights as the viewport draws them: line icons in the node's
// own space, as 3ds Max draws its camera, light and sun icons.
#include <vector>

#include "host/max.h"
#include "host/stand_in.h"

namespace maxhost::viewport {

// The scale of the icons in a scene whose geometry fills `box`: a fortieth
// of its diagonal (15 cm in a 4 x 3 m room in millimetres); 100 units
// without geometry.
double iconSize(const host::Box& box);

// The icon of a camera or light as lines, each two points of x, y, z; empty
// for any other object. `size` scales what has no size of its own (the
// camera's frustum, the direction and the point light's star); a light's
// shape keeps its own. `aspect` is the camera frustum's width / height.
std::vector<float> iconLines(Object& object, double size, double aspect);

}  // namespace maxhost::viewport
