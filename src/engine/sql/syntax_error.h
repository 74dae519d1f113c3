// A fault found in a statement or connection string, with its place: the character position
// (counted in characters, not bytes, from 1) and a short piece of the text found there, so the
// user sees which part of a long statement is wrong.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/core/error.h"

namespace qv::sql {

class SyntaxError : public qv::Error {
 public:
  // `context` names what was being read ("Syntax error in CREATE TABLE statement"), `problem`
  // says what is wrong ("expected ')'"), `offset` is the byte offset of the fault in `text`.
  SyntaxError(int number, std::string_view context, std::string_view problem, std::string_view text,
              std::size_t offset);

  std::size_t offset() const noexcept { return offset_; }        // bytes from the start
  std::size_t character() const noexcept { return character_; }  // characters, from 1

 private:
  std::size_t offset_;
  std::size_t character_;
};

// Position of a byte offset as a character number from 1 (UTF-8 lead bytes are counted; a stray
// byte counts as one character).
std::size_t CharacterNumber(std::string_view text, std::size_t offset);

// Up to `count` characters of `text` from `offset`, made printable: control characters become
// blanks and bytes that are not UTF-8 become '?'.
std::string TextNear(std::string_view text, std::size_t offset, std::size_t count = 20);

// Length of the UTF-8 sequence starting at `pos` (1 to 4), or 0 when the bytes there are not a
// well-formed sequence (overlong forms, surrogates and values above U+10FFFF are not well-formed).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

}  // namespace qv::sql
