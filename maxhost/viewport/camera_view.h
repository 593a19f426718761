#pragma once
// The Camera view as 3ds Max's C key and maxhost's "view camera" choose it.
#include <string>

namespace maxhost::viewport {

// Looks through the camera node named `name`; without a name, through the
// selected camera, or else the scene's first. False with the text to show
// ("No camera in the scene", "No camera named NAME"); true with the
// camera's name.
bool viewThroughCamera(const std::string& name, std::string& text);

}  // namespace maxhost::viewport
