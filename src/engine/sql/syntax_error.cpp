#include "engine/sql/syntax_error.h"

namespace qv::sql {

namespace {

std::string Describe(std::string_view context, std::string_view problem, std::string_view text,
                     std::size_t offset) {
  std::string d(context);
  d += ": ";
  d += problem;
  if (offset >= text.size()) {
    d += " at the end of the text (character ";
    d += std::to_string(CharacterNumber(text, text.size()));
    d += ")";
  } else {
    d += " at character ";
    d += std::to_string(CharacterNumber(text, offset));
    d += ", near '";
    d += TextNear(text, offset);
    d += "'";
  }
  return d;
}

}  // namespace

SyntaxError::SyntaxError(int number, std::string_view context, std::string_view problem,
                         std::string_view text, std::size_t offset)
    : qv::Error(number, Describe(context, problem, text, offset),
                "character " + std::to_string(CharacterNumber(text, offset))),
      offset_(offset < text.size() ? offset : text.size()),
      character_(CharacterNumber(text, offset)) {}

std::size_t CharacterNumber(std::string_view text, std::size_t offset) {
  if (offset > text.size()) offset = text.size();
  std::size_t n = 1;
  std::size_t pos = 0;
  while (pos < offset) {
    std::size_t len = Utf8SequenceLength(text, pos);
    pos += len == 0 ? 1 : len;
    ++n;
  }
  return n;
}

std::string TextNear(std::string_view text, std::size_t offset, std::size_t count) {
  std::string out;
  std::size_t pos = offset;
  for (std::size_t i = 0; i < count && pos < text.size(); ++i) {
    std::size_t len = Utf8SequenceLength(text, pos);
    unsigned char c = static_cast<unsigned char>(text[pos]);
    if (len == 0) {
      out += '?';
      ++pos;
    } else if (len == 1) {
      out += (c < 0x20 || c == 0x7f) ? ' ' : static_cast<char>(c);
      ++pos;
    } else {
      out.append(text.substr(pos, len));
      pos += len;
    }
  }
  if (pos < text.size()) out += "...";
  return out;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 0;
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char c = byte(pos);
  if (c < 0x80) return 1;
  std::size_t len;
  unsigned lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0) lo = 0xA0;  // overlong
    if (c == 0xED) hi = 0x9F;  // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0) lo = 0x90;  // overlong
    if (c == 0xF4) hi = 0x8F;  // above U+10FFFF
  } else {
    return 0;
  }
  if (pos + len > text.size()) return 0;
  if (byte(pos + 1) < lo || byte(pos + 1) > hi) return 0;
  for (std::size_t i = 2; i < len; ++i) {
    if (byte(pos + i) < 0x80 || byte(pos + i) > 0xBF) return 0;
  }
  return len;
}

}  // namespace qv::sql
