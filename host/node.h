#pragma once
// Scene nodes: every node of the stand-in sits at the scene root and shows
// one object, which other nodes may show too (instances).
#include "host/geometry.h"
#include "host/host_types.h"
#include "host/tab.h"
#include "host/wstr.h"

class Object;
class Mtl;

class INode {
 public:
  explicit INode(Object* object) : object_(object) {}
  INode(const INode&) = delete;
  INode& operator=(const INode&) = delete;

  const MCHAR* GetName() const { return name_.data(); }
  void SetName(const MCHAR* name);
  // The stand-in keeps the transform at time 0 only: nothing is animated.
  void SetNodeTM(TimeValue t, Matrix3& tm);
  Matrix3 GetNodeTM(TimeValue t) const;
  void SetWireColor(DWORD color);
  DWORD GetWireColor() const { return wireColor_; }
  void SetMtl(Mtl* material);
  Mtl* GetMtl() const { return material_; }
  Object* GetObjectRef() const { return object_; }
  void SetObjectRef(Object* object);
  int Selected() const { return selected_ ? 1 : 0; }
  void setSelected(bool selected) { selected_ = selected; }

 private:
  Object* object_;
  WStr name_;
  Matrix3 transform_;
  DWORD wireColor_ = RGB(128, 128, 128);
  Mtl* material_ = nullptr;
  bool selected_ = false;
};

using INodeTab = Tab<INode*>;
