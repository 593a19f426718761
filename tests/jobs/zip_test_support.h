#pragma once
// Real zip archives for tests, written with libzip: plain or encrypted with
// the traditional zip encryption, and the offsets needed to damage them on
// purpose.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cvimp::test {

struct ZipEntry {
  std::string name;   // as stored; a name ending with "/" is a folder entry (no bytes)
  std::string bytes;  // the entry's content
  bool compress = true;  // deflated, else stored
};

// The bytes of an archive holding `entries` in order. With a password every
// entry except folder entries is encrypted with it. Throws when libzip
// refuses.
std::string zipBytes(const std::vector<ZipEntry>& entries, const std::optional<std::string>& password = std::nullopt);

// Writes zipBytes(entries, password) to `path`, creating its folder.
void makeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries,
             const std::optional<std::string>& password = std::nullopt);

// An entry as another producer writes it, byte for byte: stored, its name
// any bytes (backslashes, a legacy code page, repeated), made on `system`
// (0 MS-DOS as on Windows, 3 Unix) with these external attributes.
struct RawZipEntry {
  std::string name;
  std::string bytes;
  std::uint8_t system = 0;
  std::uint32_t externalAttributes = 0;
};

// The bytes of an archive holding `entries` in order, written without
// libzip, which refuses repeated names.
std::string rawZipBytes(const std::vector<RawZipEntry>& entries);

// Where an entry lies in an archive's bytes.
struct ZipRecord {
  std::string name;
  std::size_t centralOffset = 0;  // its central directory header
  std::size_t dataOffset = 0;     // its data (after the local header; encrypted data includes the 12-byte header)
  std::uint16_t method = 0;       // 0 stored, 8 deflated
  std::uint32_t compressedSize = 0;
  std::uint32_t size = 0;
};

// The entries of an archive without 64-bit records, in central directory
// order. Throws on bytes that do not parse.
std::vector<ZipRecord> zipRecords(const std::string& archive);

// Changes the sizes the central directory declares for `record`.
void setCentralSizes(std::string& archive, const ZipRecord& record, std::uint32_t compressedSize, std::uint32_t size);

std::string readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace cvimp::test
