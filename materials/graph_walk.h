#pragma once
// Walking material and texture graphs: plugin references, and the plugins on
// the current path, so that a reference back into the path stops instead of
// recursing for ever.
#include <string_view>
#include <vector>

#include "vrscene/vrscene.h"

namespace cvimp {

class GraphPath {
 public:
  // Deepest path followed: real graphs are a handful of plugins deep, and
  // each step costs stack.
  static constexpr std::size_t kMaxDepth = 256;

  bool contains(const VrpPlugin* plugin) const;
  bool full() const { return plugins_.size() >= kMaxDepth; }
  void push(const VrpPlugin* plugin) { plugins_.push_back(plugin); }
  void pop() { plugins_.pop_back(); }

 private:
  std::vector<const VrpPlugin*> plugins_;
};

// Keeps a plugin on the path while it converts.
class GraphStep {
 public:
  GraphStep(GraphPath& path, const VrpPlugin* plugin) : path_(path) { path_.push(plugin); }
  ~GraphStep() { path_.pop(); }
  GraphStep(const GraphStep&) = delete;
  GraphStep& operator=(const GraphStep&) = delete;

 private:
  GraphPath& path_;
};

inline bool isPluginReference(const VrpValue& value) { return value.kind() == ValueKind::Plugin; }

}  // namespace cvimp
