// Packed lists: hexadecimal sizes, Base64, zlib streams, TransformHex, and
// decoding them in place inside scene values.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/vrscene/vrscene_internals.h"
#include "tools/scenegen/scene_writer.h"

namespace cvimp {
namespace {

using test::captureStdout;
using test::ParsedScene;
namespace gen = scenegen;

std::vector<std::int32_t> ints(const DecodedList& list) {
  std::vector<std::int32_t> out(list.count);
  std::memcpy(out.data(), list.data.get(), list.count * 4);
  return out;
}

TEST(PackedLists, Hex32IsLittleEndianWithUpperCaseDigits) {
  EXPECT_EQ(decodeHex32("14000000"), 20u);
  EXPECT_EQ(decodeHex32("78563412"), 0x12345678u);
  EXPECT_EQ(decodeHex32("FFFFFFFF"), 0xFFFFFFFFu);
  // Lower-case digits count as -1, which enters the arithmetic unchanged.
  EXPECT_EQ(decodeHex32("1a000000"), static_cast<std::uint32_t>(1 * 16 - 1));
  EXPECT_EQ(decodeHex32("zzzzzzzz"), static_cast<std::uint32_t>(-17 - 17 * 0x100 - 17 * 0x10000 - 17 * 0x1000000));
}

TEST(PackedLists, Base64) {
  const std::string plain = "any carnal pleasure.";
  for (std::size_t n = 0; n <= plain.size(); ++n) {
    const std::string encoded = gen::encodeBase64(plain.data(), n);
    std::vector<std::uint8_t> out(n + 8, 0xAA);
    EXPECT_EQ(decodeBase64(encoded.data(), encoded.size(), out.data(), out.size()), n);
    EXPECT_EQ(std::string(out.begin(), out.begin() + n), plain.substr(0, n));
    // Padding is optional: the text without "=" decodes the same.
    std::string bare = encoded.substr(0, encoded.find('='));
    std::vector<std::uint8_t> again(n + 8);
    EXPECT_EQ(decodeBase64(bare.data(), bare.size(), again.data(), again.size()), n);
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + n, again.begin()));
  }
  // A single left-over character yields nothing; the length bounds the read.
  std::uint8_t out[8];
  EXPECT_EQ(decodeBase64("TWFuT", 5, out, sizeof out), 3u);
  EXPECT_EQ(decodeBase64("TWFuTWFu", 4, out, sizeof out), 3u);
  // Never more than the capacity.
  std::uint8_t small[2] = {0, 0};
  EXPECT_EQ(decodeBase64("TWFuTWFu", 8, small, sizeof small), 2u);
  EXPECT_EQ(small[0], 'M');
  EXPECT_EQ(small[1], 'a');
}

TEST(PackedLists, Base64CharactersOutsideTheAlphabetDecodeAsMinusOne) {
  std::uint8_t spaced[3], bits[3];
  decodeBase64("TW u", 4, spaced, 3);
  // Same as a sextet with all bits set ("/" is 63).
  decodeBase64("TW/u", 4, bits, 3);
  EXPECT_EQ(spaced[0], bits[0]);
  EXPECT_EQ(spaced[1], bits[1]);
}

// The plain reading of the format, one character at a time, against which
// the block-wise decoder is checked.
std::vector<std::uint8_t> referenceBase64(std::string_view text, std::size_t capacity) {
  static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<std::uint8_t> out;
  std::uint32_t group[4];
  int filled = 0;
  auto emit = [&](int n) {
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>((group[0] << 2) | ((group[1] >> 4) & 3)),
                                   static_cast<std::uint8_t>(((group[1] & 15) << 4) | ((group[2] >> 2) & 15)),
                                   static_cast<std::uint8_t>(((group[2] & 3) << 6) | group[3])};
    for (int k = 0; k < n && out.size() < capacity; ++k) out.push_back(bytes[k]);
  };
  for (char c : text) {
    if (c == '=' || out.size() == capacity) break;
    const std::size_t at = alphabet.find(c);
    group[filled++] = at == std::string::npos ? 0xFFFFFFFFu : static_cast<std::uint32_t>(at);
    if (filled == 4) emit(3), filled = 0;
  }
  if (filled >= 2 && out.size() < capacity) {
    for (int k = filled; k < 4; ++k) group[k] = 0;
    emit(filled - 1);
  }
  return out;
}

