#include "bench/packed_floor.h"

#include <zlib.h>

#include <cstring>

#include "vrscene/vrscene.h"

namespace cvimp::bench {

void FloorDecoder::decodeText(std::string_view text, FloorTotals& totals) {
  const char* p = text.data();
  const char* const end = text.data() + text.size();
  while (p < end) {
    const auto* open = static_cast<const char*>(std::memchr(p, '"', static_cast<std::size_t>(end - p)));
    if (open == nullptr) return;
    const char* start = open + 1;
    const auto* close = static_cast<const char*>(std::memchr(start, '"', static_cast<std::size_t>(end - start)));
    const char* stop = close != nullptr ? close : end;
    const std::string_view quoted(start, static_cast<std::size_t>(stop - start));
    if (quoted.starts_with("ZIPC")) decodePacked(quoted, totals);
    p = stop + 1;
  }
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
  const std::size_t got = decodeBase64(packed.data() + kHeader, base64Length, compressed_.data(), compressedSize);
  uLongf length = size;
  if (uncompress(inflated_.data(), &length, compressed_.data(), static_cast<uLong>(got)) != Z_OK || length != size) {
    totals.failures += 1;
    return false;
  }
  totals.decodedBytes += length;
  return true;
}

}  // namespace cvimp::bench
