#pragma once
// The targets and links of the project's CMake files, read without running
// CMake, with what the build without the GUI makes of them: that build
// skips the branches of if(<GUI condition>) and the folders only they add.
#include <map>
#include <string>
#include <vector>

namespace cvimp::layers {

struct CMakeFile {
  std::string path;    // relative to the root, e.g. "host/CMakeLists.txt"
  int component = -1;  // -1 for a file outside every component, such as the top level's
  std::string text;
};

struct CMakeLink {
  std::string owner;  // the target linking, as written: "${name}" inside a function
  std::string item;   // as written, looked for inside generator expressions too; "${VAR}" for a variable
  std::string file;
  int line = 0;
  int component = -1;
  bool guiOnly = false;      // made only when the GUI condition holds
  bool viaFunction = false;  // made by a call of a function that links its first argument
};

struct CMakeTarget {
  int component = -1;       // of its first definition
  bool withoutGui = false;  // defined where the build without the GUI goes too
};

struct CMakeBuild {
  std::map<std::string, CMakeTarget> targets;
  std::vector<CMakeLink> links;  // in file order
};

// Reads `files` (sorted by path, comments and all). A file no other adds
// with add_subdirectory is a starting point of the build. With an empty
// `guiCondition` nothing is GUI-only.
CMakeBuild readCMakeBuild(std::vector<CMakeFile> files, const std::string& guiCondition);

}  // namespace cvimp::layers
