#include "tests/platform/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace cvimp::test {

namespace {
// How long readUntil waits for more output.
constexpr int kAnswerMilliseconds = 120000;
}  // namespace

struct ChildProcess::Running {
  pid_t pid = -1;
  int outputPipe = -1;
  int inputPipe = -1;
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, const std::string& input, bool conversing)
    : running_(std::make_unique<Running>()) {
  // Close-on-exec: the program inherits only the two ends it is given.
  int in[2];
  int out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return;
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  for (const int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);

  std::vector<std::string> argumentTexts{program};
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& text : argumentTexts) argv.push_back(text.data());
  argv.push_back(nullptr);
  std::vector<std::string> environmentTexts(environment);
  for (char** entry = environ; *entry != nullptr; ++entry) environmentTexts.emplace_back(*entry);
  std::vector<char*> envp;
  for (std::string& text : environmentTexts) envp.push_back(text.data());
  envp.push_back(nullptr);

  pid_t child = 0;
  const bool spawned = posix_spawnp(&child, program.c_str(), &actions, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  // A program that ends without reading its input must not end the tests.
  ::signal(SIGPIPE, SIG_IGN);
  if (spawned && !input.empty()) {
    const ssize_t written = ::write(in[1], input.data(), input.size());
    (void)written;
  }
  if (spawned && conversing) {
    running_->inputPipe = in[1];
  } else {
    ::close(in[1]);
  }
  running_->outputPipe = out[0];
  if (spawned) running_->pid = child;
}

bool ChildProcess::prepareInterrupts() { return true; }
void ChildProcess::interrupt() {
  if (running_->pid > 0) ::kill(running_->pid, SIGINT);
}

bool ChildProcess::started() const { return running_->pid > 0; }
int ChildProcess::pid() const { return running_->pid; }

ChildProcess::~ChildProcess() {
  if (running_->pid > 0) {
    ::kill(running_->pid, SIGKILL);
    ::waitpid(running_->pid, nullptr, 0);
  }
  if (running_->outputPipe >= 0) ::close(running_->outputPipe);
  if (running_->inputPipe >= 0) ::close(running_->inputPipe);
}

void ChildProcess::send(const std::string& text) {
  std::size_t done = 0;
  while (running_->inputPipe >= 0 && done < text.size()) {
    const ssize_t written = ::write(running_->inputPipe, text.data() + done, text.size() - done);
    if (written <= 0) break;
    done += static_cast<std::size_t>(written);
  }
}

std::string ChildProcess::readUntil(const std::string& prefix) {
  char buffer[4096];
  for (;;) {
    if (std::optional<std::string> part = takeAnsweredLine(prefix)) return *part;
    // A program that stops answering fails the test rather than hanging it.
    pollfd ready{running_->outputPipe, POLLIN, 0};
    const bool readable = running_->outputPipe >= 0 && ::poll(&ready, 1, kAnswerMilliseconds) > 0;
    const ssize_t got = readable ? ::read(running_->outputPipe, buffer, sizeof buffer) : 0;
    if (got <= 0) {
      std::string rest = output_.substr(read_);
      read_ = output_.size();
      return rest;
    }
    output_.append(buffer, static_cast<std::size_t>(got));
  }
}

bool ChildProcess::finish() {
  if (running_->inputPipe >= 0) ::close(running_->inputPipe);
  running_->inputPipe = -1;
  char buffer[4096];
  ssize_t got = 0;
  while (running_->outputPipe >= 0 && (got = ::read(running_->outputPipe, buffer, sizeof buffer)) > 0) {
    output_.append(buffer, static_cast<std::size_t>(got));
  }
  if (running_->pid <= 0) return false;
  int status = 0;
  ::waitpid(running_->pid, &status, 0);
  running_->pid = -1;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace cvimp::test
