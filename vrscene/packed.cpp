#include "vrscene/packed.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "vrscene/diagnostics.h"
#include "vrscene/inflate.h"
#include "vrscene/plain_lists.h"
#include "vrscene/scene.h"
#include "vrscene/value.h"

namespace cvimp {

namespace {

constexpr std::array<std::int8_t, 256> kHexDigits = makeDigitTable("0123456789ABCDEF");

// Deflate data cannot inflate by more than 1032:1.
constexpr std::uint64_t kMaxInflateRatio = 1032;

std::int64_t digit(char c) { return kHexDigits[static_cast<unsigned char>(c)]; }

// Largest number of bytes `length` Base64 characters can decode to.
std::size_t base64Capacity(std::size_t length) {
  const std::size_t rest = length % 4;
  return length / 4 * 3 + (rest >= 2 ? rest - 1 : 0);
}

// Each decoding thread keeps its buffer for the compressed bytes: packed
// lists are decoded by the thousand.
thread_local std::vector<std::uint8_t> compressedBuffer;

// Inflates the zlib stream held by the first `compressedSize` bytes that the
// Base64 text decodes to (zero bytes where the text stops short), into `out`
// of `capacity` bytes. Succeeds exactly when the stream ends, checksum and
// all, within both limits, as zlib's uncompress would.
bool inflateBase64(std::string_view base64, std::uint64_t compressedSize, std::uint8_t* out, std::uint64_t capacity,
                   std::uint64_t& length) {
  auto& compressed = compressedBuffer;
  const auto size = static_cast<std::size_t>(compressedSize);
  if (compressed.size() < size) compressed.resize(size);
  const std::size_t decoded = decodeBase64(base64.data(), base64.size(), compressed.data(), size);
  // Characters past a "=" yield nothing; the stream then ends early and fails.
  std::memset(compressed.data() + decoded, 0, size - decoded);
  std::size_t written = 0;
  const bool inflated = inflateZlib(compressed.data(), size, out, static_cast<std::size_t>(capacity), written);
  // A buffer grown for one huge list is not kept for the rest of the thread.
  constexpr std::size_t kKeptBytes = std::size_t{16} << 20;
  if (compressed.size() > kKeptBytes) std::vector<std::uint8_t>().swap(compressed);
  if (!inflated) return false;
  length = written;
  return true;
}

constexpr std::string_view kPackedNames[] = {"ListIntHex", "ListFloatHex", "ListVectorHex", "ListColorHex"};

// Deepest value nesting walked; the parser never produces deeper values.
void decodeListsAt(VrpValue& value, const VrpScene* scene, const ListOrigin& origin, int depth) {
  VrpFunction* function = value.function();
  if (function == nullptr || depth >= kMaxValueDepth) return;

  if (function->name == "interpolate") {
    if (function->values.empty()) return;
    VrpFunction* key = function->values[0].function();
    if (key == nullptr || key->values.size() != 2) return;
    VrpValue& payload = key->values[1];
    if (payload.type() > 5) printUnknownValueType(payload.type());
    decodeListsAt(payload, scene, origin, depth + 1);
    return;
  }
  if (function->name == "List") {
    for (VrpValue& element : function->values) {
      if (element.type() > 5) printUnknownValueType(element.type());
      decodeListsAt(element, scene, origin, depth + 1);
    }
    return;
  }
  const bool plain = isPlainListName(function->name);
  if (!plain && !isPackedListName(function->name)) return;
  if (function->data || function->values.empty()) return;
  if (function->early) {
    // Decoded ahead from the same text, which decoded without a word.
    function->data = std::move(function->early);
    function->count = function->earlyCount;
    return;
  }
  std::optional<DecodedList> decoded;
  if (plain) {
    std::string why;
    decoded =
        convertPlainList(*function, scene, plainListHoldsInts(function->name), plainElementSize(function->name), &why);
    if (!decoded) printListFailure(origin, why);
  } else {
    const std::string_view* text = function->values[0].resolveString(scene);
    if (text == nullptr) {
      vrpPrint("[VRP] ERROR: Cannot get list data.\n");
      return;
    }
    const std::size_t elementSize = packedElementSize(function->name);
    decoded = decodePackedText(*text, function->name, elementSize, origin);
  }
  if (decoded && decoded->data) {
    function->data = std::move(decoded->data);
    function->count = decoded->count;
  }
}

}  // namespace

bool isPackedListName(std::string_view functionName) {
  return std::find(std::begin(kPackedNames), std::end(kPackedNames), functionName) != std::end(kPackedNames);
}

std::size_t packedElementSize(std::string_view functionName) {
  return functionName == "ListVectorHex" || functionName == "ListColorHex" ? kVectorElementSize : kIntElementSize;
}

std::uint32_t decodeHex32(const char* c) {
  const std::int64_t value = (digit(c[0]) * 16 + digit(c[1])) + (digit(c[2]) * 16 + digit(c[3])) * 0x100 +
                             (digit(c[4]) * 16 + digit(c[5])) * 0x10000 + (digit(c[6]) * 16 + digit(c[7])) * 0x1000000;
  return static_cast<std::uint32_t>(value);  // modulo 2^32
}

std::optional<ZipcHeader> readZipcHeader(std::string_view text) {
  // A header cut short holds no sizes to trust.
  if (text.size() < 20 || text.substr(0, 4) != "ZIPC") return std::nullopt;
  ZipcHeader header;
  header.size = decodeHex32(text.data() + 4);
  if (header.size == 0) return std::nullopt;
  const std::uint64_t declaredCompressed = decodeHex32(text.data() + 12);
  if (declaredCompressed == 0) return std::nullopt;
  // The sizes come from the file: never allocate more than the text can hold,
  // nor more than that can inflate to.
  header.compressedSize = std::min<std::uint64_t>(declaredCompressed, base64Capacity(text.size() - 20));
  if (header.compressedSize == 0 || header.size > header.compressedSize * kMaxInflateRatio) return std::nullopt;
  return header;
}

bool decodeZipcInto(std::string_view text, const ZipcHeader& header, std::uint8_t* out, std::uint64_t& length) {
  if (!inflateBase64(text.substr(20), header.compressedSize, out, header.size, length)) return false;
  std::memset(out + length, 0, header.size + 1 - length);
  return true;
}

std::optional<DecodedList> decodeZipc(std::string_view text, std::size_t elementSize) {
  if (text.size() < 4 || text.substr(0, 4) != "ZIPC") {
    vrpPrint("[VRP] ERROR: Cannot decode non-ZIPC data.\n");
    return std::nullopt;
  }
  const std::optional<ZipcHeader> header = readZipcHeader(text);
  if (!header || elementSize == 0) return std::nullopt;
  try {
    DecodedList list;
    list.data = std::make_shared_for_overwrite<std::uint8_t[]>(header->size + 1);
    std::uint64_t length = 0;
    if (!decodeZipcInto(text, *header, list.data.get(), length)) return std::nullopt;
    list.count = length / elementSize;
    return list;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

VrpTransform decodeTransformHex(std::string_view text) {
  VrpTransform transform;
  if (text.size() != 128) return transform;
  std::uint8_t bytes[64];
  for (int word = 0; word < 16; ++word) {
    const std::uint32_t value = decodeHex32(text.data() + 8 * word);
    for (int b = 0; b < 4; ++b) bytes[4 * word + b] = static_cast<std::uint8_t>(value >> (8 * b));
  }
  float matrix[9];
  std::memcpy(matrix, bytes, sizeof(matrix));
  double offset[3];
  std::memcpy(offset, bytes + 40, sizeof(offset));
  for (int v = 0; v < 3; ++v) transform.matrix[v] = {matrix[3 * v], matrix[3 * v + 1], matrix[3 * v + 2]};
  transform.offset = {toSingle(offset[0]), toSingle(offset[1]), toSingle(offset[2])};
  return transform;
}

void decodeLists(VrpValue& value, const VrpScene* scene, const ListOrigin& origin) {
  decodeListsAt(value, scene, origin, 0);
}

}  // namespace cvimp
