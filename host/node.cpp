#include "host/node.h"

#include <string>

#include "host/journal.h"
#include "host/objects.h"

void INode::SetName(const MCHAR* name) {
  name_ = name;
  host::journal().record("INode::SetName", host::quoted(name_.str()));
}

void INode::SetNodeTM(TimeValue t, Matrix3& tm) {
  host::journal().record("INode::SetNodeTM", std::to_string(t));
  if (t == 0) transform_ = tm;
}

Matrix3 INode::GetNodeTM(TimeValue) const { return transform_; }

void INode::SetWireColor(DWORD color) {
  host::journal().record("INode::SetWireColor", std::to_string(color));
  wireColor_ = color;
}

void INode::SetMtl(Mtl* material) {
  host::journal().record("INode::SetMtl", material != nullptr ? "material" : "none");
  material_ = material;
}

void INode::SetObjectRef(Object* object) { object_ = object; }

void INode::ChunkFree::operator()(AppDataChunk* chunk) const {
  MAX_free(chunk->data);
  delete chunk;
}

AppDataChunk* INode::GetAppDataChunk(Class_ID cid, SClass_ID sid, DWORD sbid) {
  for (const auto& chunk : appData_) {
    if (chunk->classID == cid && chunk->superClassID == sid && chunk->subID == sbid) return chunk.get();
  }
  return nullptr;
}

void INode::AddAppDataChunk(Class_ID cid, SClass_ID sid, DWORD sbid, DWORD len, void* data) {
  RemoveAppDataChunk(cid, sid, sbid);
  appData_.emplace_back(new AppDataChunk{cid, sid, sbid, len, data});
}

BOOL INode::RemoveAppDataChunk(Class_ID cid, SClass_ID sid, DWORD sbid) {
  for (auto chunk = appData_.begin(); chunk != appData_.end(); ++chunk) {
    if ((*chunk)->classID == cid && (*chunk)->superClassID == sid && (*chunk)->subID == sbid) {
      appData_.erase(chunk);
      return TRUE;
    }
  }
  return FALSE;
}
