#include "vrscene/plain_lists.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "vrscene/plugin.h"
#include "vrscene/vrscene.h"

namespace cvimp {

namespace {

// Unlike the size fields of a "ZIPC" header, plain hex is read in either case.
constexpr std::array<std::int8_t, 256> kHexDigits = [] {
  std::array<std::int8_t, 256> table = makeDigitTable("0123456789ABCDEF");
  for (char c = 'a'; c <= 'f'; ++c) table[static_cast<unsigned char>(c)] = static_cast<std::int8_t>(c - 'a' + 10);
  return table;
}();

constexpr std::int32_t kLargestIndex = 0x7FFFFFFF;

std::string shownByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("'") + c + "'";
  char hex[8];
  std::snprintf(hex, sizeof hex, "\\x%02X", byte);
  return hex;
}

std::string shown(double value) {
  char digits[32];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

void fail(std::string* why, std::string reason) {
  if (why != nullptr) *why = std::move(reason);
}

// Where in the list a bad number stands: the element, and for vectors the
// component.
std::string place(std::size_t word, bool vectors) {
  if (!vectors) return "element " + std::to_string(word);
  return "element " + std::to_string(word / 3) + ", component " + std::to_string(word % 3);
}

bool isVectorForm(std::string_view functionName) { return functionName == "ListVector" || functionName == "ListColor"; }

// One number of the list as a 32-bit word.
bool convertWord(const VrpValue& value, const VrpScene* scene, bool asInts, std::size_t word, bool vectors,
                 std::uint8_t* out, std::string* why) {
  if (asInts) {
    // Indices never pass through single precision, which loses them above 2^24.
    std::int64_t index = -1;
    if (const std::int64_t* integer = value.resolveInt(scene)) {
      if (*integer < 0 || *integer > kLargestIndex) {
        fail(why, place(word, vectors) + ": " + std::to_string(*integer) + " is not an index");
        return false;
      }
      index = *integer;
    } else if (const double* real = value.resolveFloat(scene)) {
      if (!(*real >= 0 && *real <= kLargestIndex) || std::trunc(*real) != *real) {
        fail(why, place(word, vectors) + ": " + shown(*real) + " is not an index");
        return false;
      }
      index = static_cast<std::int64_t>(*real);
    } else {
      fail(why, place(word, vectors) + " is not a number");
      return false;
    }
    const auto index32 = static_cast<std::int32_t>(index);
    std::memcpy(out, &index32, sizeof index32);
    return true;
  }
  float single = 0;
  if (const double* real = value.resolveFloat(scene)) {
    single = toSingle(*real);
  } else if (const std::int64_t* integer = value.resolveInt(scene)) {
    single = static_cast<float>(*integer);
  } else {
    fail(why, place(word, vectors) + " is not a number");
    return false;
  }
  std::memcpy(out, &single, sizeof single);
  return true;
}

}  // namespace

bool decodeHexInto(std::string_view text, std::size_t formElementSize, std::uint8_t* out, std::string* why) {
  if (text.size() % 2 != 0) {
    fail(why, std::to_string(text.size()) + " hex digits, an odd number");
    return false;
  }
  if (text.size() % (2 * formElementSize) != 0) {
    fail(why, std::to_string(text.size()) + " hex digits, not a whole number of " +
                  std::to_string(2 * formElementSize) + "-digit elements");
    return false;
  }
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = kHexDigits[static_cast<unsigned char>(text[i])];
    const int low = kHexDigits[static_cast<unsigned char>(text[i + 1])];
    if (high < 0 || low < 0) {
      const std::size_t at = high < 0 ? i : i + 1;
      fail(why, shownByte(text[at]) + " at offset " + std::to_string(at) + " is not a hex digit");
      return false;
    }
    out[i / 2] = static_cast<std::uint8_t>(high * 16 + low);
  }
  out[text.size() / 2] = 0;
  return true;
}

