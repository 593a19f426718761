#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "platform/win32/wide.h"

namespace cvimp::platform {

std::optional<std::string> environmentVariable(const char* name) {
  const std::wstring key = win32::wide(name);
  std::wstring value(64, L'\0');
  for (;;) {
    ::SetLastError(ERROR_SUCCESS);
    const DWORD length = ::GetEnvironmentVariableW(key.c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < value.size()) return win32::narrow(std::wstring_view(value.data(), length));
    value.resize(length);
  }
}

// The process's environment, which child programs get, and the C runtime's
// copy of it, which libraries read through getenv, are set together. The
// runtime's copy cannot hold an empty value ("NAME=" removes the name, from
// the process's environment too), so the process's is set last.
void setEnvironmentVariable(const char* name, const char* value) {
  const std::wstring key = win32::wide(name);
  const std::wstring text = value != nullptr ? win32::wide(value) : std::wstring();
  ::_wputenv((key + L"=" + text).c_str());
  ::SetEnvironmentVariableW(key.c_str(), value != nullptr ? text.c_str() : nullptr);
}

std::vector<std::string> programArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (words == nullptr) return {argv, argv + argc};
  std::vector<std::string> arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(win32::narrow(words[i]));
  ::LocalFree(words);
  return arguments;
}

namespace {

UINT initialOutputCodePage = 0;

void restoreOutputCodePage() { ::SetConsoleOutputCP(initialOutputCodePage); }

}  // namespace

// Binary mode: the bytes written are the bytes that arrive, as on other
// systems. The console shows UTF-8 and the escape sequences of the progress
// bar; its code page is put back when the program ends.
void useUtf8Console() {
  std::fflush(nullptr);
  ::_setmode(::_fileno(stdout), _O_BINARY);
  ::_setmode(::_fileno(stderr), _O_BINARY);
  const UINT codePage = ::GetConsoleOutputCP();
  if (codePage != 0 && codePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8)) {
    initialOutputCodePage = codePage;
    std::atexit(restoreOutputCodePage);
  }
  for (const DWORD which : {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE}) {
    const HANDLE handle = ::GetStdHandle(which);
    DWORD mode = 0;
    if (::GetConsoleMode(handle, &mode)) ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  }
}

bool standardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

namespace {

HANDLE interrupted = nullptr;

BOOL WINAPI noteInterrupt(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  ::SetEvent(interrupted);
  return TRUE;
}

}  // namespace

InterruptWait::InterruptWait() {
  interrupted = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ::SetConsoleCtrlHandler(noteInterrupt, TRUE);
}

InterruptWait::~InterruptWait() {
  ::SetConsoleCtrlHandler(noteInterrupt, FALSE);
  ::CloseHandle(interrupted);
  interrupted = nullptr;
}

void InterruptWait::wait() { ::WaitForSingleObject(interrupted, INFINITE); }

}  // namespace cvimp::platform
