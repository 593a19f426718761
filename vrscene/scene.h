#pragma once
// The parsed scene document: named plugins, and the file texts that string
// values point into. Filled by loadScene, completed by prebuildScene, then
// only read.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/platform.h"
#include "vrscene/plugin.h"

namespace cvimp {

class VrpScene {
 public:
  VrpScene() = default;
  VrpScene(const VrpScene&) = delete;
  VrpScene& operator=(const VrpScene&) = delete;

  // The frame at which "interpolate" values are read.
  std::int64_t currentFrame = 0;

  const VrpPlugin* findPlugin(std::string_view name) const;
  VrpPlugin* findPlugin(std::string_view name);

  // Inserts a parsed plugin, or merges it into the stored one of the same
  // name (see VrpPlugin::mergeFrom). Thread-safe.
  void addPlugin(std::unique_ptr<VrpPlugin> plugin);

  // Takes ownership of a file text of `length` bytes, followed in `text` by a
  // zero byte, and returns a view of it that lives as long as the scene.
  // Thread-safe.
  std::string_view keepText(platform::ByteBlock&& text, std::size_t length);

  std::size_t pluginCount() const { return plugins.size(); }
  // Every plugin, ordered by definition path (document order).
  std::vector<VrpPlugin*> pluginsInDocumentOrder();
  std::vector<const VrpPlugin*> pluginsInDocumentOrder() const;

  std::size_t keptTextCount() const;
  std::uint64_t keptTextBytes() const;

 private:
  struct NameHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  // Unlike other classes' members, these carry no trailing underscore: they
  // keep the names the document model is known by (keptTexts under textLock,
  // the plugin table under pluginLock).
  std::unordered_map<std::string, std::unique_ptr<VrpPlugin>, NameHash, std::equal_to<>> plugins;
  struct KeptText {
    platform::ByteBlock bytes;
    std::size_t length;
  };
  std::deque<KeptText> keptTexts;
  mutable std::mutex textLock;
  std::mutex pluginLock;
};

}  // namespace cvimp
