#include "vrscene/loader.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "platform/platform.h"
#include "vrscene/diagnostics.h"
#include "vrscene/early_decoding.h"
#include "vrscene/packed.h"
#include "vrscene/readers.h"
#include "vrscene/statement_scan.h"

namespace cvimp {

// One file as read: its plugins with paths relative to the file, and its
// include statements.
struct ParsedFile {
  struct Include {
    std::string name;
    std::uint64_t statement = 0;
    bool attempted = false;  // false when skipped after an earlier include of the file failed
  };
  std::vector<std::unique_ptr<VrpPlugin>> plugins;
  std::vector<std::unique_ptr<VrpPlugin>> unnamedSettings;
  std::vector<Include> includes;
  // This file's folder (when it was read from one), then the folders of the
  // files that include it: where its includes from another machine are looked for.
  std::vector<std::string> folders;
  bool hasFolder = false;
};

IncludeSet::IncludeSet() = default;
IncludeSet::~IncludeSet() = default;

namespace {

struct LoadContext {
  VrpScene& scene;
  IncludeSet& includes;
  const SearchDirectories& searchDirectories;
  bool quiet;
};

bool parseFile(LoadContext& load, ParsedFile& file, SceneText text, std::size_t depth);

// The folder of the file read from `path`, before the folders of its includers.
void setFolders(ParsedFile& file, const std::string& path, const std::vector<std::string>& outer) {
  file.folders.clear();
  if (!path.empty()) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(platform::pathFromUtf8(path), error);
    file.folders.push_back(platform::utf8FromPath((error ? platform::pathFromUtf8(path) : absolute).parent_path()));
    file.hasFolder = true;
  }
  file.folders.insert(file.folders.end(), outer.begin(), outer.end());
}

void includeFile(LoadContext& load, const ParsedFile& includer, ParsedFile::Include& include, std::size_t depth,
                 std::atomic<std::int32_t>& ok) {
  if (ok.load() == 0) return;  // an earlier include of the same file failed
  include.attempted = true;
  {
    std::lock_guard<std::mutex> guard(load.includes.includeLock);
    if (!load.includes.includedNames.insert(include.name).second) return;
    if (!load.quiet) vrpPrint("Including %s\n", include.name.c_str());
  }
  try {
    SceneText bytes;
    if (depth >= kMaxIncludeDepth || !readSceneFile(include.name, load.searchDirectories, bytes, includer.folders)) {
      vrpPrint("[VRP] ERROR: Cannot include %s\n", include.name.c_str());
      ok.exchange(0);
      return;
    }
    auto file = std::make_unique<ParsedFile>();
    setFolders(*file, bytes.path, includer.folders);
    const bool parsed = parseFile(load, *file, std::move(bytes), depth);
    {
      std::lock_guard<std::mutex> guard(load.includes.includeLock);
      load.includes.parsedFiles[include.name] = std::move(file);
    }
    if (parsed) return;
  } catch (const std::bad_alloc&) {
  }
  vrpPrint("[VRP] ERROR: Cannot parse include %s\n", include.name.c_str());
  ok.exchange(0);
}

// The statements of a file, or of a piece of it, as read.
struct StatementsRead {
  std::vector<std::unique_ptr<VrpPlugin>> plugins;
  std::vector<std::unique_ptr<VrpPlugin>> unnamedSettings;
  std::vector<ParsedFile::Include> includes;
  bool ok = true;
  bool endedWithBlock = false;  // its last statement a plugin block
  std::uint64_t statements = 0;
  const char* stop = nullptr;  // where reading stopped
  std::string printed;         // what a piece read ahead of its turn printed
};

// A file's name as reported and its whole text (after a byte-order mark),
// against which lines and columns are counted.
struct FileText {
  std::string_view name;
  std::string_view text;
};

// Reads statements from the cursor to the end of its text, numbering them
// from `first`, until one fails, which is reported with its place in the
// file. The text holds at least one byte.
void readStatements(LoadContext& load, const FileText& file, TextCursor cursor, std::uint64_t first,
                    StatementsRead& read) {
  const DefinitionPath relative;
  // Packed lists start inflating on other threads while the text is read.
  EarlyDecoder decoder;
  std::uint64_t statement = first;
  while (true) {
    bool block = false;
    if (readComment(cursor)) {
      // discarded
    } else if (auto name = readInclude(cursor)) {
      read.includes.push_back({std::string(*name), statement, false});
    } else {
      ReadFailure failure;
      std::unique_ptr<VrpPlugin> plugin = readPluginBlock(cursor, load.scene, relative, statement, &failure);
      if (!plugin) {
        printReadFailure(file.name, file.text, failure.at, failure.expected);
        read.ok = false;
        break;
      }
      block = true;
      if (!plugin->name.empty()) {
        decoder.add(*plugin);
        read.plugins.push_back(std::move(plugin));
      } else if (plugin->type.starts_with("Settings")) {
        read.unnamedSettings.push_back(std::move(plugin));
      }
    }
    ++statement;
    read.endedWithBlock = block;
    skipWhitespace(cursor);
    if (cursor.atEnd()) break;
  }
  read.statements = statement - first;
  read.stop = cursor.next;
  decoder.finish();
}

void keep(ParsedFile& file, StatementsRead& read) {
  for (auto& plugin : read.plugins) file.plugins.push_back(std::move(plugin));
  for (auto& block : read.unnamedSettings) file.unnamedSettings.push_back(std::move(block));
  for (auto& include : read.includes) file.includes.push_back(std::move(include));
}

// A large text in pieces, one per thread at a time, cut where a quick pass
// over the syntax finds plugin blocks ending. Each piece prints into a
// buffer; pieces are then taken in order as long as each ended exactly where
// the next begins, after a block, with the number of statements the pass
// counted (so the next piece began where a reading on one thread would
// have). From the first piece that did not, the rest of the text is read on
// this thread. False when a statement fails.
bool readInPieces(LoadContext& load, ParsedFile& file, const FileText& whole, const std::vector<TextCut>& cuts) {
  const std::string_view text = whole.text;
  const std::size_t count = cuts.size();
  std::vector<StatementsRead> pieces(count);
  auto pieceEnd = [&](std::size_t i) { return i + 1 < count ? cuts[i + 1].offset : text.size(); };
  platform::parallelFor(count, [&](std::size_t i) {
    platform::isolated([&] {
      DiagnosticCapture capture(pieces[i].printed);
      const std::string_view piece = text.substr(cuts[i].offset, pieceEnd(i) - cuts[i].offset);
      readStatements(load, whole, TextCursor(piece), cuts[i].statement, pieces[i]);
    });
  });
  for (std::size_t i = 0; i < count; ++i) {
    StatementsRead& piece = pieces[i];
    const bool last = i + 1 == count;
    const bool confirmed = last || (piece.ok && piece.endedWithBlock && piece.stop == text.data() + pieceEnd(i) &&
                                    piece.statements == cuts[i + 1].statement - cuts[i].statement);
    if (!confirmed) {
      StatementsRead rest;
      readStatements(load, whole, TextCursor(text.substr(cuts[i].offset)), cuts[i].statement, rest);
      keep(file, rest);
      return rest.ok;
    }
    if (!piece.printed.empty()) vrpPrint("%s", piece.printed.c_str());
    keep(file, piece);
    if (!piece.ok) return false;
  }
  return true;
}

std::atomic<std::size_t> splitSetting{kDefaultSplitBytes};

// Reads one file's statements, then its includes (several at a time).
// False when a statement fails: the plugins read so far are kept, the
// file's includes are not processed.
bool parseFile(LoadContext& load, ParsedFile& file, SceneText text, std::size_t depth) {
  // The scene keeps the text: string values are views into it.
  std::string_view kept = load.scene.keepText(std::move(text.bytes), text.length);
  // Editors on Windows may start a UTF-8 file with a byte-order mark.
  if (kept.starts_with("\xEF\xBB\xBF")) kept.remove_prefix(3);
  // A text given as a string has no folder; diagnostics call it "<text>".
  const FileText whole{text.path.empty() ? std::string_view("<text>") : std::string_view(text.path), kept};
  if (!kept.empty()) {
    const std::size_t split = splitSetting.load();
    std::vector<TextCut> cuts{{0, 0}};
    if (split != 0 && kept.size() >= split) {
      const std::size_t threads = std::max(2u, std::thread::hardware_concurrency());
      cuts = findCuts(kept, std::max(split, kept.size() / (4 * threads)));
    }
    if (cuts.size() > 1) {
      if (!readInPieces(load, file, whole, cuts)) return false;
    } else {
      StatementsRead read;
      readStatements(load, whole, TextCursor(kept), 0, read);
      keep(file, read);
      if (!read.ok) return false;
    }
  }

  // Includes start after all of this file's statements are read.
  std::atomic<std::int32_t> ok{1};
  platform::parallelFor(file.includes.size(),
                        [&](std::size_t i) { includeFile(load, file, file.includes[i], depth + 1, ok); });
  return true;
}

// Inserts the plugins of a file read at the root of `basePath` and of every
// file it includes. Each included file is placed at its first include
// statement in document order, wherever it was read from, so the document is
// the one a single thread reading in order would build.
void placeFiles(LoadContext& load, ParsedFile& root, const DefinitionPath& basePath) {
  struct Frame {
    ParsedFile* file;
    DefinitionPath base;
    std::size_t nextInclude;
  };
  std::unordered_set<std::string> placed;
  std::vector<Frame> stack;
  auto place = [&](ParsedFile& file, DefinitionPath base) {
    for (std::unique_ptr<VrpPlugin>& plugin : file.plugins) {
      plugin->rebase(base);
      load.scene.addPlugin(std::move(plugin));
    }
    file.plugins.clear();
    for (std::unique_ptr<VrpPlugin>& block : file.unnamedSettings) {
      block->rebase(base);
      load.scene.keepUnnamedSettings(std::move(block));
    }
    file.unnamedSettings.clear();
    if (file.hasFolder) load.scene.addSourceFolder(base, file.folders.front());
    stack.push_back({&file, std::move(base), 0});
  };
  place(root, basePath);
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.nextInclude == frame.file->includes.size()) {
      stack.pop_back();
      continue;
    }
    const ParsedFile::Include& include = frame.file->includes[frame.nextInclude++];
    if (!include.attempted || !placed.insert(include.name).second) continue;
    auto found = load.includes.parsedFiles.find(include.name);
    if (found == load.includes.parsedFiles.end() || !found->second) continue;
    DefinitionPath base = frame.base.appended(include.statement);
    place(*found->second, std::move(base));
  }
}

