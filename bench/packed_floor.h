#pragma once
// The least work any loader does for a scene's packed lists: find each quoted
// "ZIPC" text, Base64-decode it and inflate it, on one thread, with nothing
// kept. The loader benchmark measures the loader against this floor.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cvimp::bench {

struct FloorTotals {
  std::uint64_t packedTexts = 0;
  std::uint64_t decodedBytes = 0;  // inflated sizes
  std::uint64_t failures = 0;      // texts with a bad header or stream
};

class FloorDecoder {
 public:
  // Decodes every double-quoted string of `text` that begins with "ZIPC".
  void decodeText(std::string_view text, FloorTotals& totals);
  // One packed text without its quotes.
  bool decodePacked(std::string_view packed, FloorTotals& totals);

 private:
  // Grown to the largest list seen and reused, so the timed loop allocates
  // only while they grow.
  std::vector<std::uint8_t> compressed_;
  std::vector<std::uint8_t> inflated_;
};

// The least time the reader's own decoding can take: every packed text of
// `texts` decoded as the reader decodes it (its Base64, its inflater), on
// `threads` threads, into output buffers allocated and touched beforehand.
// The best of `runs` passes, in seconds; negative when a text fails.
double warmDecodeSeconds(const std::vector<std::string>& texts, int threads, int runs);

}  // namespace cvimp::bench
