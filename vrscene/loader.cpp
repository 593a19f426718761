#include "vrscene/loader.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>
#include <unordered_set>

#include "vrscene/diagnostics.h"
#include "vrscene/packed.h"
#include "vrscene/parallel.h"
#include "vrscene/readers.h"

namespace cvimp {

namespace {

struct PendingInclude {
  std::string name;
  DefinitionPath basePath;
};

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

void includeFile(VrpScene& scene, IncludeSet& includes, const PendingInclude& include,
                 const SearchDirectories& searchDirectories, bool quiet, std::atomic<std::int32_t>& ok) {
  if (ok.load() == 0) return;  // an earlier include of the same file failed
  {
    std::lock_guard<std::mutex> guard(includes.includeLock);
    if (!includes.includedNames.insert(include.name).second) return;
    if (!quiet) vrpPrint("Including %s\n", include.name.c_str());
  }
  try {
    std::string bytes;
    if (include.basePath.size() > kMaxIncludeDepth || !readSceneFile(include.name, searchDirectories, bytes)) {
      vrpPrint("[VRP] ERROR: Cannot include %s\n", include.name.c_str());
      ok.exchange(0);
      return;
    }
    if (parseSceneText(scene, includes, std::move(bytes), searchDirectories, include.basePath, quiet)) return;
  } catch (const std::bad_alloc&) {
  }
  vrpPrint("[VRP] ERROR: Cannot parse include %s\n", include.name.c_str());
  ok.exchange(0);
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
  PrebuildWalk(VrpScene& scene, std::vector<VrpPlugin*>& ordered) : scene(scene), ordered(ordered) {}

  // Visits a plugin reached at the top level; false when its own walk fails.
  bool visitTopLevel(VrpPlugin& root) {
    if (!visited.insert(&root).second) return true;
    stack.push_back({&root, collectPlugin(root), 0});
    while (!stack.empty()) {
      Frame& frame = stack.back();
      if (frame.next == frame.events.size()) {
        ordered.push_back(frame.plugin);
        stack.pop_back();
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
          stack.pop_back();
          if (stack.empty()) return false;
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
      target = scene.findPlugin(selector->plugin);
      if (target == nullptr) {
        vrpPrint("[WARNING] Cannot find parser plugin: %s : %s\n", selector->plugin.c_str(),
                 selector->attribute.c_str());
        return;
      }
    } else {
      const std::string& name = reference.identifier()->name;
      target = scene.findPlugin(name);
      if (target == nullptr) {
        vrpPrint("[WARNING] Cannot find parser plugin: %s\n", name.c_str());
        return;
      }
    }
    if (visited.insert(target).second) stack.push_back({target, collectPlugin(*target), 0});
  }

  VrpScene& scene;
  std::vector<VrpPlugin*>& ordered;
  std::unordered_set<const VrpPlugin*> visited;
  std::vector<Frame> stack;
};

void decodePlugin(VrpPlugin& plugin, const VrpScene& scene) {
  for (const auto& attribute : plugin.attributes()) {
    VrpValue& value = attribute->value;
    if (value.type() > 5) {
      printUnknownValueType(value.type());
    } else if (value.holds(ValueType::Function)) {
      decodeLists(value, &scene);
    }
  }
}

}  // namespace

bool loadScene(const std::string& fileName, VrpScene& scene, const SearchDirectories& searchDirectories, bool quiet) {
  try {
    std::string bytes;
    if (!readSceneFile(fileName, searchDirectories, bytes)) return false;
    IncludeSet includes;  // the main file's own name is never claimed
    return parseSceneText(scene, includes, std::move(bytes), searchDirectories, DefinitionPath{0}, quiet);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool readSceneFile(const std::string& fileName, const SearchDirectories& searchDirectories, std::string& bytes) {
  const std::string path = resolveFile(fileName, searchDirectories);
  if (path.empty()) return false;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  if (fseeko(file.get(), 0, SEEK_END) != 0) return false;
  const off_t size = ftello(file.get());
  if (size < 0 || fseeko(file.get(), 0, SEEK_SET) != 0) return false;
  bytes.assign(static_cast<std::size_t>(size), '\0');
  // A short read leaves the remaining bytes zero.
  const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
  (void)got;
  return true;
}

bool parseSceneText(VrpScene& scene, IncludeSet& includes, std::string text, const SearchDirectories& searchDirectories,
                    const DefinitionPath& basePath, bool quiet) {
  // The scene keeps the text: string values are views into it.
  const std::string_view kept = scene.keepText(std::move(text));
  TextCursor cursor(kept);
  std::vector<PendingInclude> pending;

  for (std::uint64_t statement = 0; !kept.empty(); ++statement) {
    if (readComment(cursor)) {
      // discarded
    } else if (auto name = readInclude(cursor)) {
      pending.push_back({std::string(*name), basePath.appended(statement)});
    } else {
      std::unique_ptr<VrpPlugin> plugin = readPluginBlock(cursor, scene, basePath, statement);
      if (!plugin) return false;  // plugins read so far stay; includes are not processed
      if (!plugin->name.empty()) scene.addPlugin(std::move(plugin));
    }
    skipWhitespace(cursor);
    if (cursor.atEnd()) break;
  }

  // Includes start after all of this file's statements, so their plugins are
  // always inserted after this file's; definition paths restore document
  // order where a plugin is defined more than once.
  std::atomic<std::int32_t> ok{1};
  parallelFor(pending.size(), [&](std::size_t i) {
    includeFile(scene, includes, pending[i], searchDirectories, quiet, ok);
  });
  return true;
}

bool prebuildScene(VrpScene& scene, std::vector<VrpPlugin*>& orderedPlugins) {
  try {
    // Top-level plugins are taken in document order, so the listing does not
    // depend on hashing or on which include finished first.
    PrebuildWalk walk(scene, orderedPlugins);
    for (VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
      if (!walk.visitTopLevel(*plugin)) return false;
    }
    parallelFor(orderedPlugins.size(), [&](std::size_t i) { decodePlugin(*orderedPlugins[i], scene); });
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace cvimp