// ---- prebuild walk ----
//
// The walk is depth-first over plugin references. Each plugin's own values
// are first flattened into the events the walk meets in order (references,
// bad values, the point where its walk fails); plugins then go on an explicit
// stack, so a long chain of references cannot exhaust the call stack.

struct WalkEvent {
  enum Kind { Reference, BadValue, Fail } kind;
  const VrpValue* value;
};

bool collectFunction(const VrpFunction& function, std::vector<WalkEvent>& events, int depth);

bool collectElement(const VrpValue& value, std::vector<WalkEvent>& events, int depth) {
  switch (value.type()) {
    case 0:
    case 2:
      events.push_back({WalkEvent::Reference, &value});
      return true;
    case 1:
      return collectFunction(*value.function(), events, depth + 1);
    case 3:
    case 4:
    case 5:
      return true;
    default:
      events.push_back({WalkEvent::BadValue, &value});
      return false;
  }
}

// References are followed through "List" elements and the payload of the
// first key of an "interpolate" form, nowhere else.
bool collectFunction(const VrpFunction& function, std::vector<WalkEvent>& events, int depth) {
  if (depth >= kMaxValueDepth) return false;
  if (function.name == "interpolate") {
    if (function.values.empty()) return true;
    const VrpFunction* key = function.values[0].function();
    if (key == nullptr || key->values.size() != 2) return false;
    collectElement(key->values[1], events, depth);  // its failure does not fail the plugin
    return true;
  }
  if (function.name == "List") {
    for (const VrpValue& element : function.values) {
      if (!collectElement(element, events, depth)) return false;
    }
  }
  return true;
}

