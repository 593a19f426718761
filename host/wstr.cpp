#include "host/wstr.h"

#include <cstring>

#include "platform/platform.h"

WStr WStr::FromACP(const char* text, std::ptrdiff_t length) {
  if (text == nullptr) return WStr();
  const std::size_t size = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  return WStr(cvimp::platform::utf8ToUtf16(std::string_view(text, size)));
}

CStr WStr::ToACP() const { return CStr(cvimp::platform::utf16ToUtf8(text_)); }

WStr WStr::FromUTF8(const char* text, std::ptrdiff_t length) {
  if (text == nullptr) return WStr();
  const std::size_t size = length < 0 ? std::strlen(text) : static_cast<std::size_t>(length);
  return WStr(cvimp::platform::utf8ToUtf16(std::string_view(text, size)));
}

CStr WStr::ToUTF8() const { return CStr(cvimp::platform::utf16ToUtf8(text_)); }

int WStr::Replace(const MCHAR* from, const MCHAR* to) {
  const std::u16string_view pattern = from != nullptr ? from : u"";
  const std::u16string_view replacement = to != nullptr ? to : u"";
  if (pattern.empty()) return 0;
  int count = 0;
  std::size_t at = 0;
  while ((at = text_.find(pattern, at)) != std::u16string::npos) {
    text_.replace(at, pattern.size(), replacement);
    at += replacement.size();
    ++count;
  }
  return count;
}
