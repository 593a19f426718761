#pragma once
// What the fuzz harnesses share: a sandbox folder per process, removed at
// exit, and quiet standard output (diagnostics are not what is tested).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"

namespace cvimp::fuzz {

class Sandbox {
 public:
  explicit Sandbox(const char* prefix) : root_(platform::makeTemporaryDirectory(prefix)) {}
  ~Sandbox() {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

inline void silenceStandardOutput() {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
}

// Whether the whole of `data` could be written to `path`.
inline bool writeFile(const std::filesystem::path& path, const unsigned char* data, std::size_t size) {
  platform::File file = platform::openFile(path.string(), "wb");
  return file && std::fwrite(data, 1, size, file.get()) == size && platform::closeFile(file);
}

}  // namespace cvimp::fuzz
