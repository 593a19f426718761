#include "tools/check_layers/layer_rules.h"

#include <algorithm>
#include <deque>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <utility>

#include "tools/check_layers/cmake_targets.h"

namespace cvimp::layers {
namespace {

namespace fs = std::filesystem;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
std::size_t skipBlanks(std::string_view text, std::size_t i) {
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  return i;
}

bool underAny(std::string_view path, const std::vector<std::string>& prefixes) {
  return std::any_of(prefixes.begin(), prefixes.end(), [&](const std::string& p) { return startsWith(path, p); });
}

std::string join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

bool readText(const fs::path& file, std::string& text) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::ostringstream content;
  content << in.rdbuf();
  text = content.str();
  return true;
}

std::vector<std::string> words(std::string_view line) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isSpace(line[i])) ++i;
    std::size_t end = i;
    while (end < line.size() && !isSpace(line[end])) ++end;
    if (end > i) out.emplace_back(line.substr(i, end - i));
    i = end;
  }
  return out;
}

// Test headers may reach into a component's internals; that is how tests get at them.
bool isTestHeader(const Rules& rules, int component, std::string_view path) {
  const std::string& name = rules.components[component].name;
  return (name == "tests" || endsWith(name, "-tests")) && (endsWith(path, ".h") || endsWith(path, ".h.in"));
}

class Checker {
 public:
  Checker(const Rules& rules, Report& report) : rules_(rules), report_(report) {}

  void checkSource(const std::string& path, int component, std::string_view text) {
    int line = 0;
    for (std::size_t start = 0; start < text.size();) {
      std::size_t end = text.find('\n', start);
      if (end == std::string_view::npos) end = text.size();
      ++line;
      checkIncludeLine(path, component, line, text.substr(start, end - start));
      start = end + 1;
    }
  }

  void checkLinks(const CMakeBuild& build) {
    for (const CMakeLink& link : build.links) {
      if (link.viaFunction || link.component < 0) continue;
      if (isGuiLibrary(link.item)) {
        ++report_.links;
        if (!underAny(link.file, rules_.guiLibraryOk))
          add(link.file, link.line, "links GUI library " + link.item + " (only " + join(rules_.guiLibraryOk) + " may)");
      } else if (startsWith(link.item, "cvimp_")) {
        const auto target = build.targets.find(link.item);
        if (target == build.targets.end()) continue;
        ++report_.links;
        checkUse(link.file, link.line, link.component, target->second.component, "links " + link.item);
      }
    }
  }

  // Every target the build without the GUI makes, followed through its
  // links in that build, must reach neither a GUI library nor a target
  // only the GUI build defines. Each is reported once per target, with the
  // shortest chain, at the target's own link that starts it.
  void checkBuildWithoutGui(const CMakeBuild& build) {
    if (rules_.guiBuildCondition.empty()) return;
    std::map<std::string, std::vector<const CMakeLink*>> linksOf;
    for (const CMakeLink& link : build.links)
      if (!link.guiOnly && build.targets.count(link.owner)) linksOf[link.owner].push_back(&link);
    struct Step {
      std::string target;
      const CMakeLink* first;
      std::string chain;
    };
    for (const auto& [name, target] : build.targets) {
      if (!target.withoutGui) continue;
      std::set<std::string> seen{name};
      std::deque<Step> pending{{name, nullptr, ""}};
      for (; !pending.empty(); pending.pop_front()) {
        const Step step = pending.front();
        for (const CMakeLink* link : linksOf[step.target]) {
          if (!seen.insert(link->item).second) continue;
          const CMakeLink& first = step.first ? *step.first : *link;
          const std::string what = name + " (built for Windows) links ";
          const std::string through = step.chain.empty() ? "" : " through " + step.chain;
          const auto used = build.targets.find(link->item);
          if (isGuiLibrary(link->item)) {
            add(first.file, first.line, what + "GUI library " + link->item + through);
          } else if (used != build.targets.end() && !used->second.withoutGui) {
            add(first.file, first.line, what + link->item + ", defined only if " + rules_.guiBuildCondition + through);
          } else if (used != build.targets.end()) {
            pending.push_back({link->item, &first, step.chain.empty() ? link->item : step.chain + " -> " + link->item});
          }
        }
      }
    }
  }

