#pragma once
// Host strings: WStr holds UTF-16, CStr 8-bit text: UTF-8, or the system
// ANSI code page, which in the stand-in is UTF-8 too.
#include <cstddef>
#include <string>
#include <string_view>

#include "host/host_types.h"
#include "platform/platform.h"

namespace host {

// The system's conversions (invalid UTF-8 and unpaired surrogates become U+FFFD).
using cvimp::platform::utf16ToUtf8;
using cvimp::platform::utf8ToUtf16;

}  // namespace host

class CStr {
 public:
  CStr() = default;
  CStr(const char* text) : text_(text != nullptr ? text : "") {}  // NOLINT: converts like the host's
  CStr(std::string text) : text_(std::move(text)) {}              // NOLINT
  const char* data() const { return text_.c_str(); }
  int Length() const { return static_cast<int>(text_.size()); }
  bool isNull() const { return text_.empty(); }
  const std::string& str() const { return text_; }
  friend bool operator==(const CStr&, const CStr&) = default;

 private:
  std::string text_;
};

class WStr {
 public:
  WStr() = default;
  WStr(const MCHAR* text) : text_(text != nullptr ? text : u"") {}  // NOLINT: converts like the host's
  WStr(std::u16string text) : text_(std::move(text)) {}             // NOLINT
  WStr(std::u16string_view text) : text_(text) {}                   // NOLINT

  // From 8-bit text in the system ANSI code page; a negative length reads to
  // the terminating zero.
  static WStr FromACP(const char* text, std::ptrdiff_t length = -1);
  CStr ToACP() const;
  // The same from and to UTF-8, which holds every character: paths and file
  // names go this way, since the code page of a Western Windows lacks most.
  static WStr FromUTF8(const char* text, std::ptrdiff_t length = -1);
  CStr ToUTF8() const;

  const MCHAR* data() const { return text_.c_str(); }
  int Length() const { return static_cast<int>(text_.size()); }
  bool isNull() const { return text_.empty(); }
  const std::u16string& str() const { return text_; }

  // Replaces every occurrence of `from` by `to`, left to right, and returns
  // how many were replaced. An empty `from` replaces nothing.
  int Replace(const MCHAR* from, const MCHAR* to);

  WStr& operator=(const MCHAR* text) {
    text_ = text != nullptr ? text : u"";
    return *this;
  }
  WStr& operator+=(const WStr& more) {
    text_ += more.text_;
    return *this;
  }
  friend bool operator==(const WStr&, const WStr&) = default;

 private:
  std::u16string text_;
};
