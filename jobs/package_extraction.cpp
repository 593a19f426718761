#include "jobs/package_extraction.h"

#include <zip.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "host/max.h"
#include "platform/platform.h"
#include "state/plugin_state.h"

namespace cvimp {
namespace {

constexpr const MCHAR* kProgressTitle = u"Preparing design...";
// Entries are copied through one buffer of this size, whatever size the
// archive claims for them.
constexpr std::size_t kChunkSize = 64 * 1024;
constexpr unsigned char kPngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
// Unix file types as archives store them (the high half of the external
// attributes), the same on every system.
constexpr zip_uint32_t kFileTypeMask = 0170000;
constexpr zip_uint32_t kSymbolicLinkType = 0120000;

std::mutex settingsLock;
ExtractionSettings currentSettings;

struct ArchiveDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveDiscard>;

struct EntryClose {
  void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using EntryHandle = std::unique_ptr<zip_file_t, EntryClose>;

bool isSeparator(char c) { return c == '/' || c == '\\'; }

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether an entry name, joined with the destination, stays inside it. The
// archive hands names over as stored, so "/etc/x", "C:/x" or "a/../../x"
// would otherwise write anywhere. Every backslash counts as a separator
// here, also one that localName() keeps inside a character.
bool staysInside(std::string_view name) {
  if (!name.empty() && isSeparator(name.front())) return false;
  if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == ':') return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

// The name as a path below the destination, in the form the scene's file
// lookup gives a name from the scene, so that a scene naming the same
// bytes finds the file, also when they are no UTF-8 (a legacy code page).
// Backslashes left after that are no part of a character: they separate
// folders in archives made on Windows, and become slashes.
std::string localName(std::string_view name) {
  std::string local = platform::fileNameFromBytes(name);
  std::replace(local.begin(), local.end(), '\\', '/');
  return local;
}

// The extension of the last path component, from its last dot ("" when it
// has none).
std::string_view extensionOf(std::string_view path) {
  const std::size_t nameStart = path.find_last_of('/');
  const std::string_view name = nameStart == std::string_view::npos ? path : path.substr(nameStart + 1);
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    return x == y;
  });
}

// Texture packages hold PNG images saved under ".jpg" names; such a file is
// written as "<name>.jpg.png" so that the bitmap lookup finds it by its
// real type.
bool isPngNamedJpeg(std::string_view outputPath, const unsigned char* data, std::size_t size) {
  return equalsIgnoringAsciiCase(extensionOf(outputPath), ".jpg") && size > 7 &&
         std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
}

// A symbolic link is refused like a name leading out of the folder: its
// bytes are the path it points to, not content, so written as a file it
// would stand under a texture's or scene's name holding a path, and made a
// link it could lead later reads and writes out of the folder.
bool isSymbolicLink(zip_t* archive, zip_uint64_t index) {
  zip_uint8_t system = 0;
  zip_uint32_t attributes = 0;
  if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0) return false;
  return system == ZIP_OPSYS_UNIX && ((attributes >> 16) & kFileTypeMask) == kSymbolicLinkType;
}

// The sizes the archive declares for its entries, added up (saturating).
std::uint64_t declaredTotal(zip_t* archive, zip_uint64_t entryCount) {
  std::uint64_t total = 0;
  for (zip_uint64_t i = 0; i < entryCount; ++i) {
    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat_index(archive, i, 0, &info) != 0 || (info.valid & ZIP_STAT_SIZE) == 0) continue;
    total = info.size > UINT64_MAX - total ? UINT64_MAX : total + info.size;
  }
  return total;
}

// What the extraction may write: the total limit, and no more than leaves
// the minimum free on the destination's file system (when that can be told).
std::uint64_t writeBudget(const std::string& destination, const ExtractionSettings& settings) {
  std::uint64_t budget = settings.maxTotalBytes;
  if (const std::optional<std::uint64_t> available = platform::availableBytes(destination)) {
    budget = std::min(budget, *available > settings.minFreeBytes ? *available - settings.minFreeBytes : 0);
  }
  return budget;
}

