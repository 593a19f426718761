#pragma once
// The stand-in's scene: every node, object, material and map, in creation
// order. It owns them; plug-in code holds plain pointers, as with the host.
#include <memory>
#include <vector>

#include "host/mtl.h"
#include "host/node.h"
#include "host/objects.h"

namespace host {

class Scene {
 public:
  TriObject* newTriObject();
  INode* newNode(Object* object);
  Mtl* addMaterial(std::unique_ptr<Mtl> material);
  Texmap* addMap(std::unique_ptr<Texmap> map);
  // Any other object (a camera, a light), made by the class's constructor.
  Object* addObject(std::unique_ptr<Object> object);
  // The map of Rendering > Environment; null for none.
  Texmap* environment() const { return environment_; }
  void setEnvironment(Texmap* map) { environment_ = map; }
  // Puts `replacement` in the place of `object`, for every node showing it.
  Object* replaceObject(Object* object, std::unique_ptr<Object> replacement);
  // Destroys an object, material or map. An object that a node still shows,
  // a material a node wears or one in a slot of a material, or a map in a
  // slot of a material or map, still in the scene, is kept and the call
  // journaled.
  void remove(Animatable* item);

  const std::vector<std::unique_ptr<INode>>& nodes() const { return nodes_; }
  const std::vector<std::unique_ptr<Object>>& objects() const { return objects_; }
  const std::vector<std::unique_ptr<Mtl>>& materials() const { return materials_; }
  const std::vector<std::unique_ptr<Texmap>>& maps() const { return maps_; }
  INode* findNode(std::u16string_view name) const;
  // The scene's root, parent of every node; it shows no object and is not
  // among nodes().
  INode* rootNode() { return root_.get(); }

  void clearSelection();
  std::vector<INode*> selection() const;

  // Empties the scene (the stand-in's "reset scene").
  void clear();

 private:
  std::vector<std::unique_ptr<INode>> nodes_;
  std::vector<std::unique_ptr<Object>> objects_;
  std::vector<std::unique_ptr<Mtl>> materials_;
  std::vector<std::unique_ptr<Texmap>> maps_;
  std::unique_ptr<INode> root_ = std::make_unique<INode>(nullptr);
  Texmap* environment_ = nullptr;
};

Scene& scene();

}  // namespace host
