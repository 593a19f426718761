#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/platform.h"

namespace cvimp::platform {

std::optional<std::string> environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

void setEnvironmentVariable(const char* name, const char* value) {
  if (value != nullptr) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
}

std::vector<std::string> programArguments(int argc, char** argv) { return {argv, argv + argc}; }

void useUtf8Console() {}

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

namespace {

sigset_t stopSignals() {
  sigset_t stops;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  return stops;
}

}  // namespace

// Blocked in this thread before any other starts, so that every thread
// inherits the mask and sigwait below is the one to take them.
InterruptWait::InterruptWait() {
  const sigset_t stops = stopSignals();
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);
}

InterruptWait::~InterruptWait() {
  const sigset_t stops = stopSignals();
  pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
}

void InterruptWait::wait() {
  const sigset_t stops = stopSignals();
  int signal = 0;
  sigwait(&stops, &signal);
}

}  // namespace cvimp::platform
