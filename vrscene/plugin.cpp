#include "vrscene/plugin.h"

#include <algorithm>

namespace cvimp {

VrpPlugin::VrpPlugin(std::string name, std::string type, VrpScene* scene, DefinitionPath definitionPath)
    : name(std::move(name)), type(std::move(type)), scene(scene), definitionPath(std::move(definitionPath)) {
  blockPaths_.push_back(this->definitionPath);
}

bool VrpPlugin::addAttribute(std::string attributeName, VrpValue value) {
  if (attributeIndex_.contains(attributeName)) return false;
  auto attribute = std::make_unique<VrpAttribute>(
      VrpAttribute{std::move(attributeName), std::move(value), 0, static_cast<std::uint32_t>(attributeList_.size())});
  attributeIndex_.emplace(attribute->name, attribute.get());
  attributeList_.push_back(std::move(attribute));
  return true;
}

void VrpPlugin::mergeFrom(VrpPlugin&& other) {
  // Each value remembers its block's path, so a merge keeps per attribute the
  // later definition however many definitions arrive, in whatever order the
  // include files finish.
  const auto offset = static_cast<std::uint32_t>(blockPaths_.size());
  for (DefinitionPath& path : other.blockPaths_) blockPaths_.push_back(std::move(path));
  for (std::unique_ptr<VrpAttribute>& incoming : other.attributeList_) {
    incoming->source += offset;
    auto found = attributeIndex_.find(incoming->name);
    if (found == attributeIndex_.end()) {
      attributeIndex_.emplace(incoming->name, incoming.get());
      attributeList_.push_back(std::move(incoming));
      continue;
    }
    VrpAttribute& mine = *found->second;
    if (compareCommon(blockPaths_[mine.source], blockPaths_[incoming->source]) < 0) {
      mine.value = std::move(incoming->value);
      mine.source = incoming->source;
      mine.ordinal = incoming->ordinal;
    }
  }
  if (compareCommon(definitionPath, other.definitionPath) >= 0) {
    type = std::move(other.type);
    definitionPath = std::move(other.definitionPath);
  }
  other.attributeList_.clear();
  other.attributeIndex_.clear();
  sortAttributes();
}

void VrpPlugin::rebase(const DefinitionPath& base) {
  auto prefixed = [&](const DefinitionPath& path) {
    DefinitionPath result = base;
    for (std::uint64_t item : path) result.push_back(item);
    return result;
  };
  definitionPath = prefixed(definitionPath);
  for (DefinitionPath& path : blockPaths_) path = prefixed(path);
}

void VrpPlugin::sortAttributes() {
  std::stable_sort(attributeList_.begin(), attributeList_.end(),
                   [this](const std::unique_ptr<VrpAttribute>& a, const std::unique_ptr<VrpAttribute>& b) {
                     if (a->source != b->source) {
                       const DefinitionPath& pa = blockPaths_[a->source];
                       const DefinitionPath& pb = blockPaths_[b->source];
                       if (documentOrderLess(pa, pb)) return true;
                       if (documentOrderLess(pb, pa)) return false;
                     }
                     return a->ordinal < b->ordinal;
                   });
}

const VrpValue* VrpPlugin::findAttribute(std::string_view attributeName) const {
  auto found = attributeIndex_.find(attributeName);
  return found == attributeIndex_.end() ? nullptr : &found->second->value;
}

VrpValue* VrpPlugin::findAttribute(std::string_view attributeName) {
  auto found = attributeIndex_.find(attributeName);
  return found == attributeIndex_.end() ? nullptr : &found->second->value;
}

}  // namespace cvimp
