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
  bool startsWith(std::string_view literal) const { return rest().starts_with(literal); }
  std::string_view rest() const { return text_.substr(pos_); }
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

constexpr bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// A word that "//" and quotes go on: one that starts as an identifier does,
// or a signed one that starts like inf or nan ("-Infinity_Plane").
bool startsName(std::string_view rest) {
  const unsigned char c = static_cast<unsigned char>(rest[0]);
  if (isLetter(rest[0]) || c == '_' || c >= 0xC0) return true;
  return (c == '-' || c == '+') && rest.size() > 1 && isLetter(rest[1]);
}

constexpr bool endsWord(char c) {
  return isSceneSpace(static_cast<unsigned char>(c)) || std::string_view("=;{}:,()").find(c) != std::string_view::npos;
}

// One attribute, up to and past its ";": quoted strings skipped whole, and
// "//" comments wherever they stand between tokens, but not inside a name
// (x=foo//bar; is the name "foo//bar"). False at the end of the text.
bool pastAttribute(Scan& scan) {
  enum { Between, InName, InOther } word = Between;
  while (!scan.atEnd()) {
    const char c = scan.peek();
    if (word != Between && endsWord(c)) word = Between;
    if (word == InName) {
      scan.advance();
    } else if (scan.startsWith("//")) {
      scan.toLineEnd();
      word = Between;
    } else if (c == '"' || c == '\'') {
      scan.pastQuoted();
      word = Between;
    } else if (word == Between && !endsWord(c)) {
      word = startsName(scan.rest()) ? InName : InOther;
      scan.advance();
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
