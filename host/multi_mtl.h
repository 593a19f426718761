#pragma once
// The Multi/Sub-Object material: numbered slots, each a sub-material (or
// none) with a material ID and a name. A face shows the sub-material whose
// ID equals its own. IDs are stored zero-based, as on the faces; 3ds Max's
// interface shows them one higher.
#include <string>
#include <vector>

#include "host/mtl.h"

constexpr Class_ID MULTI_CLASS_ID(0x200, 0);

class MultiMtl : public Mtl {
 public:
  // The stand-in's starts with no slots; 3ds Max's starts with ten, so
  // callers set the count first (SetNumSubMtls(0), then AddMtl).
  MultiMtl();
  Class_ID ClassID() override { return MULTI_CLASS_ID; }
  WStr ClassName() const override { return u"Multi/Sub-Object"; }

  int NumSubMtls() override { return static_cast<int>(slots_.size()); }
  Mtl* GetSubMtl(int i) override;
  // A slot outside the slots is journaled and ignored.
  void SetSubMtl(int i, Mtl* m) override;

  // Keeps the first `n` slots, or adds empty ones numbered on from the
  // largest ID.
  void SetNumSubMtls(int n);
  // A new last slot. An ID outside 0 to 65535, or one a slot already has,
  // is journaled and nothing is added.
  void AddMtl(ReferenceTarget* rt = nullptr, int mtlid = 0, const MCHAR* name = u"");
  // The slot with ID `mtlid`; an unknown ID is journaled and ignored.
  void SetSubMtlAndName(int mtlid, Mtl* m, MSTR& subMtlName);
  void GetSubMtlName(int mtlid, MSTR& s);
  void RemoveMtl(int mtlid);

  // The ID and the name of slot `i`: 3ds Max keeps them in the parameter
  // block ("materialIDList", "names"). -1 and empty outside the slots.
  int GetSubMtlID(int i) const;
  MSTR GetSubMtlSlotName(int i) const;
  // The slot whose ID is `mtlid`; -1 for none.
  int FindSubMtl(int mtlid) const;

 private:
  struct Slot {
    Mtl* material = nullptr;
    int id = 0;
    std::u16string name;
  };
  std::vector<Slot> slots_;
};

namespace host {

// The slot a face with material ID `id` shows: the one with that ID, and
// the first when none has it. -1 when there are no slots.
int faceSlot(MultiMtl& material, MtlID id);
// What a face with material ID `id` shows of `material`: the sub-material
// of its slot for a Multi/Sub-Object (possibly none), `material` itself
// otherwise.
Mtl* faceMaterial(Mtl* material, MtlID id);

}  // namespace host
