#include "materials/texture_graph.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "materials/bitmap_file.h"
#include "materials/find_param.h"
#include "materials/materials.h"
#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

constexpr float kHalfPi = 1.5707964f;

// Plugins that only adjust their input, with the attribute holding it.
struct LookThrough {
  std::string_view type;
  std::string_view input;
};
constexpr LookThrough kLookThrough[] = {
    {"TexCombineColor", "texture"}, {"TexCombineFloat", "texture"},         {"TexCombineColorLightMtl", "texture"},
    {"TexOutput", "texmap"},        {"TexBezierCurveColor", "input_color"}, {"ColorCorrection", "texture_map"},
};

Texmap* convertBitmapBuffer(const VrpPlugin& plugin, const SearchDirectories& directories,
                            const BitmapPlacement* placement, ImportLog* log) {
  const std::string file = plugin.getString("file");
  const std::vector<std::string> near =
      plugin.scene != nullptr ? plugin.scene->foldersAround(plugin.definitionPath) : std::vector<std::string>();
  std::string path = resolveBitmapFile(file, directories, near);
  // Package extraction stores an image whose ending lies about its format
  // under the extra ending ".png".
  if (path.empty()) path = resolveBitmapFile(file + ".png", directories, near);
  if (path.empty()) {
    logLine(log, "Cannot resolve bitmap file: %s\n", file.c_str());
    reportLoss(log, loss::kTextureNotFound, file, bitmapPlacesTried({file, file + ".png"}, directories, near));
    return nullptr;
  }
  const WStr widePath = WStr::FromUTF8(path.c_str(), static_cast<std::ptrdiff_t>(path.size()));
  BitmapTex* texture = NewDefaultBitmapTex();
  if (texture == nullptr) return nullptr;
  using namespace MaxSDK::AssetManagement;
  texture->SetMap(IAssetManager::GetInstance()->GetAsset(widePath.data(), kBitmapAsset, true));
  Bitmap* bitmap = texture->GetBitmap(0);
  if (bitmap == nullptr) {
    logLine(log, "Cannot load bitmap file: %s\n", file.c_str());
    reportLoss(log, loss::kBitmapNotLoaded, file, path);
    texture->DeleteThis();
    return nullptr;
  }
  if (placement != nullptr) {
    if (placement->placementType != 0) {
      bitmap->SetCroppingValues(placement->u, placement->v, placement->w, placement->h,
                                placement->placementType == 2 ? TRUE : FALSE);
    }
    if (StdUVGen* uvGen = texture->GetUVGen()) applyPlacementTransform(placement->transform, *uvGen);
  }
  return texture;
}

Texmap* convertTexBitmap(const VrpPlugin& plugin, const SearchDirectories& directories, ImportLog* log,
                         GraphPath& path) {
  const VrpPlugin* bitmap = referencedPlugin(plugin, "bitmap");
  BitmapPlacement placement;
  const VrpPlugin* generator = referencedPlugin(plugin, "uvwgen");
  if (generator != nullptr && generator->type == "UVWGenChannel") {
    placement.transform = generator->getValue("uvw_transform").getTransform(generator->scene);
  }
  placement.placementType = plugin.getInt("placement_type", 0);
  placement.u = plugin.getFloat("u", 0.0f);
  placement.v = plugin.getFloat("v", 0.0f);
  placement.w = plugin.getFloat("w", 1.0f);
  placement.h = plugin.getFloat("h", 1.0f);
  return convertTexture(bitmap, directories, &placement, log, path);
}

Texmap* convertLayers(const VrpPlugin& plugin, const SearchDirectories& directories, ImportLog* log, GraphPath& path) {
  const VrpValue textures = plugin.getValue("textures");
  const std::vector<VrpValue>& entries = textures.getValueList(plugin.scene);
  if (entries.empty() || !isPluginReference(entries[0])) return nullptr;
  Texmap* result = convertTexture(entries[0].getPlugin(plugin.scene), directories, nullptr, log, path);
  for (std::size_t i = 1; i < entries.size(); ++i) {
    if (!isPluginReference(entries[i])) break;
    Texmap* layer = convertTexture(entries[i].getPlugin(plugin.scene), directories, nullptr, log, path);
    result = mixTexmaps(result, layer);
  }
  return result;
}

}  // namespace

Texmap* convertTexture(const VrpPlugin* plugin, const SearchDirectories& directories, const BitmapPlacement* placement,
                       ImportLog* log) {
  GraphPath path;
  return convertTexture(plugin, directories, placement, log, path);
}

