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
}

TEST(Text, JsonQuotedEscapesWhatJsonAndScriptsCannotHoldRaw) {
  EXPECT_EQ(jsonQuoted("a \"b\" \\ c\n\x01\t"), "\"a \\\"b\\\" \\\\ c\\n\\u0001\\t\"");
  // Line and paragraph separators, valid in JSON, end a line in older scripts.
  EXPECT_EQ(jsonQuoted("x\xE2\x80\xA8y\xE2\x80\xA9\xE5\xAF\xBC"), "\"x\\u2028y\\u2029\xE5\xAF\xBC\"");
}

}  // namespace
}  // namespace cvimp::platform
