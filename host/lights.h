#pragma once
// Lights: the photometric Free Light and the Sun Positioner, their settings
// in parameter block 0. A light shines down its node's local -Z.
//
// Free Light: "shape" ("point", "line", "rectangle", "disc", "sphere",
// "cylinder"), "distribution" ("uniform spherical", "uniform diffuse",
// "spotlight", "web") with "hotspot" and "falloff" (degrees) or "web_file";
// "width", "length" (full sizes) and "radius" in scene units; "color"
// (linear RGB), "intensity" in "unit" ("cd", "lm" or "lx"), "visible" (the
// shape seen in renders), "two_sided", "on".
// Sun Positioner: the sun shines along its node's local -Z.
#include <memory>

#include "host/objects.h"
#include "host/param_block.h"

constexpr SClass_ID LIGHT_CLASS_ID = 0x30;
constexpr Class_ID FREE_LIGHT_CLASS_ID(0x32375fcc, 0x0b025cf0);
constexpr Class_ID SUN_POSITIONER_CLASS_ID(0x5897670e, 0x61b5008d);

class LightObject : public Object {
 public:
  SClass_ID SuperClassID() override { return LIGHT_CLASS_ID; }
  IParamBlock2* GetParamBlock(int i) override { return i == 0 ? paramBlock_.get() : nullptr; }

 protected:
  explicit LightObject(std::unique_ptr<IParamBlock2> paramBlock) : paramBlock_(std::move(paramBlock)) {}

 private:
  std::unique_ptr<IParamBlock2> paramBlock_;
};

class FreeLight : public LightObject {
 public:
  FreeLight();
  Class_ID ClassID() override { return FREE_LIGHT_CLASS_ID; }
  WStr ClassName() const override { return u"Free Light"; }
};

class SunPositioner : public LightObject {
 public:
  SunPositioner();
  Class_ID ClassID() override { return SUN_POSITIONER_CLASS_ID; }
  WStr ClassName() const override { return u"Sun Positioner"; }
};
