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

// Names from another machine. True for a path absolute on some system:
// "C:\..." or "C:/...", "\\server\share\...", or "/...".
bool isAbsoluteAnywhere(std::string_view name);
// The ends of such a path, split on both separators and joined with "/",
// from the longest to the file name alone: "C:\p\maps\x.jpg" gives
// "p/maps/x.jpg", "maps/x.jpg", "x.jpg". The drive or the server and share
// are not part of them, and nothing before a ".." is. Empty for a name that
// is not absolute anywhere.
std::vector<std::string> pathTails(std::string_view name);
// The folders an absolute name from another machine is looked for in, in
// order: `nearFolders` (the folder of the file that names it, then those of
// the files that include that one), then the search directories without the
// working directory; each once, empty ones left out.
std::vector<std::string> tailFolders(const std::vector<std::string>& nearFolders, const SearchDirectories& directories);
// The first folder/tail that is an existing file, over tailFolders and, under
// each, pathTails from the longest; empty when none is. The working directory
// is searched only when it is one of `nearFolders`.
std::string resolveByTails(const std::string& name, const std::vector<std::string>& nearFolders,
                           const SearchDirectories& directories);

}  // namespace cvimp