TEST(PackedLists, Base64BlocksDecodeAsCharacterByCharacter) {
  std::mt19937 random(5);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int trial = 0; trial < 2000; ++trial) {
    std::string text(random() % 300, 'A');
    for (char& c : text) c = alphabet[random() % 64];
    // Now and then a character outside the alphabet, a "=" or a high byte.
    if (trial % 3 != 0 && !text.empty()) text[random() % text.size()] = "= \n\x80.*"[random() % 6];
    const std::size_t capacity = trial % 4 == 0 ? random() % 250 : text.size();
    std::vector<std::uint8_t> out(capacity + 1, 0xEE);
    const std::size_t written = decodeBase64(text.data(), text.size(), out.data(), capacity);
    const std::vector<std::uint8_t> expected = referenceBase64(text, capacity);
    ASSERT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(written)), expected)
        << text << " capacity " << capacity;
    ASSERT_EQ(out[capacity], 0xEE) << "wrote past the capacity";
  }
}

TEST(PackedLists, IntegersDecode) {
  const std::vector<std::int32_t> values = {0, 1, 2, -3, 70000};
  const std::string text = gen::packInts(values);
  EXPECT_EQ(text.substr(0, 12), "ZIPC14000000");
  auto list = decodeZipc(text, 4);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(list->count, 5u);
  EXPECT_EQ(ints(*list), values);
  EXPECT_EQ(list->data[20], 0);  // one zero byte after the elements

  // The same 20 bytes as vectors: one whole element, the rest ignored.
  auto vectors = decodeZipc(text, 12);
  ASSERT_TRUE(vectors.has_value());
  EXPECT_EQ(vectors->count, 1u);
}

