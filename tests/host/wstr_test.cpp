// Host strings: UTF-16 inside, the UTF-8 "ANSI code page" outside.
#include <gtest/gtest.h>

#include <string>

#include "host/max.h"

namespace {

TEST(WStrTest, CodePageRoundTrip) {
  const char* text = "Küche – 客厅 😀 𝄞";
  const WStr wide = WStr::FromACP(text);
  EXPECT_EQ(wide.str(), u"Küche – 客厅 😀 𝄞");
  EXPECT_EQ(wide.ToACP().str(), text);
  // Characters beyond the basic plane take a surrogate pair.
  EXPECT_EQ(WStr::FromACP("😀").str(), (std::u16string{char16_t(0xD83D), char16_t(0xDE00)}));
  EXPECT_EQ(WStr::FromACP("\xF4\x8F\xBF\xBF").str(), (std::u16string{char16_t(0xDBFF), char16_t(0xDFFF)}));

  EXPECT_EQ(WStr::FromACP("abcdef", 3).str(), u"abc");
  EXPECT_EQ(WStr::FromACP("a\0b", 3).Length(), 3);
  EXPECT_TRUE(WStr::FromACP(nullptr).isNull());

  // UTF-8, the way of paths, whatever the code page holds.
  EXPECT_EQ(WStr::FromUTF8(text).str(), wide.str());
  EXPECT_EQ(wide.ToUTF8().str(), text);
  EXPECT_EQ(WStr::FromUTF8("设计房间", 6).str(), u"设计");
  EXPECT_TRUE(WStr::FromUTF8(nullptr).isNull());
}

TEST(WStrTest, InvalidTextBecomesReplacementCharacters) {
  EXPECT_EQ(WStr::FromACP("a\xFF" "b").str(), u"a\uFFFDb");
  EXPECT_EQ(WStr::FromACP("\x80").str(), u"\uFFFD");
  // A cut-off sequence does not swallow the character after it.
  EXPECT_EQ(WStr::FromACP("\xE2\x82" "x").str(), u"\uFFFDx");
  EXPECT_EQ(WStr::FromACP("end\xF0\x9F\x98").str(), u"end\uFFFD");
  // Encoded surrogates, code points above U+10FFFF and overlong forms.
  for (const char* bad : {"\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF", "\xE0\x80\xAF"}) {
    const std::u16string wide = WStr::FromACP(bad).str();
    ASSERT_FALSE(wide.empty()) << bad;
    for (const char16_t c : wide) EXPECT_EQ(c, u'\uFFFD') << bad;
  }
  // Unpaired surrogates on the way out.
  EXPECT_EQ(WStr(std::u16string{u'a', char16_t(0xD800)}).ToACP().str(), "a\xEF\xBF\xBD");
  EXPECT_EQ(WStr(std::u16string{char16_t(0xDC00), u'b'}).ToACP().str(), "\xEF\xBF\xBD" "b");
}

TEST(WStrTest, Replace) {
  WStr path(u"maps/wood/oak.jpg");
  EXPECT_EQ(path.Replace(u"/", u"\\"), 2);
  EXPECT_EQ(path.str(), u"maps\\wood\\oak.jpg");

  WStr unchanged(u"abc");
  EXPECT_EQ(unchanged.Replace(u"", u"x"), 0);
  EXPECT_EQ(unchanged.Replace(nullptr, u"x"), 0);
  EXPECT_EQ(unchanged.Replace(u"z", u"x"), 0);
  EXPECT_EQ(unchanged.str(), u"abc");

  // A replacement containing the pattern is not searched again.
  WStr grows(u"a-a");
  EXPECT_EQ(grows.Replace(u"a", u"aa"), 2);
  EXPECT_EQ(grows.str(), u"aa-aa");
  WStr overlapping(u"aaa");
  EXPECT_EQ(overlapping.Replace(u"aa", u"b"), 1);
  EXPECT_EQ(overlapping.str(), u"ba");
  WStr removed(u"x--y-");
  EXPECT_EQ(removed.Replace(u"-", nullptr), 3);
  EXPECT_EQ(removed.str(), u"xy");
}

TEST(WStrTest, IsNull) {
  EXPECT_TRUE(WStr().isNull() && WStr(u"").isNull() && WStr(static_cast<const MCHAR*>(nullptr)).isNull());
  EXPECT_FALSE(WStr(u" ").isNull());
  WStr assigned(u"x");
  assigned = static_cast<const MCHAR*>(nullptr);
  EXPECT_TRUE(assigned.isNull() && assigned.ToACP().isNull());
  EXPECT_TRUE(CStr(static_cast<const char*>(nullptr)).isNull());
}

}  // namespace