// The decoded bytes of one open entry, a chunk at a time. A read is refused
// once libzip reports a read, decompression or checksum error, or once the
// bytes go past, or end short of, the size the archive declares.
class EntryReader {
 public:
  EntryReader(zip_file_t* entry, std::optional<zip_uint64_t> declaredSize)
      : entry_(entry), declaredSize_(declaredSize) {}

  // Fills `buffer` as far as the entry goes; the count of bytes (0 at the
  // end), or none when the entry is broken.
  std::optional<std::size_t> read(std::vector<unsigned char>& buffer) {
    std::size_t filled = 0;
    while (filled < buffer.size() && !ended_) {
      const zip_int64_t count = zip_fread(entry_, buffer.data() + filled, buffer.size() - filled);
      if (count < 0) return std::nullopt;
      if (count == 0) ended_ = true;
      filled += static_cast<std::size_t>(count);
    }
    total_ += filled;
    if (declaredSize_ && (total_ > *declaredSize_ || (ended_ && total_ != *declaredSize_))) return std::nullopt;
    return filled;
  }

  bool ended() const { return ended_; }

 private:
  zip_file_t* entry_;
  std::optional<zip_uint64_t> declaredSize_;
  zip_uint64_t total_ = 0;
  bool ended_ = false;
};

// Creates the folder that will hold `outputPath`, with its missing
// ancestors. Errors are left for the file's own open to report.
void createParentFolder(const std::string& outputPath) {
  const std::filesystem::path parent = platform::pathFromUtf8(outputPath).parent_path();
  if (parent.empty()) return;
  std::error_code ignored;
  if (!std::filesystem::is_directory(parent, ignored)) std::filesystem::create_directories(parent, ignored);
}

void removeFile(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(platform::pathFromUtf8(path), ignored);
}

// One archive's extraction: the entries in order, the bytes written against
// the budget, and the file each name got, so that a later entry of the same
// name replaces it.
class Extraction {
 public:
  Extraction(zip_t* archive, std::string destination, const char* password, std::uint64_t budget)
      : archive_(archive), destination_(std::move(destination)), password_(password), budget_(budget) {}

  // False when the entry fails; stopped() tells whether to go on.
  bool extractEntry(zip_uint64_t index);
  bool stopped() const { return stopped_; }

 private:
  bool copyEntry(EntryReader& reader, std::size_t firstCount, std::FILE* file);
  // The file an earlier entry of this name got, unless it is `keptPath`.
  void dropEarlierFile(const std::string& outputPath, const std::string& keptPath);

  zip_t* archive_;
  std::string destination_;
  const char* password_;
  std::uint64_t budget_;
  std::uint64_t written_ = 0;
  bool stopped_ = false;
  std::vector<unsigned char> chunk_ = std::vector<unsigned char>(kChunkSize);
  std::map<std::string, std::string> filesByName_;
};

void Extraction::dropEarlierFile(const std::string& outputPath, const std::string& keptPath) {
  const auto earlier = filesByName_.find(outputPath);
  if (earlier == filesByName_.end()) return;
  if (earlier->second != keptPath) removeFile(earlier->second);
  filesByName_.erase(earlier);
}

// Writes the entry's bytes, the `firstCount` already in the chunk first.
// False on any read or write error, and (stopping the extraction) on a
// press of the cancel button or a write past the budget, which a zip that
// lies about its sizes would otherwise reach.
bool Extraction::copyEntry(EntryReader& reader, std::size_t firstCount, std::FILE* file) {
  std::size_t count = firstCount;
  while (count > 0) {
    if (count > budget_ - written_) {
      stopped_ = true;
      return false;
    }
    if (std::fwrite(chunk_.data(), 1, count, file) != count) return false;
    written_ += count;
    if (reader.ended()) return true;
    if (GetCOREInterface()->GetCancel()) {
      stopped_ = true;
      return false;
    }
    const std::optional<std::size_t> next = reader.read(chunk_);
    if (!next) return false;
    count = *next;
  }
  return true;
}