 private:
  void checkIncludeLine(const std::string& path, int component, int line, std::string_view text) {
    std::size_t i = skipBlanks(text, 0);
    if (i >= text.size() || text[i] != '#') return;
    i = skipBlanks(text, i + 1);
    if (text.substr(i, 7) != "include") return;
    i = skipBlanks(text, i + 7);
    if (i >= text.size() || (text[i] != '"' && text[i] != '<')) return;
    const std::size_t close = text.find(text[i] == '"' ? '"' : '>', i + 1);
    if (close == std::string_view::npos) return;
    const std::string name(text.substr(i + 1, close - i - 1));
    ++report_.includes;
    if (text[i] == '<') {
      if (underAny(name, rules_.platformHeaders) && !underAny(path, rules_.platformHeaderOk))
        add(path, line, "includes platform header <" + name + "> (only " + join(rules_.platformHeaderOk) + " may)");
      return;
    }
    const int used = rules_.componentOf(name);
    if (used < 0 || used == component) return;
    if (!checkUse(path, line, component, used, "includes \"" + name + "\"")) return;
    const std::vector<std::string>& facade = rules_.components[used].publicHeaders;
    if (facade.empty() || std::find(facade.begin(), facade.end(), name) != facade.end()) return;
    if (isTestHeader(rules_, component, path)) return;
    const std::vector<int>& inside = rules_.components[component].seesInside;
    if (std::find(inside.begin(), inside.end(), used) != inside.end()) return;
    add(path, line,
        "includes private header \"" + name + "\" of " + rules_.components[used].name + " (use: " + join(facade) + ")");
  }

  bool checkUse(const std::string& path, int line, int user, int used, const std::string& what) {
    if (used < 0 || rules_.mayUse(user, used)) return true;
    add(path, line,
        what + " of " + rules_.components[used].name + ", which " + rules_.components[user].name + " may not use" +
            (used > user ? " (it sits above)" : ""));
    return false;
  }

  bool isGuiLibrary(const std::string& name) const {
    return std::find(rules_.guiLibraries.begin(), rules_.guiLibraries.end(), name) != rules_.guiLibraries.end();
  }

  void add(const std::string& path, int line, std::string message) {
    report_.violations.push_back({path, line, std::move(message)});
  }

  const Rules& rules_;
  Report& report_;
};

bool isCheckedFile(const std::string& name) {
  return name == "CMakeLists.txt" || endsWith(name, ".cpp") || endsWith(name, ".h") || endsWith(name, ".h.in");
}

}  // namespace

int Rules::componentOf(std::string_view path) const {
  int best = -1;
  for (int i = 0; i < static_cast<int>(components.size()); ++i) {
    const std::string& prefix = components[i].prefix;
    if (startsWith(path, prefix) && (best < 0 || prefix.size() > components[best].prefix.size())) best = i;
  }
  return best;
}

bool Rules::mayUse(int user, int used) const {
  const std::vector<int>& allowed = components[user].mayUse;
  return user == used || std::find(allowed.begin(), allowed.end(), used) != allowed.end();
}

bool parseRules(std::string_view text, Rules& rules, std::string& error) {
  rules = Rules{};
  std::vector<std::pair<int, std::vector<std::string>>> mayUse;  // resolved once every component is known
  std::vector<std::pair<int, std::vector<std::string>>> facades;
  std::vector<std::pair<int, std::vector<std::string>>> insides;
  const auto indexOf = [&](const std::string& name) {
    for (int i = 0; i < static_cast<int>(rules.components.size()); ++i)
      if (rules.components[i].name == name) return i;
    return -1;
  };
  int lineNumber = 0;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    line = line.substr(0, line.find('#'));
    std::vector<std::string> w = words(line);
    if (w.empty()) continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    const std::string directive = w.front();
    w.erase(w.begin());
    if (directive == "component") {
      if (w.size() < 2 || (w.size() > 2 && w[2] != "may-use")) {
        error = where + "expected: component NAME PREFIX [may-use NAME...]";
        return false;
      }
      if (indexOf(w[0]) >= 0) {
        error = where + "component " + w[0] + " is declared twice";
        return false;
      }
      rules.components.push_back({w[0], w[1], {}, {}, {}});
      mayUse.push_back({lineNumber, std::vector<std::string>(w.begin() + std::min<std::size_t>(w.size(), 3), w.end())});
    } else if (directive == "public" && w.size() >= 2) {
      facades.push_back({lineNumber, w});
    } else if (directive == "sees-inside" && w.size() >= 2) {
      insides.push_back({lineNumber, w});
    } else if (directive == "platform-header") {
      rules.platformHeaders.insert(rules.platformHeaders.end(), w.begin(), w.end());
    } else if (directive == "platform-header-ok") {
      rules.platformHeaderOk.insert(rules.platformHeaderOk.end(), w.begin(), w.end());
    } else if (directive == "gui-library") {
      rules.guiLibraries.insert(rules.guiLibraries.end(), w.begin(), w.end());
    } else if (directive == "gui-library-ok") {
      rules.guiLibraryOk.insert(rules.guiLibraryOk.end(), w.begin(), w.end());
    } else if (directive == "gui-build-condition" && w.size() == 1) {
      rules.guiBuildCondition = w[0];
    } else {
      error = where + "unknown or incomplete directive \"" + directive + "\"";
      return false;
    }
  }
  for (std::size_t c = 0; c < mayUse.size(); ++c) {
    for (const std::string& name : mayUse[c].second) {
      const int used = indexOf(name);
      if (used < 0) {
        error = "line " + std::to_string(mayUse[c].first) + ": unknown component " + name;
        return false;
      }
      rules.components[c].mayUse.push_back(used);
    }
  }
  for (const auto& [lineNumber, w] : insides) {
    const int component = indexOf(w[0]);
    for (std::size_t i = 1; component >= 0 && i < w.size(); ++i) {
      const int other = indexOf(w[i]);
      if (other < 0) {
        error = "line " + std::to_string(lineNumber) + ": unknown component " + w[i];
        return false;
      }
      rules.components[component].seesInside.push_back(other);
    }
    if (component < 0) {
      error = "line " + std::to_string(lineNumber) + ": unknown component " + w[0];
      return false;
    }
  }
  for (const auto& [lineNumber, w] : facades) {
    const int component = indexOf(w[0]);
    if (component < 0) {
      error = "line " + std::to_string(lineNumber) + ": unknown component " + w[0];
      return false;
    }
    for (std::size_t i = 1; i < w.size(); ++i) {
      if (rules.componentOf(w[i]) != component) {
        error = "line " + std::to_string(lineNumber) + ": " + w[i] + " does not belong to " + w[0];
        return false;
      }
      rules.components[component].publicHeaders.push_back(w[i]);
    }
  }
  return true;
}

