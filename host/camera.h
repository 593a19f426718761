#pragma once
// Cameras: 3ds Max's Physical Camera, its lens and exposure in parameter
// block 0 ("fov" horizontal in degrees, "film_width" and "focal_length" in
// mm, "shutter" in seconds, "target_distance" in scene units). A camera
// looks down its node's local -Z, with +Y up.
#include <memory>

#include "host/objects.h"
#include "host/param_block.h"

constexpr SClass_ID CAMERA_CLASS_ID = 0x20;
constexpr Class_ID PHYSICAL_CAMERA_CLASS_ID(0x46697218, 0x28e8008d);

class CameraObject : public Object {
 public:
  SClass_ID SuperClassID() override { return CAMERA_CLASS_ID; }
  IParamBlock2* GetParamBlock(int i) override { return i == 0 ? paramBlock_.get() : nullptr; }

 protected:
  explicit CameraObject(std::unique_ptr<IParamBlock2> paramBlock) : paramBlock_(std::move(paramBlock)) {}

 private:
  std::unique_ptr<IParamBlock2> paramBlock_;
};

class PhysicalCamera : public CameraObject {
 public:
  PhysicalCamera();
  Class_ID ClassID() override { return PHYSICAL_CAMERA_CLASS_ID; }
  WStr ClassName() const override { return u"Physical Camera"; }
};
