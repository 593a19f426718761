#include "tests/support/test_support.h"

#include <cstdio>
#include <stdexcept>

namespace cvimp::test {

std::string readFile(const std::filesystem::path& path) {
  const platform::File in = platform::openFile(platform::utf8FromPath(path), "rb");
  std::string content;
  if (!in) return content;
  char chunk[65536];
  while (const std::size_t count = std::fread(chunk, 1, sizeof chunk, in.get())) content.append(chunk, count);
  return content;
}

TempDir::TempDir() {
  root = platform::pathFromUtf8(platform::makeTemporaryDirectory("cvimp-test-"));
  if (root.empty()) throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

std::string TempDir::str() const { return platform::utf8FromPath(root); }

std::string TempDir::write(const std::string& relative, const std::string& contents) const {
  const std::filesystem::path full = root / platform::pathFromUtf8(relative);
  std::filesystem::create_directories(full.parent_path());
  const std::string name = platform::utf8FromPath(full);
  platform::File out = platform::openFile(name, "wb");
  if (!out || std::fwrite(contents.data(), 1, contents.size(), out.get()) != contents.size() ||
      !platform::closeFile(out)) {
    throw std::runtime_error("cannot write " + name);
  }
  return name;
}

}  // namespace cvimp::test
