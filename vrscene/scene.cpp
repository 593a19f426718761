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

std::string_view VrpScene::keepText(std::string&& text) {
  std::lock_guard<std::mutex> guard(textLock);
  keptTexts.push_back(std::move(text));
  return keptTexts.back();
}

std::vector<VrpPlugin*> VrpScene::pluginsInDocumentOrder() {
  std::vector<VrpPlugin*> result;
  result.reserve(plugins.size());
  for (auto& entry : plugins) result.push_back(entry.second.get());
  std::sort(result.begin(), result.end(), [](const VrpPlugin* a, const VrpPlugin* b) {
    if (documentOrderLess(a->definitionPath, b->definitionPath)) return true;
    if (documentOrderLess(b->definitionPath, a->definitionPath)) return false;
    return a->name < b->name;
  });
  return result;
}

std::vector<const VrpPlugin*> VrpScene::pluginsInDocumentOrder() const {
  std::vector<VrpPlugin*> mutableOrder = const_cast<VrpScene*>(this)->pluginsInDocumentOrder();
  return {mutableOrder.begin(), mutableOrder.end()};
}

std::size_t VrpScene::keptTextCount() const {
  std::lock_guard<std::mutex> guard(textLock);
  return keptTexts.size();
}

std::uint64_t VrpScene::keptTextBytes() const {
  std::lock_guard<std::mutex> guard(textLock);
  std::uint64_t total = 0;
  for (const std::string& text : keptTexts) total += text.size();
  return total;
}

}  // namespace cvimp
