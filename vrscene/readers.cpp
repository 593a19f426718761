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

// A number reading that stopped on inf, infinity, nan or nan(...) inside a
// longer word ("Infinity_Plane@mesh1", "nancy_chair"): the word is a name.
bool isNumberLikeName(const char* p, const char* end, const NumberScan& scan) {
  if (scan.floatingLength <= scan.integerLength || std::isfinite(scan.floating)) return false;
  const unsigned char first = static_cast<unsigned char>(*p == '+' || *p == '-' ? p[1] : p[0]);
  if (!((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'))) return false;
  const char* after = p + scan.floatingLength;
  return after < end && !kIdentifierStops[static_cast<unsigned char>(*after)];
}

// The furthest point at which a function form that had begun could not go
// on: once past its "(", nothing else reads that text, so the attribute
// fails there.
struct FormFailure {
  const char* at = nullptr;
  const char* expected = nullptr;
  std::string form;

  void note(const char* where, const char* what, const std::string& name) {
    if (at != nullptr && where <= at) return;
    at = where;
    expected = what;
    form = name;
  }
};

// "-Infinity_Plane": a signed word that starts like inf or nan and goes on.
std::optional<std::string> readSignedName(TextCursor& cursor) {
  const char* p = cursor.next;
  if (cursor.remaining() < 2 || (*p != '-' && *p != '+')) return std::nullopt;
  NumberScan scan;
  scanSlow(p, scan);
  if (!isNumberLikeName(p, cursor.end, scan)) return std::nullopt;
  // The word ends where an identifier would ("-nan(1)x" is the name "-nan").
  const char* stop = p + 1;
  while (stop < cursor.end && !kIdentifierStops[static_cast<unsigned char>(*stop)]) ++stop;
  cursor.next = stop;
  return std::string(p, stop);
}

std::optional<VrpFunction> readFunctionAt(TextCursor& cursor, int depth, FormFailure* failure);

std::optional<VrpValue> readValueAt(TextCursor& cursor, int depth, FormFailure* failure) {
  skipGap(cursor);
  if (auto number = readNumber(cursor)) return number;
  if (auto quoted = readQuoted(cursor)) return VrpValue::makeString(*quoted);
  if (auto function = readFunctionAt(cursor, depth, failure)) return VrpValue(VrpValue::Storage(std::move(*function)));
  if (auto selector = readAttributeSelector(cursor)) return VrpValue(VrpValue::Storage(std::move(*selector)));
  if (auto identifier = readIdentifier(cursor)) return VrpValue::makeIdentifier(std::move(*identifier));
  if (auto name = readSignedName(cursor)) return VrpValue::makeIdentifier(std::move(*name));
  return std::nullopt;
}

std::optional<VrpFunction> readFunctionAt(TextCursor& cursor, int depth, FormFailure* failure) {
  const char* start = cursor.next;
  VrpFunction function;
  auto fail = [&](const char* expected) -> std::optional<VrpFunction> {
    if (failure != nullptr && expected != nullptr) failure->note(cursor.next, expected, function.name);
    cursor.next = start;
    return std::nullopt;
  };
  if (auto name = readIdentifier(cursor)) function.name = std::move(*name);
  skipGap(cursor);
  if (!consumeLiteral(cursor, "(", false)) return fail(nullptr);
  // Nesting deeper than any real scene is unreadable input, not a reason to
  // run out of stack.
  if (depth >= kMaxValueDepth) return fail("values nested too deeply");
  skipGap(cursor);
  if (consumeLiteral(cursor, ")", false)) return function;
  const char* expectedValue = "expected a value or ')'";
  for (;;) {
    auto value = readValueAt(cursor, depth + 1, failure);
    if (!value) return fail(expectedValue);
    function.values.push_back(std::move(*value));
    skipGap(cursor);
    if (consumeLiteral(cursor, ",", false)) {
      expectedValue = "expected a value after ','";
      continue;
    }
    if (consumeLiteral(cursor, ")", false)) return function;
    return fail("expected ',' or ')'");
  }
}

// "Node 'box'", or "unnamed Node".
std::string describePlugin(const VrpPlugin& plugin) {
  if (plugin.name.empty()) return "unnamed " + plugin.type;
  return plugin.type + " '" + plugin.name + "'";
}

std::nullptr_t failBlock(ReadFailure* failure, const char* at, std::string expected) {
  if (failure != nullptr) *failure = {at, std::move(expected)};
  return nullptr;
}

// Why an attribute's value was not followed by ";": a function form that
// broke off further on, a string without its closing quote, or the ";" itself.
std::string missingSemicolon(const TextCursor& cursor, const VrpValue& value, const FormFailure& form,
                             const std::string& where, const char*& at) {
  if (form.at != nullptr && form.at > cursor.next) {
    at = form.at;
    return std::string(form.expected) + " in " + form.form + "(...) of " + where;
  }
  const std::string_view* text = value.stringValue();
  if (text != nullptr && text->data() + text->size() == cursor.end) {
    at = text->data() - 1;
    return "no closing quote for the string of " + where;
  }
  at = cursor.next;
  return "expected ';' after the value of " + where;
}

}  // namespace

void skipWhitespace(TextCursor& cursor) {
  while (cursor.next < cursor.end && isSceneSpace(static_cast<unsigned char>(*cursor.next))) ++cursor.next;
}

void skipGap(TextCursor& cursor) {
  for (;;) {
    skipWhitespace(cursor);
    if (cursor.remaining() < 2 || cursor.next[0] != '/' || cursor.next[1] != '/') return;
    const void* lineEnd = std::memchr(cursor.next, '\n', cursor.remaining());
    cursor.next = lineEnd != nullptr ? static_cast<const char*>(lineEnd) : cursor.end;
  }
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
                                           std::uint64_t statementIndex, ReadFailure* failure) {
  auto type = readIdentifier(cursor);
  if (!type) return failBlock(failure, cursor.next, "expected a plugin block, '#include' or a '//' comment");
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
    if (cursor.atEnd()) return failBlock(failure, cursor.next, "expected '}' to close " + describePlugin(*plugin));
    if (*cursor.next == '}') {
      ++cursor.next;
      return plugin;
    }
    if (readComment(cursor)) continue;
    auto attributeName = readIdentifier(cursor);
    if (!attributeName) {
      return failBlock(failure, cursor.next, "expected an attribute name or '}' in " + describePlugin(*plugin));
    }
    auto where = [&] { return "attribute '" + *attributeName + "' in " + describePlugin(*plugin); };
    skipGap(cursor);
    if (!consumeLiteral(cursor, "=", false)) return failBlock(failure, cursor.next, "expected '=' after " + where());
    FormFailure form;
    auto value = readValueAt(cursor, 0, &form);
    if (!value) {
      if (form.at != nullptr) {
        return failBlock(failure, form.at, std::string(form.expected) + " in " + form.form + "(...) of " + where());
      }
      return failBlock(failure, cursor.next, "expected a value for " + where());
    }
    skipGap(cursor);
    if (!consumeLiteral(cursor, ";", false)) {
      const char* at = nullptr;
      std::string expected = missingSemicolon(cursor, *value, form, where(), at);
      return failBlock(failure, at, std::move(expected));
    }
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
  if (isNumberLikeName(p, cursor.end, scan)) return std::nullopt;

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

std::optional<VrpFunction> readFunction(TextCursor& cursor) { return readFunctionAt(cursor, 0, nullptr); }

std::optional<VrpAttributeSelector> readAttributeSelector(TextCursor& cursor) {
  const char* start = cursor.next;
  auto plugin = readIdentifier(cursor);
  if (plugin && consumeLiteral(cursor, "::", false)) {
    skipGap(cursor);
    if (auto attribute = readIdentifier(cursor)) return VrpAttributeSelector{std::move(*plugin), std::move(*attribute)};
  }
  cursor.next = start;
  return std::nullopt;
}

std::optional<VrpValue> readValue(TextCursor& cursor) { return readValueAt(cursor, 0, nullptr); }

}  // namespace cvimp
