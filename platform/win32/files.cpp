#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/platform.h"
#include "platform/win32/wide.h"

namespace cvimp::platform {

// The C runtime's fopen knows no "x" (fail when the file exists): such a
// file is created by the system and handed to the runtime.
File openFile(const std::string& path, const char* mode) {
  const std::string_view flags(mode);
  if (flags.find('x') == std::string_view::npos) {
    return File(::_wfopen(win32::wide(path).c_str(), win32::wide(mode).c_str()));
  }
  std::string plain;
  for (const char c : flags) {
    if (c != 'x') plain += c;
  }
  const bool update = flags.find('+') != std::string_view::npos;
  const HANDLE handle =
      ::CreateFileW(win32::wide(path).c_str(), GENERIC_WRITE | (update ? GENERIC_READ : 0),
                    FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // As fopen reports it, for callers that pick another name.
    errno = ::GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
    return nullptr;
  }
  const int descriptor = ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle), update ? _O_RDWR : _O_WRONLY);
  if (descriptor < 0) {
    ::CloseHandle(handle);
    return nullptr;
  }
  std::FILE* file = ::_wfdopen(descriptor, win32::wide(plain).c_str());
  if (file == nullptr) ::_close(descriptor);
  return File(file);
}

std::optional<std::uint64_t> fileSize(std::FILE* file) {
  if (file == nullptr || ::_fseeki64(file, 0, SEEK_END) != 0) return std::nullopt;
  const long long size = ::_ftelli64(file);
  if (size < 0 || ::_fseeki64(file, 0, SEEK_SET) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(size);
}

// A rename within one volume, which NTFS makes in one step.
bool replaceFile(const std::string& from, const std::string& to) {
  return ::MoveFileExW(win32::wide(from).c_str(), win32::wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

std::optional<std::uint64_t> availableBytes(const std::string& path) {
  std::filesystem::path place(win32::wide(path.empty() ? "." : path));
  std::error_code failure;
  // A folder about to be created is judged by the one it will be made in.
  while (!std::filesystem::exists(place, failure) && place.has_relative_path()) {
    place = place.parent_path();
    if (place.empty()) place = ".";
  }
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExW(place.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

std::string userCacheDirectory() {
  // The variable first, as a user or a test may point it elsewhere.
  if (const std::optional<std::string> local = environmentVariable("LOCALAPPDATA");
      local && pathFromUtf8(*local).is_absolute()) {
    return *local;
  }
  wchar_t* folder = nullptr;
  std::string path;
  if (::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &folder) == S_OK) {
    path = win32::narrow(folder);
  }
  ::CoTaskMemFree(folder);
  return path;
}

std::string makeTemporaryDirectory(const std::string& prefix) {
  wchar_t base[MAX_PATH + 1];
  const DWORD length = ::GetTempPathW(MAX_PATH + 1, base);
  if (length == 0 || length > MAX_PATH) return {};
  std::random_device seed;
  std::mt19937 pick(seed());
  constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = prefix;
    for (int i = 0; i < 6; ++i) name += kLetters[pick() % (sizeof kLetters - 1)];
    const std::wstring path = std::wstring(base, length) + win32::wide(name);
    if (::CreateDirectoryW(path.c_str(), nullptr)) return win32::narrow(path);
    if (::GetLastError() != ERROR_ALREADY_EXISTS) return {};
  }
  return {};
}

}  // namespace cvimp::platform
