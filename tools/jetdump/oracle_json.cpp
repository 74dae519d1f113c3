#include "oracle_json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/core/error.h"
#include "engine/core/value_text.h"

namespace qv::jet::tools {

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char ch : s) {
    switch (ch) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
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
        if (ch < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", ch);
          out += buf;
        } else {
          out.push_back(static_cast<char>(ch));
        }
    }
  }
  return out + "\"";
}

namespace {

// Shortest digits and exponent (value = 0.DIGITS * 10^n) laid out as JavaScript does.
std::string JsLayout(bool negative, std::string digits, int n) {
  std::string out = negative ? "-" : "";
  int k = static_cast<int>(digits.size());
  if (k <= n && n <= 21) {
    out += digits + std::string(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out += digits.substr(0, static_cast<std::size_t>(n)) + "." + digits.substr(static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0." + std::string(static_cast<std::size_t>(-n), '0') + digits;
  } else {
    int e = n - 1;
    out += digits.substr(0, 1);
    if (k > 1) out += "." + digits.substr(1);
    out += e < 0 ? "e-" : "e+";
    out += std::to_string(e < 0 ? -e : e);
  }
  return out;
}

template <typename F>
std::string ShortestJs(F v) {
  if (std::isnan(v)) return "NaN";
  if (std::isinf(v)) return v < 0 ? "-Infinity" : "Infinity";
  if (v == 0) return std::signbit(v) ? "-0" : "0";
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  std::string s(buf, res.ptr);
  bool neg = s[0] == '-';
  if (neg) s.erase(0, 1);
  auto epos = s.find('e');
  std::string mant = s.substr(0, epos);
  int exp = std::stoi(s.substr(epos + 1));
  std::string digits;
  for (char c : mant)
    if (c != '.') digits.push_back(c);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  return JsLayout(neg, digits, exp + 1);
}

std::string Pad(long long v, int width) {
  std::string s = std::to_string(v < 0 ? -v : v);
  while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
  return (v < 0 ? "-" : "") + s;
}

// Date.prototype.toISOString of a millisecond count since 1970.
std::string IsoFromUnixMs(std::int64_t ms) {
  std::int64_t days = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
  std::int64_t rest = ms - days * 86400000;
  std::int64_t y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  std::string year = (y >= 0 && y <= 9999) ? Pad(y, 4) : ((y < 0 ? "-" : "+") + Pad(y < 0 ? -y : y, 6));
  char buf[64];
  std::snprintf(buf, sizeof buf, "-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", m, d,
                static_cast<long long>(rest / 3600000), static_cast<long long>(rest / 60000 % 60),
                static_cast<long long>(rest / 1000 % 60), static_cast<long long>(rest % 1000));
  return year + buf;
}

std::string RenderCell(const ColumnDef& c, const Cell& cell, const ValueDecoder& dec, const Place& where) {
  if (c.maskBoolean()) return cell.flag ? "true" : "false";
  if (cell.null) return "null";
  if (c.type == col_type::kComplex)
    return JsonString(std::to_string(static_cast<std::int32_t>(ByteView(cell.bytes, where.str()).U32(0))));
  // Calculated values other than text as the oracles show them: the stored bytes.
  if (c.calculated() && c.type != col_type::kText && c.type != col_type::kMemo)
    return JsonString(ToHex(cell.bytes));
  if (c.type == col_type::kSingle) {
    auto v = dec.Decode(c, cell, where);
    return JsonString(JsFloat32(static_cast<float>(std::get<double>(v))));
  }
  if (c.type == col_type::kDateTimeExt) {
    ExtendedDate e = ParseExtendedDate(cell.bytes, where);
    std::int64_t y;
    unsigned m, d;
    CivilFromDays(e.days + DaysFromCivil(1, 1, 1), y, m, d);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld.%02u.%02u %02lld:%02lld:%02lld.%09lld", static_cast<long long>(y),
                  m, d, static_cast<long long>(e.seconds / 3600), static_cast<long long>(e.seconds / 60 % 60),
                  static_cast<long long>(e.seconds % 60), static_cast<long long>(e.ticks * 100));
    return JsonString(buf);
  }
  qv::Value v = dec.Decode(c, cell, where);
  return std::visit(
      [&](const auto& x) -> std::string {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          return "null";
        } else if constexpr (std::is_same_v<T, bool>) {
          return x ? "true" : "false";
        } else if constexpr (std::is_same_v<T, std::int64_t>) {
          return JsonString(std::to_string(x));
        } else if constexpr (std::is_same_v<T, double>) {
          return JsonString(ShortestJs(x));
        } else if constexpr (std::is_same_v<T, Currency>) {
          std::int64_t s = x.scaled;
          unsigned long long mag =
              s < 0 ? 0ull - static_cast<unsigned long long>(s) : static_cast<unsigned long long>(s);
          char buf[48];
          std::snprintf(buf, sizeof buf, "%s%llu.%04llu", s < 0 ? "-" : "", mag / 10000, mag % 10000);
          return JsonString(buf);
        } else if constexpr (std::is_same_v<T, Decimal>) {
          return JsonString(x.text);
        } else if constexpr (std::is_same_v<T, Timestamp>) {
          std::int64_t days = DaysFromCivil(x.year, x.month, x.day);
          std::int64_t ms =
              days * 86400000 + ((x.hour * 60 + x.minute) * 60 + x.second) * 1000LL + x.millisecond;
          return JsonString(IsoFromUnixMs(ms));
        } else if constexpr (std::is_same_v<T, std::string>) {
          return JsonString(x);
        } else if constexpr (std::is_same_v<T, Bytes>) {
          return JsonString(ToHex(x));
        } else if constexpr (std::is_same_v<T, Guid>) {
          std::string h = ToHex(x.bytes);
          return JsonString(h.substr(0, 8) + "-" + h.substr(8, 4) + "-" + h.substr(12, 4) + "-" +
                            h.substr(16, 4) + "-" + h.substr(20));
        } else {
          return "null";
        }
      },
      v);
}

std::string ColumnJson(const ColumnDef& c) {
  std::string out = "{\"name\":" + JsonString(c.name) + ",\"type\":" + JsonString(TypeName(c.type)) +
                    ",\"size\":" + std::to_string(c.type == col_type::kBoolean ? 0 : c.length);
  if (c.type == col_type::kNumeric)
    out += ",\"precision\":" + std::to_string(c.precision) + ",\"scale\":" + std::to_string(c.scale);
  if (c.fixedLength()) out += ",\"fixedLength\":true";
  if (c.nullable()) out += ",\"nullable\":true";
  if (c.autoLong()) out += ",\"autoLong\":true";
  if (c.autoGuid()) out += ",\"autoUUID\":true";
  return out + "}";
}

}  // namespace