std::vector<WalkEvent> collectPlugin(const VrpPlugin& plugin) {
  std::vector<WalkEvent> events;
  for (const auto& attribute : plugin.attributes()) {
    const VrpValue& value = attribute->value;
    switch (value.type()) {
      case 0:
      case 2:
        events.push_back({WalkEvent::Reference, &value});
        break;
      case 1:
        if (!collectFunction(*value.function(), events, 0)) {
          events.push_back({WalkEvent::Fail, nullptr});
          return events;
        }
        break;
      case 3:
      case 4:
      case 5:
        break;
      default:
        events.push_back({WalkEvent::BadValue, &value});
        events.push_back({WalkEvent::Fail, nullptr});
        return events;
    }
  }
  return events;
}

class PrebuildWalk {
 public:
  PrebuildWalk(VrpScene& scene, std::vector<VrpPlugin*>& ordered) : scene_(scene), ordered_(ordered) {}

  // Visits a plugin reached at the top level; false when its own walk fails.
  bool visitTopLevel(VrpPlugin& root) {
    if (!visited_.insert(&root).second) return true;
    stack_.push_back({&root, collectPlugin(root), 0});
    while (!stack_.empty()) {
      Frame& frame = stack_.back();
      if (frame.next == frame.events.size()) {
        ordered_.push_back(frame.plugin);
        stack_.pop_back();
        continue;
      }
      const WalkEvent event = frame.events[frame.next++];
      switch (event.kind) {
        case WalkEvent::Reference:
          follow(*event.value);
          break;
        case WalkEvent::BadValue:
          printUnknownValueType(event.value->type());
          break;
        case WalkEvent::Fail:
          // A plugin whose walk fails is never listed; reached through a
          // reference, its failure is ignored by the referrer.
          stack_.pop_back();
          if (stack_.empty()) return false;
          break;
      }
    }
    return true;
  }

 private:
  struct Frame {
    VrpPlugin* plugin;
    std::vector<WalkEvent> events;
    std::size_t next;
  };

