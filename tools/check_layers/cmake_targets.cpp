#include "tools/check_layers/cmake_targets.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <filesystem>
#include <set>
#include <string_view>
#include <utility>

namespace cvimp::layers {
namespace {

bool isIdentifier(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
std::size_t identifierEnd(std::string_view text, std::size_t i, std::size_t limit) {
  while (i < limit && isIdentifier(text[i])) ++i;
  return i;
}

// The text with its comments blanked out, so offsets and lines still match.
std::string withoutComments(std::string text) {
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (quoted && text[i] == '\\') {
      ++i;
    } else if (text[i] == '"') {
      quoted = !quoted;
    } else if (!quoted && text[i] == '#') {
      for (; i < text.size() && text[i] != '\n'; ++i) text[i] = ' ';
    }
  }
  return text;
}

struct Call {
  std::string name;  // lower case
  std::size_t argsBegin = 0;
  std::size_t argsEnd = 0;
};

std::vector<Call> calls(const std::string& text) {
  std::vector<Call> out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (!isIdentifier(text[i]) || (i > 0 && isIdentifier(text[i - 1]))) {
      ++i;
      continue;
    }
    Call call;
    for (; i < text.size() && isIdentifier(text[i]); ++i) call.name += static_cast<char>(std::tolower(text[i]));
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size() || text[i] != '(') continue;
    call.argsBegin = ++i;
    bool quoted = false;
    for (int depth = 1; i < text.size(); ++i) {
      const char c = text[i];
      if (quoted && c == '\\') {
        ++i;
      } else if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && c == '(') {
        ++depth;
      } else if (!quoted && c == ')' && --depth == 0) {
        break;
      }
    }
    call.argsEnd = std::min(i, text.size());
    out.push_back(std::move(call));
  }
  return out;
}

std::vector<std::string> arguments(const std::string& text, const Call& call) {
  std::vector<std::string> out;
  for (std::size_t i = call.argsBegin; i < call.argsEnd;) {
    while (i < call.argsEnd && isSpace(text[i])) ++i;
    const std::size_t start = i;
    while (i < call.argsEnd && !isSpace(text[i])) ++i;
    if (i > start) out.push_back(text.substr(start, i - start));
  }
  return out;
}

// Offset just past the first argument of a call, and that argument.
std::pair<std::size_t, std::string> firstArgument(const std::string& text, const Call& call) {
  std::size_t i = call.argsBegin;
  while (i < call.argsEnd && isSpace(text[i])) ++i;
  const std::size_t start = i;
  while (i < call.argsEnd && !isSpace(text[i])) ++i;
  return {i, text.substr(start, i - start)};
}

// The names in text[i, end): identifiers, with "::" parts, wherever they
// stand, so that a name inside a generator expression counts as well.
std::vector<std::pair<std::string, std::size_t>> names(const std::string& text, std::size_t i, std::size_t end) {
  std::vector<std::pair<std::string, std::size_t>> out;
  for (; i < end; ++i) {
    if (!isIdentifier(text[i]) || (i > 0 && isIdentifier(text[i - 1]))) continue;
    std::size_t stop = identifierEnd(text, i, end);
    while (stop + 2 < end && text.compare(stop, 2, "::") == 0 && isIdentifier(text[stop + 2]))
      stop = identifierEnd(text, stop + 2, end);
    std::string name = text.substr(i, stop - i);
    if (i >= 2 && text.compare(i - 2, 2, "${") == 0 && stop < end && text[stop] == '}') name = "${" + name + "}";
    out.emplace_back(std::move(name), i);
    i = stop;
  }
  return out;
}

struct Statement {
  Call call;
  bool guiOnly = false;  // inside a branch only the GUI build takes
  int function = -1;     // the function whose body holds it
};

struct ParsedFile {
  CMakeFile file;
  std::vector<std::size_t> lineStarts;
  std::vector<Statement> statements;

  int lineOf(std::size_t offset) const {
    return static_cast<int>(std::upper_bound(lineStarts.begin(), lineStarts.end(), offset) - lineStarts.begin());
  }
};

struct Function {
  std::string parameter;  // its first, as "${name}"
  std::size_t file = 0;
  bool definesTarget = false;
};

enum class Condition { Other, Gui, NotGui };

Condition classify(const std::vector<std::string>& words, const std::string& gui) {
  if (gui.empty()) return Condition::Other;
  if (words.size() == 1 && words[0] == gui) return Condition::Gui;
  if (words.size() == 2 && words[0] == "NOT" && words[1] == gui) return Condition::NotGui;
  return Condition::Other;
}

class Reader {
 public:
  Reader(std::vector<CMakeFile> files, const std::string& guiCondition) : gui_(guiCondition) {
    for (CMakeFile& file : files) {
      file.text = withoutComments(std::move(file.text));
      files_.push_back({std::move(file), {0}, {}});
    }
  }

  CMakeBuild read() {
    for (std::size_t f = 0; f < files_.size(); ++f) parse(f);
    const std::set<std::string> built = filesBuiltWithoutGui();
    for (ParsedFile& file : files_) {
      const bool fileGuiOnly = !built.count(file.file.path);
      for (const Statement& statement : file.statements) collect(file, statement, fileGuiOnly || statement.guiOnly);
    }
    return std::move(build_);
  }

 private:
  struct Branch {
    bool guiOnly = false;
    bool restGuiOnly = false;  // after a NOT branch: the branches left run only with the GUI
  };

