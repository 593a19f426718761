#pragma once
// The parsed scene document: named plugins, and the file texts that string
// values point into. Filled by loadScene, completed by prebuildScene, then
// only read.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
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

  // Settings blocks written without a name ("SettingsUnitsInfo {", as V-Ray
  // for Blender writes them) are no plugins of the document; they are kept
  // aside by type, the blocks of one type merged as plugins of one name are.
  // Thread-safe.
  void keepUnnamedSettings(std::unique_ptr<VrpPlugin> block);
  // The unnamed block of `type` ("SettingsUnitsInfo"), or null.
  const VrpPlugin* unnamedSettings(std::string_view type) const;

  // The folder of each file read, by the base path of its plugins'
  // definition paths ([0] for the main file). Set while loading.
  void addSourceFolder(const DefinitionPath& base, std::string folder);
  // The folders of the file holding the definition at `path` and of the files
  // that include it, up to the main file's: innermost first, unknown ones left out.
  std::vector<std::string> foldersAround(const DefinitionPath& path) const;

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
  struct PathLess {
    bool operator()(const DefinitionPath& a, const DefinitionPath& b) const { return documentOrderLess(a, b); }
  };
  std::map<std::string, std::unique_ptr<VrpPlugin>, std::less<>> unnamedSettings_;  // under pluginLock
  std::map<DefinitionPath, std::string, PathLess> sourceFolders_;
  mutable std::mutex textLock;
  mutable std::mutex pluginLock;
};

}  // namespace cvimp
