#include "vrscene/early_decoding.h"

#include <memory>
#include <new>
#include <utility>

#include "platform/platform.h"
#include "vrscene/plain_lists.h"
#include "vrscene/value.h"

namespace cvimp {

namespace {

// Decoded bytes per batch: a few huge pages, so a batch's block goes back to
// the system soon after the import has built the meshes that read it.
constexpr std::uint64_t kBatchBytes = std::uint64_t{4} << 20;
constexpr std::uint64_t kAlignment = 16;

std::uint64_t slotBytes(std::uint64_t bytes) { return (bytes + 1 + kAlignment - 1) / kAlignment * kAlignment; }

// The lists decodeLists would reach, as far as their text or numbers are
// given directly.
void collect(VrpValue& value, std::vector<EarlyDecoder::List>& lists, std::uint64_t& bytes, int depth) {
  using Form = EarlyDecoder::List::Form;
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
  if (function->data || function->early || function->values.empty()) return;
  EarlyDecoder::List list{Form::Plain, function, {}, {}, 0, 0};
  if (isPlainListName(function->name)) {
    list.elementSize = plainElementSize(function->name);
    list.bytes = 4 * plainWordCount(*function);
  } else if (isPackedListName(function->name)) {
    const std::string_view* text = function->values[0].stringValue();
    if (text == nullptr) return;
    list.text = *text;
    list.elementSize = packedElementSize(function->name);
    if (text->starts_with("ZIPC")) {
      const std::optional<ZipcHeader> header = readZipcHeader(*text);
      if (!header) return;
      list.form = Form::Zipc;
      list.header = *header;
      list.bytes = header->size;
    } else {
      // Lengths that cannot be right are left to prebuilding, which says why.
      if (text->empty() || text->size() % (2 * list.elementSize) != 0) return;
      list.form = Form::Hex;
      list.bytes = text->size() / 2;
    }
  } else {
    return;
  }
  lists.push_back(list);
  bytes += slotBytes(list.bytes);
}

bool decodeInto(const EarlyDecoder::List& list, std::uint8_t* slot, std::uint64_t& count) {
  using Form = EarlyDecoder::List::Form;
  switch (list.form) {
    case Form::Zipc: {
      std::uint64_t length = 0;
      if (!decodeZipcInto(list.text, list.header, slot, length)) return false;
      count = length / list.elementSize;
      return true;
    }
    case Form::Hex:
      if (!decodeHexInto(list.text, list.elementSize, slot, nullptr)) return false;
      count = list.bytes / list.elementSize;
      return true;
    case Form::Plain:
      // Without the scene nothing is resolved: a number given through
      // "interpolate" leaves the list to prebuilding.
      return convertPlainInto(*list.function, nullptr, plainListHoldsInts(list.function->name), list.elementSize, slot,
                              count, nullptr);
  }
  return false;
}

void decodeBatch(const std::vector<EarlyDecoder::List>& lists, std::uint64_t bytes) {
  try {
    const auto block = std::make_shared<platform::ByteBlock>(static_cast<std::size_t>(bytes));
    std::uint64_t offset = 0;
    for (const EarlyDecoder::List& list : lists) {
      std::uint8_t* slot = block->data() + offset;
      offset += slotBytes(list.bytes);
      std::uint64_t count = 0;
      if (!decodeInto(list, slot, count)) {
        // What a list that failed wrote is not kept: with huge pages a few
        // bytes would hold two megabytes each.
        platform::releasePages(slot, static_cast<std::size_t>(list.bytes) + 1);
        continue;
      }
      list.function->early = std::shared_ptr<std::uint8_t[]>(block, slot);
      list.function->earlyCount = count;
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
