#pragma once
// The host's Physical Materials as glTF metallic-roughness materials with
// the KHR extensions for what the core model lacks, and the bitmaps they
// show as embedded images. What cannot be carried over is reported. The
// viewport draws materials from the same descriptions.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/max.h"
#include "report/report.h"

namespace cvimp::gltf {

// KHR_texture_transform: uv' = translation + rotation(rotation) * scale * uv.
struct TextureTransform {
  std::array<double, 2> offset{0, 0};
  double rotation = 0;
  std::array<double, 2> scale{1, 1};
  bool identity() const { return offset == std::array<double, 2>{0, 0} && rotation == 0 && scale == std::array<double, 2>{1, 1}; }
};

struct TextureUse {
  std::size_t image = 0;  // index into images()
  TextureTransform transform;
};

struct MaterialDesc {
  std::array<double, 4> baseColor{1, 1, 1, 1};
  std::optional<TextureUse> baseColorTexture;
  std::array<double, 4> plainColor{1, 1, 1, 1};  // the base colour without its map
  double metallic = 0;
  double roughness = 1;
  std::array<double, 3> emissive{0, 0, 0};
  double emissiveStrength = 1;  // KHR_materials_emissive_strength above 1
  double transmission = 0;      // KHR_materials_transmission
  double ior = 1.5;             // KHR_materials_ior, with transmission
  double specular = 1;          // KHR_materials_specular
  std::array<double, 3> specularColor{1, 1, 1};
  bool mask = false;  // alpha MASK at 0.5: a cut-out baked into the base colour's alpha
};

struct ImageDesc {
  std::string path;       // the file, UTF-8
  std::string mimeType;   // image/png or image/jpeg
  std::uint64_t size = 0;
  // Held when the file is not PNG or JPEG (converted to PNG) or when a
  // cut-out was baked into it; otherwise the file is copied as it is.
  std::vector<std::uint8_t> bytes;
};

class MaterialTable {
 public:
  explicit MaterialTable(Report& report) : report_(report) {}
  // The glTF material for a host material, made on first use; -1 for none.
  int indexOf(Mtl* material);
  // The same material without its texture, for meshes that have no UVs to
  // read it with; `material` itself when it has none.
  int untextured(int material);
  const std::vector<MaterialDesc>& materials() const { return materials_; }
  const std::vector<ImageDesc>& images() const { return images_; }

 private:
  MaterialDesc describe(Mtl& material);
  // The texture reading `path` (empty: white), with `cutout` in its alpha
  // when given, placed as `bitmap` is.
  std::optional<TextureUse> texture(const BitmapTex& bitmap, const std::string& path, BitmapTex* cutout,
                                    const std::string& slot);
  std::optional<std::size_t> imageOf(const std::string& path, BitmapTex* cutout);

  Report& report_;
  std::vector<std::pair<Mtl*, int>> known_;
  std::vector<std::pair<int, int>> untextured_;
  std::vector<MaterialDesc> materials_;
  std::vector<ImageDesc> images_;
  std::vector<std::pair<std::string, std::optional<std::size_t>>> imagesByPath_;
};

// The bytes of an image as they go into the file; false when the file
// can no longer be read as it was.
bool imageBytes(const ImageDesc& image, std::vector<std::uint8_t>& bytes);

}  // namespace cvimp::gltf
