#pragma once
// Unpacking every entry of a zip archive into a folder, optionally
// decrypting it (traditional zip encryption), with the host's
// "Preparing design..." progress.
#include <optional>
#include <string>

namespace cvimp {

// Writes each entry below `destination` (created as needed), streaming it
// in fixed-size chunks; a ".jpg" entry whose bytes are a PNG image is
// written as "<name>.jpg.png", and entries without bytes (folders, empty
// files) leave no file. With a password every entry is opened with it.
//
// False when the archive path or the folder is empty or the archive does
// not open, and when any entry fails (its name leads out of the folder, it
// does not open, read, decrypt or check out, or its file cannot be
// written); a failed entry leaves no partial file, and the other entries
// are written all the same.
bool extractArchive(const std::u16string& archivePath, const std::u16string& destination,
                    const std::optional<std::string>& password);

}  // namespace cvimp
