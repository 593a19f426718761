#pragma once
// UTF-8 text to and from the wide (UTF-16) strings of the Windows API,
// where wchar_t is two bytes.
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace cvimp::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring wide(std::string_view text) {
  const std::u16string utf16 = utf8ToUtf16(text);
  return std::wstring(reinterpret_cast<const wchar_t*>(utf16.data()), utf16.size());
}

inline std::string narrow(std::wstring_view text) {
  return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

// The system's text for an error code, without its line break.
std::string errorText(unsigned long code);

}  // namespace cvimp::platform::win32
