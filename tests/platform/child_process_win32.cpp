#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cwctype>
#include <map>
#include <mutex>
#include <thread>

#include "platform/platform.h"
#include "tests/platform/child_process.h"

namespace cvimp::test {

namespace {

// How long readUntil waits for more output.
constexpr auto kAnswerTime = std::chrono::minutes(2);

std::wstring wide(const std::string& text) {
  const std::u16string utf16 = platform::utf8ToUtf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

// Names compare as Windows compares them, without case.
struct NoCase {
  bool operator()(const std::wstring& a, const std::wstring& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return std::towupper(x) < std::towupper(y); });
  }
};

// This process's environment with `extra` ("NAME=value") set over it, as a
// sorted block of NUL-ended entries, as CreateProcessW takes it.
std::wstring environmentBlock(const std::vector<std::string>& extra) {
  std::map<std::wstring, std::wstring, NoCase> entries;
  const auto add = [&](const std::wstring& entry) {
    const std::size_t equals = entry.find(L'=', 1);  // "=C:=C:\x" names start with "="
    if (equals != std::wstring::npos) entries[entry.substr(0, equals)] = entry.substr(equals + 1);
  };
  wchar_t* block = ::GetEnvironmentStringsW();
  for (const wchar_t* entry = block; entry != nullptr && *entry != L'\0'; entry += std::wcslen(entry) + 1) add(entry);
  ::FreeEnvironmentStringsW(block);
  for (const std::string& entry : extra) add(wide(entry));
  std::wstring out;
  for (const auto& [name, value] : entries) out += name + L"=" + value + L'\0';
  return out + L'\0';
}

}  // namespace

// Output is read by a thread of its own into `pending`, so that readUntil
// can wait for it with a time limit.
struct ChildProcess::Running {
  HANDLE process = nullptr;
  DWORD id = 0;
  HANDLE input = nullptr;
  HANDLE output = nullptr;
  std::thread reader;
  std::mutex lock;
  std::condition_variable arrived;
  std::string pending;
  bool ended = false;

  void read() {
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(output, buffer, sizeof buffer, &got, nullptr) && got > 0) {
      std::lock_guard guard(lock);
      pending.append(buffer, got);
      arrived.notify_all();
    }
    std::lock_guard guard(lock);
    ended = true;
    arrived.notify_all();
  }
  void closeInput() {
    if (input != nullptr) ::CloseHandle(input);
    input = nullptr;
  }
};

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& environment, const std::string& input, bool conversing)
    : running_(std::make_unique<Running>()) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE childInput = nullptr, childOutput = nullptr;
  if (!::CreatePipe(&childInput, &running_->input, &inheritable, 0)) return;
  if (!::CreatePipe(&running_->output, &childOutput, &inheritable, 0)) {
    ::CloseHandle(childInput);
    running_->closeInput();
    return;
  }
  // The program inherits only its own two ends.
  ::SetHandleInformation(running_->input, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(running_->output, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = childInput;
  start.hStdOutput = childOutput;
  start.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::wstring line = wide(platform::windowsCommandLine(words));
  std::wstring block = environmentBlock(environment);
  PROCESS_INFORMATION child{};
  // No application name: the system finds the program as a user's command does.
  const bool spawned = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                                        block.data(), nullptr, &start, &child) != 0;
  ::CloseHandle(childInput);
  ::CloseHandle(childOutput);
  if (spawned) {
    ::CloseHandle(child.hThread);
    running_->process = child.hProcess;
    running_->id = child.dwProcessId;
    send(input);
  }
  if (!spawned || !conversing) running_->closeInput();
  running_->reader = std::thread([running = running_.get()] { running->read(); });
}

bool ChildProcess::prepareInterrupts() {
  // A console shared with the test runner would pass Ctrl-C on to it.
  ::FreeConsole();
  if (!::AllocConsole()) return false;
  return ::SetConsoleCtrlHandler([](DWORD event) -> BOOL { return event == CTRL_C_EVENT; }, TRUE) != 0;
}
void ChildProcess::interrupt() { ::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0); }

bool ChildProcess::started() const { return running_->process != nullptr; }
int ChildProcess::pid() const { return static_cast<int>(running_->id); }

ChildProcess::~ChildProcess() {
  running_->closeInput();
  if (running_->process != nullptr) {
    ::TerminateProcess(running_->process, 1);
    ::WaitForSingleObject(running_->process, INFINITE);
    ::CloseHandle(running_->process);
  }
  if (running_->reader.joinable()) running_->reader.join();
  if (running_->output != nullptr) ::CloseHandle(running_->output);
}

void ChildProcess::send(const std::string& text) {
  std::size_t done = 0;
  while (running_->input != nullptr && done < text.size()) {
    DWORD written = 0;
    if (!::WriteFile(running_->input, text.data() + done, static_cast<DWORD>(text.size() - done), &written, nullptr) ||
        written == 0) {
      break;
    }
    done += written;
  }
}

std::string ChildProcess::readUntil(const std::string& prefix) {
  for (;;) {
    {
      std::lock_guard guard(running_->lock);
      output_ += running_->pending;
      running_->pending.clear();
    }
    if (std::optional<std::string> part = takeAnsweredLine(prefix)) return *part;
    // A program that stops answering fails the test rather than hanging it.
    std::unique_lock guard(running_->lock);
    const bool more =
        running_->arrived.wait_for(guard, kAnswerTime, [&] { return !running_->pending.empty() || running_->ended; });
    if (!more || (running_->pending.empty() && running_->ended)) {
      std::string rest = output_.substr(read_) + running_->pending;
      output_ += running_->pending;
      running_->pending.clear();
      read_ = output_.size();
      return rest;
    }
  }
}

bool ChildProcess::finish() {
  running_->closeInput();
  if (running_->reader.joinable()) running_->reader.join();
  output_ += running_->pending;
  running_->pending.clear();
  if (running_->process == nullptr) return false;
  ::WaitForSingleObject(running_->process, INFINITE);
  DWORD status = 1;
  ::GetExitCodeProcess(running_->process, &status);
  ::CloseHandle(running_->process);
  running_->process = nullptr;
  return status == 0;
}

}  // namespace cvimp::test
