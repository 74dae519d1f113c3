#include "engine/jet/jet_text.h"

#include <cstring>

namespace qv::jet {

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xc0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xe0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  } else {
    out.push_back(static_cast<char>(0xf0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3f)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3f)));
  }
}

namespace {

// Collects UTF-16 code units and pairs surrogates.
class Utf16Sink {
 public:
  explicit Utf16Sink(std::string& out) : out_(out) {}
  void Put(std::uint16_t u) {
    if (u < 0x80 && !pendingHigh_) {  // the common case, kept short
      out_.push_back(static_cast<char>(u));
      return;
    }
    if (pendingHigh_) {
      if (u >= 0xdc00 && u <= 0xdfff) {
        AppendUtf8(out_,
                   0x10000 + ((static_cast<std::uint32_t>(pendingHigh_) - 0xd800) << 10) + (u - 0xdc00));
        pendingHigh_ = 0;
        return;
      }
      AppendUtf8(out_, 0xfffd);
      pendingHigh_ = 0;
    }
    if (u >= 0xd800 && u <= 0xdbff) {
      pendingHigh_ = u;
    } else if (u >= 0xdc00 && u <= 0xdfff) {
      AppendUtf8(out_, 0xfffd);
    } else {
      AppendUtf8(out_, u);
    }
  }
  // A run of characters below 0x80 (most stored text): appended in one go, with the same result
  // as putting them one by one.
  void PutAscii(const std::uint8_t* p, std::size_t n) {
    Finish();
    out_.append(reinterpret_cast<const char*>(p), n);
  }
  // The same for a run of UTF-16LE code units below 0x80 (`n` units, 2n bytes), narrowed in
  // small blocks on the stack (growing the string first would zero the bytes to be written).
  void PutAsciiUnits(const std::uint8_t* p, std::size_t n) {
    Finish();
    char block[64];
    while (n > 0) {
      const std::size_t take = n < sizeof block ? n : sizeof block;
      for (std::size_t k = 0; k < take; ++k) block[k] = static_cast<char>(p[2 * k]);
      out_.append(block, take);
      p += 2 * take;
      n -= take;
    }
  }
  void Finish() {
    if (pendingHigh_) AppendUtf8(out_, 0xfffd);
    pendingHigh_ = 0;
  }

 private:
  std::string& out_;
  std::uint16_t pendingHigh_ = 0;
};

}  // namespace

std::string DecodeJet4Text(std::span<const std::uint8_t> b) {
  std::string out;
  out.reserve(b.size());
  AppendJet4Text(b, out);
  return out;
}

void AppendJet4Text(std::span<const std::uint8_t> b, std::string& out) {
  Utf16Sink sink(out);
  if (b.size() >= 2 && b[0] == 0xff && b[1] == 0xfe) {
    bool oneByte = true;
    std::size_t i = 2;
    while (i < b.size()) {
      if (b[i] == 0) {
        oneByte = !oneByte;
        ++i;
      } else if (oneByte) {
        std::size_t end = i;
        // Eight bytes at a time while none of them is 00 or 0x80 and above: a borrow out of a
        // 00 byte, or a byte's own top bit, shows in the top bits (a borrow can only spill
        // above a byte that already stops the run).
        while (end + 8 <= b.size()) {
          std::uint64_t w;
          std::memcpy(&w, &b[end], sizeof w);
          if (((w - 0x0101010101010101u) | w) & 0x8080808080808080u) break;
          end += 8;
        }
        while (end < b.size() && b[end] != 0 && b[end] < 0x80) ++end;
        if (end > i) {
          sink.PutAscii(&b[i], end - i);
          i = end;
        } else {
          sink.Put(b[i]);
          ++i;
        }
      } else if (i + 1 < b.size()) {
        sink.Put(static_cast<std::uint16_t>(b[i] | (b[i + 1] << 8)));
        i += 2;
      } else {
        break;
      }
    }
  } else {
    std::size_t i = 0;
    while (i + 1 < b.size()) {
      std::size_t end = i;
      while (end + 1 < b.size() && b[end + 1] == 0 && b[end] < 0x80) end += 2;
      if (end > i) {
        sink.PutAsciiUnits(&b[i], (end - i) / 2);
        i = end;
      } else {
        sink.Put(static_cast<std::uint16_t>(b[i] | (b[i + 1] << 8)));
        i += 2;
      }
    }
  }
  sink.Finish();
}

}  // namespace qv::jet
