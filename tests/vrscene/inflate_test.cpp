// The packed lists' inflater gives zlib's uncompress answer on every stream:
// good ones, bad headers, wrong checksums, cut streams, short outputs and
// random damage.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <random>
#include <vector>

#include "tests/vrscene/vrscene_internals.h"

namespace cvimp {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes compress(const Bytes& data, int level, int windowBits) {
  z_stream stream{};
  EXPECT_EQ(deflateInit2(&stream, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
  Bytes out(deflateBound(&stream, data.size()));
  stream.next_in = const_cast<Bytes::value_type*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

// Compares one stream and output capacity against zlib.
void expectAsZlib(const Bytes& stream, std::size_t capacity, const char* what) {
  Bytes expected(capacity + 1), actual(capacity + 1);
  uLongf zlibLength = capacity;
  const bool zlibOk = uncompress(expected.data(), &zlibLength, stream.data(), stream.size()) == Z_OK;
  std::size_t written = 0;
  const bool ok = inflateZlib(stream.data(), stream.size(), actual.data(), capacity, written);
  ASSERT_EQ(ok, zlibOk) << what << ", " << stream.size() << " bytes in, capacity " << capacity;
  if (ok) {
    ASSERT_EQ(written, zlibLength) << what;
    ASSERT_TRUE(std::equal(actual.begin(), actual.begin() + written, expected.begin())) << what;
  }
}

Bytes sampleData(std::size_t size) {
  Bytes data(size);
  std::mt19937 random(7);
  for (std::size_t i = 0; i < size; ++i) {
    // Float-like runs: repeats for matches, noise for literals.
    data[i] = (i / 64) % 3 == 0 ? static_cast<std::uint8_t>(random()) : static_cast<std::uint8_t>(i % 13);
  }
  return data;
}

TEST(Inflate, AnswersAsZlibOnWholeStreams) {
  const Bytes data = sampleData(50000);
  for (int level : {0, 1, 6, 9}) {
    for (int windowBits : {9, 12, 15}) {
      Bytes stream = compress(data, level, windowBits);
      expectAsZlib(stream, data.size(), "whole");
      expectAsZlib(stream, data.size() + 1, "room to spare");
      expectAsZlib(stream, data.size() - 1, "one byte short");
      expectAsZlib(stream, 0, "no room");
      stream.insert(stream.end(), {1, 2, 3});
      expectAsZlib(stream, data.size(), "bytes after the stream");
    }
  }
  expectAsZlib(compress({}, 6, 15), 0, "empty");
  expectAsZlib(compress({}, 6, 15), 4, "empty with room");
}

TEST(Inflate, AnswersAsZlibOnBadStreams) {
  const Bytes data = sampleData(4000);
  const Bytes good = compress(data, 6, 15);
  auto variant = [&](auto change) {
    Bytes stream = good;
    change(stream);
    return stream;
  };
  const Bytes cases[] = {
      variant([](Bytes& s) { s.at(s.size() - 1) ^= 1; }),  // checksum
      variant([](Bytes& s) { s[0] = 0x87; }),              // method 7
      variant(
          [](Bytes& s) { s[0] = 0x88, s[1] = static_cast<std::uint8_t>(31 - (0x88 * 256) % 31); }),  // 64 KiB window
      variant([](Bytes& s) { s[1] ^= 1; }),  // header check value
      variant(
          [](Bytes& s) { s[1] = static_cast<std::uint8_t>(0x20 | (31 - (0x78 * 256 + 0x20) % 31)); }),  // dictionary
      {},
      {0x78},
  };
  for (const Bytes& stream : cases) expectAsZlib(stream, data.size(), "bad");
  for (std::size_t n = 0; n < good.size(); ++n) {
    expectAsZlib(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)), data.size(), "cut");
  }
  std::mt19937 random(11);
  for (int trial = 0; trial < 3000; ++trial) {
    Bytes stream = good;
    for (int k = 0; k < 1 + trial % 3; ++k)
      stream[random() % stream.size()] ^= static_cast<std::uint8_t>(1 + random() % 255);
    expectAsZlib(stream, data.size(), "damaged");
  }
}

}  // namespace
}  // namespace cvimp
