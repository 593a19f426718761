#include "materials/bitmap_file.h"

#include "materials/materials.h"

namespace cvimp {

namespace {

std::string joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

}  // namespace

std::string resolveBitmapFile(const std::string& name, const SearchDirectories& directories,
                              const std::vector<std::string>& nearFolders) {
  std::string found = resolveFile(name, directories);
  if (!found.empty()) return found;
  // The package keeps the farm's folder layout below some farm directory;
  // only the first occurrence of each prefix is tried.
  for (std::string_view prefix : renderFarmPrefixes) {
    const std::size_t at = name.find(prefix);
    if (at == std::string::npos) continue;
    found = resolveFile(name.substr(at + prefix.size()), directories);
    if (!found.empty()) return found;
  }
  // Exported on another machine: the file travels with the scene, often
  // with some of its folders (textures/...).
  return resolveByTails(name, nearFolders, directories);
}

std::string resolveSceneFile(const VrpPlugin& owner, const std::string& name, const SearchDirectories& directories,
                             std::string& tried) {
  const std::vector<std::string> near =
      owner.scene != nullptr ? owner.scene->foldersAround(owner.definitionPath) : std::vector<std::string>();
  std::string found = resolveBitmapFile(name, directories, near);
  if (found.empty()) tried = bitmapPlacesTried({name}, directories, near);
  return found;
}

std::vector<std::string> bitmapNamesTried(const std::string& name) {
  std::vector<std::string> names;
  if (name.empty()) return names;
  names.push_back(name);
  for (std::string_view prefix : renderFarmPrefixes) {
    const std::size_t at = name.find(prefix);
    if (at != std::string::npos) names.push_back(name.substr(at + prefix.size()));
  }
  return names;
}

std::string bitmapPlacesTried(const std::vector<std::string>& names, const SearchDirectories& directories,
                              const std::vector<std::string>& nearFolders) {
  std::vector<std::string> written;
  std::vector<std::string> tails;
  for (const std::string& name : names) {
    for (std::string& tried : bitmapNamesTried(name)) written.push_back(std::move(tried));
    for (std::string& tail : pathTails(name)) tails.push_back(std::move(tail));
  }
  std::vector<std::string> folders;
  for (const std::string& directory : directories) {
    if (!directory.empty()) folders.push_back(directory);
  }
  std::string text = "tried " + joined(written) + " (as written";
  text += folders.empty() ? ")" : " and in " + joined(folders) + ")";
  const std::vector<std::string> tailPlaces = tailFolders(nearFolders, directories);
  if (!tails.empty() && !tailPlaces.empty()) {
    text += "; by the path's end: " + joined(tails) + " in " + joined(tailPlaces);
  }
  return text;
}

}  // namespace cvimp
