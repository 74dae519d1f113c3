// paradoxdump: prints a Paradox table through our own reader in the line format of the pxlib
// based pxdump oracle, so that the two can be compared with diff. Text is printed as the table's
// own bytes (escaped), blobs as length, CRC-32 and head (full hex with -x).
//
// usage: paradoxdump [-H] [-x] [-n] FILE.DB
//   -H header and fields only   -x full hex for Binary/OLE/Graphic   -n attach no blob file
// Exit status: 0 clean, 1 cannot open, 2 values that could not be read (listed on stderr).
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine/core/error.h"
#include "engine/paradox/blob_file.h"
#include "engine/paradox/field_codec.h"
#include "engine/paradox/table_reader.h"

using namespace qv;
using namespace qv::paradox;

namespace {

std::string out;  // the output of one run, flushed in large pieces

void Flush() {
  std::fwrite(out.data(), 1, out.size(), stdout);
  out.clear();
}

void Put(const char* s) {
  out += s;
}
void Put(const std::string& s) {
  out += s;
}
void Putf(const char* fmt, auto... args) {
  char buf[64];
  const int n = std::snprintf(buf, sizeof buf, fmt, args...);
  out.append(buf, static_cast<std::size_t>(n));
}

void PutInt(long long v) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}
// Zero-padded to `width` digits, sign first, as printf's %0*ld does.
void PutPadded(long long v, int width) {
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v);
  if (v < 0) {
    out += '-';
    --width;
  }
  for (int n = static_cast<int>(r.ptr - buf); n < width; ++n) out += '0';
  out.append(buf, static_cast<std::size_t>(r.ptr - buf));
}

