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

std::string readFile(const std::string& path) { return readFile(platform::pathFromUtf8(path)); }

TempDir::TempDir() {
  root = platform::pathFromUtf8(platform::makeTemporaryDirectory("cvimp-test-"));
  if (root.empty()) throw std::runtime_error("cannot make a temporary directory");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

std::string TempDir::str() const { return platform::utf8FromPath(root); }

void writeFile(const std::filesystem::path& path, const std::string& contents) {
  std::filesystem::create_directories(path.parent_path());
  const std::string name = platform::utf8FromPath(path);
  platform::File out = platform::openFile(name, "wb");
  if (!out || std::fwrite(contents.data(), 1, contents.size(), out.get()) != contents.size() ||
      !platform::closeFile(out)) {
    throw std::runtime_error("cannot write " + name);
  }
}

std::string TempDir::write(const std::string& relative, const std::string& contents) const {
  const std::filesystem::path full = root / platform::pathFromUtf8(relative);
  writeFile(full, contents);
  return platform::utf8FromPath(full);
}

std::string copySampleDesign(const std::string& sample, const std::filesystem::path& folder,
                             const std::string& sceneName) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  fs::copy(platform::pathFromUtf8(sample), folder, fs::copy_options::recursive);
  fs::rename(folder / "textures" / "oak.png", folder / "textures" / platform::pathFromUtf8("木纹.png"));
  const auto windowsLines = [](const std::string& text) {
    std::string lines;
    for (const char c : text) {
      if (c == '\n') lines += '\r';
      lines += c;
    }
    return lines;
  };
  std::string scene = readFile(folder / "vr.vrscene");
  const std::string oak = "textures/oak.png";
  const std::size_t at = scene.find(oak);
  if (at == std::string::npos) throw std::runtime_error("the sample names no oak texture");
  scene.replace(at, oak.size(), "textures/木纹.png");
  fs::remove(folder / "vr.vrscene");
  const fs::path scenePath = folder / platform::pathFromUtf8(sceneName);
  writeFile(scenePath, windowsLines(scene));
  writeFile(folder / "furniture.vrscene", windowsLines(readFile(folder / "furniture.vrscene")));
  return platform::utf8FromPath(scenePath);
}

}  // namespace cvimp::test