  void parse(std::size_t index) {
    ParsedFile& file = files_[index];
    const std::string& text = file.file.text;
    for (std::size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') file.lineStarts.push_back(i + 1);
    std::vector<Branch> branches;
    std::vector<int> functions;
    for (Call& call : calls(text)) {
      const std::string& name = call.name;
      if (name == "if") {
        const Condition c = classify(arguments(text, call), gui_);
        branches.push_back({c == Condition::Gui, c == Condition::NotGui});
      } else if ((name == "elseif" || name == "else") && !branches.empty()) {
        const Condition c = name == "else" ? Condition::Other : classify(arguments(text, call), gui_);
        branches.back().guiOnly = branches.back().restGuiOnly || c == Condition::Gui;
        branches.back().restGuiOnly = branches.back().restGuiOnly || c == Condition::NotGui;
      } else if (name == "endif" && !branches.empty()) {
        branches.pop_back();
      } else if (name == "function" || name == "macro") {
        const std::vector<std::string> words = arguments(text, call);
        functions.push_back(static_cast<int>(functionList_.size()));
        functionList_.push_back({words.size() > 1 ? "${" + words[1] + "}" : "", index, false});
        if (!words.empty()) functionByName_[lowercase(words[0])] = functions.back();
      } else if ((name == "endfunction" || name == "endmacro") && !functions.empty()) {
        functions.pop_back();
      }
      const bool guiOnly = std::any_of(branches.begin(), branches.end(), [](const Branch& b) { return b.guiOnly; });
      const int function = functions.empty() ? -1 : functions.front();
      if (function >= 0 && (name == "add_library" || name == "add_executable") &&
          firstArgument(text, call).second == functionList_[function].parameter)
        functionList_[function].definesTarget = true;
      file.statements.push_back({std::move(call), guiOnly, function});
    }
  }

  // The files the build reaches without the GUI: from those no other adds,
  // through add_subdirectory calls outside the GUI's branches.
  std::set<std::string> filesBuiltWithoutGui() const {
    std::map<std::string, std::vector<std::pair<std::string, bool>>> added;  // by file: the files it adds
    std::set<std::string> known, addedByAny;
    for (const ParsedFile& file : files_) known.insert(file.file.path);
    for (const ParsedFile& file : files_) {
      const std::filesystem::path folder = std::filesystem::path(file.file.path).parent_path();
      for (const Statement& statement : file.statements) {
        if (statement.call.name != "add_subdirectory" || statement.function >= 0) continue;
        std::string dir = firstArgument(file.file.text, statement.call).second;
        if (dir.size() > 1 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
        const std::string child = (folder / dir / "CMakeLists.txt").lexically_normal().generic_string();
        if (dir.find("${") != std::string::npos || !known.count(child)) continue;
        added[file.file.path].emplace_back(child, statement.guiOnly);
        addedByAny.insert(child);
      }
    }
    std::set<std::string> built;
    std::vector<std::string> pending;
    for (const std::string& path : known)
      if (!addedByAny.count(path)) pending.push_back(path);
    while (!pending.empty()) {
      const std::string path = pending.back();
      pending.pop_back();
      if (!built.insert(path).second) continue;
      for (const auto& [child, guiOnly] : added[path])
        if (!guiOnly) pending.push_back(child);
    }
    return built;
  }

  void collect(const ParsedFile& file, const Statement& statement, bool guiOnly) {
    const std::string& text = file.file.text;
    const Call& call = statement.call;
    const auto [pastFirst, first] = firstArgument(text, call);
    if (call.name == "add_library" || call.name == "add_executable") {
      define(first, file.file.component, guiOnly);
    } else if (call.name == "target_link_libraries") {
      for (auto& [item, offset] : names(text, pastFirst, call.argsEnd))
        link({first, std::move(item), file.file.path, file.lineOf(offset), file.file.component, guiOnly, false});
    } else if (const auto function = functionByName_.find(call.name); function != functionByName_.end()) {
      callFunction(file, statement, functionList_[function->second], function->second, first, pastFirst, guiOnly);
    }
  }

  // A function's links of its first parameter become the links of the
  // call's first argument, its remaining arguments for "${ARGN}".
  void callFunction(const ParsedFile& file, const Statement& at, const Function& function, int index,
                    const std::string& target, std::size_t pastTarget, bool guiOnly) {
    if (function.definesTarget) define(target, file.file.component, guiOnly);
    const ParsedFile& body = files_[function.file];
    const int line = file.lineOf(at.call.argsBegin);
    for (const Statement& statement : body.statements) {
      if (statement.function != index || statement.call.name != "target_link_libraries") continue;
      const auto [pastOwner, owner] = firstArgument(body.file.text, statement.call);
      if (owner != function.parameter) continue;
      for (auto& [item, offset] : names(body.file.text, pastOwner, statement.call.argsEnd)) {
        if (item != "${ARGN}") {
          link(
              {target, std::move(item), file.file.path, line, file.file.component, guiOnly || statement.guiOnly, true});
          continue;
        }
        for (auto& [argument, argumentOffset] : names(file.file.text, pastTarget, at.call.argsEnd))
          link({target, std::move(argument), file.file.path, file.lineOf(argumentOffset), file.file.component,
                guiOnly || statement.guiOnly, true});
      }
    }
  }

  void define(const std::string& name, int component, bool guiOnly) {
    if (name.empty() || name.find("${") != std::string::npos) return;
    CMakeTarget& target = build_.targets.try_emplace(name, CMakeTarget{component, false}).first->second;
    target.withoutGui = target.withoutGui || !guiOnly;
  }

  void link(CMakeLink link) { build_.links.push_back(std::move(link)); }

  static std::string lowercase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  }

  const std::string gui_;
  std::vector<ParsedFile> files_;
  std::vector<Function> functionList_;
  std::map<std::string, int> functionByName_;
  CMakeBuild build_;
};

}  // namespace

CMakeBuild readCMakeBuild(std::vector<CMakeFile> files, const std::string& guiCondition) {
  return Reader(std::move(files), guiCondition).read();
}

}  // namespace cvimp::layers
