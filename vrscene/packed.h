#pragma once
// Packed lists: "ZIPC" texts (hexadecimal sizes, then Base64 of a zlib
// stream) holding arrays of 32-bit integers, singles or single triples, and
// the 128-digit "TransformHex" form.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "vrscene/records.h"
#include "vrscene/value.h"
#include "vrscene/vrscene.h"

namespace cvimp {

class VrpScene;

// A byte's value in `alphabet` (its index), -1 for every byte not in it.
constexpr std::array<std::int8_t, 256> makeDigitTable(std::string_view alphabet) {
  std::array<std::int8_t, 256> table{};
  for (auto& entry : table) entry = -1;
  for (std::size_t i = 0; i < alphabet.size(); ++i)
    table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}

struct DecodedList {
  std::shared_ptr<std::uint8_t[]> data;  // declared size + 1 bytes, zero after the elements
  std::uint64_t count = 0;               // decompressed length / element size
};

// Decodes a "ZIPC" text; nothing when it is not one, declares impossible
// sizes, or does not inflate.
std::optional<DecodedList> decodeZipc(std::string_view text, std::size_t elementSize);

// The sizes a "ZIPC" text declares, as far as its text can hold them:
// nothing, without a word, when it is no such text or declares impossible
// sizes.
struct ZipcHeader {
  std::uint64_t size = 0;            // uncompressed bytes
  std::uint64_t compressedSize = 0;  // bytes of the zlib stream
};
std::optional<ZipcHeader> readZipcHeader(std::string_view text);
// Inflates the text's stream into `out` of header.size + 1 bytes, zero after
// the inflated `length` bytes; false when it does not inflate.
bool decodeZipcInto(std::string_view text, const ZipcHeader& header, std::uint8_t* out, std::uint64_t& length);

// 128 hex digits: nine singles (the matrix vectors), padding, three doubles
// (the offset). Any other length gives the identity.
VrpTransform decodeTransformHex(std::string_view text);

// Decodes in place every packed or plain list reachable from a function
// value through "List" elements and the first key of an "interpolate" form;
// a list refused for its contents is reported naming `origin`.
void decodeLists(VrpValue& value, const VrpScene* scene, const ListOrigin& origin = {});

}  // namespace cvimp
