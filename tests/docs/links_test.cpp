// The README and the pages under docs/ as GitHub shows them: every relative
// link reaches a file, every #anchor a heading of its target, and every
// `make` target the README names is in the Makefile.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace cvimp {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = CVIMP_SOURCE_DIR;

// A Markdown page split the way links and headings need it: code (fenced
// blocks and inline spans) holds no links, but a heading keeps its code.
struct Page {
  std::string prose;
  std::vector<std::string> code;
  std::vector<std::string> headings;
};

Page readPage(const fs::path& path) {
  Page page;
  std::istringstream lines(test::readFile(path));
  bool fenced = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("```", 0) == 0) {
      fenced = !fenced;
    } else if (fenced) {
      page.code.push_back(line);
    } else {
      const std::size_t level = line.find_first_not_of('#');
      if (level > 0 && level != std::string::npos && line[level] == ' ')
        page.headings.push_back(line.substr(level + 1));
      for (std::size_t at = 0; at < line.size();) {
        const std::size_t open = line.find('`', at);
        if (open == std::string::npos) {
          page.prose += line.substr(at);
          break;
        }
        const std::size_t ticks = std::min(line.find_first_not_of('`', open), line.size()) - open;
        const std::size_t close = line.find(std::string(ticks, '`'), open + ticks);
        page.prose += line.substr(at, open - at);
        if (close == std::string::npos) {
          page.prose += line.substr(open);
          break;
        }
        page.code.push_back(line.substr(open + ticks, close - open - ticks));
        at = close + ticks;
      }
    }
    page.prose += '\n';
  }
  return page;
}

// GitHub's anchor for a heading: lower case (ASCII and Latin-1 capitals),
// spaces to hyphens, punctuation and symbols dropped (letters of other
// scripts stay), repeats numbered.
std::string anchorOf(const std::string& heading) {
  std::string anchor;
  for (std::size_t i = 0; i < heading.size();) {
    const unsigned char c = heading[i];
    const std::size_t length = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    char32_t point = length == 1 ? c : c & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < heading.size(); ++k) point = point << 6 | (heading[i + k] & 0x3F);
    if (std::isalnum(c) || c == '_' || c == '-') {
      anchor += static_cast<char>(std::tolower(c));
    } else if (c == ' ') {
      anchor += '-';
    } else if (point >= 0xC0 && point <= 0xDE && point != 0xD7) {
      anchor += {static_cast<char>(0xC3), static_cast<char>(0x80 | ((point + 0x20) & 0x3F))};
    } else if (length > 1 && !(point >= 0xA0 && point <= 0xBF) && point != 0xD7 && point != 0xF7 &&
               !(point >= 0x2000 && point <= 0x2BFF) && !(point >= 0x3000 && point <= 0x303F) &&
               !(point >= 0xFF00 && point <= 0xFF65)) {
      anchor += heading.substr(i, length);
    }
    i += length;
  }
  return anchor;
}

std::set<std::string> anchorsOf(const Page& page) {
  std::set<std::string> anchors;
  std::map<std::string, int> seen;
  for (const std::string& heading : page.headings) {
    const std::string anchor = anchorOf(heading);
    const int repeat = seen[anchor]++;
    anchors.insert(repeat == 0 ? anchor : anchor + "-" + std::to_string(repeat));
  }
  return anchors;
}

std::vector<fs::path> pages() {
  std::vector<fs::path> found{kSourceDir / "README.md"};
  for (const fs::directory_entry& entry : fs::directory_iterator(kSourceDir / "docs")) {
    if (entry.path().extension() == ".md") found.push_back(entry.path());
  }
  return found;
}

TEST(DocsTest, AnchorsFollowGitHubsRules) {
  EXPECT_EQ(anchorOf("cvimp — the Casavia importer for 3ds Max"), "cvimp--the-casavia-importer-for-3ds-max");
  EXPECT_EQ(anchorOf("The `cvimp` command"), "the-cvimp-command");
  EXPECT_EQ(anchorOf("maxhost, the stand-in 3ds Max (Linux)"), "maxhost-the-stand-in-3ds-max-linux");
  EXPECT_EQ(anchorOf("Multi/Sub-Object materials × 2"), "multisub-object-materials--2");
  EXPECT_EQ(anchorOf("导入，设计 Ünï"), "导入设计-ünï");
  EXPECT_EQ(anchorsOf(Page{"", {}, {"Notes", "Notes", "Notes"}}),
            (std::set<std::string>{"notes", "notes-1", "notes-2"}));
}

TEST(DocsTest, RelativeLinksReachFilesAndHeadings) {
  std::map<fs::path, std::set<std::string>> anchors;
  for (const fs::path& page : pages()) anchors[page] = anchorsOf(readPage(page));
  for (const fs::path& page : pages()) {
    const std::string prose = readPage(page).prose;
    const std::string name = fs::relative(page, kSourceDir).generic_string();
    for (std::size_t at = prose.find("]("); at != std::string::npos; at = prose.find("](", at + 2)) {
      const std::string link = prose.substr(at + 2, prose.find_first_of(") \n", at + 2) - at - 2);
      if (link.find("://") != std::string::npos || link.rfind("mailto:", 0) == 0) continue;
      const std::size_t hash = link.find('#');
      const fs::path target = hash == 0 ? page : (page.parent_path() / link.substr(0, hash)).lexically_normal();
      if (!fs::exists(target)) {
        ADD_FAILURE() << name << ": link '" << link << "' points at no file";
      } else if (hash != std::string::npos) {
        if (!anchors.contains(target)) anchors[target] = anchorsOf(readPage(target));
        if (!anchors[target].contains(link.substr(hash + 1))) {
          ADD_FAILURE() << name << ": link '" << link << "' names no heading of " << target.filename().string();
        }
      }
    }
  }
}

TEST(DocsTest, MakeTargetsTheReadmeNamesExist) {
  std::set<std::string> targets;
  const std::regex rule("^([A-Za-z0-9_.-]+(?: [A-Za-z0-9_.-]+)*):(?!=)");
  std::istringstream makefile(test::readFile(kSourceDir / "Makefile"));
  for (std::string line; std::getline(makefile, line);) {
    std::smatch match;
    if (!std::regex_search(line, match, rule)) continue;
    std::istringstream names(match[1].str());
    for (std::string target; names >> target;) targets.insert(target);
  }
  const std::regex named(R"((?:^|\s)make ([A-Za-z0-9_-]+))");
  int checked = 0;
  for (const std::string& code : readPage(kSourceDir / "README.md").code) {
    for (std::sregex_iterator it(code.begin(), code.end(), named), end; it != end; ++it, ++checked) {
      if (!targets.contains((*it)[1].str()))
        ADD_FAILURE() << "README.md names 'make " << (*it)[1] << "', not in the Makefile";
    }
  }
  EXPECT_GT(checked, 0) << "README.md names no make target";
}

}  // namespace
}  // namespace cvimp
