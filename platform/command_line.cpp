#include "platform/platform.h"

namespace cvimp::platform {

namespace {

// Backslashes are plain characters except before a double quote, where
// they are halved; so a run of them doubles where a quote follows, the
// closing quote included.
void appendQuoted(std::string& line, const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
    line += argument;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (const char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') backslashes = backslashes * 2 + 1;
    line.append(backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');
  line += '"';
}

}  // namespace

std::string windowsCommandLine(const std::vector<std::string>& arguments) {
  std::string line;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (i == 0) {
      // A path holds no double quote; Windows reads the program's name up
      // to the closing one, backslashes as they are.
      line += '"' + arguments[0] + '"';
    } else {
      line += ' ';
      appendQuoted(line, arguments[i]);
    }
  }
  return line;
}

}  // namespace cvimp::platform
