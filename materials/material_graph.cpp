#include "materials/material_graph.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "materials/physical_mapping.h"
#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

void convert(const VrpPlugin* plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
             GraphPath& path);
void flatten(const std::vector<VrpValue>& layers, const VrpPlugin& layered, Mtl* material,
             const SearchDirectories& directories, ImportLog* log, GraphPath& path);

// Wrappers that add render-time behaviour, with the attribute naming what
// they wrap.
struct Wrapper {
  std::string_view type;
  std::string_view base;
};
constexpr Wrapper kWrappers[] = {
    {"MtlOverride", "base_mtl"},
    {"MtlSingleBRDF", "brdf"},
    {"MtlRenderStats", "base_mtl"},
    {"MtlMaterialID", "base_mtl"},
};

void convertMultiBump(const VrpPlugin& plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
                      GraphPath& path) {
  constexpr std::array<std::string_view, 4> kMultipliers = {"bump_mult_0", "bump_mult_1", "bump_mult_2", "bump_mult_3"};
  constexpr std::array<std::string_view, 4> kTextures = {"bump_tex_0", "bump_tex_1", "bump_tex_2", "bump_tex_3"};
  convert(referencedPlugin(plugin, "base_brdf"), material, directories, log, path);
  std::array<float, 4> m{};
  for (std::size_t k = 0; k < 4; ++k) m[k] = getFloatByKind(plugin, kMultipliers[k]);
  const float largest = std::max(std::max(m[0], m[1]), std::max(m[2], m[3]));
  for (std::size_t k = 0; k < 4; ++k) {
    if (m[k] != largest) continue;  // never equal when not a number
    setMapOnlySlot(plugin, material, directories, kTextures[k], kBumpSlot, log, path);
    setFloatSlot(plugin, material, kMultipliers[k], u"bump_map_amt", log);
    return;
  }
}

// The plugin a chain of wrappers ends at (the plugin itself when it is no
// wrapper); a cycle or an endless chain ends where it turns back.
const VrpPlugin* throughWrappers(const VrpPlugin& root) {
  const VrpPlugin* plugin = &root;
  for (std::size_t depth = 0; depth < GraphPath::kMaxDepth; ++depth) {
    const auto wrapper = std::find_if(std::begin(kWrappers), std::end(kWrappers),
                                      [&](const Wrapper& w) { return plugin->type == w.type; });
    if (wrapper == std::end(kWrappers)) return plugin;
    const VrpPlugin* base = referencedPlugin(*plugin, wrapper->base);
    if (base == nullptr) return plugin;
    plugin = base;
  }
  return plugin;
}

// The first entry of an MtlMulti's "mtls_list": what it becomes where one
// material is expected.
const VrpPlugin* firstSubMaterial(const VrpPlugin& multi) {
  const VrpValue entries = multi.getValue("mtls_list");
  const std::vector<VrpValue>& list = entries.getValueList(multi.scene);
  return !list.empty() && isPluginReference(list[0]) ? list[0].getPlugin(multi.scene) : nullptr;
}

