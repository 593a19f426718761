#include "host/bitmap_tex.h"

#include <stb_image.h>

#include <array>
#include <cmath>
#include <cstddef>

#include "host/journal.h"
#include "host/scene.h"
#include "platform/platform.h"

namespace MaxSDK::AssetManagement {

IAssetManager* IAssetManager::GetInstance() {
  static IAssetManager instance;
  return &instance;
}

AssetUser IAssetManager::GetAsset(const MCHAR* path, AssetType type, bool autoAcquire) {
  const std::u16string text = path != nullptr ? path : u"";
  host::journal().record("IAssetManager::GetAsset", host::quoted(text) + ", " + std::to_string(static_cast<int>(type)) +
                                                        ", " + host::flag(autoAcquire));
  return AssetUser(text, type);
}

}  // namespace MaxSDK::AssetManagement

void Bitmap::SetCroppingValues(float u, float v, float w, float h, BOOL place) {
  host::journal().record("Bitmap::SetCroppingValues", std::to_string(u) + ", " + std::to_string(v) + ", " +
                                                          std::to_string(w) + ", " + std::to_string(h) + ", " +
                                                          host::flag(place != 0));
  cropping_ = Cropping{u, v, w, h, place != 0};
}

namespace {

void recordUv(const char* call, float value, TimeValue t) {
  host::journal().record(call, std::to_string(value) + ", " + std::to_string(t));
}

}  // namespace

void StdUVGen::SetUScl(float value, TimeValue t) { recordUv("StdUVGen::SetUScl", uTiling_ = value, t); }
void StdUVGen::SetVScl(float value, TimeValue t) { recordUv("StdUVGen::SetVScl", vTiling_ = value, t); }
void StdUVGen::SetUAng(float value, TimeValue t) { recordUv("StdUVGen::SetUAng", uAngle_ = value, t); }
void StdUVGen::SetVAng(float value, TimeValue t) { recordUv("StdUVGen::SetVAng", vAngle_ = value, t); }
void StdUVGen::SetWAng(float value, TimeValue t) { recordUv("StdUVGen::SetWAng", wAngle_ = value, t); }
void StdUVGen::SetUOffs(float value, TimeValue t) { recordUv("StdUVGen::SetUOffs", uOffset_ = value, t); }
void StdUVGen::SetVOffs(float value, TimeValue t) { recordUv("StdUVGen::SetVOffs", vOffset_ = value, t); }

BitmapTex::BitmapTex() : Texmap(nullptr, {}) {}

void BitmapTex::SetMap(const MaxSDK::AssetManagement::AssetUser& asset) {
  host::journal().record("BitmapTex::SetMap", host::quoted(asset.GetFullFilePath()));
  asset_ = asset;
  bitmap_.reset();
  if (asset.isNull()) return;
  // Decoding the whole image is the test that it is one.
  // Opened here, not by stb, whose fopen reads a name in the code page on Windows.
  const cvimp::platform::File file = cvimp::platform::openFile(host::utf16ToUtf8(asset.GetFullFilePath()), "rb");
  if (!file) return;
  int width = 0;
  int height = 0;
  int channels = 0;
  stbi_uc* pixels = stbi_load_from_file(file.get(), &width, &height, &channels, 0);
  if (pixels == nullptr) return;
  stbi_image_free(pixels);
  bitmap_ = std::make_unique<Bitmap>(width, height);
}

AColor BitmapTex::averageLinearColor() const {
  if (bitmap_ == nullptr) return {0.0f, 0.0f, 0.0f, 1.0f};
  const cvimp::platform::File file = cvimp::platform::openFile(host::utf16ToUtf8(asset_.GetFullFilePath()), "rb");
  int width = 0;
  int height = 0;
  int channels = 0;
  stbi_uc* pixels = file ? stbi_load_from_file(file.get(), &width, &height, &channels, 3) : nullptr;
  if (pixels == nullptr || width <= 0 || height <= 0) {
    stbi_image_free(pixels);
    return {0.0f, 0.0f, 0.0f, 1.0f};
  }
  std::array<double, 256> linear{};
  for (std::size_t i = 0; i < linear.size(); ++i) {
    const double c = static_cast<double>(i) / 255.0;
    linear[i] = c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  }
  std::array<double, 3> sum{};
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  for (std::size_t p = 0; p < count; ++p) {
    for (std::size_t c = 0; c < 3; ++c) sum[c] += linear[pixels[p * 3 + c]];
  }
  stbi_image_free(pixels);
  const auto mean = [&](std::size_t c) { return static_cast<float>(sum[c] / static_cast<double>(count)); };
  return {mean(0), mean(1), mean(2), 1.0f};
}

Bitmap* BitmapTex::GetBitmap(TimeValue t) {
  host::journal().record("BitmapTex::GetBitmap", std::to_string(t));
  return bitmap_.get();
}

BitmapTex* NewDefaultBitmapTex() {
  host::journal().record("NewDefaultBitmapTex");
  return static_cast<BitmapTex*>(host::scene().addMap(std::make_unique<BitmapTex>()));
}
