#pragma once
// Lists written out in the text instead of packed: hexadecimal digits of the
// elements' bytes ("ListVectorHex(\"D61CD73F...\")", as V-Ray for Blender
// writes them), and lists of values ("ListVector(Vector(...), ...)",
// "ListInt(...)", "ListFloat(...)", as the App SDK writes them). Both give
// the arrays their packed forms give.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vrscene/packed.h"
#include "vrscene/value.h"

namespace cvimp {

// Plain hexadecimal text: two digits per byte, high nibble first, bytes in
// file order, either case, a whole number of `formElementSize`-byte
// elements. Empty text is an empty list (no data, count 0). `count` is in
// `elementSize` elements. On failure, nothing, and the reason in `why`.
std::optional<DecodedList> decodeHexList(std::string_view text, std::size_t formElementSize, std::size_t elementSize,
                                         std::string* why);
// The same into `out`, of text.size() / 2 + 1 bytes, zero after the data.
bool decodeHexInto(std::string_view text, std::size_t formElementSize, std::uint8_t* out, std::string* why);

// A packed list's text as its form holds it: "ZIPC" texts as always,
// anything else as plain hexadecimal, whose failures are printed naming
// `origin`.
std::optional<DecodedList> decodePackedText(std::string_view text, std::string_view formName, std::size_t elementSize,
                                            const ListOrigin& origin);

// What a plain list decodes to on its own: "ListInt" to 32-bit integers, the
// others to singles; four bytes an element, twelve for vectors and colours.
bool plainListHoldsInts(std::string_view functionName);
std::size_t plainElementSize(std::string_view functionName);

// The numbers of a plain list (the three components of each vector or
// colour) as 32-bit words, `elementSize` bytes to an element: integers
// read exactly, and refused unless they are whole numbers from 0 to
// 2^31 - 1 (they are indices), or singles. Values resolve at the scene's
// frame; a null scene takes them as written.
std::optional<DecodedList> convertPlainList(const VrpFunction& list, const VrpScene* scene, bool asInts,
                                            std::size_t elementSize, std::string* why);
// The words a plain list flattens to (three per vector), for sizing.
std::uint64_t plainWordCount(const VrpFunction& list);
// The same into `out`, of 4 * plainWordCount + 1 bytes; `count` in elements.
bool convertPlainInto(const VrpFunction& list, const VrpScene* scene, bool asInts, std::size_t elementSize,
                      std::uint8_t* out, std::uint64_t& count, std::string* why);

// "[VRP] ERROR: Cannot read list 'ATTRIBUTE' of TYPE 'PLUGIN': WHY.\n"
void printListFailure(const ListOrigin& origin, std::string_view why);

}  // namespace cvimp
