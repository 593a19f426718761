#pragma once
// Shared fixture of the material and texture suites: little scene texts are
// parsed with the real reader and converted into Physical Materials of a
// fresh stand-in host; bitmaps are real PNG files in a temporary directory
// and the import log is a real file read back after the conversion.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/stand_in.h"
#include "tests/materials/materials_internals.h"
#include "tests/support/host_fixture.h"
#include "tests/support/test_support.h"

inline void PrintTo(const Color& c, std::ostream* os) { *os << "Color(" << c.r << ", " << c.g << ", " << c.b << ")"; }

namespace cvimp::test {

// A valid 1x1 RGBA PNG.
inline std::string pngBytes() {
  static const unsigned char bytes[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
      0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00,
      0x00, 0x00, 0x0A, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x00, 0x01, 0x00, 0x00, 0x05, 0x00, 0x01,
      0x0D, 0x0A, 0x2D, 0xB4, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

inline std::optional<ParamID> paramId(MtlBase* item, std::u16string_view name) {
  const std::optional<ParamID> id = findParamId(item != nullptr ? item->GetParamBlock(0) : nullptr, name);
  if (!id) ADD_FAILURE() << "no parameter " << host::utf16ToUtf8(name);
  return id;
}
inline float floatParam(MtlBase* item, std::u16string_view name) {
  const auto id = paramId(item, name);
  return id ? item->GetParamBlock(0)->GetFloat(*id) : -999.0f;
}
inline int intParam(MtlBase* item, std::u16string_view name) {
  const auto id = paramId(item, name);
  return id ? item->GetParamBlock(0)->GetInt(*id) : -999;
}
inline Color colorParam(MtlBase* item, std::u16string_view name) {
  const auto id = paramId(item, name);
  return id ? item->GetParamBlock(0)->GetColor(*id) : Color(-9, -9, -9);
}

// The file of a Bitmap texture as the host was given it.
inline std::string bitmapPath(Texmap* map) {
  auto* bitmap = dynamic_cast<BitmapTex*>(map);
  return bitmap != nullptr ? host::utf16ToUtf8(bitmap->GetMap().GetFullFilePath()) : std::string();
}

// A map tree as text: "none", "a.png" for a Bitmap texture, "Mix(x, y)" for
// a Mix map at an even mix, "Mix@amount(x, y)" otherwise.
inline std::string describe(Texmap* map) {
  if (map == nullptr) return "none";
  if (map->ClassID() == BMTEX_CLASS_ID)
    return platform::utf8FromPath(platform::pathFromUtf8(bitmapPath(map)).filename());
  if (map->ClassID() == MIX_CLASS_ID) {
    const float amount = floatParam(map, u"mixAmount");
    std::string text = "Mix";
    if (amount != 0.5f) text += "@" + std::to_string(amount);
    return text + "(" + describe(map->GetSubTexmap(0)) + ", " + describe(map->GetSubTexmap(1)) + ")";
  }
  return "?";
}

// Every parameter value and slot of a material, for whole comparisons.
struct Snapshot {
  std::vector<std::pair<std::string, IParamBlock2::Value>> params;
  std::vector<std::string> slots;
};
inline Snapshot snapshot(MtlBase* item) {
  Snapshot shot;
  for (const auto& entry : item->GetParamBlock(0)->entries()) {
    shot.params.emplace_back(host::utf16ToUtf8(entry.name), entry.value);
  }
  for (int i = 0; i < item->NumSubTexmaps(); ++i) shot.slots.push_back(describe(item->GetSubTexmap(i)));
  return shot;
}
// The names of parameters and slots that differ; empty when none do.
inline std::string differences(const Snapshot& a, const Snapshot& b) {
  std::string out;
  for (std::size_t i = 0; i < a.params.size() && i < b.params.size(); ++i) {
    if (a.params[i] != b.params[i]) out += a.params[i].first + " ";
  }
  for (std::size_t i = 0; i < a.slots.size() && i < b.slots.size(); ++i) {
    if (a.slots[i] != b.slots[i]) out += "slot" + std::to_string(i) + "=" + a.slots[i] + "/" + b.slots[i] + " ";
  }
  if (a.params.size() != b.params.size() || a.slots.size() != b.slots.size()) out += "sizes";
  return out;
}
// A Physical Material with the importer's presets, outside the host scene.
inline Snapshot presetSnapshot() {
  PhysicalMaterial fresh;
  applyPhysicalDefaults(fresh.GetParamBlock(0));
  return snapshot(&fresh);
}

class MaterialsTest : public HostTest {
 protected:
  MaterialsTest() : logPath_(dir.str() + "/import.log"), log_(std::make_unique<ImportLog>(logPath_)) {}

  ImportLog* log() { return log_.get(); }
  SearchDirectories dirs() const { return {dir.str()}; }
  // A real image at `relative` under the search directory.
  std::string image(const std::string& relative) { return dir.write(relative, pngBytes()); }

  // What the log holds since the last call.
  std::string takeLog() {
    const std::string text = readFile(logPath_);
    std::ofstream(platform::pathFromUtf8(logPath_), std::ios::binary | std::ios::trunc).flush();
    return text;
  }

  const VrpPlugin& parse(std::string text, std::string_view root) {
    scenes_.push_back(std::make_unique<ParsedScene>(std::move(text)));
    EXPECT_TRUE(scenes_.back()->ok);
    return scenes_.back()->plugin(root);
  }

  // Parses `text` and converts its plugin `root` into a new preset material.
  Mtl* convert(std::string text, std::string_view root, ImportLog* log) {
    const VrpPlugin& plugin = parse(std::move(text), root);
    Mtl* material = createPhysicalMaterial();
    EXPECT_NE(material, nullptr);
    parserOutput = captureStdout([&] { convertMaterial(&plugin, material, dirs(), log); });
    return material;
  }
  Mtl* convert(std::string text, std::string_view root) { return convert(std::move(text), root, log()); }

  // Converts a texture graph by placing it as the diffuse of a BRDFDiffuse.
  Texmap* convertTexmap(const std::string& textures, std::string_view root) {
    Mtl* material = convert(textures + " BRDFDiffuse leaf { color=" + std::string(root) + "; }", "leaf");
    return material->GetSubTexmap(kBaseColorSlot);
  }

  TempDir dir;
  std::string parserOutput;  // the reader's diagnostics during the last conversion

 private:
  std::string logPath_;
  std::unique_ptr<ImportLog> log_;
  std::vector<std::unique_ptr<ParsedScene>> scenes_;
};

}  // namespace cvimp::test
