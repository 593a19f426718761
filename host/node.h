#pragma once
// Scene nodes: every node of the stand-in sits at the scene root and shows
// one object, which other nodes may show too (instances).
#include <cstdlib>
#include <memory>
#include <vector>

#include "host/geometry.h"
#include "host/host_types.h"
#include "host/tab.h"
#include "host/wstr.h"

class Object;
class Mtl;
struct AppDataChunk;

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

  // App data, as on every animatable: the host takes over `data` (from
  // MAX_malloc); a chunk under the same three IDs is replaced.
  void AddAppDataChunk(Class_ID cid, SClass_ID sid, DWORD sbid, DWORD len, void* data);
  // Null when there is none.
  AppDataChunk* GetAppDataChunk(Class_ID cid, SClass_ID sid, DWORD sbid);
  BOOL RemoveAppDataChunk(Class_ID cid, SClass_ID sid, DWORD sbid);

 private:
  Object* object_;
  WStr name_;
  Matrix3 transform_;
  DWORD wireColor_ = RGB(128, 128, 128);
  Mtl* material_ = nullptr;
  bool selected_ = false;
  struct ChunkFree {
    void operator()(AppDataChunk* chunk) const;
  };
  std::vector<std::unique_ptr<AppDataChunk, ChunkFree>> appData_;
};

// The host's allocator for blocks it takes over, such as app data.
inline void* MAX_malloc(std::size_t size) { return std::malloc(size); }
inline void MAX_free(void* block) { std::free(block); }

// A block of bytes a plug-in keeps on a scene item under its own class.
struct AppDataChunk {
  Class_ID classID;
  SClass_ID superClassID = 0;
  DWORD subID = 0;
  DWORD length = 0;
  void* data = nullptr;  // from MAX_malloc; the host frees it
};

using INodeTab = Tab<INode*>;
