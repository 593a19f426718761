#pragma once
// A read position in one kept scene text.
#include <cstddef>
#include <string_view>

namespace cvimp {

// NOTE: the text must be followed by a zero byte (kept texts are), because
// number conversion may look at the byte after the last one.
struct TextCursor {
  const char* next;  // next unread byte
  const char* end;   // one past the last byte; *end == '\0'

  explicit TextCursor(std::string_view text) : next(text.data()), end(text.data() + text.size()) {}
  std::size_t remaining() const { return static_cast<std::size_t>(end - next); }
  bool atEnd() const { return next >= end; }
};

// Scene white space: space, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool isSceneSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace cvimp
