#include "host/scene.h"

#include <algorithm>
#include <atomic>

#include "host/journal.h"

namespace host {

namespace {

template <typename T>
bool eraseItem(std::vector<std::unique_ptr<T>>& items, const Animatable* item) {
  const auto found = std::find_if(items.begin(), items.end(), [&](const auto& owned) { return owned.get() == item; });
  if (found == items.end()) return false;
  items.erase(found);
  return true;
}

}  // namespace

TriObject* Scene::newTriObject() {
  objects_.push_back(std::make_unique<TriObject>());
  return static_cast<TriObject*>(objects_.back().get());
}

INode* Scene::newNode(Object* object) {
  nodes_.push_back(std::make_unique<INode>(object));
  return nodes_.back().get();
}

Mtl* Scene::addMaterial(std::unique_ptr<Mtl> material) {
  materials_.push_back(std::move(material));
  return materials_.back().get();
}

Texmap* Scene::addMap(std::unique_ptr<Texmap> map) {
  maps_.push_back(std::move(map));
  return maps_.back().get();
}

Object* Scene::addObject(std::unique_ptr<Object> object) {
  objects_.push_back(std::move(object));
  return objects_.back().get();
}

Object* Scene::replaceObject(Object* object, std::unique_ptr<Object> replacement) {
  const auto found =
      std::find_if(objects_.begin(), objects_.end(), [&](const auto& owned) { return owned.get() == object; });
  if (found == objects_.end() || !replacement) return nullptr;
  Object* fresh = replacement.get();
  for (const auto& node : nodes_) {
    if (node->GetObjectRef() == object) node->SetObjectRef(fresh);
  }
  *found = std::move(replacement);
  return fresh;
}

void Scene::remove(Animatable* item) {
  if (item == nullptr) return;
  const auto holds = [&](const auto& owner) {
    for (int slot = 0; slot < owner->NumSubTexmaps(); ++slot) {
      if (owner->GetSubTexmap(slot) == item) return true;
    }
    return false;
  };
  const auto holdsMaterial = [&](const auto& owner) {
    for (int slot = 0; slot < owner->NumSubMtls(); ++slot) {
      if (owner->GetSubMtl(slot) == item) return true;
    }
    return false;
  };
  const bool inUse =
      std::any_of(nodes_.begin(), nodes_.end(),
                  [&](const auto& node) { return node->GetObjectRef() == item || node->GetMtl() == item; }) ||
      std::any_of(materials_.begin(), materials_.end(), holds) || std::any_of(maps_.begin(), maps_.end(), holds) ||
      std::any_of(materials_.begin(), materials_.end(), holdsMaterial) || item == environment_;
  if (inUse) {
    journal().record("DeleteRejected", utf16ToUtf8(item->ClassName().str()) + " in use");
    return;
  }
  if (eraseItem(objects_, item) || eraseItem(materials_, item) || eraseItem(maps_, item)) return;
  journal().record("DeleteRejected", "not in the scene");
}

INode* Scene::findNode(std::u16string_view name) const {
  for (const auto& node : nodes_) {
    if (name == node->GetName()) return node.get();
  }
  return nullptr;
}

void Scene::clearSelection() {
  for (const auto& node : nodes_) node->setSelected(false);
}

std::vector<INode*> Scene::selection() const {
  std::vector<INode*> selected;
  for (const auto& node : nodes_) {
    if (node->Selected()) selected.push_back(node.get());
  }
  return selected;
}

void Scene::clear() {
  nodes_.clear();
  objects_.clear();
  materials_.clear();
  maps_.clear();
  root_ = std::make_unique<INode>(nullptr);
  environment_ = nullptr;
}

Scene& scene() {
  static Scene instance;
  return instance;
}

}  // namespace host

void Animatable::DeleteThis() { host::scene().remove(this); }

AnimHandle Animatable::nextHandle() {
  static std::atomic<AnimHandle> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}

TriObject* CreateNewTriObject() {
  host::journal().record("CreateNewTriObject");
  return host::scene().newTriObject();
}
