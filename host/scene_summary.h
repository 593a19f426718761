#pragma once
// What the host scene holds, in the words a user sees: totals, and one row
// per node as the host's node list shows it.
#include <cstddef>
#include <string>
#include <vector>

namespace host {

struct SceneCounts {
  std::size_t nodes = 0;
  std::size_t objects = 0;
  std::size_t triangles = 0;  // polygons count as the triangles they span
  std::size_t materials = 0;
  std::size_t maps = 0;
  std::size_t bitmaps = 0;  // Bitmap maps whose image loaded
  std::size_t cameras = 0;  // camera objects
  std::size_t lights = 0;   // light objects, the Sun Positioner among them
};
SceneCounts countScene();

// A node of the scene, in UTF-8: its name, "Editable Mesh, 12 faces" for
// its object, "Physical Material #3" for its material (empty without one).
struct NodeRow {
  std::string name;
  std::string object;
  std::string material;
  bool selected = false;
  friend bool operator==(const NodeRow&, const NodeRow&) = default;
};
std::vector<NodeRow> nodeRows();

}  // namespace host
