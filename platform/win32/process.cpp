#include <windows.h>
// After windows.h, which they need.
#include <malloc.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/platform.h"
#include "platform/win32/wide.h"

namespace cvimp::platform {

namespace win32 {

std::string errorText(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = length > 0 ? narrow(std::wstring_view(text, length)) : "error " + std::to_string(code);
  if (text != nullptr) ::LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == ' ' || out.back() == '.')) {
    out.pop_back();
  }
  return out;
}

}  // namespace win32

namespace {

double seconds(const FILETIME& time) {
  ULARGE_INTEGER ticks;
  ticks.LowPart = time.dwLowDateTime;
  ticks.HighPart = time.dwHighDateTime;
  return static_cast<double>(ticks.QuadPart) / 1e7;  // 100-nanosecond ticks
}

// While the program that took this one's place runs, Ctrl-C is its to
// answer: this process only waits for its status.
BOOL WINAPI leaveInterruptToChild(DWORD event) { return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT; }

}  // namespace

std::string executablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) return win32::narrow(std::wstring_view(path.data(), length));
    path.resize(path.size() * 2);
  }
}

std::string runInPlaceOfThisProcess(const std::string& program, const std::vector<std::string>& arguments) {
  std::wstring file = win32::wide(program);
  if (!std::filesystem::path(file).has_extension()) file += L".exe";
  std::wstring line = win32::wide(windowsCommandLine(arguments));

  // The child writes to this program's own standard handles and console.
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  start.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
  start.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE handle : {start.hStdInput, start.hStdOutput, start.hStdError}) {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) {
      ::SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    }
  }
  std::fflush(nullptr);
  PROCESS_INFORMATION child{};
  if (!::CreateProcessW(file.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child)) {
    return win32::errorText(::GetLastError());
  }
  ::CloseHandle(child.hThread);
  ::SetConsoleCtrlHandler(leaveInterruptToChild, TRUE);
  ::WaitForSingleObject(child.hProcess, INFINITE);
  DWORD status = 1;
  ::GetExitCodeProcess(child.hProcess, &status);
  ::CloseHandle(child.hProcess);
  std::exit(static_cast<int>(status));
}

ProcessUsage processUsage() {
  FILETIME created{}, exited{}, kernel{}, user{};
  ProcessUsage usage;
  if (::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) {
    usage.userSeconds = seconds(user);
    usage.systemSeconds = seconds(kernel);
  }
  PROCESS_MEMORY_COUNTERS memory{};
  if (::GetProcessMemoryInfo(::GetCurrentProcess(), &memory, sizeof memory)) usage.pageFaults = memory.PageFaultCount;
  return usage;
}

double machineBusySeconds() {
  FILETIME idle{}, kernel{}, user{};
  if (!::GetSystemTimes(&idle, &kernel, &user)) return 0;
  // Kernel time includes the idle time.
  return seconds(kernel) - seconds(idle) + seconds(user);
}

void releaseFreeMemory() { ::_heapmin(); }

}  // namespace cvimp::platform
