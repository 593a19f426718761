#pragma once
// Readers for the constructs of a scene text. Each either succeeds and moves
// the cursor past what it read, or fails and leaves the cursor where it was
// (only leading white space may have been consumed).
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "vrscene/definition_path.h"
#include "vrscene/plugin.h"
#include "vrscene/text_cursor.h"
#include "vrscene/value.h"

namespace cvimp {

class VrpScene;

void skipWhitespace(TextCursor& cursor);
// White space and "//" comments: what may stand between the tokens of an
// attribute, inside values and function forms.
void skipGap(TextCursor& cursor);
// Skips white space first when `skipSpace`; then consumes `literal` if the text begins with it.
bool consumeLiteral(TextCursor& cursor, std::string_view literal, bool skipSpace);

// "//" up to (not including) the next line feed.
std::optional<std::string_view> readComment(TextCursor& cursor);
// #include "name" or #include 'name'. Without a quoted name the cursor stays
// after the keyword and its white space.
std::optional<std::string_view> readInclude(TextCursor& cursor);

// Why a plugin block could not be read: where reading stopped and what was
// expected there ("expected ';' after the value of attribute 'x' in Node 'b'").
struct ReadFailure {
  const char* at = nullptr;
  std::string expected;
};

// Type name [ignored words] { attr = value; ... }. Prints the no-name warning
// and still reads the block when the name is missing (the plugin then has an
// empty name). Null when the block cannot be read, with `failure` (when
// given) saying why.
std::unique_ptr<VrpPlugin> readPluginBlock(TextCursor& cursor, VrpScene& scene, const DefinitionPath& basePath,
                                           std::uint64_t statementIndex, ReadFailure* failure = nullptr);

// A letter, "_" or UTF-8 lead byte, then everything up to white space or one of "=;{}:,()".
std::optional<std::string> readIdentifier(TextCursor& cursor);
// "..." or '...', no escapes; an unterminated string runs to the end of the text.
std::optional<std::string_view> readQuoted(TextCursor& cursor);
// A number as the C library reads it with "." as decimal separator: Float when
// the floating conversion reads further than the integer one, else Int.
// A word that only starts like one (inf, infinity, nan, nan(...), signed,
// then a byte that goes on a name: "nancy_chair") is no number.
std::optional<VrpValue> readNumber(TextCursor& cursor);
// name(value, ...) or (value, ...); the name may be empty.
std::optional<VrpFunction> readFunction(TextCursor& cursor);
// plugin::attribute
std::optional<VrpAttributeSelector> readAttributeSelector(TextCursor& cursor);
// Number, quoted string, function form, attribute selector or identifier, in
// that order, after white space and comments; then a signed name such as
// "-Infinity_Plane" as an identifier.
std::optional<VrpValue> readValue(TextCursor& cursor);

}  // namespace cvimp