void convert(const VrpPlugin* plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log,
             GraphPath& path) {
  if (plugin == nullptr || material == nullptr) return;
  if (path.contains(plugin)) {
    logLine(log, "Cyclic material reference: %s\n", plugin->name.c_str());
    reportLoss(log, loss::kCyclicGraph, plugin->name, "material graph refers back to " + plugin->name);
    return;
  }
  if (path.full()) {
    logLine(log, "Material graph too deep at: %s\n", plugin->name.c_str());
    reportLoss(log, loss::kGraphTooDeep, plugin->name,
               "material graph deeper than " + std::to_string(GraphPath::kMaxDepth) + " plugins");
    return;
  }
  GraphStep step(path, plugin);
  const std::string& type = plugin->type;
  for (const Wrapper& wrapper : kWrappers) {
    if (type == wrapper.type) {
      convert(referencedPlugin(*plugin, wrapper.base), material, directories, log, path);
      return;
    }
  }
  if (type == "Mtl2Sided") {
    // A Physical Material has one side: the front one it is.
    convert(referencedPlugin(*plugin, "front"), material, directories, log, path);
    logLine(log, "Two-sided material %s: back side dropped\n", plugin->name.c_str());
    reportLoss(log, loss::kBackSideDropped, plugin->name, "Mtl2Sided imported as its front material");
  } else if (type == "MtlMulti") {
    // Inside a two-sided or layered material, or another multi-material:
    // one material is expected here, and faces cannot choose.
    convert(firstSubMaterial(*plugin), material, directories, log, path);
    logLine(log, "Multi-material %s where one material is expected: first sub-material used\n", plugin->name.c_str());
    reportLoss(log, loss::kMultiAsSingle, plugin->name, "first sub-material used where one material is expected");
  } else if (type == "BRDFBump") {
    convert(referencedPlugin(*plugin, "base_brdf"), material, directories, log, path);
    setMapOnlySlot(*plugin, material, directories, "bump_tex", kBumpSlot, log, path);
    setFloatSlot(*plugin, material, "bump_tex_mult", u"bump_map_amt", log);
  } else if (type == "BRDFMultiBump") {
    convertMultiBump(*plugin, material, directories, log, path);
  } else if (type == "BRDFLayered") {
    const VrpValue brdfs = plugin->getValue("brdfs");
    flatten(brdfs.getValueList(plugin->scene), *plugin, material, directories, log, path);
  } else if (type == "BRDFVRayMtl") {
    mapVRayMtl(*plugin, material, directories, log, path);
  } else if (type == "BRDFDiffuse") {
    mapDiffuse(*plugin, material, directories, log, path);
  } else if (type == "BRDFGlass") {
    logLine(log, "Found unsupported BRDFGlass\n");
    reportLoss(log, loss::kUnsupportedMaterial, type);
  } else if (type == "BRDFLight") {
    mapLight(*plugin, material, directories, log, path);
  } else if (log != nullptr) {
    logLine(log, "Found unsupported mtl type: %s\n", type.c_str());
    reportLoss(log, loss::kUnsupportedMaterial, type);
  }
}

// Deletes the temporaries it holds unless they were handed on.
class Temporary {
 public:
  explicit Temporary(Mtl* material) : material_(material) {}
  ~Temporary() {
    if (material_ != nullptr) material_->DeleteThis();
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;
  Mtl* get() const { return material_; }
  // The blend consumed it.
  void consumed() { material_ = nullptr; }

 private:
  Mtl* material_;
};

// Blends two temporaries into `destination`; the blend deletes them when it
// runs, and they are deleted here when it does not.
bool blendTemporaries(Mtl* destination, Temporary& a, Temporary& b) {
  if (!blendPhysicalMaterials(destination, a.get(), b.get())) return false;
  a.consumed();
  b.consumed();
  return true;
}

void flatten(const std::vector<VrpValue>& layers, const VrpPlugin& layered, Mtl* material,
             const SearchDirectories& directories, ImportLog* log, GraphPath& path) {
  const std::size_t n = layers.size();
  if (n == 0) return;
  if (n == 1) {
    if (isPluginReference(layers[0])) convert(layers[0].getPlugin(layered.scene), material, directories, log, path);
    return;
  }
  if (!isPluginReference(layers[0]) || !isPluginReference(layers[1])) return;
  const VrpPlugin* first = layers[0].getPlugin(layered.scene);
  const VrpPlugin* second = layers[1].getPlugin(layered.scene);
  Temporary m0(createPhysicalMaterial());
  Temporary m1(createPhysicalMaterial());
  convert(first, m0.get(), directories, log, path);
  convert(second, m1.get(), directories, log, path);
  if (n == 2) {
    blendTemporaries(material, m0, m1);
    return;
  }
  auto accumulator = std::make_unique<Temporary>(createPhysicalMaterial());
  blendTemporaries(accumulator->get(), m0, m1);
  for (std::size_t i = 2; i < n; ++i) {
    // An entry that is no plugin stops the flattening: the material keeps
    // what it had, and the accumulator goes with the temporaries.
    if (!isPluginReference(layers[i])) return;
    Temporary layer(createPhysicalMaterial());
    convert(layers[i].getPlugin(layered.scene), layer.get(), directories, log, path);
    const bool last = i == n - 1;
    auto next = std::make_unique<Temporary>(last ? nullptr : createPhysicalMaterial());
    Mtl* destination = last ? material : next->get();
    blendTemporaries(destination, *accumulator, layer);
    accumulator = std::move(next);
  }
}

}  // namespace

