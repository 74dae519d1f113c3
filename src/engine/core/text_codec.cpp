#include "engine/core/text_codec.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "engine/core/error.h"

namespace qv {
namespace {

iconv_t Handle(void* p) {
  return static_cast<iconv_t>(p);
}
const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);  // NOLINT: iconv's own failure value

void ResetState(void* h) {
  iconv(Handle(h), nullptr, nullptr, nullptr, nullptr);
}

// Writes what the conversion still holds: code pages such as 1255 keep a letter back until they
// know whether a combining mark follows, so the text's last letter comes out only here.
void Flush(void* h, std::string& out, char*& o, std::size_t& outLeft) {
  if (outLeft < 16) {
    const std::size_t used = static_cast<std::size_t>(o - out.data());
    out.resize(out.size() + 16);
    o = out.data() + used;
    outLeft = out.size() - used;
  }
  iconv(Handle(h), nullptr, nullptr, &o, &outLeft);
}

}  // namespace

TextCodec::TextCodec(const std::string& charset) : charset_(charset) {
  iconv_t to = iconv_open("UTF-8", charset.c_str());
  iconv_t from = iconv_open(charset.c_str(), "UTF-8");
  if (to == kInvalid || from == kInvalid) {
    if (to != kInvalid) iconv_close(to);
    if (from != kInvalid) iconv_close(from);
    throw Error(errc::kNotSupported, "The code page " + charset + " is not supported on this system.");
  }
  toUtf8_ = to;
  fromUtf8_ = from;
  // Each byte on its own: a character set where one needs another after it is not single-byte.
  std::vector<std::string> table(256);
  for (unsigned b = 0; b < 256; ++b) {
    ResetState(toUtf8_);
    char byte = static_cast<char>(b);
    char* in = &byte;
    std::size_t inLeft = 1;
    std::string out(16, '\0');
    char* o = out.data();
    std::size_t outLeft = out.size();
    const std::size_t r = iconv(Handle(toUtf8_), &in, &inLeft, &o, &outLeft);
    if (r == static_cast<std::size_t>(-1) && errno != EILSEQ) return;  // an incomplete sequence: multi-byte
    if (r != static_cast<std::size_t>(-1)) Flush(toUtf8_, out, o, outLeft);
    out.resize(static_cast<std::size_t>(o - out.data()));
    if (r == static_cast<std::size_t>(-1)) out = "\xEF\xBF\xBD";
    if (out.empty()) return;
    table[b] = std::move(out);
  }
  ResetState(toUtf8_);
  bytes_ = std::move(table);
}

TextCodec::~TextCodec() {
  if (toUtf8_) iconv_close(Handle(toUtf8_));
  if (fromUtf8_) iconv_close(Handle(fromUtf8_));
}

TextCodec::TextCodec(TextCodec&& o) noexcept
    : charset_(std::move(o.charset_)),
      toUtf8_(std::exchange(o.toUtf8_, nullptr)),
      fromUtf8_(std::exchange(o.fromUtf8_, nullptr)),
      bytes_(std::move(o.bytes_)) {}

TextCodec& TextCodec::operator=(TextCodec&& o) noexcept {
  if (this != &o) {
    this->~TextCodec();
    new (this) TextCodec(std::move(o));
  }
  return *this;
}

