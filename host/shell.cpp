#include "host/shell.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "host/journal.h"
#include "host/wstr.h"

namespace fs = std::filesystem;

namespace host {

namespace {

constexpr INT_PTR kFileNotFound = 2;
constexpr INT_PTR kPathNotFound = 3;
constexpr INT_PTR kOutOfResources = 0;
constexpr INT_PTR kAccessDenied = 5;
constexpr INT_PTR kBadFormat = 11;
constexpr INT_PTR kCannotExecute = 1;
constexpr INT_PTR kNoAssociation = 31;
constexpr INT_PTR kStarted = 42;

struct LauncherState {
  std::mutex lock;
  std::optional<std::string> opener;  // unset: look for xdg-open
  std::vector<pid_t> children;
  bool recordOnly = false;
  std::vector<std::string> recorded;
};

LauncherState& launcher() {
  static LauncherState state;
  return state;
}

// A program on PATH, or empty.
std::string findOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  std::string directories = path;
  std::size_t start = 0;
  while (start <= directories.size()) {
    const std::size_t end = std::min(directories.find(':', start), directories.size());
    const fs::path candidate = fs::path(directories.substr(start, end - start)) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return {};
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

// The shell's answer for a program that could not be started.
INT_PTR launchError(int error) {
  switch (error) {
    case ENOENT:
      return kFileNotFound;
    case ENOTDIR:
      return kPathNotFound;
    case EACCES:
    case EPERM:
      return kAccessDenied;
    case ENOEXEC:
      return kBadFormat;
    case ENOMEM:
      return kOutOfResources;
    default:
      return kCannotExecute;
  }
}

// Starts `program` with `arguments` in `directory` (empty: the current one)
// without waiting for it to end. The child reports a failed start through a
// pipe that closes by itself when the program is running.
INT_PTR start(const std::string& program, const std::vector<std::string>& arguments, const std::string& directory) {
  {
    std::lock_guard guard(launcher().lock);
    if (launcher().recordOnly) {
      std::string line = program;
      for (const std::string& argument : arguments) line += " " + argument;
      launcher().recorded.push_back(line + " (in " + (directory.empty() ? "." : directory) + ")");
      return kStarted;
    }
  }
  std::vector<std::string> argv = {program};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  std::vector<char*> pointers;
  for (std::string& argument : argv) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return kOutOfResources;
  const pid_t child = ::fork();
  if (child < 0) {
    ::close(report[0]);
    ::close(report[1]);
    return kOutOfResources;
  }
  if (child == 0) {
    ::close(report[0]);
    if (directory.empty() || ::chdir(directory.c_str()) == 0) ::execv(program.c_str(), pointers.data());
    const int error = errno;
    [[maybe_unused]] const ssize_t written = ::write(report[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(report[1]);
  int error = 0;
  ssize_t got = 0;
  do {
    got = ::read(report[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (got == static_cast<ssize_t>(sizeof error)) {
    ::waitpid(child, nullptr, 0);
    return launchError(error);
  }
  std::lock_guard guard(launcher().lock);
  // Programs that ended since the last launch are reaped now.
  std::erase_if(launcher().children, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; });
  launcher().children.push_back(child);
  return kStarted;
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

std::string desktopOpener() {
  std::lock_guard guard(launcher().lock);
  return launcher().opener ? *launcher().opener : findOnPath("xdg-open");
}

INT_PTR launch(const std::string& operation, const std::string& file, const std::string& parameters,
               const std::optional<std::string>& directory) {
  std::error_code error;
  if (directory && !directory->empty() && !fs::is_directory(*directory, error)) return kPathNotFound;
  const bool opening = operation.empty() || operation == "open" || operation == "explore";
  fs::path target(file);
  if (target.is_relative() && directory && !directory->empty()) {
    const fs::path inDirectory = fs::path(*directory) / target;
    if (fs::exists(inDirectory, error)) target = inDirectory;
  }
  const bool exists = !file.empty() && fs::exists(target, error);
  // An address opens in the default browser, through the desktop's opener
  // (an existing file whose name looks like one stays a file).
  if (!exists && isAddress(file)) {
    const std::string opener = opening ? desktopOpener() : std::string();
    return opener.empty() ? kNoAssociation : start(opener, {file}, directory.value_or(""));
  }
  if (!exists) {
    const fs::path parent = target.parent_path();
    return parent.empty() || fs::is_directory(parent, error) ? kFileNotFound : kPathNotFound;
  }
  if (fs::is_regular_file(target, error) && ::access(target.c_str(), X_OK) == 0 && (opening || operation == "runas")) {
    return start(fs::absolute(target, error).string(), splitParameters(parameters), directory.value_or(""));
  }
  if (!opening) return kNoAssociation;
  const std::string opener = desktopOpener();
  if (opener.empty()) return kNoAssociation;
  return start(opener, {fs::absolute(target, error).string()}, directory.value_or(""));
}

}  // namespace

void setDesktopOpener(std::string opener) {
  std::lock_guard guard(launcher().lock);
  launcher().opener = std::move(opener);
}

void useDefaultDesktopOpener() {
  std::lock_guard guard(launcher().lock);
  launcher().opener.reset();
}

void setLaunchesRecorded(bool recorded) {
  std::lock_guard guard(launcher().lock);
  launcher().recordOnly = recorded;
  launcher().recorded.clear();
}

std::vector<std::string> recordedLaunches() {
  std::lock_guard guard(launcher().lock);
  return launcher().recorded;
}

int waitForLaunchedPrograms() {
  std::vector<pid_t> children;
  {
    std::lock_guard guard(launcher().lock);
    children.swap(launcher().children);
  }
  for (const pid_t pid : children) ::waitpid(pid, nullptr, 0);
  return static_cast<int>(children.size());
}

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
