#pragma once
// Where the files a scene names are looked for.
#include <string>

#include "vrscene/file_lookup.h"

namespace cvimp {

// The scene file's parent directory, its root path (empty for a relative
// path), and the current working directory (empty when it cannot be read).
SearchDirectories buildSearchDirectories(const std::string& scenePath);

}  // namespace cvimp