void PutQuoted(const std::uint8_t* s, std::size_t len) {
  out += '"';
  for (std::size_t i = 0; i < len; ++i) {
    const std::uint8_t c = s[i];
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c >= 0x20 && c < 0x7F)
          out += static_cast<char>(c);
        else
          Putf("\\x%02X", c);
    }
  }
  out += '"';
}
void PutQuoted(const std::string& s) {
  PutQuoted(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

void PutHex(const std::uint8_t* s, std::size_t len) {
  static const char digits[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < len; ++i) {
    out += digits[s[i] >> 4];
    out += digits[s[i] & 15];
  }
}

std::uint32_t Crc32(const std::uint8_t* p, std::size_t n) {
  static std::uint32_t table[256];
  static bool ready = false;
  if (!ready) {
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    ready = true;
  }
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < n; ++i) c = table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// Dates as pxlib prints them: astronomical year 0 is 1 BC, printed as -1.
void PutDate(std::int64_t days) {
  const Timestamp t = TimestampFromDays(days);
  const long year = t.year <= 0 ? t.year - 1L : t.year;
  PutPadded(year, 4);
  out += '-';
  PutPadded(t.month, 2);
  out += '-';
  PutPadded(t.day, 2);
}

void PutTimeMs(long ms) {
  if (ms < 0) {  // only a damaged value; keep printf's form
    Putf("%02ld:%02ld:%02ld.%03ld", ms / 3600000L, (ms / 60000L) % 60, (ms / 1000L) % 60, ms % 1000L);
    return;
  }
  PutPadded(ms / 3600000L, 2);
  out += ':';
  PutPadded((ms / 60000L) % 60, 2);
  out += ':';
  PutPadded((ms / 1000L) % 60, 2);
  out += '.';
  PutPadded(ms % 1000L, 3);
}

int errors = 0;

void PutField(const TableReader& table, std::size_t i, bool hexAll) {
  const FieldDef& f = table.header().fields[i];
  const std::uint8_t* p = table.record().data() + f.offset;
  switch (f.type) {
    case FieldType::Alpha: {
      const auto* end = static_cast<const std::uint8_t*>(std::memchr(p, 0, f.length));
      const std::size_t len = end ? static_cast<std::size_t>(end - p) : f.length;
      if (len == 0)
        Put("NULL");
      else
        PutQuoted(p, len);
      return;
    }
    case FieldType::Short: {
      auto v = DecodeShort(p);
      if (v)
        PutInt(*v);
      else
        Put("NULL");
      return;
    }
    case FieldType::Long:
    case FieldType::AutoIncrement:
    case FieldType::Date:
    case FieldType::Time: {
      auto v = DecodeLong(p);
      if (!v)
        Put("NULL");
      else if (f.type == FieldType::Date)
        PutDate(*v);
      else if (f.type == FieldType::Time)
        PutTimeMs(*v);
      else
        PutInt(*v);
      return;
    }
    case FieldType::Number:
    case FieldType::Money:
    case FieldType::Timestamp: {
      auto v = DecodeDouble(p);
      if (!v) {
        Put("NULL");
        return;
      }
      if (f.type != FieldType::Timestamp) {
        Putf("%.17g", *v);
        return;
      }
      double days = std::floor(*v / 86400000.0);
      long ms = static_cast<long>(std::llround(*v - days * 86400000.0));
      if (ms >= 86400000L) {
        days += 1;
        ms -= 86400000L;
      }
      PutDate(static_cast<std::int64_t>(days));
      Put(" ");
      PutTimeMs(ms);
      if (*v != std::floor(*v)) Putf(" (raw=%.17g)", *v);
      return;
    }
    case FieldType::Logical:
      if (p[0] == 0)
        Put("NULL");
      else if (p[0] == 0x80)
        Put("false");
      else if (p[0] == 0x81)
        Put("true");
      else
        Putf("logical(%d)", (p[0] & 0x80) ? p[0] & 0x7F : static_cast<signed char>(p[0] | 0x80));
      return;
    case FieldType::Bcd: {
      try {
        auto v = DecodeBcd(p, f.decimals);
        if (!v) {
          Put("NULL");
          return;
        }
        if (v->truncated) {  // pxdump shows the raw bytes here; we show the digits before the noise
          Put(BcdToDecimalText(*v));
          return;
        }
        // pxlib's form: the point is always printed, even with no decimals.
        if (v->negative) Put("-");
        Put(v->integerDigits.empty() ? "0" : v->integerDigits);
        Put(".");
        Put(v->fractionDigits);
      } catch (const std::exception& e) {
        ++errors;
        std::fprintf(stderr, "paradoxdump: %s: %s\n", table.FieldWhere(i).c_str(), e.what());
        Put("ERROR");
      }
      return;
    }
    case FieldType::Bytes: {
      bool zero = true;
      for (std::size_t k = 0; k < f.length; ++k) zero = zero && p[k] == 0;
      if (zero)
        Put("NULL");
      else
        PutHex(p, f.length);
      return;
    }
    case FieldType::Memo:
    case FieldType::FormattedMemo:
    case FieldType::Binary:
    case FieldType::Ole:
    case FieldType::Graphic: {
      std::optional<Bytes> blob;
      try {
        blob = table.ReadBlobBytes(i);
      } catch (const Error& e) {
        ++errors;
        std::fprintf(stderr, "paradoxdump: %s\n", e.description().c_str());
        const BlobPointer ptr = ParseBlobPointer(std::span(p, f.length));
        Putf("ERROR(len=%ld)", static_cast<long>(ptr.size) - (f.type == FieldType::Graphic ? 8L : 0L));
        return;
      }
      if (!blob) {
        Put("NULL");
        return;
      }
      const std::uint8_t* data = blob->data();
      std::size_t len = blob->size();
      if (f.type == FieldType::Graphic) {  // shown without its 8-byte prefix, as pxlib does
        const std::size_t skip = len < kBlobPrefixSize ? len : kBlobPrefixSize;
        data += skip;
        len -= skip;
      }
      Putf("len=%zu ", len);
      if (f.type == FieldType::Memo || f.type == FieldType::FormattedMemo)
        PutQuoted(data, len);
      else if (hexAll)
        PutHex(data, len);
      else {
        Putf("crc32=%08X head=", Crc32(data, len));
        PutHex(data, len < 16 ? len : 16);
      }
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  bool headerOnly = false, hexAll = false, noBlob = false;
  int argi = 1;
  for (; argi < argc && argv[argi][0] == '-' && argv[argi][1]; ++argi) {
    for (const char* o = argv[argi] + 1; *o; ++o) {
      if (*o == 'H')
        headerOnly = true;
      else if (*o == 'x')
        hexAll = true;
      else if (*o == 'n')
        noBlob = true;
      else {
        std::fprintf(stderr, "usage: paradoxdump [-H] [-x] [-n] FILE.DB\n");
        return 1;
      }
    }
  }
  if (argi != argc - 1) {
    std::fprintf(stderr, "usage: paradoxdump [-H] [-x] [-n] FILE.DB\n");
    return 1;
  }
  const std::string path = argv[argi];
  std::unique_ptr<TableReader> table;
  try {
    table = std::make_unique<TableReader>(path);
  } catch (const Error& e) {
    std::fprintf(stderr, "paradoxdump: %s\n", e.description().c_str());
    return 1;
  }
  const TableHeader& h = table->header();
  Put("file\t" + path + "\n");
  Put("paradoxdump\t1\n");
  Putf("version-byte\t0x%02X\n", h.version);
  Putf("fileversion\t%.1f\n", h.releaseTimesTen() / 10.0);
  Putf("filetype\t%d\n", h.fileType);
  Putf("records\t%u\n", h.recordCount);
  Putf("recordsize\t%d\n", h.recordSize);
  Putf("headersize\t%d\n", h.headerSize);
  Putf("blocksize\t%u\n", h.blockSize());
  Putf("fileblocks\t%u\n", h.fileBlocks);
  Putf("firstblock\t%u\n", h.firstBlock);
  Putf("lastblock\t%u\n", h.lastBlock);
  Putf("keyfields\t%d\n", h.keyFields);
  Putf("codepage\t%d\n", h.codePage);
  Putf("sortorder\t0x%02X\n", h.sortOrder);
  Putf("autoinc\t%" PRIu32 "\n", h.autoIncrement);
  Put("encrypted\tno\n");
  Putf("writeprotected\t%d\n", h.writeProtected);
  Put("tablename\t");
  PutQuoted(h.tableName);
  Put("\n");
  Putf("fields\t%zu\n", h.fields.size());
  for (std::size_t i = 0; i < h.fields.size(); ++i) {
    const FieldDef& f = h.fields[i];
    Putf("field\t%zu\t", i + 1);
    PutQuoted(f.rawName);
    Putf("\t%s\t0x%02X\t%d", FieldTypeCode(f.type), static_cast<unsigned>(f.type), f.length);
    if (f.type == FieldType::Bcd) Putf("\tdecimals=%d", f.decimals);
    Put("\n");
  }
  if (!noBlob) {
    if (table->blobPath())
      Put("blobfile\t" + table->blobPath()->string() + "\n");
    else
      Put(std::string("blobfile\t") + (table->hasBlobFields() ? "MISSING" : "none") + "\n");
  }
  if (!headerOnly) {
    Flush();
    std::vector<std::string> quotedNames;
    for (const auto& f : h.fields) {
      out.clear();
      out += '\t';
      PutQuoted(f.rawName);
      out += '\t';
      quotedNames.push_back(out);
    }
    out.clear();
    try {
      while (table->NextRecord()) {
        for (std::size_t i = 0; i < h.fields.size(); ++i) {
          Put("rec\t");
          PutInt(table->recordNumber());
          Put(quotedNames[i]);
          PutField(*table, i, hexAll);
          Put("\n");
        }
        if (out.size() > (1u << 16)) Flush();
      }
    } catch (const Error& e) {
      ++errors;
      std::fprintf(stderr, "paradoxdump: %s\n", e.description().c_str());
    }
  }
  Putf("end\terrors=%d\twarnings=0\n", errors);
  Flush();
  return errors ? 2 : 0;
}