// Writes entry `index` below the destination. False when the name leads
// out of the folder, the entry is a link or does not open (no or wrong
// password, unknown method), its data is broken, or its file cannot be
// written; a file begun for it is then removed.
bool Extraction::extractEntry(zip_uint64_t index) {
  zip_stat_t info;
  zip_stat_init(&info);
  if (zip_stat_index(archive_, index, ZIP_FL_ENC_RAW, &info) != 0 || (info.valid & ZIP_STAT_NAME) == 0) return false;
  const std::string_view name = info.name;
  if (!staysInside(name) || isSymbolicLink(archive_, index)) return false;

  // With a password every entry is opened with it; libzip ignores it for
  // entries that are not encrypted and checks it against an encrypted
  // entry's header, failing the open when it is wrong or missing.
  const EntryHandle entry(zip_fopen_index_encrypted(archive_, index, 0, password_));
  if (!entry) return false;

  const std::string outputPath = destination_ + "/" + localName(name);
  createParentFolder(outputPath);

  const std::optional<zip_uint64_t> declaredSize =
      (info.valid & ZIP_STAT_SIZE) != 0 ? std::optional<zip_uint64_t>(info.size) : std::nullopt;
  EntryReader reader(entry.get(), declaredSize);
  // The first chunk decides whether there is a file at all (folder entries
  // and empty files leave none) and under which name.
  const std::optional<std::size_t> firstCount = reader.read(chunk_);
  std::string filePath = outputPath;
  if (firstCount && isPngNamedJpeg(outputPath, chunk_.data(), *firstCount)) filePath += ".png";
  dropEarlierFile(outputPath, firstCount && *firstCount > 0 ? filePath : std::string());
  if (!firstCount) return false;
  if (*firstCount == 0) return true;

  platform::File file = platform::openFile(filePath, "wb");
  if (!file) return false;
  bool written = copyEntry(reader, *firstCount, file.get());
  if (!platform::closeFile(file)) written = false;
  if (!written) {
    removeFile(filePath);
    return false;
  }
  filesByName_[outputPath] = filePath;
  return true;
}

}  // namespace

bool extractArchive(const std::u16string& archivePath, const std::u16string& destination,
                    const std::optional<std::string>& password) {
  if (archivePath.empty() || destination.empty()) return false;

  // Paths are UTF-8 on this platform, which zip_open takes as they are.
  int openError = 0;
  const ArchiveHandle archive(zip_open(platform::utf16ToUtf8(archivePath).c_str(), ZIP_RDONLY, &openError));
  if (!archive) return false;
  const zip_int64_t entryCount = zip_get_num_entries(archive.get(), 0);
  if (entryCount < 0) return false;

  std::string folder = platform::utf16ToUtf8(destination);
  if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  // Judged before anything is written, from the sizes the archive declares;
  // the bytes actually written are held to the same budget as they go.
  const std::uint64_t budget = writeBudget(folder, extractionSettings());
  if (declaredTotal(archive.get(), static_cast<zip_uint64_t>(entryCount)) > budget) return false;

  ProgressScope progress(kProgressTitle);
  Extraction extraction(archive.get(), std::move(folder), password ? password->c_str() : nullptr, budget);
  bool result = true;
  for (zip_int64_t i = 0; i < entryCount; ++i) {
    // Before the entry, so the bar never reaches 100.
    progress.update(static_cast<int>(static_cast<float>(i) / static_cast<float>(entryCount) * 100.0f));
    if (GetCOREInterface()->GetCancel()) return false;
    if (!extraction.extractEntry(static_cast<zip_uint64_t>(i))) result = false;
    if (extraction.stopped()) return false;
  }
  return result;
}

void setExtractionSettings(const ExtractionSettings& settings) {
  std::lock_guard guard(settingsLock);
  currentSettings = settings;
}

ExtractionSettings extractionSettings() {
  std::lock_guard guard(settingsLock);
  return currentSettings;
}

}  // namespace cvimp
