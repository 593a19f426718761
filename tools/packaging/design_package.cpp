#include "tools/packaging/design_package.h"

#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/platform.h"

namespace cvimp::packaging {

namespace fs = std::filesystem;

namespace {

struct SourceFree {
  void operator()(zip_source_t* source) const { zip_source_free(source); }
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// The entry name of a file below the design folder: UTF-8, "/" between names.
std::string entryName(const fs::path& relative) {
  std::string name;
  for (const fs::path& part : relative) {
    if (!name.empty()) name += '/';
    name += platform::utf8FromPath(part);
  }
  return name;
}

}  // namespace

std::string makeZip(const std::vector<ZipEntry>& entries, const std::optional<std::string>& password) {
  zip_error_t error;
  zip_error_init(&error);
  // The archive is written into a growing memory buffer.
  std::unique_ptr<zip_source_t, SourceFree> buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
  if (!buffer) return {};
  // The archive takes a reference of its own; ours keeps the bytes after it closes.
  zip_source_keep(buffer.get());
  zip_t* archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error);
  if (archive == nullptr) {
    zip_source_free(buffer.get());
    return {};
  }
  bool ok = true;
  for (const ZipEntry& entry : entries) {
    zip_source_t* data = zip_source_buffer(archive, entry.bytes.data(), entry.bytes.size(), 0);
    const zip_int64_t index = data != nullptr ? zip_file_add(archive, entry.name.c_str(), data, ZIP_FL_ENC_UTF_8) : -1;
    if (index < 0) {
      if (data != nullptr) zip_source_free(data);
      ok = false;
      break;
    }
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE, 6);
    if (password && zip_file_set_encryption(archive, static_cast<zip_uint64_t>(index), ZIP_EM_TRAD_PKWARE,
                                            password->c_str()) != 0) {
      ok = false;
      break;
    }
  }
  if (!ok) {
    zip_discard(archive);
    return {};
  }
  if (zip_close(archive) != 0) {
    zip_discard(archive);
    return {};
  }
  zip_stat_t stat;
  if (zip_source_stat(buffer.get(), &stat) != 0 || zip_source_open(buffer.get()) != 0) return {};
  std::string bytes(static_cast<std::size_t>(stat.size), '\0');
  const zip_int64_t read = zip_source_read(buffer.get(), bytes.data(), bytes.size());
  zip_source_close(buffer.get());
  if (read < 0 || static_cast<std::size_t>(read) != bytes.size()) return {};
  return bytes;
}

std::string makeDesignPackage(const std::string& designFolder, const std::string& password) {
  std::vector<ZipEntry> files;
  std::error_code error;
  const fs::path folder = platform::pathFromUtf8(designFolder);
  for (auto walk = fs::recursive_directory_iterator(folder, error);
       !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
    if (!walk->is_regular_file()) continue;
    std::string name = entryName(fs::relative(walk->path(), folder));
    if (name.ends_with(".jpg.png")) name.resize(name.size() - 4);
    files.push_back({name, readFile(walk->path())});
  }
  if (error || files.empty()) return {};
  // A fixed order keeps the package the same from run to run.
  std::sort(files.begin(), files.end(), [](const ZipEntry& a, const ZipEntry& b) { return a.name < b.name; });
  const std::string inner = makeZip(files, std::nullopt);
  if (inner.empty()) return {};
  return makeZip({{"kmp.zip", inner}}, password);
}

}  // namespace cvimp::packaging
