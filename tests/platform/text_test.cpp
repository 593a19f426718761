// Text and number conversions every layer shares.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/platform.h"

namespace cvimp::platform {
namespace {

TEST(Text, InvalidUtf8BecomesOneReplacementPerBrokenPart) {
  EXPECT_EQ(toValidUtf8("plain"), "plain");
  EXPECT_EQ(toValidUtf8("\xE4\xB8\xAD"), "\xE4\xB8\xAD");
  EXPECT_EQ(toValidUtf8("a\xC3"), "a\xEF\xBF\xBD");                                // cut short
  EXPECT_EQ(toValidUtf8("\xC0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD");                  // overlong
  EXPECT_EQ(toValidUtf8("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
  // A start of a character cut short is one part: one replacement, and the
  // byte after it is read again.
  EXPECT_EQ(utf8ToUtf16("a\xE2\x82x"), u"a\uFFFDx");
  EXPECT_EQ(utf8ToUtf16("end\xF0\x9F\x98"), u"end\uFFFD");
  EXPECT_EQ(utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // beyond U+10FFFF
  EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', char16_t(0xD800)}), "a\xEF\xBF\xBD");
}

TEST(Text, JsonQuotedEscapesWhatJsonAndScriptsCannotHoldRaw) {
  EXPECT_EQ(jsonQuoted("a \"b\" \\ c\n\x01\t"), "\"a \\\"b\\\" \\\\ c\\n\\u0001\\t\"");
  // Line and paragraph separators, valid in JSON, end a line in older scripts.
  EXPECT_EQ(jsonQuoted("x\xE2\x80\xA8y\xE2\x80\xA9\xE5\xAF\xBC"), "\"x\\u2028y\\u2029\xE5\xAF\xBC\"");
}

// What glibc's strtod and strtoll (base 10) give in the "C" locale, written
// out so that every system is held to the same numbers.
TEST(Numbers, ReadAsGlibcReadsThemInTheCLocale) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
  constexpr long long kMax = std::numeric_limits<long long>::max();
  constexpr long long kMin = std::numeric_limits<long long>::min();
  struct Case {
    const char* text;
    double value;
    long length;
    long long integer;
    long integerLength;
  };
  const Case cases[] = {
      {"12", 12, 2, 12, 2},
      {"-12.5e1x", -125, 7, -12, 3},
      {"+.5", 0.5, 3, 0, 0},
      {" \t\n\v\f\r+7", 7, 8, 7, 8},
      {"1e", 1, 1, 1, 1},
      {"1e+", 1, 1, 1, 1},
      {"0x1F", 31, 4, 0, 1},
      {"-0x10", -16, 5, 0, 2},
      {"0x1p3", 8, 5, 0, 1},
      {"0x1.8p1", 3, 7, 0, 1},
      {"0x", 0, 1, 0, 1},  // no hex digit: the "0" alone
      {"0x.8", 0.5, 4, 0, 1},
      {"inf", kInf, 3, 0, 0},
      {"-Infinity", -kInf, 9, 0, 0},
      {"info", kInf, 3, 0, 0},
      {"nan", kNan, 3, 0, 0},
      {"-NAN", -kNan, 4, 0, 0},
      {"nan(1_a)", kNan, 8, 0, 0},
      {"nan(", kNan, 3, 0, 0},
      {"1e400", kInf, 5, 1, 1},
      {"-1e-400", -0.0, 7, -1, 2},
      {"0x1p1024", kInf, 8, 0, 1},
      {"0x1p-1075", 0, 9, 0, 1},  // half the least subnormal, to even
      {"1e-310", 1e-310, 6, 1, 1},
      {"2.4703282292062328e-324", 0x1p-1074, 23, 2, 1},
      {"9223372036854775808", 9223372036854775808.0, 19, kMax, 19},
      {"-9223372036854775808", -9223372036854775808.0, 20, kMin, 20},
      {"-99999999999999999999", -1e20, 21, kMin, 21},
      {"", 0, 0, 0, 0},
      {" -", 0, 0, 0, 0},  // +0, not -0
      {".", 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    char* end = nullptr;
    const double value = parseDoubleC(c.text, &end);
    EXPECT_EQ(end - c.text, c.length) << c.text;
    if (std::isnan(c.value)) {
      EXPECT_TRUE(std::isnan(value) && std::signbit(value) == std::signbit(c.value)) << c.text << ": " << value;
    } else {  // bit for bit, which tells -0 from 0
      EXPECT_EQ(std::bit_cast<std::uint64_t>(value), std::bit_cast<std::uint64_t>(c.value)) << c.text << ": " << value;
    }
    EXPECT_EQ(parseIntegerC(c.text, &end), c.integer) << c.text;
    EXPECT_EQ(end - c.text, c.integerLength) << c.text;
  }
}

}  // namespace
}  // namespace cvimp::platform
