#include "host/shell.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "host/journal.h"
#include "host/launcher.h"
#include "host/wstr.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

namespace host {

namespace {

constexpr INT_PTR kFileNotFound = 2;
constexpr INT_PTR kPathNotFound = 3;
constexpr INT_PTR kNoAssociation = launcher::kNoAssociation;
constexpr INT_PTR kStarted = launcher::kStarted;

struct LauncherState {
  std::mutex lock;
  std::optional<std::string> opener;  // unset: the system's own handler
  bool recordOnly = false;
  std::vector<std::string> recorded;
};

LauncherState& launches() {
  static LauncherState state;
  return state;
}

// Parameters split at blanks, double quotes grouping, as a command line.
std::vector<std::string> splitParameters(const std::string& text) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false;
  bool any = false;
  for (const char c : text) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word.push_back(c);
      any = true;
    }
  }
  if (any) words.push_back(word);
  return words;
}

// Starts a program, or writes down that it would have been started.
INT_PTR start(const std::string& program, const std::vector<std::string>& arguments, const std::string& directory) {
  {
    std::lock_guard guard(launches().lock);
    if (launches().recordOnly) {
      std::string line = program;
      for (const std::string& argument : arguments) line += " " + argument;
      launches().recorded.push_back(line + " (in " + (directory.empty() ? "." : directory) + ")");
      return kStarted;
    }
  }
  return launcher::start(program, arguments, directory);
}

// "https://...", "mailto:...": a scheme of two or more characters (one
// letter and a colon is a drive).
bool isAddress(const std::string& file) {
  const std::size_t colon = file.find(':');
  if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(file[0]))) return false;
  return std::all_of(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  });
}

// A document or address opened with the opener set for tests and the
// fuzzer, or else with the system's handler.
INT_PTR openDocument(const std::string& target, const std::string& directory) {
  std::optional<std::string> opener;
  bool recording = false;
  {
    std::lock_guard guard(launches().lock);
    opener = launches().opener;
    recording = launches().recordOnly;
  }
  if (opener) return opener->empty() ? kNoAssociation : start(*opener, {target}, directory);
  if (recording) return start("(system handler)", {target}, directory);
  return launcher::openWithSystem(target, directory);
}

INT_PTR launch(const std::string& operation, const std::string& file, const std::string& parameters,
               const std::optional<std::string>& directory) {
  using cvimp::platform::pathFromUtf8;
  using cvimp::platform::utf8FromPath;
  std::error_code error;
  if (directory && !directory->empty() && !fs::is_directory(pathFromUtf8(*directory), error)) return kPathNotFound;
  const bool opening = operation.empty() || operation == "open" || operation == "explore";
  fs::path target = pathFromUtf8(file);
  if (target.is_relative() && directory && !directory->empty()) {
    const fs::path inDirectory = pathFromUtf8(*directory) / target;
    if (fs::exists(inDirectory, error)) target = inDirectory;
  }
  const bool exists = !file.empty() && fs::exists(target, error);
  // An address opens in the default browser, through the desktop's opener
  // (an existing file whose name looks like one stays a file).
  if (!exists && isAddress(file)) return opening ? openDocument(file, directory.value_or("")) : kNoAssociation;
  if (!exists) {
    const fs::path parent = target.parent_path();
    return parent.empty() || fs::is_directory(parent, error) ? kFileNotFound : kPathNotFound;
  }
  if (launcher::isProgram(target) && (opening || operation == "runas")) {
    return start(utf8FromPath(fs::absolute(target, error)), splitParameters(parameters), directory.value_or(""));
  }
  if (!opening) return kNoAssociation;
  return openDocument(utf8FromPath(fs::absolute(target, error)), directory.value_or(""));
}

}  // namespace

void setDesktopOpener(std::string opener) {
  std::lock_guard guard(launches().lock);
  launches().opener = std::move(opener);
}

void useDefaultDesktopOpener() {
  std::lock_guard guard(launches().lock);
  launches().opener.reset();
}

void setLaunchesRecorded(bool recorded) {
  std::lock_guard guard(launches().lock);
  launches().recordOnly = recorded;
  launches().recorded.clear();
}

std::vector<std::string> recordedLaunches() {
  std::lock_guard guard(launches().lock);
  return launches().recorded;
}

int waitForLaunchedPrograms() { return launcher::waitForStarted(); }

}  // namespace host

HINSTANCE ShellExecuteW(HWND, const MCHAR* operation, const MCHAR* file, const MCHAR* parameters,
                        const MCHAR* directory, int showCmd) {
  const auto text = [](const MCHAR* value) { return value != nullptr ? host::utf16ToUtf8(value) : std::string(); };
  std::optional<std::string> folder;
  if (directory != nullptr) folder = text(directory);
  host::journal().record("ShellExecuteW", host::quoted(text(operation)) + ", " + host::quoted(text(file)) + ", " +
                                              (parameters != nullptr ? host::quoted(text(parameters)) : "none") + ", " +
                                              (folder ? host::quoted(*folder) : "none") + ", " +
                                              std::to_string(showCmd));
  const INT_PTR result = host::launch(text(operation), text(file), text(parameters), folder);
  return reinterpret_cast<HINSTANCE>(result);
}
