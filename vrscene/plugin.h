#pragma once
// One named plugin of a scene: its type word and its attribute table.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vrscene/definition_path.h"
#include "vrscene/value.h"

namespace cvimp {

class VrpScene;

struct VrpAttribute {
  std::string name;
  VrpValue value;
  std::uint32_t source = 0;   // index into the plugin's block paths: the block the value came from
  std::uint32_t ordinal = 0;  // position of the attribute within that block
};

class VrpPlugin {
 public:
  VrpPlugin(std::string name, std::string type, VrpScene* scene, DefinitionPath definitionPath);
  VrpPlugin(const VrpPlugin&) = delete;
  VrpPlugin& operator=(const VrpPlugin&) = delete;

  std::string name;               // unique key in the scene
  std::string type;               // "Node", "GeomStaticMesh", "BRDFVRayMtl", ...
  VrpScene* scene;                // for resolving references and animated values
  DefinitionPath definitionPath;  // of the earliest definition merged so far

  // Adds an attribute of this plugin's own block; false (value dropped) when
  // the block already has it: the first occurrence wins.
  bool addAttribute(std::string attributeName, VrpValue value);

  // Merges a definition of the same name: every attribute keeps the value of
  // its latest definition in document order, the plugin keeps the type and
  // path of the earliest. The result does not depend on the merge order.
  void mergeFrom(VrpPlugin&& other);

  // Puts `base` in front of the plugin's paths: blocks are read with paths
  // relative to their file and placed once the file's position is known.
  void rebase(const DefinitionPath& base);

  const VrpValue* findAttribute(std::string_view attributeName) const;
  VrpValue* findAttribute(std::string_view attributeName);
  // Attributes in document order (by block, then position in the block).
  const std::vector<std::unique_ptr<VrpAttribute>>& attributes() const { return attributeList_; }
  std::size_t attributeCount() const { return attributeList_.size(); }

  // Typed accessors by attribute name; see the value accessors for messages.
  VrpValue getValue(std::string_view attributeName) const;  // copy; missing: the default value
  float getFloat(std::string_view attributeName, float defaultValue) const;
  std::int32_t getInt(std::string_view attributeName, std::int32_t defaultValue) const;
  std::string getString(std::string_view attributeName) const;
  std::unique_ptr<std::int32_t[]> getIntList(std::string_view attributeName, std::size_t& count) const;
  std::unique_ptr<VrpVector[]> getVectorList(std::string_view attributeName, std::size_t& count) const;
  PackedListView viewIntList(std::string_view attributeName) const;
  PackedListView viewVectorList(std::string_view attributeName) const;

  // Drops the decoded data of this plugin's packed lists once nothing will
  // read them again (views taken before keep theirs).
  void releaseDecodedLists();

 private:
  const VrpValue& valueOrDefault(std::string_view attributeName) const;
  void sortAttributes();

  std::vector<std::unique_ptr<VrpAttribute>> attributeList_;
  std::unordered_map<std::string_view, VrpAttribute*> attributeIndex_;  // keys view VrpAttribute::name
  std::vector<DefinitionPath> blockPaths_;                              // paths of the blocks merged into this plugin
};

// A number by the value's kind, without messages: Int (cut to 32 bits) and
// Float as single, a plugin reference or a missing attribute 1.0, anything
// else 0.0.
float getFloatByKind(const VrpPlugin& plugin, std::string_view attributeName);

// The plugin an attribute refers to, or null.
inline const VrpPlugin* referencedPlugin(const VrpPlugin& plugin, std::string_view attribute) {
  return plugin.getValue(attribute).getPlugin(plugin.scene);
}

}  // namespace cvimp
