#include "gltf/material_export.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <tuple>

#include "host/stand_in.h"
#include "platform/platform.h"

namespace cvimp::gltf {

namespace {

// Sub-map slots of the Physical Material.
constexpr int kBaseColorSlot = 1;
constexpr int kCutoutSlot = 33;

// Colours and weights as glTF takes them: finite, within [0, 1].
double unit(double value) { return std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : 0.0; }
double nonNegative(double value) { return std::isfinite(value) ? std::max(value, 0.0) : 0.0; }

std::string slotName(const MtlBase& owner, int slot) { return platform::utf16ToUtf8(owner.GetSubTexmapSlotName(slot).str()); }

// A Mix map gives its first bitmap input: slot 0 first, depth first.
BitmapTex* firstBitmap(Texmap* map, int depth = 0) {
  if (map == nullptr || depth > 64) return nullptr;
  if (map->ClassID() == BMTEX_CLASS_ID) return static_cast<BitmapTex*>(map);
  for (int slot = 0; slot < map->NumSubTexmaps(); ++slot) {
    if (BitmapTex* found = firstBitmap(map->GetSubTexmap(slot), depth + 1)) return found;
  }
  return nullptr;
}

std::string bitmapPath(const BitmapTex& bitmap) { return platform::utf16ToUtf8(bitmap.GetMap().GetFullFilePath()); }

// The type of an image from its first bytes, not its name: the package
// names PNG files ".jpg" at times.
std::string signatureType(const std::uint8_t* bytes, std::size_t size) {
  static const std::uint8_t png[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  if (size >= 8 && std::memcmp(bytes, png, 8) == 0) return "image/png";
  if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF) return "image/jpeg";
  return {};
}

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  platform::File file = platform::openFile(path, "rb");
  if (!file) return false;
  const std::optional<std::uint64_t> size = platform::fileSize(file.get());
  if (!size || *size > (std::uint64_t{1} << 32)) return false;
  bytes.resize(static_cast<std::size_t>(*size));
  return std::fread(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

struct Pixels {
  int width = 0, height = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> data{nullptr, stbi_image_free};
};

bool decode(const std::vector<std::uint8_t>& bytes, int channels, Pixels& pixels) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(INT32_MAX)) return false;
  int components = 0;
  pixels.data.reset(stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &pixels.width, &pixels.height,
                                          &components, channels));
  return pixels.data != nullptr;
}

extern "C" void appendBytes(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(context);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

bool encodePng(const stbi_uc* rgba, int width, int height, std::vector<std::uint8_t>& out) {
  out.clear();
  return stbi_write_png_to_func(appendBytes, &out, width, height, 4, rgba, width * 4) != 0 && !out.empty();
}

// 3ds Max places a map by tiling s, offset o and a turn w about its centre:
// the texture is read at Rot(w) S (uv - c - o) + c, c = (0.5, 0.5). glTF
// flips V on both sides, (u, v) -> (u, 1 - v); conjugating by the flip turns
// the other way and moves the centre. What KHR_texture_transform takes is
// translation + Rot(r) S with r = -w and the same scale.
TextureTransform placement(const StdUVGen& uv) {
  const double su = uv.GetUScl(0), sv = uv.GetVScl(0), w = uv.GetWAng(0);
  const double ou = uv.GetUOffs(0), ov = uv.GetVOffs(0);
  const double c = std::cos(w), s = std::sin(w);
  // A (-0.5 - ou, 0.5 - ov), with A = Rot(w) S.
  const double x = su * (-0.5 - ou), y = sv * (0.5 - ov);
  const double ax = c * x - s * y, ay = s * x + c * y;
  TextureTransform t;
  t.offset = {ax + 0.5, 0.5 - ay};
  t.rotation = w == 0 ? 0.0 : -w;
  t.scale = {su, sv};
  return t;
}

// Two maps read an image the same way: same placement, neither cropped.
bool samePlacement(const BitmapTex& a, const BitmapTex& b) {
  const TextureTransform ta = placement(a.uvGen()), tb = placement(b.uvGen());
  auto cropped = [](const BitmapTex& map) { return map.bitmap() != nullptr && map.bitmap()->cropping().has_value(); };
  return ta.offset == tb.offset && ta.rotation == tb.rotation && ta.scale == tb.scale && !cropped(a) && !cropped(b) &&
         a.uvGen().GetUAng(0) == b.uvGen().GetUAng(0) && a.uvGen().GetVAng(0) == b.uvGen().GetVAng(0);
}

}  // namespace

int MaterialTable::indexOf(Mtl* material) {
  if (material == nullptr) return -1;
  for (const auto& [known, index] : known_) {
    if (known == material) return index;
  }
  int index = -1;
  if (material->ClassID() == PHYSICAL_MATERIAL_CLASS_ID) {
    index = static_cast<int>(materials_.size());
    materials_.push_back(describe(*material));
  } else {
    report_.add(ReportStage::Export, loss::kMapLeftOut, platform::utf16ToUtf8(material->ClassName().str()),
                "material of another class: the default material instead");
  }
  known_.emplace_back(material, index);
  return index;
}