std::optional<DecodedList> decodeHexList(std::string_view text, std::size_t formElementSize, std::size_t elementSize,
                                         std::string* why) {
  if (text.empty() || elementSize == 0) return DecodedList{};
  try {
    // Its size is the text's: no header to trust, so no limit beyond it.
    DecodedList list;
    list.data = std::make_shared_for_overwrite<std::uint8_t[]>(text.size() / 2 + 1);
    if (!decodeHexInto(text, formElementSize, list.data.get(), why)) return std::nullopt;
    list.count = text.size() / 2 / elementSize;
    return list;
  } catch (const std::bad_alloc&) {
    fail(why, "out of memory");
    return std::nullopt;
  }
}

std::optional<DecodedList> decodePackedText(std::string_view text, std::string_view formName, std::size_t elementSize,
                                            const ListOrigin& origin) {
  if (text.starts_with("ZIPC")) return decodeZipc(text, elementSize);
  std::string why;
  std::optional<DecodedList> list = decodeHexList(text, packedElementSize(formName), elementSize, &why);
  if (!list) printListFailure(origin, why);
  return list;
}

bool isPlainListName(std::string_view functionName) {
  return functionName == "ListInt" || functionName == "ListFloat" || isVectorForm(functionName);
}

bool plainListHoldsInts(std::string_view functionName) { return functionName == "ListInt"; }

std::size_t plainElementSize(std::string_view functionName) {
  return isVectorForm(functionName) ? kVectorElementSize : kIntElementSize;
}

std::size_t listElementSize(std::string_view functionName) {
  if (isPackedListName(functionName)) return packedElementSize(functionName);
  if (isPlainListName(functionName)) return plainElementSize(functionName);
  return 0;
}

std::uint64_t plainWordCount(const VrpFunction& list) {
  return isVectorForm(list.name) ? 3 * list.values.size() : list.values.size();
}

bool convertPlainInto(const VrpFunction& list, const VrpScene* scene, bool asInts, std::size_t elementSize,
                      std::uint8_t* out, std::uint64_t& count, std::string* why) {
  const bool vectors = isVectorForm(list.name);
  std::size_t word = 0;
  for (std::size_t i = 0; i < list.values.size(); ++i) {
    if (!vectors) {
      if (!convertWord(list.values[i], scene, asInts, word, false, out + 4 * word, why)) return false;
      ++word;
      continue;
    }
    // As everywhere a vector is read, the form's name plays no part and
    // components past the third are ignored.
    const VrpFunction* vector = list.values[i].resolveFunction(scene);
    if (vector == nullptr || vector->values.size() < 3) {
      fail(why, "element " + std::to_string(i) + " is not a vector of three numbers");
      return false;
    }
    for (std::size_t c = 0; c < 3; ++c, ++word) {
      if (!convertWord(vector->values[c], scene, asInts, word, true, out + 4 * word, why)) return false;
    }
  }
  out[4 * word] = 0;
  count = 4 * word / elementSize;
  return true;
}

std::optional<DecodedList> convertPlainList(const VrpFunction& list, const VrpScene* scene, bool asInts,
                                            std::size_t elementSize, std::string* why) {
  if (elementSize == 0) return std::nullopt;
  try {
    DecodedList decoded;
    decoded.data = std::make_shared_for_overwrite<std::uint8_t[]>(4 * plainWordCount(list) + 1);
    if (!convertPlainInto(list, scene, asInts, elementSize, decoded.data.get(), decoded.count, why)) {
      return std::nullopt;
    }
    return decoded;
  } catch (const std::bad_alloc&) {
    fail(why, "out of memory");
    return std::nullopt;
  }
}

void printListFailure(const ListOrigin& origin, std::string_view why) {
  if (origin.plugin == nullptr) {
    vrpPrint("[VRP] ERROR: Cannot read list: %.*s.\n", static_cast<int>(why.size()), why.data());
    return;
  }
  vrpPrint("[VRP] ERROR: Cannot read list '%.*s' of %s '%s': %.*s.\n", static_cast<int>(origin.attribute.size()),
           origin.attribute.data(), origin.plugin->type.c_str(), origin.plugin->name.c_str(),
           static_cast<int>(why.size()), why.data());
}

}  // namespace cvimp
