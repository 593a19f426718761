#pragma once
// Packed lists: "ZIPC" texts (hexadecimal sizes, then Base64 of a zlib
// stream) holding arrays of 32-bit integers, singles or single triples, and
// the 128-digit "TransformHex" form.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "vrscene/records.h"

namespace cvimp {

class VrpScene;
class VrpValue;

// Element sizes of the packed forms.
inline constexpr std::size_t kIntElementSize = 4;     // "ListIntHex", "ListFloatHex"
inline constexpr std::size_t kVectorElementSize = 12;  // "ListVectorHex", "ListColorHex"

// Eight upper-case hex digits holding a little-endian 32-bit value, each
// byte high nibble first. Other characters count as digit -1.
std::uint32_t decodeHex32(const char* eightCharacters);

// Standard Base64 up to the first "=" or `length` characters. Characters
// outside the alphabet are not skipped: they decode as -1. Writes at most
// `capacity` bytes and returns the number written.
std::size_t decodeBase64(const char* text, std::size_t length, std::uint8_t* out, std::size_t capacity);

struct DecodedList {
  std::shared_ptr<std::uint8_t[]> data;  // declared size + 1 bytes, zero after the elements
  std::uint64_t count = 0;               // decompressed length / element size
};

// Decodes a "ZIPC" text; nothing when it is not one, declares impossible
// sizes, or does not inflate.
std::optional<DecodedList> decodeZipc(std::string_view text, std::size_t elementSize);

// 128 hex digits: nine singles (the matrix vectors), padding, three doubles
// (the offset). Any other length gives the identity.
VrpTransform decodeTransformHex(std::string_view text);

// Decodes in place every packed list reachable from a function value through
// "List" elements and the first key of an "interpolate" form.
void decodeLists(VrpValue& value, const VrpScene* scene);

// True for the four packed list forms.
bool isPackedListName(std::string_view functionName);
std::size_t packedElementSize(std::string_view functionName);

}  // namespace cvimp
