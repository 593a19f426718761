#include "materials/graph_walk.h"

#include <algorithm>

namespace cvimp {

bool GraphPath::contains(const VrpPlugin* plugin) const {
  return std::find(plugins_.begin(), plugins_.end(), plugin) != plugins_.end();
}

}  // namespace cvimp
