// Splits statement text into tokens. Names come bare (letters, digits, '_' and any non-ASCII
// character, not starting with a digit), between backquotes or between brackets; the quoted forms
// hold any characters except their own closing mark (there is no escape, as in the Access engine's
// dialect, so a name holding '`' can only be written in brackets and one holding ']' only in
// backquotes). Text literals stand between apostrophes, a doubled apostrophe standing for one.
// All text is UTF-8; a byte sequence that is not UTF-8 is an error, never passed on.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qv::sql {

enum class TokenKind {
  End,         // the end of the text
  Word,        // a bare name or keyword; `text` as written
  QuotedName,  // a name in backquotes or brackets; `text` without the marks, `quote` the opener
  Text,        // a text literal; `text` with doubled apostrophes made single
  Number,      // unsigned digits with an optional fraction and exponent; `text` as written
  LeftParen,
  RightParen,
  Comma,
  Dot,
  Star,
  Semicolon,
  Plus,
  Minus,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;        // empty for punctuation
  std::size_t offset = 0;  // byte offset of the token's first character
  char quote = 0;          // '`' or '[' for QuotedName
};

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  // The next token. A lexical fault throws SyntaxError with the number and context last given
  // to SetContext, so it reads like a fault of the statement being parsed.
  Token Next();
  // A text literal at the next non-blank character, read into `out` (its first character's
  // offset into `offset`), as Next() would give it; false, having passed only blanks, when the
  // next token is something else. Saves a token per value in a long list of values.
  bool NextText(std::string& out, std::size_t& offset);
  // The word NULL (any letter case) at the next non-blank character, passed (its offset into
  // `offset`), as Next() would give the word; false, having passed only blanks, when the next
  // token is anything else (another word too). Saves a token per NULL in a list of values.
  bool NextNull(std::size_t& offset);
  // The word `keyword` (given in capitals; any letter case in the text) at the next non-blank
  // character, passed, as Next() would give the word; false, having passed only blanks, when the
  // next token is anything else (a longer word too). Saves a token per keyword in a run of
  // statements.
  bool NextKeyword(std::string_view keyword);
  // The mark `c` ('(' for one) at the next non-blank character, passed, as Next() would give it;
  // false, having passed only blanks, otherwise.
  bool NextPunctuation(char c);
  // ',' or ')' at the next non-blank character, passed; 0, having passed only blanks, when the
  // next token is something else.
  char NextListSeparator();

  void SetContext(int errorNumber, std::string_view context) {
    errorNumber_ = errorNumber;
    context_ = context;
  }
  std::string_view text() const { return text_; }

 private:
  [[noreturn]] void Fail(std::string_view problem, std::size_t offset) const;
  std::size_t CheckedCharLength(std::size_t pos) const;  // throws on bytes that are not UTF-8
  void ScanText(std::string& out);  // from the opening apostrophe at pos_ to past the closing one
  std::size_t NumberEnd() const;    // where the number starting at pos_ ends

  std::string_view text_;
  std::size_t pos_ = 0;
  int errorNumber_ = 0;
  std::string_view context_;
};

}  // namespace qv::sql