int MaterialTable::untextured(int material) {
  if (material < 0 || !materials_[static_cast<std::size_t>(material)].baseColorTexture) return material;
  for (const auto& [textured, plain] : untextured_) {
    if (textured == material) return plain;
  }
  MaterialDesc plain = materials_[static_cast<std::size_t>(material)];
  plain.baseColorTexture.reset();
  plain.baseColor = plain.plainColor;
  plain.mask = false;
  const int index = static_cast<int>(materials_.size());
  materials_.push_back(plain);
  untextured_.emplace_back(material, index);
  return index;
}

MaterialDesc MaterialTable::describe(Mtl& material) {
  const host::NamedParams p(material.GetParamBlock(0));
  MaterialDesc d;
  const double weight = nonNegative(p.number(u"base_weight", 1.0f));
  const auto base = p.color(u"base_color", {0.5, 0.5, 0.5});
  for (std::size_t k = 0; k < 3; ++k) d.baseColor[k] = unit(base[k] * weight);
  d.plainColor = d.baseColor;
  d.metallic = unit(p.number(u"metalness", 0.0f));
  const double roughness = unit(p.number(u"roughness", 0.0f));
  d.roughness = p.flag(u"roughness_inv") ? 1.0 - roughness : roughness;

  const double emission = nonNegative(p.number(u"emission", 1.0f));
  const auto emitColor = p.color(u"emit_color", {0, 0, 0});
  double brightest = 0;
  for (std::size_t k = 0; k < 3; ++k) {
    d.emissive[k] = nonNegative(emitColor[k]) * emission;
    brightest = std::max(brightest, d.emissive[k]);
  }
  if (brightest > 1.0) {
    d.emissiveStrength = brightest;
    for (double& c : d.emissive) c /= brightest;
  }

  const auto transColor = p.color(u"trans_color", {1, 1, 1});
  d.transmission = unit(p.number(u"transparency", 0.0f) * (unit(transColor[0]) + unit(transColor[1]) + unit(transColor[2])) / 3.0);
  const double ior = p.number(u"trans_ior", 1.52f);
  d.ior = std::isfinite(ior) && ior >= 1.0 ? ior : 1.0;
  d.specular = unit(p.number(u"reflectivity", 1.0f));
  const auto reflColor = p.color(u"refl_color", {1, 1, 1});
  for (std::size_t k = 0; k < 3; ++k) d.specularColor[k] = nonNegative(reflColor[k]);

  // The base colour map replaces the colour; its weight still scales it. A
  // cut-out goes into the alpha of the base colour's image, which must then
  // be read the same way as the cut-out.
  Texmap* baseMap = material.GetSubTexmap(kBaseColorSlot);
  BitmapTex* baseBitmap = firstBitmap(baseMap);
  Texmap* cutout = material.GetSubTexmap(kCutoutSlot);
  BitmapTex* cutoutBitmap = firstBitmap(cutout);
  for (auto [map, bitmap, slot] : {std::tuple{baseMap, baseBitmap, kBaseColorSlot}, {cutout, cutoutBitmap, kCutoutSlot}}) {
    if (map != nullptr && bitmap == nullptr) {
      report_.add(ReportStage::Export, loss::kMapLeftOut, slotName(material, slot), "no bitmap in it");
    } else if (map != bitmap) {
      report_.add(ReportStage::Export, loss::kMapLeftOut, platform::utf16ToUtf8(map->ClassName().str()),
                  "only its first bitmap input kept");
    }
  }
  const bool bake = cutoutBitmap != nullptr && (baseBitmap == nullptr || samePlacement(*baseBitmap, *cutoutBitmap));
  if (cutoutBitmap != nullptr && !bake) {
    report_.add(ReportStage::Export, loss::kMapLeftOut, slotName(material, kCutoutSlot),
                "placed unlike the base colour map: not baked into its alpha");
  }
  if (BitmapTex* placed = baseBitmap != nullptr ? baseBitmap : (bake ? cutoutBitmap : nullptr)) {
    d.baseColorTexture = texture(*placed, baseBitmap != nullptr ? bitmapPath(*baseBitmap) : std::string(),
                                 bake ? cutoutBitmap : nullptr, slotName(material, kBaseColorSlot));
    if (d.baseColorTexture && baseBitmap != nullptr) d.baseColor = {unit(weight), unit(weight), unit(weight), 1.0};
    d.mask = bake && d.baseColorTexture.has_value();
    if (bake && !d.mask) {
      report_.add(ReportStage::Export, loss::kMapLeftOut, slotName(material, kCutoutSlot), "its image cannot be read");
    }
  }
  for (int slot = 0; slot < material.NumSubTexmaps(); ++slot) {
    if (slot == kBaseColorSlot || slot == kCutoutSlot || material.GetSubTexmap(slot) == nullptr) continue;
    report_.add(ReportStage::Export, loss::kMapLeftOut, slotName(material, slot));
  }
  return d;
}