TEST(PackedLists, BadPackedTextsGiveNoData) {
  // 44 bytes: the size field "2C000000" has a letter in it.
  const std::string good = gen::packInts({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
  ASSERT_EQ(good.substr(4, 8), "2C000000");
  std::string lowerSizes = good;
  for (std::size_t i = 4; i < 20; ++i) lowerSizes[i] = static_cast<char>(std::tolower(lowerSizes[i]));
  std::string badStream = good;
  badStream[good.size() / 2] = badStream[good.size() / 2] == 'A' ? 'B' : 'A';
  std::string tooSmall = good;
  tooSmall.replace(4, 8, gen::encodeHex32(16));  // declares fewer bytes than the stream holds

  struct Case {
    std::string text;
    std::string message;
  };
  const Case cases[] = {
      {"", "[VRP] ERROR: Cannot decode non-ZIPC data.\n"},
      {"ZIP", "[VRP] ERROR: Cannot decode non-ZIPC data.\n"},
      {"zipc" + good.substr(4), "[VRP] ERROR: Cannot decode non-ZIPC data.\n"},
      {"ZIPC", ""},                            // header cut short
      {"ZIPC1400000019", ""},                  // header cut short
      {"ZIPC00000000" + good.substr(12), ""},  // no elements declared
      {good.substr(0, 12) + "00000000" + good.substr(20), ""},
      {good.substr(0, 20), ""},               // no stream
      {good.substr(0, good.size() - 6), ""},  // truncated stream
      {lowerSizes, ""},
      {badStream, ""},
      {tooSmall, ""},
      // Sizes no stream of this length could reach: nothing is allocated.
      {"ZIPCFFFFFFFFFFFFFFFF" + good.substr(20), ""},
      {"ZIPCFFFFFF7F08000000eJzjYGBgAAAADAAB", ""},
  };
  for (const Case& c : cases) {
    std::optional<DecodedList> list;
    const std::string out = captureStdout([&] { list = decodeZipc(c.text, 4); });
    EXPECT_FALSE(list.has_value()) << c.text;
    EXPECT_EQ(out, c.message) << c.text;
  }
}

TEST(PackedLists, OverstatedCompressedSizeStillDecodes) {
  const std::vector<std::int32_t> values = {5, 6, 7};
  std::string text = gen::packInts(values);
  text.replace(12, 8, gen::encodeHex32(100000));
  auto list = decodeZipc(text, 4);
  ASSERT_TRUE(list.has_value());
  EXPECT_EQ(ints(*list), values);
}

TEST(PackedLists, TransformHex) {
  const std::array<gen::Vec3, 3> matrix = {{{0, 1, 0}, {-1, 0, 0}, {0, 0, 2.5f}}};
  const std::string text = gen::transformHexText(matrix, {1000.25, -2000.5, 1e300});
  ASSERT_EQ(text.size(), 128u);
  const VrpTransform t = decodeTransformHex(text);
  EXPECT_EQ(t.matrix[0].y, 1.0f);
  EXPECT_EQ(t.matrix[1].x, -1.0f);
  EXPECT_EQ(t.matrix[2].z, 2.5f);
  EXPECT_EQ(t.offset.x, 1000.25f);
  EXPECT_EQ(t.offset.y, -2000.5f);
  EXPECT_EQ(t.offset.z, std::numeric_limits<float>::infinity());

  for (const std::string& wrong : {text.substr(0, 127), text + "0", std::string()}) {
    const VrpTransform identity = decodeTransformHex(wrong);
    EXPECT_EQ(identity.matrix[0].x, 1.0f);
    EXPECT_EQ(identity.matrix[1].y, 1.0f);
    EXPECT_EQ(identity.matrix[0].y, 0.0f);
    EXPECT_EQ(identity.offset.x, 0.0f);
  }
}

TEST(PackedLists, DecodeListsFollowsListsAndTheFirstInterpolateKey) {
  const std::string uv = gen::packVectors({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
  const std::string idx = gen::packInts({0, 1, 2});
  ParsedScene s("X p { ch=List(0, ListVectorHex(\"" + uv + "\"), ListIntHex(\"" + idx +
                "\")); "
                "v=Vector(ListIntHex(\"" +
                idx +
                "\"), 1, 2); "
                "ip=interpolate((0, ListIntHex(\"" +
                idx + "\")), (1, ListIntHex(\"" + idx + "\"))); }");
  ASSERT_TRUE(s.ok);
  for (const auto& attribute : s.scene.findPlugin("p")->attributes()) decodeLists(attribute->value, &s.scene);

  const VrpFunction& channel = *s.value("p", "ch").function();
  EXPECT_EQ(channel.values[1].function()->count, 3u);
  EXPECT_EQ(channel.values[2].function()->count, 3u);
  // Packed lists inside other forms are left alone.
  EXPECT_FALSE(s.value("p", "v").function()->values[0].function()->data);
  // Only the first key of an animated list is decoded now.
  const VrpFunction& keys = *s.value("p", "ip").function();
  EXPECT_EQ(keys.values[0].function()->values[1].function()->count, 3u);
  EXPECT_FALSE(keys.values[1].function()->values[1].function()->data);
}

TEST(PackedLists, DecodeListsReportsUnreadableArguments) {
  ParsedScene s("X p { a=ListIntHex(5); b=ListIntHex(\"nope\"); c=ListIntHex(); }");
  std::string out = captureStdout([&] {
    for (const auto& attribute : s.scene.findPlugin("p")->attributes()) decodeLists(attribute->value, &s.scene);
  });
  // A text without the tag is read as plain hex, which "nope" is not.
  EXPECT_EQ(out,
            "[VRP] ERROR: Cannot get list data.\n"
            "[VRP] ERROR: Cannot read list: 4 hex digits, not a whole number of 8-digit elements.\n");
  EXPECT_FALSE(s.value("p", "a").function()->data);
  EXPECT_EQ(s.value("p", "b").function()->count, 0u);
}

TEST(PackedLists, PackedTextThroughInterpolate) {
  const std::string idx = gen::packInts({4, 5});
  ParsedScene s("X p { a=ListIntHex(interpolate((0, \"" + idx + "\"))); }");
  decodeLists(*s.scene.findPlugin("p")->findAttribute("a"), &s.scene);
  EXPECT_EQ(s.value("p", "a").function()->count, 2u);
}

// Every truncation of a valid packed text is handled without reading or
// writing out of bounds (the sanitizers watch this).
TEST(PackedLists, EveryTruncationIsSafe) {
  std::vector<gen::Vec3> points;
  for (int i = 0; i < 50; ++i) points.push_back({float(i), float(i * 2), float(i * 3)});
  const std::string text = gen::packVectors(points);
  // Only the "=" padding may be cut without losing the list.
  const std::size_t needed = std::min(text.find('='), text.size());
  captureStdout([&] {
    for (std::size_t n = 0; n <= text.size(); ++n) {
      std::string cut = text.substr(0, n);  // exact-size copy, so overreads are caught
      auto list = decodeZipc(cut, 12);
      EXPECT_EQ(list.has_value(), n >= needed) << n;
      if (list) {
        EXPECT_EQ(list->count, 50u);
      }
    }
  });
}

}  // namespace
}  // namespace cvimp
