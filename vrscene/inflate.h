#pragma once
// Inflating the zlib streams of packed lists.
#include <cstddef>
#include <cstdint>

namespace cvimp {

// Inflates the zlib stream at the start of `in` into `out`. True exactly when
// the stream ends, Adler-32 trailer and all, within `inSize` input bytes and
// `capacity` output bytes, as zlib's uncompress would answer; `written` is then
// the inflated length. Bytes after the stream's end are ignored, as there.
bool inflateZlib(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out, std::size_t capacity,
                 std::size_t& written);

}  // namespace cvimp