Texmap* convertTexture(const VrpPlugin* plugin, const SearchDirectories& directories, const BitmapPlacement* placement,
                       ImportLog* log, GraphPath& path) {
  if (plugin == nullptr) return nullptr;
  if (path.contains(plugin)) {
    logLine(log, "Cyclic texmap reference: %s\n", plugin->name.c_str());
    reportLoss(log, loss::kCyclicGraph, plugin->name, "texture graph refers back to " + plugin->name);
    return nullptr;
  }
  if (path.full()) {
    logLine(log, "Texmap graph too deep at: %s\n", plugin->name.c_str());
    reportLoss(log, loss::kGraphTooDeep, plugin->name,
               "texture graph deeper than " + std::to_string(GraphPath::kMaxDepth) + " plugins");
    return nullptr;
  }
  GraphStep step(path, plugin);
  const std::string& type = plugin->type;

  for (const LookThrough& kind : kLookThrough) {
    if (type == kind.type)
      return convertTexture(referencedPlugin(*plugin, kind.input), directories, nullptr, log, path);
  }
  if (type == "TexCompMax" || type == "TexMix") {
    const bool comp = type == "TexCompMax";
    const VrpPlugin* first = referencedPlugin(*plugin, comp ? "sourceA" : "color1");
    const VrpPlugin* second = referencedPlugin(*plugin, comp ? "sourceB" : "color2");
    Texmap* a = convertTexture(first, directories, nullptr, log, path);
    Texmap* b = convertTexture(second, directories, nullptr, log, path);
    return mixTexmaps(a, b);
  }
  if (type == "TexLayeredMax") return convertLayers(*plugin, directories, log, path);
  if (type == "TexBitmap") return convertTexBitmap(*plugin, directories, log, path);
  if (type == "BitmapBuffer") return convertBitmapBuffer(*plugin, directories, placement, log);
  logLine(log, "Unsupported texmap type: %s\n", type.c_str());
  reportLoss(log, loss::kUnsupportedTexture, type);
  return nullptr;
}

Texmap* convertStandaloneTexture(const VrpPlugin* plugin, const SearchDirectories& directories, ImportLog* log) {
  return convertTexture(plugin, directories, nullptr, log);
}

bool textureConversionReads(std::string_view type) {
  for (const LookThrough& kind : kLookThrough) {
    if (type == kind.type) return true;
  }
  for (std::string_view read :
       {"TexCompMax", "TexMix", "TexLayeredMax", "TexBitmap", "BitmapBuffer", "UVWGenChannel"}) {
    if (type == read) return true;
  }
  return false;
}

Texmap* mixTexmaps(Texmap* a, Texmap* b) {
  if (a == nullptr) return b;
  if (b == nullptr) return a;
  Texmap* mix = NewDefaultMixTex();
  if (mix == nullptr) return nullptr;
  IParamBlock2* block = mix->GetParamBlock(0);
  const std::optional<ParamID> amount = findParamId(block, u"mixAmount");
  if (!amount) {
    mix->DeleteThis();
    return nullptr;
  }
  block->SetValue(*amount, 0, 0.5f);
  mix->SetSubTexmap(0, a);
  mix->SetSubTexmap(1, b);
  return mix;
}

void applyPlacementTransform(const VrpTransform& transform, StdUVGen& uvGen) {
  const VrpVector& r0 = transform.matrix[0];
  const VrpVector& r1 = transform.matrix[1];
  const VrpVector& r2 = transform.matrix[2];
  const VrpVector& t = transform.offset;
  const float su = std::sqrt(std::max(r0.x * r0.x + r0.y * r0.y + r0.z * r0.z, 0.0f));
  const float sv = std::sqrt(std::max(r1.x * r1.x + r1.y * r1.y + r1.z * r1.z, 0.0f));
  float uAngle = 0.0f;
  float vAngle = 0.0f;
  float wAngle = 0.0f;
  if (r2.z == 0.0f) {
    uAngle = kHalfPi;
    wAngle = std::atan2(r0.y, r0.x);
  } else {
    uAngle = std::asin(r1.z);
    vAngle = std::atan2(-r0.z, r2.z);
    wAngle = std::atan2(-r1.x, r1.y);
  }
  // A zero scale would divide by zero: the axis keeps the generator's
  // defaults (tiling 1, offset 0) instead of taking infinities.
  const bool uScaled = su > 0.0f && std::isfinite(su);
  const bool vScaled = sv > 0.0f && std::isfinite(sv);
  const float uOffset = uScaled ? (0.5f - t.x) / su - 0.5f : 0.0f;
  const float vOffset = vScaled ? (0.5f - t.y) / sv - 0.5f : 0.0f;
  uvGen.SetUScl(uScaled ? su : 1.0f, 0);
  uvGen.SetVScl(vScaled ? sv : 1.0f, 0);
  // asin of a component beyond ±1 is not a number: no rotation then.
  uvGen.SetUAng(std::isfinite(uAngle) ? uAngle : 0.0f, 0);
  uvGen.SetVAng(std::isfinite(vAngle) ? vAngle : 0.0f, 0);
  uvGen.SetWAng(std::isfinite(wAngle) ? wAngle : 0.0f, 0);
  uvGen.SetUOffs(std::isfinite(uOffset) ? uOffset : 0.0f, 0);
  uvGen.SetVOffs(std::isfinite(vOffset) ? vOffset : 0.0f, 0);
}

}  // namespace cvimp