  void follow(const VrpValue& reference) {
    VrpPlugin* target = nullptr;
    if (const VrpAttributeSelector* selector = reference.selector()) {
      target = scene_.findPlugin(selector->plugin);
      if (target == nullptr) {
        vrpPrint("[WARNING] Cannot find parser plugin: %s : %s\n", selector->plugin.c_str(),
                 selector->attribute.c_str());
        return;
      }
    } else {
      const std::string& name = reference.identifier()->name;
      target = scene_.findPlugin(name);
      if (target == nullptr) {
        vrpPrint("[WARNING] Cannot find parser plugin: %s\n", name.c_str());
        return;
      }
    }
    if (visited_.insert(target).second) stack_.push_back({target, collectPlugin(*target), 0});
  }

  VrpScene& scene_;
  std::vector<VrpPlugin*>& ordered_;
  std::unordered_set<const VrpPlugin*> visited_;
  std::vector<Frame> stack_;
};

void decodePlugin(VrpPlugin& plugin, const VrpScene& scene) {
  for (const auto& attribute : plugin.attributes()) {
    VrpValue& value = attribute->value;
    if (value.type() > 5) {
      printUnknownValueType(value.type());
    } else if (value.holds(ValueType::Function)) {
      decodeLists(value, &scene, {&plugin, attribute->name});
    }
  }
}

}  // namespace

void setSplitBytes(std::size_t bytes) { splitSetting.store(bytes); }

std::size_t splitBytes() { return splitSetting.load(); }

bool loadScene(const std::string& fileName, VrpScene& scene, const SearchDirectories& searchDirectories, bool quiet) {
  try {
    SceneText bytes;
    if (!readSceneFile(fileName, searchDirectories, bytes)) return false;
    IncludeSet includes;  // the main file's own name is never claimed
    return parseSceneText(scene, includes, std::move(bytes), searchDirectories, DefinitionPath{0}, quiet);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool readSceneFile(const std::string& fileName, const SearchDirectories& searchDirectories, SceneText& text,
                   const std::vector<std::string>& nearFolders) {
  std::string path = resolveFile(fileName, searchDirectories);
  if (path.empty()) path = resolveByTails(fileName, nearFolders, searchDirectories);
  if (path.empty()) return false;
  const platform::File file = platform::openFile(path, "rb");
  if (!file) return false;
  const std::optional<std::uint64_t> size = platform::fileSize(file.get());
  if (!size || *size >= SIZE_MAX) return false;
  const auto length = static_cast<std::size_t>(*size);
  // Read straight into the block the scene keeps; no zero-fill first.
  platform::ByteBlock bytes(length + 1);
  // Fewer bytes than the file's size is a failed read, not a shorter text.
  if (std::fread(bytes.data(), 1, length, file.get()) != length) return false;
  bytes.data()[length] = 0;
  text = {std::move(bytes), length, path};
  return true;
}

bool parseSceneText(VrpScene& scene, IncludeSet& includes, std::string text, const SearchDirectories& searchDirectories,
                    const DefinitionPath& basePath, bool quiet) {
  SceneText copy{platform::ByteBlock(text.size() + 1), text.size(), {}};
  std::memcpy(copy.bytes.data(), text.data(), text.size());
  copy.bytes.data()[text.size()] = 0;
  return parseSceneText(scene, includes, std::move(copy), searchDirectories, basePath, quiet);
}

bool parseSceneText(VrpScene& scene, IncludeSet& includes, SceneText text, const SearchDirectories& searchDirectories,
                    const DefinitionPath& basePath, bool quiet) {
  LoadContext load{scene, includes, searchDirectories, quiet};
  ParsedFile root;
  setFolders(root, text.path, {});
  const std::size_t depth = basePath.empty() ? 0 : basePath.size() - 1;
  const bool parsed = parseFile(load, root, std::move(text), depth);
  placeFiles(load, root, basePath);
  return parsed;
}

bool prebuildScene(VrpScene& scene, std::vector<VrpPlugin*>& orderedPlugins) {
  try {
    // Top-level plugins are taken in document order, so the listing does not
    // depend on hashing or on which include finished first.
    const std::vector<VrpPlugin*> plugins = scene.pluginsInDocumentOrder();
    // Lists decoded ahead that this prebuild does not take are not kept.
    struct DropEarly {
      const std::vector<VrpPlugin*>& plugins;
      ~DropEarly() {
        platform::parallelFor(plugins.size(), [&](std::size_t i) { dropEarlyLists(*plugins[i]); });
      }
    } dropEarly{plugins};
    PrebuildWalk walk(scene, orderedPlugins);
    for (VrpPlugin* plugin : plugins) {
      if (!walk.visitTopLevel(*plugin)) return false;
    }
    platform::parallelFor(orderedPlugins.size(), [&](std::size_t i) { decodePlugin(*orderedPlugins[i], scene); });
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace cvimp