std::optional<TextureUse> MaterialTable::texture(const BitmapTex& bitmap, const std::string& path, BitmapTex* cutout,
                                                const std::string& slot) {
  const std::optional<std::size_t> image = imageOf(path, cutout);
  if (!image) return std::nullopt;
  TextureUse use{*image, placement(bitmap.uvGen())};
  const StdUVGen& uv = bitmap.uvGen();
  if (uv.GetUAng(0) != 0 || uv.GetVAng(0) != 0) {
    report_.add(ReportStage::Export, loss::kMapLeftOut, slot, "turn about U or V: only the turn about W kept");
  }
  if (const Bitmap* loaded = bitmap.bitmap(); loaded != nullptr && loaded->cropping()) {
    const Bitmap::Cropping& crop = *loaded->cropping();
    // Cropping reads the part (u, v, w, h) of the image, measured from its
    // top left as glTF's image space is: one more scale and offset, as long
    // as a turn does not mix the two directions.
    if (crop.place) {
      report_.add(ReportStage::Export, loss::kMapLeftOut, slot, "placed within part of the map: the whole map used");
    } else if (use.transform.rotation != 0 && crop.w != crop.h) {
      report_.add(ReportStage::Export, loss::kMapLeftOut, slot, "cropped and turned: cropping left out");
    } else {
      TextureTransform& t = use.transform;
      t.offset = {crop.u + crop.w * t.offset[0], crop.v + crop.h * t.offset[1]};
      t.scale = {crop.w * t.scale[0], crop.h * t.scale[1]};
    }
  }
  return use;
}

std::optional<std::size_t> MaterialTable::imageOf(const std::string& path, BitmapTex* cutout) {
  const std::string cutoutPath = cutout != nullptr ? bitmapPath(*cutout) : std::string();
  // Paths cannot hold a NUL: the pair as one key.
  const std::string key = path + std::string(1, '\0') + cutoutPath;
  for (const auto& [known, index] : imagesByPath_) {
    if (known == key) return index;
  }
  std::optional<std::size_t> result;
  ImageDesc image;
  image.path = path;
  std::vector<std::uint8_t> bytes;
  if (!path.empty() && !readFile(path, bytes)) {
    report_.add(ReportStage::Export, loss::kImageLeftOut, path, "cannot be read");
  } else if (cutout == nullptr) {
    image.mimeType = signatureType(bytes.data(), bytes.size());
    Pixels pixels;
    if (!image.mimeType.empty()) {
      image.size = bytes.size();
    } else if (decode(bytes, 4, pixels) && encodePng(pixels.data.get(), pixels.width, pixels.height, image.bytes)) {
      image.mimeType = "image/png";
      image.size = image.bytes.size();
    } else {
      report_.add(ReportStage::Export, loss::kImageLeftOut, path, "not an image glTF or this exporter can read");
    }
  } else {
    // The cut-out's grey levels become the alpha of the base colour's
    // image (white where there is none), at the base image's size.
    std::vector<std::uint8_t> mask;
    Pixels rgba, grey;
    const bool read = readFile(cutoutPath, mask) && decode(mask, 1, grey) && (path.empty() || decode(bytes, 4, rgba));
    if (read) {
      const int width = path.empty() ? grey.width : rgba.width, height = path.empty() ? grey.height : rgba.height;
      std::vector<stbi_uc> out(static_cast<std::size_t>(width) * height * 4, 255);
      for (int y = 0; y < height; ++y) {
        const int gy = static_cast<int>(static_cast<long long>(y) * grey.height / height);
        for (int x = 0; x < width; ++x) {
          const int gx = static_cast<int>(static_cast<long long>(x) * grey.width / width);
          stbi_uc* to = &out[(static_cast<std::size_t>(y) * width + x) * 4];
          if (!path.empty()) std::memcpy(to, rgba.data.get() + (static_cast<std::size_t>(y) * width + x) * 4, 3);
          to[3] = grey.data.get()[static_cast<std::size_t>(gy) * grey.width + gx];
        }
      }
      if (encodePng(out.data(), width, height, image.bytes)) {
        image.mimeType = "image/png";
        image.size = image.bytes.size();
        image.path = cutoutPath;
      }
    }
  }
  if (!image.mimeType.empty()) {
    result = images_.size();
    images_.push_back(std::move(image));
  }
  imagesByPath_.emplace_back(key, result);
  return result;
}

bool imageBytes(const ImageDesc& image, std::vector<std::uint8_t>& bytes) {
  if (!image.bytes.empty()) {
    bytes = image.bytes;
    return true;
  }
  return readFile(image.path, bytes) && bytes.size() == image.size;
}

}  // namespace cvimp::gltf
