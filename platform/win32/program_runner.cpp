#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <chrono>

#include "platform/platform.h"
#include "platform/win32/wide.h"

namespace cvimp::platform {

namespace {

double seconds(const FILETIME& time) {
  ULARGE_INTEGER ticks;
  ticks.LowPart = time.dwLowDateTime;
  ticks.HighPart = time.dwHighDateTime;
  return static_cast<double>(ticks.QuadPart) / 1e7;
}

}  // namespace

ProgramRunner::ProgramRunner() = default;
ProgramRunner::~ProgramRunner() = default;
bool ProgramRunner::ready() const { return true; }

ProgramRun ProgramRunner::run(const std::string& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  std::vector<std::string> texts{program};
  texts.insert(texts.end(), arguments.begin(), arguments.end());
  std::wstring line = win32::wide(windowsCommandLine(texts));

  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE null =
      ::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = null;
  start.hStdError = null;
  PROCESS_INFORMATION child{};
  const auto begin = std::chrono::steady_clock::now();
  const bool started = ::CreateProcessW(win32::wide(program).c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &start, &child) != 0;
  if (null != INVALID_HANDLE_VALUE) ::CloseHandle(null);
  if (!started) return run;
  ::CloseHandle(child.hThread);
  ::WaitForSingleObject(child.hProcess, INFINITE);
  run.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  run.started = true;
  DWORD status = 0;
  if (::GetExitCodeProcess(child.hProcess, &status)) run.exitStatus = static_cast<int>(status);
  FILETIME created{}, exited{}, kernel{}, user{};
  if (::GetProcessTimes(child.hProcess, &created, &exited, &kernel, &user)) {
    run.userSeconds = seconds(user);
    run.systemSeconds = seconds(kernel);
  }
  PROCESS_MEMORY_COUNTERS memory{};
  if (::GetProcessMemoryInfo(child.hProcess, &memory, sizeof memory)) run.peakResidentBytes = memory.PeakWorkingSetSize;
  ::CloseHandle(child.hProcess);
  return run;
}

}  // namespace cvimp::platform
