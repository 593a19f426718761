// Text conversions every layer shares.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace cvimp::platform
