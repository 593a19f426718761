#include "maxhost/viewport/camera_view.h"

#include <vector>

#include "host/max.h"
#include "host/stand_in.h"

namespace maxhost::viewport {

bool viewThroughCamera(const std::string& name, std::string& text) {
  const std::vector<INode*> cameras = host::cameraNodes();
  INode* chosen = nullptr;
  for (INode* camera : cameras) {
    const bool wanted = name.empty() ? camera->Selected() != 0 : host::utf16ToUtf8(camera->GetName()) == name;
    if (wanted) {
      chosen = camera;
      break;
    }
  }
  if (chosen == nullptr && name.empty() && !cameras.empty()) chosen = cameras.front();
  if (chosen == nullptr) {
    text = cameras.empty() ? std::string("No camera in the scene") : "No camera named " + name;
    return false;
  }
  text = host::utf16ToUtf8(chosen->GetName());
  return host::lookThrough(chosen);
}

}  // namespace maxhost::viewport
