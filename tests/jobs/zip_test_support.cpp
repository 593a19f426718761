#include "tests/jobs/zip_test_support.h"

#include <zip.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "platform/platform.h"

namespace cvimp::test {
namespace {

struct ArchiveDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveDiscard>;

struct SourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using SourceHandle = std::unique_ptr<zip_source_t, SourceFree>;

struct SourceClose {
  void operator()(zip_source_t* source) const { zip_source_close(source); }
};
using OpenSource = std::unique_ptr<zip_source_t, SourceClose>;

[[noreturn]] void fail(const std::string& what, zip_t* archive) {
  throw std::runtime_error(what + ": " + (archive != nullptr ? zip_strerror(archive) : "libzip error"));
}

// An archive with no entries: libzip removes such an archive instead of
// writing it, so its end record is written here.
std::string emptyArchive() { return std::string("PK\x05\x06", 4) + std::string(18, '\0'); }

void addEntry(zip_t* archive, const ZipEntry& entry, const std::optional<std::string>& password) {
  if (!entry.name.empty() && entry.name.back() == '/') {
    if (!entry.bytes.empty()) throw std::runtime_error("folder entry with bytes: " + entry.name);
    if (zip_dir_add(archive, entry.name.c_str(), ZIP_FL_ENC_GUESS) < 0) fail("zip_dir_add " + entry.name, archive);
    return;
  }
  SourceHandle source(zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0));
  if (!source) fail("zip_source_buffer", archive);
  const zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source.get(), ZIP_FL_ENC_GUESS);
  if (index < 0) fail("zip_file_add " + entry.name, archive);
  source.release();  // the archive owns it now
  const auto at = static_cast<zip_uint64_t>(index);
  if (zip_set_file_compression(archive, at, entry.compress ? ZIP_CM_DEFLATE : ZIP_CM_STORE, 0) != 0) {
    fail("zip_set_file_compression", archive);
  }
  if (password && zip_file_set_encryption(archive, at, ZIP_EM_TRAD_PKWARE, password->c_str()) != 0) {
    fail("zip_file_set_encryption", archive);
  }
}

