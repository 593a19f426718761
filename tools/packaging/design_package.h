#pragma once
// Design packages as the platform serves them: an inner "kmp.zip" holding
// the scene and its files, inside an outer zip whose entries are encrypted
// with the traditional zip encryption.
#include <optional>
#include <string>
#include <vector>

namespace cvimp::packaging {

struct ZipEntry {
  std::string name;   // forward slashes between folders
  std::string bytes;
};

// A zip archive of the entries (deflated), encrypted with `password` when
// one is given. Empty when the archive cannot be made.
std::string makeZip(const std::vector<ZipEntry>& entries, const std::optional<std::string>& password);

// The package of the design in `designFolder`: every file under it, with
// "NAME.jpg.png" stored back as "NAME.jpg" (the platform ships such PNG
// images under their ".jpg" name), zipped as "kmp.zip" inside an outer zip
// encrypted with `password`.
std::string makeDesignPackage(const std::string& designFolder, const std::string& password);

}  // namespace cvimp::packaging
