// Base64 of packed lists: the standard alphabet, stopping at the first "=",
// characters outside the alphabet taking part as -1.
#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "vrscene/packed.h"
#include "vrscene/vrscene.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace cvimp {

namespace {

constexpr std::array<std::int8_t, 256> kBase64 =
    makeDigitTable("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");

// The bytes of one group of four sextets; values of -1 (characters outside
// the alphabet) take part with all their bits set, as they always have.
void emitGroup(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d, std::uint8_t bytes[3]) {
  bytes[0] = static_cast<std::uint8_t>((a << 2) | ((b >> 4) & 0x03));
  bytes[1] = static_cast<std::uint8_t>(((b & 0x0F) << 4) | ((c >> 2) & 0x0F));
  bytes[2] = static_cast<std::uint8_t>(((c & 0x03) << 6) | d);
}

#if defined(__x86_64__)
// Blocks of 32 characters, all in the alphabet, to 24 bytes each, with AVX2
// (Mula and Lemire's method: nibble tables classify and translate the
// characters, two multiply-adds pack the sextets). Stops before the first
// block holding anything else, which the scalar code then takes; returns the
// characters consumed.
__attribute__((target("avx2"))) std::size_t decodeBlocksAvx2(const char* text, std::size_t length, std::uint8_t* out,
                                                             std::size_t capacity) {
  const __m256i lutLo =
      _mm256_setr_epi8(0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A,
                       0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A);
  const __m256i lutHi =
      _mm256_setr_epi8(0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
                       0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10);
  const __m256i lutRoll = _mm256_setr_epi8(0, 16, 19, 4, -65, -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 19, 4, -65,
                                           -65, -71, -71, 0, 0, 0, 0, 0, 0, 0, 0);
  const __m256i mask2F = _mm256_set1_epi8(0x2F);
  const __m256i pack = _mm256_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1, 2, 1, 0, 6, 5, 4, 10, 9,
                                        8, 14, 13, 12, -1, -1, -1, -1);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, -1, -1);
  std::size_t read = 0;
  std::size_t written = 0;
  // Each store writes 32 bytes, of which 24 are output.
  while (read + 32 <= length && written + 32 <= capacity) {
    const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + read));
    const __m256i hiNibbles = _mm256_and_si256(_mm256_srli_epi32(in, 4), mask2F);
    const __m256i loNibbles = _mm256_and_si256(in, mask2F);
    const __m256i hi = _mm256_shuffle_epi8(lutHi, hiNibbles);
    const __m256i lo = _mm256_shuffle_epi8(lutLo, loNibbles);
    if (!_mm256_testz_si256(lo, hi)) break;
    const __m256i slash = _mm256_cmpeq_epi8(in, mask2F);
    const __m256i roll = _mm256_shuffle_epi8(lutRoll, _mm256_add_epi8(slash, hiNibbles));
    const __m256i sextets = _mm256_add_epi8(in, roll);
    const __m256i pairs = _mm256_maddubs_epi16(sextets, _mm256_set1_epi32(0x01400140));
    const __m256i words = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
    const __m256i bytes = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(words, pack), lanes);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + written), bytes);
    read += 32;
    written += 24;
  }
  return read;
}

const bool kHasAvx2 = __builtin_cpu_supports("avx2");
#endif

}  // namespace

std::size_t decodeBase64(const char* text, std::size_t length, std::uint8_t* out, std::size_t capacity) {
  std::size_t written = 0;
  std::size_t i = 0;
  std::uint8_t bytes[3];
#if defined(__x86_64__)
  if (kHasAvx2) {
    i = decodeBlocksAvx2(text, length, out, capacity);
    written = i / 4 * 3;
  }
#endif
  // Whole groups of four characters that are all in the alphabet.
  while (i + 4 <= length && written + 3 <= capacity) {
    const std::int32_t a = kBase64[static_cast<unsigned char>(text[i])];
    const std::int32_t b = kBase64[static_cast<unsigned char>(text[i + 1])];
    const std::int32_t c = kBase64[static_cast<unsigned char>(text[i + 2])];
    const std::int32_t d = kBase64[static_cast<unsigned char>(text[i + 3])];
    if ((a | b | c | d) < 0) break;  // "=", or a character outside the alphabet
    const std::uint32_t bits = (static_cast<std::uint32_t>(a) << 18) | (static_cast<std::uint32_t>(b) << 12) |
                               (static_cast<std::uint32_t>(c) << 6) | static_cast<std::uint32_t>(d);
    out[written] = static_cast<std::uint8_t>(bits >> 16);
    out[written + 1] = static_cast<std::uint8_t>(bits >> 8);
    out[written + 2] = static_cast<std::uint8_t>(bits);
    written += 3;
    i += 4;
  }
  // The rest one character at a time: stop at "=", decode others as -1.
  std::int32_t group[4];
  int filled = 0;
  for (; i < length && text[i] != '='; ++i) {
    group[filled++] = kBase64[static_cast<unsigned char>(text[i])];
    if (filled == 4) {
      emitGroup(static_cast<std::uint32_t>(group[0]), static_cast<std::uint32_t>(group[1]),
                static_cast<std::uint32_t>(group[2]), static_cast<std::uint32_t>(group[3]), bytes);
      const std::size_t n = std::min<std::size_t>(3, capacity - written);
      std::memcpy(out + written, bytes, n);
      written += n;
      filled = 0;
      if (written == capacity) return written;
    }
  }
  if (filled >= 2) {
    for (int k = filled; k < 4; ++k) group[k] = 0;
    emitGroup(static_cast<std::uint32_t>(group[0]), static_cast<std::uint32_t>(group[1]),
              static_cast<std::uint32_t>(group[2]), static_cast<std::uint32_t>(group[3]), bytes);
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(filled - 1), capacity - written);
    std::memcpy(out + written, bytes, n);
    written += n;
  }
  return written;
}

}  // namespace cvimp