bool materialConversionReads(std::string_view type) {
  for (const Wrapper& wrapper : kWrappers) {
    if (type == wrapper.type) return true;
  }
  for (std::string_view read : {"Mtl2Sided", "MtlMulti", "BRDFBump", "BRDFMultiBump", "BRDFLayered", "BRDFVRayMtl",
                                "BRDFDiffuse", "BRDFLight"}) {
    if (type == read) return true;
  }
  return false;
}

bool isMultiMaterial(const VrpPlugin& root) { return throughWrappers(root)->type == "MtlMulti"; }

MultiMaterialGraph readMultiMaterial(const VrpPlugin& root, ImportLog* log) {
  MultiMaterialGraph multi;
  const VrpPlugin& plugin = *throughWrappers(root);
  if (plugin.type != "MtlMulti") return multi;
  multi.plugin = &plugin;
  multi.wrapIds = plugin.findAttribute("wrap_id") != nullptr && plugin.getInt("wrap_id", 0) != 0;
  const VrpValue entries = plugin.getValue("mtls_list");
  const std::vector<VrpValue>& list = entries.getValueList(plugin.scene);
  std::size_t idCount = 0;
  std::unique_ptr<std::int32_t[]> ids;
  if (plugin.findAttribute("ids_list") != nullptr) ids = plugin.getIntList("ids_list", idCount);
  if (ids != nullptr && idCount != list.size()) {
    logLine(log, "Multi-material %s: %zu IDs for %zu sub-materials; list positions used\n", plugin.name.c_str(),
            idCount, list.size());
    reportLoss(log, loss::kMaterialIdDropped, plugin.name,
               "ids_list does not match mtls_list in length; list positions used");
    ids.reset();
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::int64_t id = ids != nullptr ? ids[i] : static_cast<std::int64_t>(i);
    const bool taken = std::any_of(multi.entries.begin(), multi.entries.end(),
                                   [id](const MultiMaterialEntry& entry) { return entry.id == id; });
    if (taken || id < 0 || id > 0xFFFF) {
      const std::string why = taken ? "an earlier sub-material has it" : "outside 0 to 65535";
      logLine(log, "Multi-material %s: sub-material %zu dropped, ID %lld %s\n", plugin.name.c_str(), i,
              static_cast<long long>(id), why.c_str());
      reportLoss(log, loss::kMaterialIdDropped, plugin.name,
                 "sub-material " + std::to_string(i) + " with ID " + std::to_string(id) + " dropped: " + why);
      continue;
    }
    const VrpPlugin* material = isPluginReference(list[i]) ? list[i].getPlugin(plugin.scene) : nullptr;
    multi.entries.push_back({material, static_cast<int>(id)});
  }
  return multi;
}

void convertMaterial(const VrpPlugin* plugin, Mtl* material, const SearchDirectories& directories, ImportLog* log) {
  GraphPath path;
  convert(plugin, material, directories, log, path);
}

void convertLayeredBrdf(const std::vector<VrpValue>& layers, const VrpPlugin& layered, Mtl* material,
                        const SearchDirectories& directories, ImportLog* log) {
  GraphPath path;
  flatten(layers, layered, material, directories, log, path);
}

}  // namespace cvimp
