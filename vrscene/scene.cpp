#include "vrscene/scene.h"

#include <algorithm>

namespace cvimp {

const VrpPlugin* VrpScene::findPlugin(std::string_view name) const {
  auto found = plugins.find(name);
  return found == plugins.end() ? nullptr : found->second.get();
}

VrpPlugin* VrpScene::findPlugin(std::string_view name) {
  auto found = plugins.find(name);
  return found == plugins.end() ? nullptr : found->second.get();
}

void VrpScene::addPlugin(std::unique_ptr<VrpPlugin> plugin) {
  std::lock_guard<std::mutex> guard(pluginLock);
  auto found = plugins.find(std::string_view(plugin->name));
  if (found == plugins.end()) {
    std::string key = plugin->name;
    plugins.emplace(std::move(key), std::move(plugin));
    return;
  }
  found->second->mergeFrom(std::move(*plugin));
}

void VrpScene::keepUnnamedSettings(std::unique_ptr<VrpPlugin> block) {
  std::lock_guard<std::mutex> guard(pluginLock);
  auto found = unnamedSettings_.find(block->type);
  if (found == unnamedSettings_.end()) {
    std::string key = block->type;
    unnamedSettings_.emplace(std::move(key), std::move(block));
    return;
  }
  found->second->mergeFrom(std::move(*block));
}

const VrpPlugin* VrpScene::unnamedSettings(std::string_view type) const {
  std::lock_guard<std::mutex> guard(pluginLock);
  auto found = unnamedSettings_.find(type);
  return found == unnamedSettings_.end() ? nullptr : found->second.get();
}

void VrpScene::addSourceFolder(const DefinitionPath& base, std::string folder) {
  sourceFolders_[base] = std::move(folder);
}

std::vector<std::string> VrpScene::foldersAround(const DefinitionPath& path) const {
  std::vector<std::string> folders;
  DefinitionPath base;
  std::vector<DefinitionPath> bases;
  for (std::size_t i = 0; i + 1 < path.size(); ++i) {
    base.push_back(path[i]);
    bases.push_back(base);
  }
  for (auto at = bases.rbegin(); at != bases.rend(); ++at) {
    auto found = sourceFolders_.find(*at);
    if (found != sourceFolders_.end()) folders.push_back(found->second);
  }
  return folders;
}

std::string_view VrpScene::keepText(platform::ByteBlock&& text, std::size_t length) {
  std::lock_guard<std::mutex> guard(textLock);
  keptTexts.push_back({std::move(text), length});
  return {keptTexts.back().bytes.chars(), length};
}

namespace {

template <typename Plugin, typename Table>
std::vector<Plugin*> inDocumentOrder(Table& plugins) {
  std::vector<Plugin*> result;
  result.reserve(plugins.size());
  for (auto& entry : plugins) result.push_back(entry.second.get());
  std::sort(result.begin(), result.end(), [](const VrpPlugin* a, const VrpPlugin* b) {
    if (documentOrderLess(a->definitionPath, b->definitionPath)) return true;
    if (documentOrderLess(b->definitionPath, a->definitionPath)) return false;
    return a->name < b->name;
  });
  return result;
}

}  // namespace

std::vector<VrpPlugin*> VrpScene::pluginsInDocumentOrder() { return inDocumentOrder<VrpPlugin>(plugins); }

std::vector<const VrpPlugin*> VrpScene::pluginsInDocumentOrder() const {
  return inDocumentOrder<const VrpPlugin>(plugins);
}

std::size_t VrpScene::keptTextCount() const {
  std::lock_guard<std::mutex> guard(textLock);
  return keptTexts.size();
}

std::uint64_t VrpScene::keptTextBytes() const {
  std::lock_guard<std::mutex> guard(textLock);
  std::uint64_t total = 0;
  for (const KeptText& text : keptTexts) total += text.length;
  return total;
}

}  // namespace cvimp
