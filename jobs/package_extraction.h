#pragma once
// Unpacking every entry of a zip archive into a folder, optionally
// decrypting it (traditional zip encryption), with the host's
// "Preparing design..." progress.
#include <cstdint>
#include <optional>
#include <string>

#include "jobs/limits.h"

namespace cvimp {

// Writes each entry below `destination` (created as needed), streaming it
// in fixed-size chunks. Names are used as stored, byte for byte, with
// backslashes as folder separators; a ".jpg" entry whose bytes are a PNG
// image is written as "<name>.jpg.png"; entries without bytes (folders,
// empty files) leave no file; of entries with the same name the later one
// wins. With a password every entry is opened with it.
//
// False when the archive path or the folder is empty or the archive does
// not open; when the sizes the archive declares, added up, exceed what may
// be written (the settings below); and when any entry fails (its name leads
// out of the folder, it is a symbolic link, it does not open, read, decrypt
// or check out, or its file cannot be written). A failed entry leaves no
// partial file and the other entries are written all the same, except
// after a press of the host's cancel button or once the bytes written pass
// what may be written: the extraction then stops.
bool extractArchive(const std::u16string& archivePath, const std::u16string& destination,
                    const std::optional<std::string>& password);

// Internal settings, for tests: what one archive may write in total
// (CVIMP_MAX_PACKAGE_BYTES, default 64 GiB), and the space that must stay
// free on the destination's file system.
struct ExtractionSettings {
  std::uint64_t maxTotalBytes = byteLimitFromEnvironment("CVIMP_MAX_PACKAGE_BYTES", 64 * kGibibyte);
  std::uint64_t minFreeBytes = kGibibyte;
};
void setExtractionSettings(const ExtractionSettings& settings);
ExtractionSettings extractionSettings();

}  // namespace cvimp
