#include "host/launcher.h"

#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <mutex>
#include <utility>

#include "platform/platform.h"

namespace fs = std::filesystem;

namespace host::launcher {

namespace {

struct Started {
  std::mutex lock;
  int count = 0;
  std::vector<HANDLE> processes;  // of those the system gave a handle for
};

Started& started() {
  static Started state;
  return state;
}

std::wstring wide(const std::string& text) {
  const std::u16string utf16 = cvimp::platform::utf8ToUtf16(text);
  return std::wstring(utf16.begin(), utf16.end());
}

// The shell runs the program or opens the document itself; its answer is
// kept as it gives it, above 32 when the thing was started.
std::intptr_t execute(const wchar_t* verb, const std::string& file, const std::string& parameters,
                      const std::string& directory) {
  const std::wstring fileText = wide(file), parameterText = wide(parameters), directoryText = wide(directory);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
  info.lpVerb = verb;
  info.lpFile = fileText.c_str();
  info.lpParameters = parameters.empty() ? nullptr : parameterText.c_str();
  info.lpDirectory = directory.empty() ? nullptr : directoryText.c_str();
  info.nShow = SW_SHOWNORMAL;
  // The shell may hand the file to extensions it activates through COM,
  // which it expects the calling thread to have set up.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const bool executed = ::ShellExecuteExW(&info);
  if (SUCCEEDED(com)) ::CoUninitialize();
  if (!executed) {
    const auto answer = reinterpret_cast<std::intptr_t>(info.hInstApp);
    return answer > 32 || answer < 0 ? 1 : answer;
  }
  std::lock_guard guard(started().lock);
  ++started().count;
  if (info.hProcess != nullptr) started().processes.push_back(info.hProcess);
  return kStarted;
}

}  // namespace

bool isProgram(const fs::path& file) {
  std::error_code error;
  if (!fs::is_regular_file(file, error)) return false;
  std::wstring extension = file.extension().wstring();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
  return extension == L".exe" || extension == L".com" || extension == L".bat" || extension == L".cmd";
}

std::intptr_t start(const std::string& program, const std::vector<std::string>& arguments,
                    const std::string& directory) {
  // The parameters as the program's own command line reads them back.
  std::vector<std::string> line{program};
  line.insert(line.end(), arguments.begin(), arguments.end());
  const std::string command = cvimp::platform::windowsCommandLine(line);
  const std::string parameters = command.substr(std::min(command.size(), program.size() + 3));
  return execute(L"open", program, parameters, directory);
}

std::intptr_t openWithSystem(const std::string& target, const std::string& directory) {
  return execute(L"open", target, "", directory);
}

int waitForStarted() {
  std::vector<HANDLE> processes;
  int count = 0;
  {
    std::lock_guard guard(started().lock);
    processes.swap(started().processes);
    count = std::exchange(started().count, 0);
  }
  for (const HANDLE process : processes) {
    ::WaitForSingleObject(process, INFINITE);
    ::CloseHandle(process);
  }
  return count;
}

}  // namespace host::launcher
