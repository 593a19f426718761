#include "vrscene/statement_scan.h"

#include "vrscene/text_cursor.h"

namespace cvimp {

namespace {

class Scan {
 public:
  explicit Scan(std::string_view text) : text_(text) {}

  bool atEnd() const { return pos_ >= text_.size(); }
  std::size_t pos() const { return pos_; }
  void skipSpace() {
    while (!atEnd() && isSceneSpace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool startsWith(std::string_view literal) const { return text_.substr(pos_).starts_with(literal); }
  void toLineEnd() { pos_ = find('\n', pos_); }
  // Past a quoted string that starts here; one without its closing quote
  // runs to the end.
  void pastQuoted() {
    const std::size_t close = find(text_[pos_], pos_ + 1);
    pos_ = close < text_.size() ? close + 1 : close;
  }
  bool toAfter(char c) {
    const std::size_t at = find(c, pos_);
    pos_ = at < text_.size() ? at + 1 : at;
    return at < text_.size();
  }
  char peek() const { return text_[pos_]; }
  void advance() { ++pos_; }

 private:
  std::size_t find(char c, std::size_t from) const {
    const std::size_t at = text_.find(c, from);
    return at == std::string_view::npos ? text_.size() : at;
  }

  std::string_view text_;
  std::size_t pos_ = 0;
};

// One attribute, up to and past its ";" (quoted strings skipped whole).
// False at the end of the text.
bool pastAttribute(Scan& scan) {
  while (!scan.atEnd()) {
    const char c = scan.peek();
    if (c == '"' || c == '\'') {
      scan.pastQuoted();
    } else {
      scan.advance();
      if (c == ';') return true;
    }
  }
  return false;
}

}  // namespace

std::vector<TextCut> findCuts(std::string_view text, std::size_t pieceBytes) {
  std::vector<TextCut> cuts{{0, 0}};
  Scan scan(text);
  std::uint64_t statement = 0;
  std::size_t next = pieceBytes;
  while (true) {
    scan.skipSpace();
    if (scan.atEnd()) return cuts;
    bool block = false;
    if (scan.startsWith("//")) {
      scan.toLineEnd();
    } else if (scan.startsWith("#include")) {
      for (int i = 0; i < 8; ++i) scan.advance();
      scan.skipSpace();
      // Without a quoted name the reader goes on with a block from here.
      if (scan.atEnd() || (scan.peek() != '"' && scan.peek() != '\'')) return cuts;
      scan.pastQuoted();
    } else {
      if (!scan.toAfter('{')) return cuts;
      while (true) {
        scan.skipSpace();
        if (scan.atEnd()) return cuts;
        if (scan.peek() == '}') {
          scan.advance();
          break;
        }
        if (scan.startsWith("//")) {
          scan.toLineEnd();
        } else if (!pastAttribute(scan)) {
          return cuts;
        }
      }
      block = true;
    }
    ++statement;
    const std::size_t end = scan.pos();
    if (block && end >= next) {
      scan.skipSpace();
      if (scan.atEnd()) return cuts;
      cuts.push_back({end, statement});
      next = end + pieceBytes;
    }
  }
}

}  // namespace cvimp