std::string readSource(zip_source_t* source) {
  if (zip_source_open(source) != 0) throw std::runtime_error("zip_source_open");
  const OpenSource open(source);
  std::string bytes;
  char buffer[4096];
  zip_int64_t count = 0;
  while ((count = zip_source_read(source, buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
  if (count < 0) throw std::runtime_error("zip_source_read");
  return bytes;
}

std::uint32_t le(const std::string& bytes, std::size_t offset, int width) {
  if (offset + static_cast<std::size_t>(width) > bytes.size()) throw std::runtime_error("zip record out of range");
  std::uint32_t value = 0;
  for (int i = width - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
  return value;
}

void putLe32(std::string& bytes, std::size_t offset, std::uint32_t value) {
  if (offset + 4 > bytes.size()) throw std::runtime_error("zip record out of range");
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

constexpr std::uint32_t kCentralSignature = 0x02014b50;
constexpr std::uint32_t kLocalSignature = 0x04034b50;

void appendLe(std::string& bytes, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::uint32_t crc32Of(const std::string& bytes) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (const char byte : bytes) {
    crc ^= static_cast<unsigned char>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

}  // namespace

std::string rawZipBytes(const std::vector<RawZipEntry>& entries) {
  std::string archive;
  std::string central;
  for (const RawZipEntry& entry : entries) {
    const auto offset = static_cast<std::uint32_t>(archive.size());
    const std::uint32_t crc = crc32Of(entry.bytes);
    const auto size = static_cast<std::uint32_t>(entry.bytes.size());
    const auto nameLength = static_cast<std::uint32_t>(entry.name.size());
    // Version 2.0, no flags, stored, a fixed time and date, then the CRC,
    // the sizes and the name's length.
    std::string common;
    appendLe(common, 20, 2);
    appendLe(common, 0, 2);
    appendLe(common, 0, 2);
    appendLe(common, 0, 2);
    appendLe(common, 0x5A21, 2);
    appendLe(common, crc, 4);
    appendLe(common, size, 4);
    appendLe(common, size, 4);
    appendLe(common, nameLength, 2);
    appendLe(common, 0, 2);  // no extra field

    appendLe(archive, kLocalSignature, 4);
    archive += common + entry.name + entry.bytes;

    appendLe(central, kCentralSignature, 4);
    appendLe(central, 20u | (static_cast<std::uint32_t>(entry.system) << 8), 2);  // made by
    central += common;
    appendLe(central, 0, 2);  // no comment
    appendLe(central, 0, 2);  // disk
    appendLe(central, 0, 2);  // internal attributes
    appendLe(central, entry.externalAttributes, 4);
    appendLe(central, offset, 4);
    central += entry.name;
  }
  const auto centralOffset = static_cast<std::uint32_t>(archive.size());
  archive += central;
  appendLe(archive, 0x06054b50u, 4);
  appendLe(archive, 0, 4);  // disks
  appendLe(archive, static_cast<std::uint32_t>(entries.size()), 2);
  appendLe(archive, static_cast<std::uint32_t>(entries.size()), 2);
  appendLe(archive, static_cast<std::uint32_t>(central.size()), 4);
  appendLe(archive, centralOffset, 4);
  appendLe(archive, 0, 2);  // no comment
  return archive;
}

std::string zipBytes(const std::vector<ZipEntry>& entries, const std::optional<std::string>& password) {
  if (entries.empty()) return emptyArchive();
  zip_error_t error;
  zip_error_init(&error);
  SourceHandle target(zip_source_buffer_create(nullptr, 0, 0, &error));
  zip_error_fini(&error);
  if (!target) throw std::runtime_error("zip_source_buffer_create");
  zip_error_init(&error);
  ArchiveHandle archive(zip_open_from_source(target.get(), ZIP_TRUNCATE, &error));
  zip_error_fini(&error);
  if (!archive) throw std::runtime_error("zip_open_from_source");
  // The archive takes a reference of its own; ours keeps the written bytes
  // readable after zip_close.
  zip_source_keep(target.get());
  for (const ZipEntry& entry : entries) addEntry(archive.get(), entry, password);
  if (zip_close(archive.get()) != 0) fail("zip_close", archive.get());
  archive.release();  // closed and freed
  return readSource(target.get());
}

void makeZip(const std::filesystem::path& path, const std::vector<ZipEntry>& entries,
             const std::optional<std::string>& password) {
  writeBytes(path, zipBytes(entries, password));
}

std::vector<ZipRecord> zipRecords(const std::string& archive) {
  const std::size_t end = archive.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos) throw std::runtime_error("no end of central directory");
  const std::uint32_t count = le(archive, end + 10, 2);
  std::size_t offset = le(archive, end + 16, 4);
  std::vector<ZipRecord> records;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (le(archive, offset, 4) != kCentralSignature) throw std::runtime_error("bad central directory header");
    ZipRecord record;
    record.centralOffset = offset;
    record.method = static_cast<std::uint16_t>(le(archive, offset + 10, 2));
    record.compressedSize = le(archive, offset + 20, 4);
    record.size = le(archive, offset + 24, 4);
    const std::uint32_t nameLength = le(archive, offset + 28, 2);
    const std::uint32_t extraLength = le(archive, offset + 30, 2);
    const std::uint32_t commentLength = le(archive, offset + 32, 2);
    record.name = archive.substr(offset + 46, nameLength);
    const std::size_t local = le(archive, offset + 42, 4);
    if (le(archive, local, 4) != kLocalSignature) throw std::runtime_error("bad local header");
    record.dataOffset = local + 30 + le(archive, local + 26, 2) + le(archive, local + 28, 2);
    records.push_back(record);
    offset += 46 + nameLength + extraLength + commentLength;
  }
  return records;
}

void setCentralSizes(std::string& archive, const ZipRecord& record, std::uint32_t compressedSize, std::uint32_t size) {
  putLe32(archive, record.centralOffset + 20, compressedSize);
  putLe32(archive, record.centralOffset + 24, size);
}

std::string readBytes(const std::filesystem::path& path) {
  const std::string name = platform::utf8FromPath(path);
  const platform::File in = platform::openFile(name, "rb");
  if (!in) throw std::runtime_error("cannot read " + name);
  std::string bytes;
  char chunk[65536];
  while (const std::size_t count = std::fread(chunk, 1, sizeof chunk, in.get())) bytes.append(chunk, count);
  return bytes;
}

void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path());
  const std::string name = platform::utf8FromPath(path);
  platform::File out = platform::openFile(name, "wb");
  if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out.get()) != bytes.size() || !platform::closeFile(out)) {
    throw std::runtime_error("cannot write " + name);
  }
}

}  // namespace cvimp::test
