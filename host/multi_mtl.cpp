#include "host/multi_mtl.h"

#include <algorithm>

#include "host/journal.h"

namespace {

constexpr int kLargestId = 0xFFFF;

void rejected(const char* call, int value) {
  host::journal().record("IndexRejected", std::string("MultiMtl::") + call + " " + std::to_string(value));
}

}  // namespace

MultiMtl::MultiMtl() : Mtl(nullptr, {}) {}

Mtl* MultiMtl::GetSubMtl(int i) {
  return i >= 0 && i < NumSubMtls() ? slots_[static_cast<std::size_t>(i)].material : nullptr;
}

void MultiMtl::SetSubMtl(int i, Mtl* m) {
  host::journal().record("MultiMtl::SetSubMtl", std::to_string(i) + ", " + (m != nullptr ? "material" : "none"));
  if (i < 0 || i >= NumSubMtls()) return rejected("SetSubMtl", i);
  slots_[static_cast<std::size_t>(i)].material = m;
}

void MultiMtl::SetNumSubMtls(int n) {
  host::journal().record("MultiMtl::SetNumSubMtls", std::to_string(n));
  if (n < 0) return rejected("SetNumSubMtls", n);
  if (static_cast<std::size_t>(n) <= slots_.size()) {
    slots_.resize(static_cast<std::size_t>(n));
    return;
  }
  int next = 0;
  for (const Slot& slot : slots_) next = std::max(next, slot.id + 1);
  while (slots_.size() < static_cast<std::size_t>(n)) {
    if (next > kLargestId) return rejected("SetNumSubMtls", n);
    slots_.push_back({nullptr, next++, {}});
  }
}

void MultiMtl::AddMtl(ReferenceTarget* rt, int mtlid, const MCHAR* name) {
  host::journal().record("MultiMtl::AddMtl", std::string(rt != nullptr ? "material" : "none") + ", " +
                                                 std::to_string(mtlid) + ", " +
                                                 host::quoted(std::u16string_view(name != nullptr ? name : u"")));
  if (mtlid < 0 || mtlid > kLargestId || FindSubMtl(mtlid) >= 0) return rejected("AddMtl", mtlid);
  // Only a material can fill a slot.
  Mtl* material = nullptr;
  if (rt != nullptr && rt->SuperClassID() == MATERIAL_CLASS_ID) material = static_cast<Mtl*>(rt);
  slots_.push_back({material, mtlid, name != nullptr ? name : u""});
}

void MultiMtl::SetSubMtlAndName(int mtlid, Mtl* m, MSTR& subMtlName) {
  host::journal().record("MultiMtl::SetSubMtlAndName", std::to_string(mtlid) + ", " +
                                                           (m != nullptr ? "material" : "none") + ", " +
                                                           host::quoted(std::u16string_view(subMtlName.str())));
  const int slot = FindSubMtl(mtlid);
  if (slot < 0) return rejected("SetSubMtlAndName", mtlid);
  slots_[static_cast<std::size_t>(slot)].material = m;
  slots_[static_cast<std::size_t>(slot)].name = subMtlName.str();
}

void MultiMtl::GetSubMtlName(int mtlid, MSTR& s) {
  const int slot = FindSubMtl(mtlid);
  s = slot >= 0 ? MSTR(slots_[static_cast<std::size_t>(slot)].name) : MSTR();
}

void MultiMtl::RemoveMtl(int mtlid) {
  host::journal().record("MultiMtl::RemoveMtl", std::to_string(mtlid));
  const int slot = FindSubMtl(mtlid);
  if (slot < 0) return rejected("RemoveMtl", mtlid);
  slots_.erase(slots_.begin() + slot);
}

int MultiMtl::GetSubMtlID(int i) const {
  return i >= 0 && i < static_cast<int>(slots_.size()) ? slots_[static_cast<std::size_t>(i)].id : -1;
}

MSTR MultiMtl::GetSubMtlSlotName(int i) const {
  return i >= 0 && i < static_cast<int>(slots_.size()) ? MSTR(slots_[static_cast<std::size_t>(i)].name) : MSTR();
}

int MultiMtl::FindSubMtl(int mtlid) const {
  const auto found = std::find_if(slots_.begin(), slots_.end(), [mtlid](const Slot& slot) { return slot.id == mtlid; });
  return found != slots_.end() ? static_cast<int>(found - slots_.begin()) : -1;
}

namespace host {

int faceSlot(MultiMtl& material, MtlID id) {
  if (material.NumSubMtls() == 0) return -1;
  const int slot = material.FindSubMtl(id);
  return slot >= 0 ? slot : 0;
}

Mtl* faceMaterial(Mtl* material, MtlID id) {
  if (material == nullptr || material->ClassID() != MULTI_CLASS_ID) return material;
  auto& multi = static_cast<MultiMtl&>(*material);
  return multi.GetSubMtl(faceSlot(multi, id));
}

}  // namespace host
