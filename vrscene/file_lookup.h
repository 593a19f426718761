#pragma once
// Finding files named in a scene: as written, then inside each search
// directory in order. Paths are UTF-8; a name from the scene that is not
// (a legacy code page's bytes) is looked for as package extraction names
// its file (platform::fileNameFromBytes).
#include <string>
#include <string_view>
#include <vector>

namespace cvimp {

using SearchDirectories = std::vector<std::string>;

// True when the path exists and, following symbolic links, is a regular file.
bool isExistingFile(const std::string& path);

// Joins with exactly one separator (slash or backslash) where the two meet.
std::string joinPath(std::string_view directory, std::string_view name);

// The name itself when it is an existing file (relative to the working
// directory), else the first directory/name that is; empty when none is.
// Empty directories are skipped. The path found holds the name as
// fileNameFromBytes gives it (or, on POSIX, failing that, as written).
std::string resolveFile(const std::string& name, const SearchDirectories& directories);

}  // namespace cvimp
