#pragma once
// What an import, or the export of what it built, could not bring across:
// textures not found, bitmaps that did not load, meshes skipped, types not
// supported, graphs cut short, and what the glTF export left out. Entries
// are counted, in the order first met, and the report of the last import is
// kept with the host scene (app data on its root node).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cvimp {

enum class ReportStage { Import, Export };

struct ReportEntry {
  ReportStage stage = ReportStage::Import;
  std::string kind;     // one of the kinds below
  std::string subject;  // what it concerns: a file as the scene names it, a plugin, a node
  std::string detail;   // why, or what was tried
  std::uint32_t count = 1;
};

// Kinds of loss, as the table and the JSON show them.
namespace loss {
inline constexpr std::string_view kTextureNotFound = "texture not found";
inline constexpr std::string_view kBitmapNotLoaded = "bitmap not loaded";
inline constexpr std::string_view kMeshSkipped = "mesh skipped";
inline constexpr std::string_view kMeshPartSkipped = "mesh part skipped";
inline constexpr std::string_view kUnsupportedMaterial = "unsupported material";
inline constexpr std::string_view kUnsupportedTexture = "unsupported texture";
inline constexpr std::string_view kCyclicGraph = "cyclic graph";
inline constexpr std::string_view kGraphTooDeep = "graph too deep";
inline constexpr std::string_view kBackSideDropped = "back side dropped";
inline constexpr std::string_view kUnitsIgnored = "units ignored";
// Multi-materials: an MtlMulti where one material is expected, sub-materials
// whose ID could not be used, one without sub-materials, faces whose ID
// matches no sub-material (counted by face), and meshes copied because
// their nodes' multi-materials choose differently (counted by copy).
inline constexpr std::string_view kMultiAsSingle = "multi-material as one";
inline constexpr std::string_view kMaterialIdDropped = "material ID dropped";
inline constexpr std::string_view kEmptyMultiMaterial = "empty multi-material";
inline constexpr std::string_view kUnmatchedFaceIds = "unmatched material ID";
inline constexpr std::string_view kMeshCopied = "mesh copied";
// Cameras and lights: what came across as a near counterpart, what was
// left out, and a light's photometric file not found.
inline constexpr std::string_view kApproximated = "approximated";
inline constexpr std::string_view kLeftOut = "left out";
inline constexpr std::string_view kLightFileNotFound = "light file not found";
// Counted per plugin type that no conversion reads.
inline constexpr std::string_view kNotImported = "not imported";
// The glTF export.
inline constexpr std::string_view kShearBaked = "shear baked into mesh";
inline constexpr std::string_view kMirroredNode = "mirrored node";
inline constexpr std::string_view kNormalReplaced = "normal replaced";
inline constexpr std::string_view kMapLeftOut = "map left out";
inline constexpr std::string_view kObjectLeftOut = "object left out";
inline constexpr std::string_view kImageLeftOut = "image left out";
// A camera or light written in a form that shows less than the host's: a
// light's area or distribution, a value outside what glTF takes.
inline constexpr std::string_view kCameraApproximated = "camera approximated";
inline constexpr std::string_view kLightApproximated = "light approximated";
}  // namespace loss

class Report {
 public:
  // Counts an entry equal in all four to an earlier one with it.
  void add(ReportStage stage, std::string_view kind, std::string_view subject, std::string_view detail = {},
           std::uint32_t count = 1);
  void append(const Report& other);
  const std::vector<ReportEntry>& entries() const { return entries_; }
  bool empty() const { return entries_.empty(); }

  // The import log's last line: "=== Import report: nothing lost ===" or
  // "=== Import report: 3 losses (texture not found: 2, mesh skipped: 1) ===".
  std::string summaryLine() const;
  // A short table, one line per entry under a heading; empty when empty.
  std::string table() const;
  // A JSON array of {"stage", "kind", "subject", "detail", "count"}.
  std::string json() const;
  // Reads what json() wrote; false (and `report` untouched) on anything else.
  static bool fromJson(std::string_view text, Report& report);

 private:
  std::vector<ReportEntry> entries_;
};

// `sceneJson` (a JSON object) with "report" added as its last member.
std::string withReport(std::string_view sceneJson, const Report& report);

// The report kept with the host scene: the last import's, replaced by each.
void storeReportInScene(const Report& report);
Report reportFromScene();

}  // namespace cvimp
