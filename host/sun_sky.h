#pragma once
// The Physical Sun & Sky environment map: "turbidity" (haze, 2 clear to 10
// overcast) and "intensity" (a multiplier of the sun and sky). It takes
// the sun's direction from the scene's Sun Positioner.
#include "host/mtl.h"

constexpr Class_ID SUNSKY_ENV_CLASS_ID(0x223349b4, 0x562a7d8b);

class PhysicalSunSkyEnv : public Texmap {
 public:
  PhysicalSunSkyEnv();
  Class_ID ClassID() override { return SUNSKY_ENV_CLASS_ID; }
  WStr ClassName() const override { return u"Physical Sun & Sky"; }
};
