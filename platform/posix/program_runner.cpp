#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <type_traits>

#include "platform/platform.h"

namespace cvimp::platform {

namespace {

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; }

bool sendAll(int channel, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t sent = ::send(channel, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool receiveAll(int channel, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::recv(channel, bytes, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

// Results cross the channel as they are in memory: both ends are one program.
static_assert(std::is_trivially_copyable_v<ProgramRun>);

// A request is a count, then each text as its length and its bytes.
bool sendTexts(int channel, const std::vector<std::string>& texts) {
  const auto count = static_cast<std::uint32_t>(texts.size());
  if (!sendAll(channel, &count, sizeof count)) return false;
  for (const std::string& text : texts) {
    const auto length = static_cast<std::uint32_t>(text.size());
    if (!sendAll(channel, &length, sizeof length) || !sendAll(channel, text.data(), text.size())) return false;
  }
  return true;
}

bool receiveTexts(int channel, std::vector<std::string>& texts) {
  std::uint32_t count = 0;
  if (!receiveAll(channel, &count, sizeof count)) return false;
  texts.assign(count, std::string());
  for (std::string& text : texts) {
    std::uint32_t length = 0;
    if (!receiveAll(channel, &length, sizeof length)) return false;
    text.resize(length);
    if (!receiveAll(channel, text.data(), length)) return false;
  }
  return true;
}

ProgramRun runToEnd(std::vector<std::string>& texts) {
  ProgramRun run;
  std::vector<char*> argv;
  for (std::string& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    // Only async-signal-safe calls between fork and exec.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
      ::dup2(null, STDOUT_FILENO);
      ::dup2(null, STDERR_FILENO);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  if (child < 0) return run;
  int status = 0;
  rusage usage{};
  while (::wait4(child, &status, 0, &usage) < 0) {
    if (errno != EINTR) return run;
  }
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.started = true;
  run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.userSeconds = seconds(usage.ru_utime);
  run.systemSeconds = seconds(usage.ru_stime);
  run.peakResidentBytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // reported in kilobytes
  return run;
}

// The helper's life: one program per request until the runner closes the channel.
[[noreturn]] void serveRequests(int channel) {
  std::vector<std::string> texts;
  while (receiveTexts(channel, texts)) {
    const ProgramRun run = texts.empty() ? ProgramRun{} : runToEnd(texts);
    if (!sendAll(channel, &run, sizeof run)) break;
  }
  // _exit: the helper is a copy of its parent, whose exit handlers are not its own.
  ::_exit(0);
}

}  // namespace

ProgramRunner::ProgramRunner() {
  int ends[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return;
  const pid_t helper = ::fork();
  if (helper == 0) {
    ::close(ends[0]);
    serveRequests(ends[1]);
  }
  ::close(ends[1]);
  if (helper < 0) {
    ::close(ends[0]);
    return;
  }
  channel_ = ends[0];
  helper_ = helper;
}

bool ProgramRunner::ready() const { return channel_ >= 0; }

ProgramRunner::~ProgramRunner() {
  if (channel_ >= 0) ::close(channel_);
  if (helper_ > 0) ::waitpid(helper_, nullptr, 0);
}

ProgramRun ProgramRunner::run(const std::string& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  if (channel_ < 0) return run;
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  if (!sendTexts(channel_, texts) || !receiveAll(channel_, &run, sizeof run)) {
    // A helper that is gone takes no more requests.
    ::close(channel_);
    channel_ = -1;
    return ProgramRun{};
  }
  return run;
}

}  // namespace cvimp::platform
