#include "host/launcher.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace fs = std::filesystem;

namespace host::launcher {

namespace {

constexpr std::intptr_t kFileNotFound = 2;
constexpr std::intptr_t kPathNotFound = 3;
constexpr std::intptr_t kOutOfResources = 0;
constexpr std::intptr_t kAccessDenied = 5;
constexpr std::intptr_t kBadFormat = 11;
constexpr std::intptr_t kCannotExecute = 1;

struct Started {
  std::mutex lock;
  std::vector<pid_t> children;
};

Started& started() {
  static Started state;
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

// The shell's answer for a program that could not be started.
std::intptr_t launchError(int error) {
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
}  // namespace

std::intptr_t start(const std::string& program, const std::vector<std::string>& arguments,
                    const std::string& directory) {
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
  std::lock_guard guard(started().lock);
  // Programs that ended since the last launch are reaped now.
  std::erase_if(started().children, [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) == pid; });
  started().children.push_back(child);
  return kStarted;
}

bool isProgram(const fs::path& file) {
  std::error_code error;
  return fs::is_regular_file(file, error) && ::access(file.c_str(), X_OK) == 0;
}

std::intptr_t openWithSystem(const std::string& target, const std::string& directory) {
  const std::string opener = findOnPath("xdg-open");
  return opener.empty() ? kNoAssociation : start(opener, {target}, directory);
}

int waitForStarted() {
  std::vector<pid_t> children;
  {
    std::lock_guard guard(started().lock);
    children.swap(started().children);
  }
  for (const pid_t pid : children) ::waitpid(pid, nullptr, 0);
  return static_cast<int>(children.size());
}

}  // namespace host::launcher
