#pragma once
// Finding a bitmap named in a scene exported on the render farm: as written,
// in the search directories, then with each known farm prefix cut off; and
// one named by an absolute path of another machine, by the ends of that path
// near the scene.
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

// The local file for a bitmap name, or an empty string. `nearFolders` are
// those of the file that defines the bitmap and of its includers
// (VrpScene::foldersAround), for resolveByTails after the farm rule.
std::string resolveBitmapFile(const std::string& name, const SearchDirectories& directories,
                              const std::vector<std::string>& nearFolders = {});

// The names resolveBitmapFile looks up for `name` (each as written and in
// every search directory), in its order: `name`, then what follows each farm
// prefix found in it.
std::vector<std::string> bitmapNamesTried(const std::string& name);

// Every place resolveBitmapFile looks at for each of `names`, for a report:
// "tried A, B (as written and in D1, D2); by the path's end: T1, T2 in F1, F2".
std::string bitmapPlacesTried(const std::vector<std::string>& names, const SearchDirectories& directories,
                              const std::vector<std::string>& nearFolders);

}  // namespace cvimp
