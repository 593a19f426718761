#pragma once
// Helpers shared by the test suites: parsing a text into a scene, capturing
// the parser's standard output, and temporary directories with files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <utility>

#include "platform/platform.h"
#include "tests/vrscene/vrscene_internals.h"

namespace cvimp {
// Readable paths in assertion messages.
inline void PrintTo(const DefinitionPath& path, std::ostream* os) {
  *os << "[";
  for (std::size_t i = 0; i < path.size(); ++i) *os << (i ? ", " : "") << path[i];
  *os << "]";
}
}  // namespace cvimp

namespace cvimp::test {

// Runs `body` and returns what it printed on standard output.
template <typename Body>
std::string captureStdout(Body&& body) {
  std::fflush(stdout);
  testing::internal::CaptureStdout();
  std::forward<Body>(body)();
  std::fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// Parses `text` as the main file of `scene` (no includes are found).
inline bool parseText(VrpScene& scene, std::string text) {
  IncludeSet includes;
  return parseSceneText(scene, includes, std::move(text), {}, DefinitionPath{0}, true);
}

// Parses `text` into a fresh scene that the test then inspects.
struct ParsedScene {
  explicit ParsedScene(std::string text) { ok = parseText(scene, std::move(text)); }
  const VrpPlugin& plugin(std::string_view name) const {
    const VrpPlugin* found = scene.findPlugin(name);
    if (found == nullptr) throw std::runtime_error("no plugin " + std::string(name));
    return *found;
  }
  const VrpValue& value(std::string_view plugin, std::string_view attribute) const {
    const VrpValue* found = this->plugin(plugin).findAttribute(attribute);
    if (found == nullptr) throw std::runtime_error("no attribute " + std::string(attribute));
    return *found;
  }
  VrpScene scene;
  bool ok = false;
};

// The whole content of a file; empty when it cannot be read. A name given
// as a string is UTF-8 (a path made from it directly would read it in the
// code page on Windows).
std::string readFile(const std::filesystem::path& path);
std::string readFile(const std::string& path);
// Writes `contents` to `path`, creating its folders; throws when it cannot.
void writeFile(const std::filesystem::path& path, const std::string& contents);

// The sample design at `sample` copied into `folder` as a Windows user may
// have it: its scene named `sceneName` (UTF-8), Windows line ends, and the
// oak texture named 木纹.png. Gives the scene's path (UTF-8).
std::string copySampleDesign(const std::string& sample, const std::filesystem::path& folder,
                             const std::string& sceneName);

// Sets (or, with null, removes) an environment variable for one scope and
// restores what the test found afterwards.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    saved_ = platform::environmentVariable(name);
    platform::setEnvironmentVariable(name, value);
  }
  ~ScopedEnv() {
    platform::setEnvironmentVariable(name_, saved_ ? saved_->c_str() : nullptr);
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return root; }
  std::string str() const;  // UTF-8
  // Writes `contents` to `relative` (creating folders) and returns the full path.
  std::string write(const std::string& relative, const std::string& contents) const;

 private:
  std::filesystem::path root;
};

}  // namespace cvimp::test
