#include <algorithm>

#include "platform/platform.h"

namespace cvimp::platform {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

// Each maximal part of a broken sequence (the longest start that could
// still have become a valid character) gives one U+FFFD, as the Unicode
// standard recommends and the system's conversions do.
std::u16string utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  char32_t code = 0;
  int needed = 0;
  int seen = 0;
  unsigned char lower = 0x80;
  unsigned char upper = 0xBF;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (needed == 0) {
      ++i;
      if (byte < 0x80) {
        out.push_back(byte);
      } else if (byte >= 0xC2 && byte <= 0xDF) {
        needed = 1, code = byte & 0x1F;
      } else if (byte >= 0xE0 && byte <= 0xEF) {
        if (byte == 0xE0) lower = 0xA0;  // no overlong forms
        if (byte == 0xED) upper = 0x9F;  // no surrogates
        needed = 2, code = byte & 0x0F;
      } else if (byte >= 0xF0 && byte <= 0xF4) {
        if (byte == 0xF0) lower = 0x90;
        if (byte == 0xF4) upper = 0x8F;  // nothing above U+10FFFF
        needed = 3, code = byte & 0x07;
      } else {
        out.push_back(static_cast<char16_t>(kReplacement));
      }
      continue;
    }
    const bool fits = byte >= lower && byte <= upper;
    lower = 0x80, upper = 0xBF;
    if (!fits) {
      // The byte may start the next character: read it again.
      needed = seen = 0;
      out.push_back(static_cast<char16_t>(kReplacement));
      continue;
    }
    ++i;
    code = (code << 6) | (byte & 0x3F);
    if (++seen == needed) {
      appendUtf16(out, code);
      needed = seen = 0;
    }
  }
  if (needed != 0) out.push_back(static_cast<char16_t>(kReplacement));
  return out;
}

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::string toValidUtf8(std::string_view bytes) { return utf16ToUtf8(utf8ToUtf16(bytes)); }

// U+F700 + byte lies in the Private Use Area: no real name's character, no
// case (so no two bytes meet on a case-blind file system), one UTF-16 unit
// (a Windows name is as long as the bytes), and clear of U+F000-U+F0FF,
// where Cygwin and WSL put the characters Windows forbids. A trail byte is
// mapped too: 0x5C there is no backslash, and '|' no forbidden character.
// Only bytes the double-byte code pages (GBK, Big5, Shift-JIS, UHC) allow
// as a trail are taken as one, so '/', '.' and ':' always stay themselves.
// A UTF-8 name holding one of these code points is mapped byte by byte
// too, so that no two names meet and every name maps back.
std::string fileNameFromBytes(std::string_view name) {
  if (std::all_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
    return std::string(name);
  }
  const std::u16string wide = utf8ToUtf16(name);
  const bool reserved = std::any_of(wide.begin(), wide.end(), [](char16_t c) { return c >= 0xF700 && c <= 0xF7FF; });
  if (!reserved && utf16ToUtf8(wide) == name) return std::string(name);
  constexpr char32_t kByteBase = 0xF700;
  const auto isTrail = [](unsigned char byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFE);
  };
  std::string mapped;
  mapped.reserve(name.size() * 3);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (byte >= 0x81 && byte <= 0xFE && i + 1 < name.size() && isTrail(static_cast<unsigned char>(name[i + 1]))) {
      appendUtf8(mapped, kByteBase + byte);
      appendUtf8(mapped, kByteBase + static_cast<unsigned char>(name[++i]));
    } else {
      appendUtf8(mapped, byte < 0x80 ? byte : kByteBase + byte);
    }
  }
  return mapped;
}

std::string jsonQuoted(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out += "\\u00";
          out += kHex[c >> 4];
          out += kHex[c & 0xf];
        } else if (c == 0xe2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                   (static_cast<unsigned char>(text[i + 2]) == 0xa8 ||
                    static_cast<unsigned char>(text[i + 2]) == 0xa9)) {
          // Line and paragraph separators: valid in JSON, not in older JavaScript.
          out += static_cast<unsigned char>(text[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
          i += 2;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
  return out;
}

// Names are bytes on POSIX, kept as they are; on Windows they are UTF-16,
// converted without the exceptions std::filesystem throws on broken text.
namespace {

[[maybe_unused]] std::filesystem::path nativePath(std::string_view name, char) {
  return std::filesystem::path(std::string(name));
}
[[maybe_unused]] std::filesystem::path nativePath(std::string_view name, wchar_t) {
  const std::u16string wide = utf8ToUtf16(name);
  return std::filesystem::path(std::wstring(wide.begin(), wide.end()));
}

[[maybe_unused]] std::string nativeName(const std::string& name) { return name; }
[[maybe_unused]] std::string nativeName(const std::wstring& name) {
  return utf16ToUtf8(std::u16string(name.begin(), name.end()));
}

}  // namespace

std::filesystem::path pathFromUtf8(std::string_view name) {
  return nativePath(name, std::filesystem::path::value_type{});
}

std::string utf8FromPath(const std::filesystem::path& path) { return nativeName(path.native()); }

}  // namespace cvimp::platform
