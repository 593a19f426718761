#pragma once
// Inside the loader: the include set of one load, and reading and parsing
// one file's text (loadScene and prebuildScene are in vrscene.h).
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"
#include "vrscene/definition_path.h"
#include "vrscene/vrscene.h"

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

// A file's text: `length` bytes followed by a zero byte, and the path it was
// read from (named in diagnostics; empty for a text that was given).
struct SceneText {
  platform::ByteBlock bytes;
  std::size_t length = 0;
  std::string path;
};

// The whole file, found through resolveFile, or else, for an absolute name
// from another machine, through resolveByTails with `nearFolders`.
bool readSceneFile(const std::string& fileName, const SearchDirectories& searchDirectories, SceneText& text,
                   const std::vector<std::string>& nearFolders = {});

// Parses one file's text (kept by the scene) with the given base path, then
// processes its includes. False when a statement of this text fails. A text
// given as a string is named "<text>" in diagnostics.
bool parseSceneText(VrpScene& scene, IncludeSet& includes, SceneText text, const SearchDirectories& searchDirectories,
                    const DefinitionPath& basePath, bool quiet);
bool parseSceneText(VrpScene& scene, IncludeSet& includes, std::string text, const SearchDirectories& searchDirectories,
                    const DefinitionPath& basePath, bool quiet);

}  // namespace cvimp
