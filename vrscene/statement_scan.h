#pragma once
// Where a large file may be cut for reading its pieces on several threads: a
// quick pass that follows the statement syntax (comments, includes, plugin
// blocks, quoted strings) without building anything, and proposes cuts just
// after the closing brace of a plugin block.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace cvimp {

struct TextCut {
  std::size_t offset;       // where a piece starts: just after a block's "}"
  std::uint64_t statement;  // the index of the first statement after it
};

// Cuts at least `pieceBytes` apart, the first always {0, 0}. The pass stops
// proposing cuts where it cannot follow the text; what it proposes is only a
// guess, which the reading of each piece confirms.
std::vector<TextCut> findCuts(std::string_view text, std::size_t pieceBytes);

}  // namespace cvimp
