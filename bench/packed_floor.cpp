#include "bench/packed_floor.h"

#include <tbb/global_control.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>

#include "platform/platform.h"
#include "vrscene/packed.h"
#include "vrscene/vrscene.h"

namespace cvimp::bench {

namespace {

// The floor keeps its own plain Base64 decoder, a table lookup per
// character, so that it stays the same yardstick whatever the reader does.
std::size_t plainBase64(const char* text, std::size_t length, std::uint8_t* out, std::size_t capacity) {
  static const auto table = [] {
    std::array<std::int8_t, 256> t{};
    t.fill(-1);
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (int i = 0; i < 64; ++i) t[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    return t;
  }();
  std::size_t written = 0;
  std::size_t i = 0;
  while (i + 4 <= length && written + 3 <= capacity) {
    const std::int32_t a = table[static_cast<unsigned char>(text[i])];
    const std::int32_t b = table[static_cast<unsigned char>(text[i + 1])];
    const std::int32_t c = table[static_cast<unsigned char>(text[i + 2])];
    const std::int32_t d = table[static_cast<unsigned char>(text[i + 3])];
    if ((a | b | c | d) < 0) break;  // the "=" padding of the last group
    const auto bits = static_cast<std::uint32_t>((a << 18) | (b << 12) | (c << 6) | d);
    out[written] = static_cast<std::uint8_t>(bits >> 16);
    out[written + 1] = static_cast<std::uint8_t>(bits >> 8);
    out[written + 2] = static_cast<std::uint8_t>(bits);
    written += 3;
    i += 4;
  }
  // The last group, two or three characters before the padding.
  std::uint32_t bits = 0;
  int filled = 0;
  for (; i < length && filled < 4 && table[static_cast<unsigned char>(text[i])] >= 0; ++i, ++filled) {
    bits |= static_cast<std::uint32_t>(table[static_cast<unsigned char>(text[i])]) << (18 - 6 * filled);
  }
  for (int k = 0; k + 1 < filled && written < capacity; ++k)
    out[written++] = static_cast<std::uint8_t>(bits >> (16 - 8 * k));
  return written;
}

// Every double-quoted string of `text`, without its quotes.
template <typename Visit>
void forEachQuoted(std::string_view text, Visit visit) {
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  while (p < end) {
    const auto* open = static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
    if (open == nullptr) return;
    const char* start = open + 1;
    const auto* close = static_cast<const char*>(std::memchr(start, '"', static_cast<std::size_t>(end - start)));
    const char* stop = close != nullptr ? close : end;
    visit(std::string_view(start, static_cast<std::size_t>(stop - start)));
    p = stop + 1;
  }
}

}  // namespace

void FloorDecoder::decodeText(std::string_view text, FloorTotals& totals) {
  forEachQuoted(text, [&](std::string_view quoted) {
    if (quoted.starts_with("ZIPC")) decodePacked(quoted, totals);
  });
}

bool FloorDecoder::decodePacked(std::string_view packed, FloorTotals& totals) {
  totals.packedTexts += 1;
  constexpr std::size_t kHeader = 20;  // "ZIPC", size, compressed size
  if (packed.size() <= kHeader || !packed.starts_with("ZIPC")) {
    totals.failures += 1;
    return false;
  }
  const std::uint32_t size = decodeHex32(packed.data() + 4);
  const std::uint32_t compressedSize = decodeHex32(packed.data() + 12);
  const std::size_t base64Length = packed.size() - kHeader;
  if (size == 0 || compressedSize == 0 || compressedSize > base64Length) {
    totals.failures += 1;
    return false;
  }
  if (compressed_.size() < compressedSize) compressed_.resize(compressedSize);
  if (inflated_.size() < size) inflated_.resize(size);
  const std::size_t got = plainBase64(packed.data() + kHeader, base64Length, compressed_.data(), compressedSize);
  uLongf length = size;
  if (uncompress(inflated_.data(), &length, compressed_.data(), static_cast<uLong>(got)) != Z_OK || length != size) {
    totals.failures += 1;
    return false;
  }
  totals.decodedBytes += length;
  return true;
}

double warmDecodeSeconds(const std::vector<std::string>& texts, int threads, int runs) {
  struct List {
    std::string_view text;
    ZipcHeader header;
    std::unique_ptr<std::uint8_t[]> out;
  };
  std::vector<List> lists;
  for (const std::string& text : texts) {
    forEachQuoted(text, [&](std::string_view quoted) {
      if (const std::optional<ZipcHeader> header = readZipcHeader(quoted)) {
        auto out = std::make_unique<std::uint8_t[]>(header->size + 1);  // zeroed: touched
        lists.push_back({quoted, *header, std::move(out)});
      }
    });
  }
  tbb::global_control parallelism(tbb::global_control::max_allowed_parallelism, static_cast<std::size_t>(threads));
  double best = -1;
  for (int run = 0; run < runs; ++run) {
    std::atomic<bool> failed{false};
    const auto start = std::chrono::steady_clock::now();
    platform::parallelFor(lists.size(), [&](std::size_t i) {
      std::uint64_t length = 0;
      if (!decodeZipcInto(lists[i].text, lists[i].header, lists[i].out.get(), length)) failed = true;
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (failed) return -1;
    best = best < 0 ? seconds : std::min(best, seconds);
  }
  return best;
}

}  // namespace cvimp::bench
