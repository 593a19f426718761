#include "vrscene/early_decoding.h"

#include <memory>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "vrscene/value.h"

namespace cvimp {

namespace {

// Decoded bytes per batch: a few huge pages, so a batch's block goes back to
// the system soon after the import has built the meshes that read it.
constexpr std::uint64_t kBatchBytes = std::uint64_t{4} << 20;
constexpr std::uint64_t kAlignment = 16;

std::uint64_t slotBytes(const ZipcHeader& header) {
  return (header.size + 1 + kAlignment - 1) / kAlignment * kAlignment;
}

// The packed lists decodeLists would reach, as far as their text is given
// directly.
void collect(VrpValue& value, std::vector<EarlyDecoder::List>& lists, std::uint64_t& bytes, int depth) {
  VrpFunction* function = value.function();
  if (function == nullptr || depth >= kMaxValueDepth) return;
  if (function->name == "interpolate") {
    if (function->values.empty()) return;
    VrpFunction* key = function->values[0].function();
    if (key != nullptr && key->values.size() == 2) collect(key->values[1], lists, bytes, depth + 1);
    return;
  }
  if (function->name == "List") {
    for (VrpValue& element : function->values) collect(element, lists, bytes, depth + 1);
    return;
  }
  if (!isPackedListName(function->name) || function->data || function->early || function->values.empty()) return;
  const std::string_view* text = function->values[0].stringValue();
  if (text == nullptr) return;
  const std::optional<ZipcHeader> header = readZipcHeader(*text);
  if (!header) return;
  lists.push_back({function, *text, *header, packedElementSize(function->name)});
  bytes += slotBytes(*header);
}

void decodeBatch(const std::vector<EarlyDecoder::List>& lists, std::uint64_t bytes) {
  try {
    const auto block = std::make_shared<platform::ByteBlock>(static_cast<std::size_t>(bytes));
    std::uint64_t offset = 0;
    for (const EarlyDecoder::List& list : lists) {
      std::uint8_t* slot = block->data() + offset;
      offset += slotBytes(list.header);
      std::uint64_t length = 0;
      if (!decodeZipcInto(list.text, list.header, slot, length)) {
        // What a stream that failed wrote is not kept: with huge pages a few
        // bytes would hold two megabytes each.
        platform::releasePages(slot, static_cast<std::size_t>(list.header.size) + 1);
        continue;
      }
      list.function->early = std::shared_ptr<std::uint8_t[]>(block, slot);
      list.function->earlyCount = length / list.elementSize;
    }
  } catch (const std::bad_alloc&) {
    // Prebuilding decodes these lists one by one instead.
  }
}

void drop(VrpValue& value, int depth) {
  VrpFunction* function = value.function();
  if (function == nullptr || depth >= kMaxValueDepth) return;
  function->early.reset();
  function->earlyCount = 0;
  for (VrpValue& element : function->values) drop(element, depth + 1);
}

}  // namespace

EarlyDecoder::~EarlyDecoder() { tasks_.wait(); }

void EarlyDecoder::add(VrpPlugin& plugin) {
  for (const auto& attribute : plugin.attributes()) collect(attribute->value, batch_, batchBytes_, 0);
  if (batchBytes_ >= kBatchBytes) startBatch();
}

void EarlyDecoder::finish() {
  startBatch();
  tasks_.wait();
}

void EarlyDecoder::startBatch() {
  if (batch_.empty()) return;
  tasks_.run([lists = std::move(batch_), bytes = batchBytes_] { decodeBatch(lists, bytes); });
  batch_.clear();
  batchBytes_ = 0;
}

void dropEarlyLists(VrpPlugin& plugin) {
  for (const auto& attribute : plugin.attributes()) drop(attribute->value, 0);
}

}  // namespace cvimp
