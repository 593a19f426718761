#pragma once
// The V-Ray scene reader: a scene file and its includes read into a
// document of named, typed plugins (VrpScene, VrpPlugin, VrpValue), the
// prebuild step, and typed readings of values. Uses nothing of the host.
// Diagnostics are single lines on standard output ("[VRP] ERROR: ...").
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "vrscene/file_lookup.h"  // SearchDirectories, resolveFile, joinPath
#include "vrscene/scene.h"        // the document, its plugins and values

namespace cvimp {

// Reads and parses the main file, then its includes (several at a time).
// False when the main file cannot be found or read, or one of its
// statements fails; failures of included files are reported but do not
// change the result. "Including NAME" lines are printed unless `quiet`.
bool loadScene(const std::string& fileName, VrpScene& scene, const SearchDirectories& searchDirectories, bool quiet);

// Files of at least this many bytes are read in pieces on several threads,
// cut at plugin blocks and joined in document order: the document and what
// is printed are those of a reading on one thread. Thread-safe; 0 reads
// every file on one thread.
inline constexpr std::size_t kDefaultSplitBytes = std::size_t{8} << 20;
void setSplitBytes(std::size_t bytes);
std::size_t splitBytes();

// Lists the plugins so that each comes after the plugins it refers to, with
// warnings for references to missing plugins, then decodes all packed lists
// (one plugin per task). False when the walk of a top-level plugin fails.
bool prebuildScene(VrpScene& scene, std::vector<VrpPlugin*>& orderedPlugins);

// Every diagnostic of the reader and of those who report in its words goes
// through here (printf-style); a breakpoint here stops at the first one.
void vrpPrint(const char* format, ...) CVIMP_PRINTF_FORMAT(1, 2);

// The packed list forms ("ListIntHex", "ListFloatHex", "ListVectorHex",
// "ListColorHex") and the bytes of one decoded element.
inline constexpr std::size_t kIntElementSize = 4;      // "ListIntHex", "ListFloatHex"
inline constexpr std::size_t kVectorElementSize = 12;  // "ListVectorHex", "ListColorHex"
bool isPackedListName(std::string_view functionName);
std::size_t packedElementSize(std::string_view functionName);
// The plain list forms ("ListInt", "ListFloat", "ListVector", "ListColor"),
// which decode to 32-bit integers, singles, or triples of singles, and the
// bytes of one decoded element of any list form (0 for other functions).
bool isPlainListName(std::string_view functionName);
std::size_t listElementSize(std::string_view functionName);
// The two codings inside a "ZIPC" text: eight upper-case hex digits of a
// little-endian 32-bit value (other characters count as digit -1), and
// standard Base64 up to the first "=" or `length` characters, writing at
// most `capacity` bytes (returns the count).
std::uint32_t decodeHex32(const char* eightCharacters);
std::size_t decodeBase64(const char* text, std::size_t length, std::uint8_t* out, std::size_t capacity);

}  // namespace cvimp
