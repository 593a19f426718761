#pragma once
// The project's layering as data, and the check of a source tree against it:
// quoted includes and CMake links may only point to components the including
// one may use, facade headers hide the rest of a component, platform
// headers and GUI libraries stay in the folders allowed to touch them, and
// what the build without the GUI makes links no GUI library at all.
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace cvimp::layers {

struct Component {
  std::string name;
  std::string prefix;  // relative to the root, e.g. "host/gui/"
  std::vector<int> mayUse;
  std::vector<std::string> publicHeaders;  // empty: every header may be included
  std::vector<int> seesInside;             // components whose private headers it may include too
};

struct Rules {
  std::vector<Component> components;  // in rank order, lowest first
  std::vector<std::string> platformHeaders;
  std::vector<std::string> platformHeaderOk;
  std::vector<std::string> guiLibraries;
  std::vector<std::string> guiLibraryOk;
  // The CMake condition (as in if(CVIMP_GUI)) outside of which nothing may
  // reach a GUI library, through any chain of links; empty: not checked.
  std::string guiBuildCondition;

  // Index of the component with the longest prefix of `path`, or -1.
  int componentOf(std::string_view path) const;
  bool mayUse(int user, int used) const;
};

struct Violation {
  std::string file;  // relative to the root
  int line = 0;
  std::string message;
};

struct Report {
  std::size_t files = 0;
  std::size_t includes = 0;
  std::size_t links = 0;
  std::vector<Violation> violations;  // sorted by file and line
};

// Parses the rules text; on failure `error` names the line at fault.
bool parseRules(std::string_view text, Rules& rules, std::string& error);
bool loadRules(const std::filesystem::path& file, Rules& rules, std::string& error);

// Checks every source file and CMakeLists.txt under `root` that belongs to a component.
bool checkTree(const std::filesystem::path& root, const Rules& rules, Report& report, std::string& error);

// "path:line: message"
std::string formatViolation(const Violation& violation);

// The components bottom-up, one a line, with what each may use.
std::string describeLayers(const Rules& rules);

}  // namespace cvimp::layers
