#pragma once
// Finding a bitmap named in a scene exported on the render farm: as written,
// in the search directories, then with each known farm prefix cut off.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "vrscene/vrscene.h"

namespace cvimp {

// Tried in this order, byte-exact, wherever they occur in the name.
inline constexpr std::array<std::string_view, 7> renderFarmPrefixes = {
    "Z:/vela/data/render/Vray/",
    "Z://vela/data/cirrodata/vrscene/../../render/Vray/",
    "Z://vela/data/",
    "/vela/data/",
    "/vela/data/cirrodata/",
    "../../../",
    "../../../cirrodata",
};

// The local file for a bitmap name, or an empty string.
std::string resolveBitmapFile(const std::string& name, const SearchDirectories& directories);

// The names resolveBitmapFile looks up for `name` (each as written and in
// every search directory), in its order: `name`, then what follows each farm
// prefix found in it.
std::vector<std::string> bitmapNamesTried(const std::string& name);

}  // namespace cvimp
