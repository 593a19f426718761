#include "materials/bitmap_file.h"

namespace cvimp {

std::string resolveBitmapFile(const std::string& name, const SearchDirectories& directories) {
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
  return {};
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

}  // namespace cvimp
