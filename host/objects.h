#pragma once
// The host's object model: everything it creates derives from Animatable
// and belongs to the host scene, which deletes it.
#include "host/host_types.h"
#include "host/mesh.h"
#include "host/wstr.h"

using AnimHandle = unsigned long long;

class Animatable {
 public:
  Animatable() = default;
  Animatable(const Animatable&) = delete;
  Animatable& operator=(const Animatable&) = delete;
  virtual ~Animatable() = default;

  virtual Class_ID ClassID() = 0;
  virtual SClass_ID SuperClassID() = 0;
  virtual WStr ClassName() const = 0;
  // Removes the object from the host scene, which destroys it.
  virtual void DeleteThis();
  // A number no other animatable of this run has had, as 3ds Max's anim
  // handles: what a cache can key on when addresses are reused.
  static AnimHandle GetHandleByAnim(const Animatable* anim) { return anim != nullptr ? anim->handle_ : 0; }

 private:
  static AnimHandle nextHandle();
  AnimHandle handle_ = nextHandle();
};

class ReferenceTarget : public Animatable {};

class IParamBlock2;

class Object : public ReferenceTarget {
 public:
  SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
  // Cameras and lights keep their settings in parameter block 0; geometry
  // has none.
  virtual IParamBlock2* GetParamBlock(int) { return nullptr; }
};

class TriObject : public Object {
 public:
  Mesh mesh;
  Mesh& GetMesh() { return mesh; }
  Class_ID ClassID() override { return TRIOBJ_CLASS_ID; }
  WStr ClassName() const override { return u"Editable Mesh"; }
};

// A new, empty triangle-mesh object in the host scene.
TriObject* CreateNewTriObject();
