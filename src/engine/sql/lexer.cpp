#include "engine/sql/lexer.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "engine/core/error.h"
#include "engine/sql/syntax_error.h"

namespace qv::sql {

namespace {

bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
bool IsNamePart(unsigned char c) {
  return IsNameStart(c) || IsDigit(c);
}

}  // namespace

void Lexer::Fail(std::string_view problem, std::size_t offset) const {
  throw SyntaxError(errorNumber_ ? errorNumber_ : errc::kInvalidStatement,
                    context_.empty() ? std::string_view("Syntax error") : context_, problem, text_, offset);
}

std::size_t Lexer::CheckedCharLength(std::size_t pos) const {
  std::size_t len = Utf8SequenceLength(text_, pos);
  if (len == 0) Fail("bytes that are not UTF-8 text", pos);
  return len;
}

void Lexer::ScanText(std::string& out) {
  // One walk to the next apostrophe (no UTF-8 sequence holds one): ASCII bytes one by one, any
  // other character checked as a whole, so a bad sequence is reported at the offset where it
  // starts, before the run's end is considered. Texts in statements are short: a byte loop is
  // quicker here than a search call and a second pass for the check.
  const char* const data = text_.data();
  const std::size_t size = text_.size();
  std::size_t p = pos_ + 1;
  for (;;) {
    std::size_t run = p;
    // Eight bytes at a time while they hold neither an apostrophe nor a byte above 0x7f; in the
    // eight that do, the first such byte is the lowest flagged one (a borrow can flag bytes only
    // above a true zero), found at once where the first byte loads lowest.
    while (run + 8 <= size) {
      std::uint64_t w;
      std::memcpy(&w, data + run, 8);
      const std::uint64_t quotes = w ^ 0x2727272727272727ull;  // a zero byte where '\'' was
      const std::uint64_t zero = (quotes - 0x0101010101010101ull) & ~quotes & 0x8080808080808080ull;
      const std::uint64_t flags = zero | (w & 0x8080808080808080ull);
      if (flags != 0) {
        if constexpr (std::endian::native == std::endian::little)
          run += static_cast<std::size_t>(std::countr_zero(flags)) / 8;
        break;
      }
      run += 8;
    }
    while (run < size) {
      const auto c = static_cast<unsigned char>(data[run]);
      if (c == '\'') break;
      run += c < 0x80 ? 1 : CheckedCharLength(run);
    }
    if (run >= size) Fail("a text in apostrophes is not closed", pos_);
    out.append(data + p, run - p);
    p = run;
    if (p + 1 < size && data[p + 1] == '\'') {
      out += '\'';
      p += 2;
      continue;
    }
    break;
  }
  pos_ = p + 1;
}

bool Lexer::NextText(std::string& out, std::size_t& offset) {
  while (pos_ < text_.size() && IsBlank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  if (pos_ >= text_.size() || text_[pos_] != '\'') return false;
  offset = pos_;
  ScanText(out);
  return true;
}

bool Lexer::NextNull(std::size_t& offset) {
  if (!NextKeyword("NULL")) return false;
  offset = pos_ - 4;
  return true;
}

bool Lexer::NextKeyword(std::string_view keyword) {
  while (pos_ < text_.size() && IsBlank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  const std::size_t n = keyword.size();
  if (text_.size() - pos_ < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if ((text_[pos_ + i] & ~0x20) != keyword[i]) return false;  // ASCII letters in either case
  }
  // The word must end there, as Next() ends a name.
  if (pos_ + n < text_.size() && IsNamePart(static_cast<unsigned char>(text_[pos_ + n]))) return false;
  pos_ += n;
  return true;
}

bool Lexer::NextPunctuation(char c) {
  while (pos_ < text_.size() && IsBlank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  if (pos_ >= text_.size() || text_[pos_] != c) return false;
  ++pos_;
  return true;
}

char Lexer::NextListSeparator() {
  while (pos_ < text_.size() && IsBlank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  if (pos_ >= text_.size() || (text_[pos_] != ',' && text_[pos_] != ')')) return 0;
  return text_[pos_++];
}

// Digits, an optional fraction and an optional exponent; a number that runs into a name or
// another dot is refused.
std::size_t Lexer::NumberEnd() const {
  std::size_t p = pos_;
  while (p < text_.size() && IsDigit(static_cast<unsigned char>(text_[p]))) ++p;
  if (p < text_.size() && text_[p] == '.') {
    ++p;
    while (p < text_.size() && IsDigit(static_cast<unsigned char>(text_[p]))) ++p;
  }
  if (p < text_.size() && (text_[p] == 'e' || text_[p] == 'E')) {
    std::size_t q = p + 1;
    if (q < text_.size() && (text_[q] == '+' || text_[q] == '-')) ++q;
    if (q >= text_.size() || !IsDigit(static_cast<unsigned char>(text_[q]))) {
      Fail("a number's exponent has no digits", p);
    }
    while (q < text_.size() && IsDigit(static_cast<unsigned char>(text_[q]))) ++q;
    p = q;
  }
  if (p < text_.size() && (IsNamePart(static_cast<unsigned char>(text_[p])) || text_[p] == '.')) {
    Fail("a number runs into other characters", pos_);
  }
  return p;
}

Token Lexer::Next() {
  while (pos_ < text_.size() && IsBlank(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  Token t;
  t.offset = pos_;
  if (pos_ >= text_.size()) return t;

  unsigned char c = static_cast<unsigned char>(text_[pos_]);
  // Punctuation carries no text: its kind says it all.
  TokenKind punctuation = TokenKind::End;
  switch (c) {
    case '(':
      punctuation = TokenKind::LeftParen;
      break;
    case ')':
      punctuation = TokenKind::RightParen;
      break;
    case ',':
      punctuation = TokenKind::Comma;
      break;
    case '*':
      punctuation = TokenKind::Star;
      break;
    case ';':
      punctuation = TokenKind::Semicolon;
      break;
    case '+':
      punctuation = TokenKind::Plus;
      break;
    case '-':
      punctuation = TokenKind::Minus;
      break;
    case '.':
      if (pos_ + 1 >= text_.size() || !IsDigit(static_cast<unsigned char>(text_[pos_ + 1]))) {
        punctuation = TokenKind::Dot;
      }
      break;
    default:
      break;
  }
  if (punctuation != TokenKind::End) {
    t.kind = punctuation;
    ++pos_;
    return t;
  }

  if (c == '`' || c == '[') {
    const char close = c == '`' ? '`' : ']';
    std::size_t p = pos_ + 1;
    while (p < text_.size() && text_[p] != close) {
      p += static_cast<unsigned char>(text_[p]) < 0x80 ? 1 : CheckedCharLength(p);
    }
    if (p >= text_.size()) {
      Fail(close == '`' ? "a name in backquotes is not closed" : "a name in brackets is not closed", pos_);
    }
    t.kind = TokenKind::QuotedName;
    t.quote = static_cast<char>(c);
    t.text.assign(text_.substr(pos_ + 1, p - pos_ - 1));
    pos_ = p + 1;
    return t;
  }

  if (c == '\'') {
    ScanText(t.text);
    t.kind = TokenKind::Text;
    return t;
  }

  if (IsDigit(c) || c == '.') {
    const std::size_t p = NumberEnd();
    t.kind = TokenKind::Number;
    t.text.assign(text_.substr(pos_, p - pos_));
    pos_ = p;
    return t;
  }

  if (IsNameStart(c)) {
    std::size_t p = pos_;
    while (p < text_.size() && IsNamePart(static_cast<unsigned char>(text_[p]))) {
      p += static_cast<unsigned char>(text_[p]) < 0x80 ? 1 : CheckedCharLength(p);
    }
    t.kind = TokenKind::Word;
    t.text.assign(text_.substr(pos_, p - pos_));
    pos_ = p;
    return t;
  }

  if (c == '"') Fail("text in double quotes is not accepted; use apostrophes", pos_);
  if (c == '#') Fail("date literals in '#' are not accepted; write the date as text", pos_);
  Fail("unexpected character", pos_);
}

}  // namespace qv::sql