bool loadRules(const fs::path& file, Rules& rules, std::string& error) {
  std::string text;
  if (!readText(file, text)) {
    error = "cannot read " + file.string();
    return false;
  }
  if (parseRules(text, rules, error)) return true;
  error = file.string() + ": " + error;
  return false;
}

bool checkTree(const fs::path& root, const Rules& rules, Report& report, std::string& error) {
  report = Report{};
  std::vector<std::pair<std::string, int>> files;  // relative path, component
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string relative = it->path().lexically_relative(root).generic_string();
    if (it->is_directory(ec)) {
      const std::string folder = relative + "/";
      const bool mayHoldChecked = rules.componentOf(folder) >= 0 ||
                                  std::any_of(rules.components.begin(), rules.components.end(),
                                              [&](const Component& c) { return startsWith(c.prefix, folder); });
      if (relative == "build" || relative == ".git" || !mayHoldChecked) it.disable_recursion_pending();
    } else if (isCheckedFile(it->path().filename().string())) {
      const int component = rules.componentOf(relative);
      if (component >= 0) files.emplace_back(relative, component);
    }
  }
  if (ec) {
    error = "cannot walk " + root.string() + ": " + ec.message();
    return false;
  }
  std::sort(files.begin(), files.end());
  report.files = files.size();

  Checker checker(rules, report);
  std::vector<CMakeFile> cmakeFiles;
  // The top level's file belongs to no component but adds the folders.
  if (std::string text; readText(root / "CMakeLists.txt", text))
    cmakeFiles.push_back({"CMakeLists.txt", -1, std::move(text)});
  for (const auto& [path, component] : files) {
    std::string text;
    if (!readText(root / path, text)) {
      error = "cannot read " + (root / path).string();
      return false;
    }
    if (endsWith(path, "CMakeLists.txt"))
      cmakeFiles.push_back({path, component, std::move(text)});
    else
      checker.checkSource(path, component, text);
  }
  const CMakeBuild build = readCMakeBuild(std::move(cmakeFiles), rules.guiBuildCondition);
  checker.checkLinks(build);
  checker.checkBuildWithoutGui(build);
  std::stable_sort(report.violations.begin(), report.violations.end(), [](const Violation& a, const Violation& b) {
    return std::tie(a.file, a.line) < std::tie(b.file, b.line);
  });
  return true;
}

std::string formatViolation(const Violation& violation) {
  return violation.file + ":" + std::to_string(violation.line) + ": " + violation.message;
}

std::string describeLayers(const Rules& rules) {
  std::string out;
  for (const Component& component : rules.components) {
    out += component.name + " (" + component.prefix + ")";
    if (!component.mayUse.empty()) {
      std::vector<std::string> names;
      for (int used : component.mayUse) names.push_back(rules.components[used].name);
      out += " may use: " + join(names);
    }
    out += "\n";
  }
  return out;
}

}  // namespace cvimp::layers