std::string JsNumber(double v) {
  return ShortestJs(v);
}
std::string JsFloat32(float v) {
  return ShortestJs(v);
}

std::string TableJson(Database& db, const std::string& name, bool sortRows) {
  std::string out = "  {\n   \"name\": " + JsonString(name);
  try {
    // The columns as stored (the oracles show a calculated column's storage type and bytes).
    auto cursor = std::make_unique<TableCursor>(db.sharedFile(), db.ReadDefinition(name));
    const auto& def = cursor->definition();
    out += ",\n   \"rowCount\": " + std::to_string(def.rowCount);
    out += ",\n   \"columns\": [";
    for (std::size_t i = 0; i < def.columns.size(); ++i)
      out += std::string(i ? ",\n" : "\n") + "    " + ColumnJson(def.columns[i]);
    out += def.columns.empty() ? "]" : "\n   ]";
    std::vector<std::string> lines;
    std::vector<Cell> cells;
    std::string rows;
    std::size_t n = 0;
    while (cursor->NextRow(cells)) {
      std::string line = "[";
      for (std::size_t i = 0; i < def.columns.size(); ++i) {
        if (i) line += ",";
        line += RenderCell(def.columns[i], cells[i], cursor->decoder(), cursor->place());
      }
      line += "]";
      if (sortRows) {
        lines.push_back(std::move(line));
      } else {
        rows += std::string(n ? ",\n" : "\n") + "    " + line;
      }
      ++n;
    }
    if (sortRows) {
      std::sort(lines.begin(), lines.end());
      for (std::size_t i = 0; i < lines.size(); ++i)
        rows += std::string(i ? ",\n" : "\n") + "    " + lines[i];
    }
    out += ",\n   \"rows\": [" + rows + (n ? "\n   ]" : "]");
  } catch (const Error& e) {
    out += ",\n   \"error\": " + JsonString(e.description());
  }
  return out + "\n  }";
}

}  // namespace qv::jet::tools
