#pragma once
// Decoding lists while the text is still being read. Packed lists whose
// text is written out directly, and plain lists of numbers written out
// directly, are decoded without a word, in batches
// on other threads, each batch into one block of memory, and kept aside in
// their function values until prebuilding's decoding takes them over; what
// it does not take is dropped after it. A list that does not decode here is
// left to prebuilding, which decodes it and prints what it prints, so what a
// load and prebuild leave and print does not change.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "vrscene/packed.h"
#include "vrscene/plugin.h"

namespace cvimp {

class EarlyDecoder {
 public:
  EarlyDecoder() = default;
  EarlyDecoder(const EarlyDecoder&) = delete;
  EarlyDecoder& operator=(const EarlyDecoder&) = delete;
  ~EarlyDecoder();  // waits for the batches started

  // Collects the packed lists of a plugin just read; starts a batch when
  // enough are collected. The plugin must stay in place until finish().
  void add(VrpPlugin& plugin);
  // Starts the last batch and waits for all.
  void finish();

  struct List {
    enum class Form { Zipc, Hex, Plain } form;
    VrpFunction* function;
    std::string_view text;  // Zipc and Hex
    ZipcHeader header;      // Zipc
    std::uint64_t bytes;    // decoded, at most
    std::size_t elementSize;
  };

 private:
  void startBatch();

  platform::TaskGroup tasks_;
  std::vector<List> batch_;
  std::uint64_t batchBytes_ = 0;
};

// Drops the lists decoded ahead that prebuilding did not take.
void dropEarlyLists(VrpPlugin& plugin);

}  // namespace cvimp
