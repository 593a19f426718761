#pragma once
// Loading a scene file with its includes (several include files at a time),
// and the prebuild step: dependency order of the plugins and decoding of
// every packed list.
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "vrscene/definition_path.h"
#include "vrscene/file_lookup.h"
#include "vrscene/scene.h"

namespace cvimp {

struct ParsedFile;

// Include names claimed during one load: each file is read once, by whichever
// include reaches it first, and its plugins are then placed at its first
// include statement in document order.
struct IncludeSet {
  IncludeSet();
  ~IncludeSet();
  std::unordered_set<std::string> includedNames;
  std::unordered_map<std::string, std::unique_ptr<ParsedFile>> parsedFiles;
  std::mutex includeLock;
};

// Deepest nesting of include files; deeper includes fail like missing files.
inline constexpr std::size_t kMaxIncludeDepth = 64;

// Reads and parses the main file, then its includes. False when the main file
// cannot be found or read, or one of its statements fails; failures of
// included files are reported ("[VRP] ERROR: ...") but do not change the
// result. "Including NAME" lines are printed unless `quiet`.
bool loadScene(const std::string& fileName, VrpScene& scene, const SearchDirectories& searchDirectories, bool quiet);

// The whole file, found through resolveFile.
bool readSceneFile(const std::string& fileName, const SearchDirectories& searchDirectories, std::string& bytes);

// Parses one file's text (kept by the scene) with the given base path, then
// processes its includes. False when a statement of this text fails.
bool parseSceneText(VrpScene& scene, IncludeSet& includes, std::string text, const SearchDirectories& searchDirectories,
                    const DefinitionPath& basePath, bool quiet);

// Lists the plugins so that each comes after the plugins it refers to, with
// warnings for references to missing plugins, then decodes all packed lists
// (one plugin per task). False when the walk of a top-level plugin fails.
bool prebuildScene(VrpScene& scene, std::vector<VrpPlugin*>& orderedPlugins);

}  // namespace cvimp
