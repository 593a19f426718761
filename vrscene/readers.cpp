#include "vrscene/readers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/platform.h"
#include "vrscene/diagnostics.h"
#include "vrscene/scene.h"

namespace cvimp {

namespace {

// Bytes that end an identifier: white space and the delimiters "=;{}:,()".
constexpr std::array<bool, 256> makeIdentifierStops() {
  std::array<bool, 256> table{};
  for (int c = 0; c < 256; ++c) table[c] = isSceneSpace(static_cast<unsigned char>(c));
  for (char c : std::string_view("=;{}:,()")) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr std::array<bool, 256> kIdentifierStops = makeIdentifierStops();

constexpr bool isIdentifierStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0xC0;
}

struct NumberScan {
  double floating = 0;
  std::size_t floatingLength = 0;
  std::int64_t integer = 0;
  std::size_t integerLength = 0;
};

// Plain decimal forms go through from_chars; the rest (a leading "+",
// hexadecimal, inf and nan, out-of-range values) through the platform's
// parser, which reads them as strtod and strtoll do in the "C" locale.
bool scanFast(const char* p, const char* end, NumberScan& scan) {
  const char* digits = *p == '-' ? p + 1 : p;
  if (digits >= end) return false;
  const unsigned char first = static_cast<unsigned char>(*digits);
  if (!((first >= '0' && first <= '9') || first == '.')) return false;
  if (first == '0' && (digits[1] == 'x' || digits[1] == 'X')) return false;

  auto floating = std::from_chars(p, end, scan.floating, std::chars_format::general);
  if (floating.ec != std::errc()) return false;
  scan.floatingLength = static_cast<std::size_t>(floating.ptr - p);

  auto integer = std::from_chars(p, end, scan.integer, 10);
  if (integer.ec == std::errc()) {
    scan.integerLength = static_cast<std::size_t>(integer.ptr - p);
  } else if (integer.ec == std::errc::result_out_of_range) {
    scan.integerLength = static_cast<std::size_t>(integer.ptr - p);
    scan.integer = *p == '-' ? std::numeric_limits<std::int64_t>::min() : std::numeric_limits<std::int64_t>::max();
  } else {
    scan.integerLength = 0;
  }
  return true;
}

void scanSlow(const char* p, NumberScan& scan) {
  char* floatingEnd = nullptr;
  scan.floating = platform::parseDoubleC(p, &floatingEnd);
  scan.floatingLength = static_cast<std::size_t>(floatingEnd - p);
  char* integerEnd = nullptr;
  scan.integer = platform::parseIntegerC(p, &integerEnd);  // saturates on overflow
  scan.integerLength = static_cast<std::size_t>(integerEnd - p);
}

// glibc's "%f" spelling of a value that is not finite, written here so the
// warning reads the same whatever C library prints it.
const char* nonFiniteText(double value) {
  if (std::isnan(value)) return std::signbit(value) ? "-nan" : "nan";
  return value < 0 ? "-inf" : "inf";
}

constexpr bool mayStartNumber(unsigned char c) {
  return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'i' || c == 'I' || c == 'n' || c == 'N';
}

std::optional<VrpFunction> readFunctionAt(TextCursor& cursor, int depth);

std::optional<VrpValue> readValueAt(TextCursor& cursor, int depth) {
  if (auto number = readNumber(cursor)) return number;
  if (auto quoted = readQuoted(cursor)) return VrpValue::makeString(*quoted);
  if (auto function = readFunctionAt(cursor, depth)) return VrpValue(VrpValue::Storage(std::move(*function)));
  if (auto selector = readAttributeSelector(cursor)) return VrpValue(VrpValue::Storage(std::move(*selector)));
  if (auto identifier = readIdentifier(cursor)) return VrpValue::makeIdentifier(std::move(*identifier));
  return std::nullopt;
}

std::optional<VrpFunction> readFunctionAt(TextCursor& cursor, int depth) {
  const char* start = cursor.next;
  auto fail = [&]() -> std::optional<VrpFunction> {
    cursor.next = start;
    return std::nullopt;
  };
  // Nesting deeper than any real scene is unreadable input, not a reason to
  // run out of stack.
  if (depth >= kMaxValueDepth) return fail();

  VrpFunction function;
  if (auto name = readIdentifier(cursor)) function.name = std::move(*name);
  if (!consumeLiteral(cursor, "(", true)) return fail();
  if (consumeLiteral(cursor, ")", true)) return function;
  for (;;) {
    auto value = readValueAt(cursor, depth + 1);
    if (!value) return fail();
    function.values.push_back(std::move(*value));
    if (consumeLiteral(cursor, ",", true)) continue;
    if (consumeLiteral(cursor, ")", true)) return function;
    return fail();
  }
}

}  // namespace

void skipWhitespace(TextCursor& cursor) {
  while (cursor.next < cursor.end && isSceneSpace(static_cast<unsigned char>(*cursor.next))) ++cursor.next;
}

bool consumeLiteral(TextCursor& cursor, std::string_view literal, bool skipSpace) {
  if (skipSpace) skipWhitespace(cursor);
  if (cursor.remaining() < literal.size()) return false;
  if (std::memcmp(cursor.next, literal.data(), literal.size()) != 0) return false;
  cursor.next += literal.size();
  return true;
}

std::optional<std::string_view> readComment(TextCursor& cursor) {
  skipWhitespace(cursor);
  if (cursor.remaining() < 2 || cursor.next[0] != '/' || cursor.next[1] != '/') return std::nullopt;
  const char* start = cursor.next + 2;
  const void* lineEnd = std::memchr(start, '\n', static_cast<std::size_t>(cursor.end - start));
  cursor.next = lineEnd != nullptr ? static_cast<const char*>(lineEnd) : cursor.end;
  return std::string_view(start, static_cast<std::size_t>(cursor.next - start));
}

std::optional<std::string_view> readInclude(TextCursor& cursor) {
  if (!consumeLiteral(cursor, "#include", true)) return std::nullopt;
  skipWhitespace(cursor);
  return readQuoted(cursor);
}

std::unique_ptr<VrpPlugin> readPluginBlock(TextCursor& cursor, VrpScene& scene, const DefinitionPath& basePath,
                                           std::uint64_t statementIndex) {
  auto type = readIdentifier(cursor);
  if (!type) return nullptr;
  auto name = readIdentifier(cursor);
  if (!name) vrpPrint("[VRP] WARNING: Plugin %s has no name\n", type->c_str());

  // Whatever stands between the name and the opening brace is ignored.
  if (const void* brace = std::memchr(cursor.next, '{', cursor.remaining())) {
    cursor.next = static_cast<const char*>(brace) + 1;
  }

  auto plugin = std::make_unique<VrpPlugin>(name ? std::move(*name) : std::string(), std::move(*type), &scene,
                                            basePath.appended(statementIndex));
  for (;;) {
    skipWhitespace(cursor);
    if (cursor.atEnd()) return nullptr;
    if (*cursor.next == '}') {
      ++cursor.next;
      return plugin;
    }
    if (readComment(cursor)) continue;
    auto attributeName = readIdentifier(cursor);
    if (!attributeName) return nullptr;
    if (!consumeLiteral(cursor, "=", true)) return nullptr;
    auto value = readValue(cursor);
    if (!value) return nullptr;
    if (!consumeLiteral(cursor, ";", true)) return nullptr;
    plugin->addAttribute(std::move(*attributeName), std::move(*value));
  }
}

std::optional<std::string> readIdentifier(TextCursor& cursor) {
  skipWhitespace(cursor);
  if (cursor.atEnd() || !isIdentifierStart(static_cast<unsigned char>(*cursor.next))) return std::nullopt;
  const char* start = cursor.next;
  const char* p = start + 1;
  while (p < cursor.end && !kIdentifierStops[static_cast<unsigned char>(*p)]) ++p;
  cursor.next = p;
  return std::string(start, p);
}

std::optional<std::string_view> readQuoted(TextCursor& cursor) {
  for (char quote : {'"', '\''}) {
    skipWhitespace(cursor);
    if (cursor.atEnd() || *cursor.next != quote) continue;
    const char* start = cursor.next + 1;
    const void* close = std::memchr(start, quote, static_cast<std::size_t>(cursor.end - start));
    if (close == nullptr) {
      cursor.next = cursor.end;
      return std::string_view(start, static_cast<std::size_t>(cursor.end - start));
    }
    cursor.next = static_cast<const char*>(close) + 1;
    return std::string_view(start, static_cast<std::size_t>(cursor.next - 1 - start));
  }
  return std::nullopt;
}

std::optional<VrpValue> readNumber(TextCursor& cursor) {
  skipWhitespace(cursor);
  if (cursor.atEnd() || !mayStartNumber(static_cast<unsigned char>(*cursor.next))) return std::nullopt;
  const char* p = cursor.next;
  NumberScan scan;
  if (!scanFast(p, cursor.end, scan)) scanSlow(p, scan);
  if (scan.floatingLength == 0 && scan.integerLength == 0) return std::nullopt;

  if (scan.floatingLength > scan.integerLength) {
    cursor.next = p + std::min(scan.floatingLength, cursor.remaining());
    double value = scan.floating;
    if (!std::isfinite(value)) {
      vrpPrint("[VRP] WARNING: Invalid floating point number: %s\n", nonFiniteText(value));
      value = 0.0;
    }
    return VrpValue::makeFloat(value);
  }
  cursor.next = p + std::min(scan.integerLength, cursor.remaining());
  return VrpValue::makeInt(scan.integer);
}

std::optional<VrpFunction> readFunction(TextCursor& cursor) { return readFunctionAt(cursor, 0); }

std::optional<VrpAttributeSelector> readAttributeSelector(TextCursor& cursor) {
  const char* start = cursor.next;
  auto plugin = readIdentifier(cursor);
  if (plugin && consumeLiteral(cursor, "::", false)) {
    if (auto attribute = readIdentifier(cursor)) return VrpAttributeSelector{std::move(*plugin), std::move(*attribute)};
  }
  cursor.next = start;
  return std::nullopt;
}

std::optional<VrpValue> readValue(TextCursor& cursor) { return readValueAt(cursor, 0); }

}  // namespace cvimp
