#include "tests/support/test_support.h"

#include <cstdio>
#include <stdexcept>

namespace cvimp::test {

namespace {

void writeValue(const VrpValue& value, std::string& out) {
  if (const VrpAttributeSelector* selector = value.selector()) {
    out += selector->plugin + "::" + selector->attribute;
  } else if (const VrpFunction* function = value.function()) {
    out += function->name + "(";
    for (const VrpValue& element : function->values) {
      writeValue(element, out);
      out += ", ";
    }
    out += ")";
  } else if (const VrpIdentifier* identifier = value.identifier()) {
    out += "id:" + identifier->name;
  } else if (const std::int64_t* integer = value.intValue()) {
    out += "int:" + std::to_string(*integer);
  } else if (const double* floating = value.floatValue()) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "float:%.17g", *floating);
    out += digits;
  } else if (const std::string_view* text = value.stringValue()) {
    out += "'" + std::string(*text) + "'";
  }
}

}  // namespace

std::string documentText(const VrpScene& scene) {
  std::string out;
  for (const VrpPlugin* plugin : scene.pluginsInDocumentOrder()) {
    out += plugin->type + " " + plugin->name + " @";
    for (std::size_t i = 0; i < plugin->definitionPath.size(); ++i)
      out += " " + std::to_string(plugin->definitionPath[i]);
    out += "\n";
    for (const auto& attribute : plugin->attributes()) {
      out += "  " + attribute->name + "=";
      writeValue(attribute->value, out);
      out += "\n";
    }
  }
  return out;
}

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
