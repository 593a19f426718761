#pragma once
// Bitmap textures: a map whose image comes from a file through the asset
// manager, with cropping on the loaded bitmap and a UV generator.
#include <memory>
#include <optional>
#include <string>

#include "host/mtl.h"

namespace MaxSDK::AssetManagement {

enum AssetType { kOtherAsset = 0, kBitmapAsset = 1 };

// A handle on a file the host knows of.
class AssetUser {
 public:
  AssetUser() = default;
  AssetUser(std::u16string path, AssetType type) : path_(std::move(path)), type_(type) {}
  const std::u16string& GetFullFilePath() const { return path_; }
  AssetType GetType() const { return type_; }
  bool isNull() const { return path_.empty(); }

 private:
  std::u16string path_;
  AssetType type_ = kOtherAsset;
};

class IAssetManager {
 public:
  static IAssetManager* GetInstance();
  AssetUser GetAsset(const MCHAR* path, AssetType type, bool autoAcquire = true);
};

}  // namespace MaxSDK::AssetManagement

// An image loaded from disk.
class Bitmap {
 public:
  Bitmap(int width, int height) : width_(width), height_(height) {}
  int Width() const { return width_; }
  int Height() const { return height_; }

  struct Cropping {
    float u, v, w, h;
    bool place;
  };
  void SetCroppingValues(float u, float v, float w, float h, BOOL place);
  const std::optional<Cropping>& cropping() const { return cropping_; }

 private:
  int width_;
  int height_;
  std::optional<Cropping> cropping_;
};

// Placement of a map in UV space: tiling, angles in radians, offsets.
class StdUVGen {
 public:
  void SetUScl(float value, TimeValue t);
  void SetVScl(float value, TimeValue t);
  void SetUAng(float value, TimeValue t);
  void SetVAng(float value, TimeValue t);
  void SetWAng(float value, TimeValue t);
  void SetUOffs(float value, TimeValue t);
  void SetVOffs(float value, TimeValue t);
  float GetUScl(TimeValue) const { return uTiling_; }
  float GetVScl(TimeValue) const { return vTiling_; }
  float GetUAng(TimeValue) const { return uAngle_; }
  float GetVAng(TimeValue) const { return vAngle_; }
  float GetWAng(TimeValue) const { return wAngle_; }
  float GetUOffs(TimeValue) const { return uOffset_; }
  float GetVOffs(TimeValue) const { return vOffset_; }

 private:
  float uTiling_ = 1.0f, vTiling_ = 1.0f;
  float uAngle_ = 0.0f, vAngle_ = 0.0f, wAngle_ = 0.0f;
  float uOffset_ = 0.0f, vOffset_ = 0.0f;
};

class BitmapTex : public Texmap {
 public:
  BitmapTex();
  Class_ID ClassID() override { return BMTEX_CLASS_ID; }
  WStr ClassName() const override { return u"Bitmap"; }

  // Loads the asset's file; a file that does not decode as an image leaves
  // the texture without a bitmap.
  void SetMap(const MaxSDK::AssetManagement::AssetUser& asset);
  const MaxSDK::AssetManagement::AssetUser& GetMap() const { return asset_; }
  Bitmap* GetBitmap(TimeValue t);
  const Bitmap* bitmap() const { return bitmap_.get(); }
  // The mean colour of the loaded image in linear terms (8-bit values
  // decoded as sRGB), as a plug-in sums GetLinearPixels rows in 3ds Max;
  // black without a bitmap.
  AColor averageLinearColor() const;
  StdUVGen* GetUVGen() { return &uvGen_; }
  const StdUVGen& uvGen() const { return uvGen_; }

 private:
  MaxSDK::AssetManagement::AssetUser asset_;
  std::unique_ptr<Bitmap> bitmap_;
  StdUVGen uvGen_;
};

// A Bitmap texture at its defaults, in the host scene.
BitmapTex* NewDefaultBitmapTex();