std::string TextCodec::ToUtf8(std::string_view bytes) const {
  std::string out;
  if (!bytes_.empty()) {
    out.reserve(bytes.size() * 2);
    for (char c : bytes) out += bytes_[static_cast<unsigned char>(c)];
    return out;
  }
  ResetState(toUtf8_);
  out.resize(bytes.size() * 4 + 8);
  char* in = const_cast<char*>(bytes.data());
  std::size_t inLeft = bytes.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    std::size_t r = iconv(Handle(toUtf8_), &in, &inLeft, &o, &outLeft);
    if (r != static_cast<std::size_t>(-1)) break;
    if (errno == E2BIG) {
      std::size_t used = static_cast<std::size_t>(o - out.data());
      out.resize(out.size() * 2);
      o = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    // An undefined byte (or a cut multibyte sequence): emit U+FFFD and step over one byte.
    if (outLeft < 3) {
      std::size_t used = static_cast<std::size_t>(o - out.data());
      out.resize(out.size() + 16);
      o = out.data() + used;
      outLeft = out.size() - used;
    }
    *o++ = static_cast<char>(0xEF);
    *o++ = static_cast<char>(0xBF);
    *o++ = static_cast<char>(0xBD);
    outLeft -= 3;
    ++in;
    --inLeft;
    ResetState(toUtf8_);
  }
  Flush(toUtf8_, out, o, outLeft);
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string TextCodec::ToUtf8(std::span<const std::uint8_t> bytes) const {
  return ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool TextCodec::FromUtf8(std::string_view utf8, std::string& out) const {
  ResetState(fromUtf8_);
  out.resize(utf8.size() * 4 + 8);
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* o = out.data();
  std::size_t outLeft = out.size();
  while (inLeft > 0) {
    std::size_t r = iconv(Handle(fromUtf8_), &in, &inLeft, &o, &outLeft);
    if (r == static_cast<std::size_t>(-1)) {
      if (errno != E2BIG) return false;
      std::size_t used = static_cast<std::size_t>(o - out.data());
      out.resize(out.size() * 2);
      o = out.data() + used;
      outLeft = out.size() - used;
      continue;
    }
    // glibc counts irreversible conversions in r: a character replaced by an approximation.
    if (r > 0) return false;
  }
  Flush(fromUtf8_, out, o, outLeft);
  out.resize(static_cast<std::size_t>(o - out.data()));
  return true;
}

std::string TextCodec::CharsetForCodePage(int codePage) {
  switch (codePage) {
    case 0:
      return "CP437";
    case 65001:
      return "UTF-8";
    case 1200:
      return "UTF-16LE";
    case 20866:
      return "KOI8-R";
    case 28591:
      return "ISO-8859-1";
    case 28592:
      return "ISO-8859-2";
    case 28595:
      return "ISO-8859-5";
    case 10000:
      return "MACINTOSH";
    default:
      return "CP" + std::to_string(codePage);
  }
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

char32_t FoldLetterCase(char32_t c) {
  if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
  if (c >= 0xc0 && c <= 0xde && c != 0xd7) return c + 0x20;  // Latin-1 capitals
  // Latin Extended-A: capital and small letter in pairs (U+0130 and U+0131 are no pair)
  if (c >= 0x100 && c <= 0x137 && c != 0x130 && c != 0x131) return c | 1;
  if (c >= 0x139 && c <= 0x148) return c + (c & 1);
  if (c >= 0x14a && c <= 0x177) return c | 1;
  if (c == 0x178) return 0xff;
  if (c >= 0x179 && c <= 0x17e) return c + (c & 1);
  if (c >= 0x391 && c <= 0x3ab && c != 0x3a2) return c + 0x20;  // Greek capitals
  if (c == 0x386) return 0x3ac;
  if (c >= 0x388 && c <= 0x38a) return c + 0x25;
  if (c == 0x38c) return 0x3cc;
  if (c == 0x38e || c == 0x38f) return c + 0x3f;
  if (c >= 0x410 && c <= 0x42f) return c + 0x20;  // Cyrillic capitals
  if (c >= 0x400 && c <= 0x40f) return c + 0x50;
  if (c >= 0x531 && c <= 0x556) return c + 0x30;  // Armenian capitals
  if (c >= 0x460 && c <= 0x4ff && c != 0x482 && !(c >= 0x483 && c <= 0x489) && c != 0x4c0 && c != 0x4cf) {
    if (c >= 0x4c1 && c <= 0x4ce) return c + (c & 1);  // pairs start on odd numbers there
    return c | 1;
  }
  return c;
}

bool DecodeUtf8(std::string_view s, std::size_t& i, char32_t& cp) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  const std::size_t extra = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
  if (extra == 4 || i + extra >= s.size()) return false;
  char32_t value = extra == 0 ? c : static_cast<char32_t>(c & (0x3f >> extra));
  for (std::size_t k = 1; k <= extra; ++k) {
    const unsigned char d = static_cast<unsigned char>(s[i + k]);
    if ((d & 0xc0) != 0x80) return false;
    value = (value << 6) | (d & 0x3f);
  }
  // The shortest form only, and no surrogate or value past U+10FFFF.
  constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  if (value < kLeast[extra] || value > 0x10ffff || (value >= 0xd800 && value <= 0xdfff)) return false;
  cp = value;
  i += extra + 1;
  return true;
}

bool EqualIgnoringLetterCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    char32_t x = 0, y = 0;
    const bool okA = DecodeUtf8(a, i, x), okB = DecodeUtf8(b, j, y);
    if (!okA || !okB) return a == b;
    if (FoldLetterCase(x) != FoldLetterCase(y)) return false;
  }
  return i == a.size() && j == b.size();
}

bool IsAscii(std::string_view bytes) {
  // Eight bytes at a time: most stored text is ASCII, and this runs once per value.
  const char* p = bytes.data();
  std::size_t n = bytes.size();
  std::uint64_t high = 0;
  for (; n >= 8; p += 8, n -= 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    high |= word;
  }
  for (; n > 0; ++p, --n) high |= static_cast<unsigned char>(*p);
  return (high & 0x8080808080808080ull) == 0;
}

}  // namespace qv
