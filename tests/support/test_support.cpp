#include "tests/support/test_support.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace cvimp::test {

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

TempDir::TempDir() {
  root = platform::makeTemporaryDirectory("cvimp-test-");
  if (root.empty()) throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

std::string TempDir::write(const std::string& relative, const std::string& contents) const {
  const std::filesystem::path full = root / relative;
  std::filesystem::create_directories(full.parent_path());
  std::ofstream out(full, std::ios::binary);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
  if (!out) throw std::runtime_error("cannot write " + full.string());
  return full.string();
}

}  // namespace cvimp::test
