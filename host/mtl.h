#pragma once
// Materials and texture maps: a parameter block 0 and numbered sub-map
// slots with their names. Each belongs to the host scene once created.
#include <memory>
#include <string>
#include <vector>

#include "host/color.h"
#include "host/objects.h"
#include "host/param_block.h"

class Texmap;

using MSTR = WStr;

class MtlBase : public ReferenceTarget {
 public:
  IParamBlock2* GetParamBlock(int i) { return i == 0 ? paramBlock_.get() : nullptr; }
  const IParamBlock2* GetParamBlock(int i) const { return i == 0 ? paramBlock_.get() : nullptr; }
  int NumSubTexmaps() const { return static_cast<int>(slots_.size()); }
  // Null for an empty slot or one outside the slots.
  Texmap* GetSubTexmap(int i) const;
  // A slot outside the slots is journaled and ignored.
  void SetSubTexmap(int i, Texmap* map);
  MSTR GetSubTexmapSlotName(int i, bool localized = true) const;
  void Update(TimeValue t, Interval& valid);
  int updateCount() const { return updates_; }

 protected:
  MtlBase(std::unique_ptr<IParamBlock2> paramBlock, std::vector<std::u16string> slotNames);

 private:
  std::unique_ptr<IParamBlock2> paramBlock_;
  std::vector<std::u16string> slotNames_;
  std::vector<Texmap*> slots_;
  int updates_ = 0;
};

class Mtl : public MtlBase {
 public:
  SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
  // Sub-materials by slot; a plain material has none.
  virtual int NumSubMtls() { return 0; }
  virtual Mtl* GetSubMtl(int) { return nullptr; }
  virtual void SetSubMtl(int, Mtl*) {}

 protected:
  using MtlBase::MtlBase;
};

class Texmap : public MtlBase {
 public:
  SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }

 protected:
  using MtlBase::MtlBase;
};

constexpr Class_ID PHYSICAL_MATERIAL_CLASS_ID(0x3d6b1cec, 0xdeadc001);
constexpr Class_ID MIX_CLASS_ID(0x230, 0);
constexpr Class_ID BMTEX_CLASS_ID(0x240, 0);

class PhysicalMaterial : public Mtl {
 public:
  PhysicalMaterial();
  Class_ID ClassID() override { return PHYSICAL_MATERIAL_CLASS_ID; }
  WStr ClassName() const override { return u"Physical Material"; }
};

class MixTex : public Texmap {
 public:
  MixTex();
  Class_ID ClassID() override { return MIX_CLASS_ID; }
  WStr ClassName() const override { return u"Mix"; }
};

// A Mix map at its defaults, in the host scene.
Texmap* NewDefaultMixTex();
