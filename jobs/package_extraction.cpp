#include "jobs/package_extraction.h"

#include <zip.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
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

struct ArchiveDiscard {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ArchiveHandle = std::unique_ptr<zip_t, ArchiveDiscard>;

struct EntryClose {
  void operator()(zip_file_t* entry) const { zip_fclose(entry); }
};
using EntryHandle = std::unique_ptr<zip_file_t, EntryClose>;

bool isSeparator(char16_t c) { return c == u'/' || c == u'\\'; }

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

// Whether an entry name, joined with the destination, stays inside it. The
// archive hands names over as stored, so "/etc/x", "C:/x" or "a/../../x"
// would otherwise write anywhere. Backslashes count as separators: archives
// made on Windows use them, and there they separate folders.
bool staysInside(std::u16string_view name) {
  if (!name.empty() && isSeparator(name.front())) return false;
  if (name.size() >= 2 && isAsciiLetter(name[0]) && name[1] == u':') return false;
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !isSeparator(name[end])) ++end;
    if (name.substr(start, end - start) == u"..") return false;
    start = end + 1;
  }
  return true;
}

std::u16string joinPath(const std::u16string& folder, const std::u16string& name) {
  if (!folder.empty() && isSeparator(folder.back())) return folder + name;
  return folder + u"/" + name;
}

// The extension of the last path component, from its last dot ("" when it
// has none).
std::u16string_view extensionOf(std::u16string_view path) {
  const std::size_t nameStart = path.find_last_of(u"/\\");
  const std::u16string_view name = nameStart == std::u16string_view::npos ? path : path.substr(nameStart + 1);
  const std::size_t dot = name.rfind(u'.');
  return dot == std::u16string_view::npos ? std::u16string_view() : name.substr(dot);
}

bool equalsIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i];
    char16_t y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

// Texture packages hold PNG images saved under ".jpg" names; such a file is
// written as "<name>.jpg.png" so that the bitmap lookup finds it by its
// real type.
bool isPngNamedJpeg(std::u16string_view outputPath, const unsigned char* data, std::size_t size) {
  return equalsIgnoringAsciiCase(extensionOf(outputPath), u".jpg") && size > 7 &&
         std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0;
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
  const std::filesystem::path parent = std::filesystem::path(outputPath).parent_path();
  if (parent.empty()) return;
  std::error_code ignored;
  if (!std::filesystem::is_directory(parent, ignored)) std::filesystem::create_directories(parent, ignored);
}

// Copies the rest of the entry after the `firstCount` bytes already in
// `chunk` into `file`. False on any read or write error.
bool copyEntry(EntryReader& reader, std::vector<unsigned char>& chunk, std::size_t firstCount, std::FILE* file) {
  std::size_t count = firstCount;
  while (count > 0) {
    if (std::fwrite(chunk.data(), 1, count, file) != count) return false;
    if (reader.ended()) return true;
    const std::optional<std::size_t> next = reader.read(chunk);
    if (!next) return false;
    count = *next;
  }
  return true;
}

// Writes entry `index` below `destination`. False when the name leads out
// of the folder, the entry does not open (no or wrong password, unknown
// method), its data is broken, or its file cannot be written; a file
// begun for it is then removed.
bool extractEntry(zip_t* archive, zip_uint64_t index, const std::u16string& destination, const char* password,
                  std::vector<unsigned char>& chunk) {
  zip_stat_t info;
  zip_stat_init(&info);
  if (zip_stat_index(archive, index, ZIP_FL_ENC_RAW, &info) != 0 || (info.valid & ZIP_STAT_NAME) == 0) return false;
  // Names are 8-bit text in the system code page, UTF-8 here; used whole,
  // whatever their length.
  const std::u16string name = platform::utf8ToUtf16(info.name);
  if (!staysInside(name)) return false;

  // With a password every entry is opened with it; libzip ignores it for
  // entries that are not encrypted and checks it against an encrypted
  // entry's header, failing the open when it is wrong or missing.
  const EntryHandle entry(zip_fopen_index_encrypted(archive, index, 0, password));
  if (!entry) return false;

  const std::u16string outputPath = joinPath(destination, name);
  std::string nativePath = platform::utf16ToUtf8(outputPath);
  createParentFolder(nativePath);

  const std::optional<zip_uint64_t> declaredSize =
      (info.valid & ZIP_STAT_SIZE) != 0 ? std::optional<zip_uint64_t>(info.size) : std::nullopt;
  EntryReader reader(entry.get(), declaredSize);
  // The first chunk decides whether there is a file at all (folder entries
  // and empty files leave none) and under which name.
  const std::optional<std::size_t> firstCount = reader.read(chunk);
  if (!firstCount) return false;
  if (*firstCount == 0) return true;
  if (isPngNamedJpeg(outputPath, chunk.data(), *firstCount)) nativePath += ".png";

  platform::File file = platform::openFile(nativePath, "wb");
  if (!file) return false;
  bool written = copyEntry(reader, chunk, *firstCount, file.get());
  if (!platform::closeFile(file)) written = false;
  if (!written) {
    std::error_code ignored;
    std::filesystem::remove(nativePath, ignored);
  }
  return written;
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

  ProgressScope progress(kProgressTitle);
  const char* key = password ? password->c_str() : nullptr;
  std::vector<unsigned char> chunk(kChunkSize);
  bool result = true;
  for (zip_int64_t i = 0; i < entryCount; ++i) {
    // Before the entry, so the bar never reaches 100.
    progress.update(static_cast<int>(static_cast<float>(i) / static_cast<float>(entryCount) * 100.0f));
    if (!extractEntry(archive.get(), static_cast<zip_uint64_t>(i), destination, key, chunk)) result = false;
  }
  return result;
}

}  // namespace cvimp
