// Index keys: every key of every index leaf of the Jet4/ACE corpus is recomputed from the row it
// points to and compared byte for byte; then the ordering rules the keys must keep, and the
// refusals.
#include "engine/jet/write/index_key.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "index_tree.h"

namespace qv::jet {
namespace {

std::string Hex(const Bytes& b) {
  return ToHex(b);
}

std::vector<std::uint32_t> CodePoints(const std::string& s) {
  std::vector<std::uint32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    auto b = static_cast<unsigned char>(s[i]);
    std::size_t n = b < 0x80 ? 1 : (b & 0xe0) == 0xc0 ? 2 : (b & 0xf0) == 0xe0 ? 3 : 4;
    std::uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1fu) : n == 3 ? (b & 0x0fu) : (b & 0x07u);
    for (std::size_t k = 1; k < n && i + k < s.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3fu);
    out.push_back(cp);
    i += n;
  }
  return out;
}

std::string Describe(const std::set<std::uint32_t>& cps) {
  std::size_t upper = 0, lower = 0, digit = 0, other = 0, latin1 = 0;
  for (std::uint32_t c : cps) {
    if (c >= 'A' && c <= 'Z')
      ++upper;
    else if (c >= 'a' && c <= 'z')
      ++lower;
    else if (c >= '0' && c <= '9')
      ++digit;
    else if (c >= 0x80)
      ++latin1;
    else
      ++other;
  }
  return std::to_string(cps.size()) + " characters: " + std::to_string(upper) + " capitals, " +
         std::to_string(lower) + " small letters, " + std::to_string(digit) + " digits, " +
         std::to_string(other) + " other ASCII, " + std::to_string(latin1) + " beyond ASCII";
}

TEST(IndexKey, EveryKeyOfTheCorpusIsRecomputedFromItsRow) {
  std::size_t tablesUnread = 0, files = 0, indexes = 0, keys = 0, textKeys = 0, matched = 0, refused = 0,
              rowMissing = 0;
  std::map<int, std::size_t> byVersion;
  std::set<std::uint32_t> characters[2];
  std::map<std::string, std::size_t> refusals, missingBy;
  std::vector<std::string> mismatches;
  for (const std::string& path : testing::CorpusDatabases()) {
    std::unique_ptr<Database> db;
    try {
      db = Database::Open(path);
    } catch (const Error&) {
      continue;  // password-protected or encrypted
    }
    if (db->header().layout.jet3) continue;
    ++files;
    PageStore& ps = db->pages();
    for (const CatalogEntry& entry : db->catalog()) {
      if (!entry.isTable() || !entry.database.empty() || !entry.connect.empty()) continue;
      TableDefinition def;
      try {
        def = db->ReadDefinition(entry.name);
      } catch (const Error&) {
        continue;
      }
      if (def.realIndexes.empty()) continue;
      // every live row by where it lives
      // (only the indexed columns are decoded; the others stay NULL)
      std::set<std::uint16_t> indexed;
      for (const auto& ri : def.realIndexes)
        for (const auto& part : ri.columns) indexed.insert(part.columnNumber);
      std::map<RowPointer, Row> rows;
      try {
        auto cursor = db->OpenCursor(entry.name);
        std::vector<Cell> cells;
        while (cursor->NextRow(cells)) {
          Row row(def.columns.size());
          for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (indexed.count(def.columns[i].number) && def.columns[i].readable())
              row[i] = cursor->decoder().Decode(def.columns[i], cells[i], cursor->place());
          rows[cursor->position()] = std::move(row);
        }
      } catch (const Error& err) {
        ++tablesUnread;
        std::printf("  table not read: %s in %s: %s\n", entry.name.c_str(), path.c_str(),
                    err.description().c_str());
        continue;
      }
      for (std::size_t ri = 0; ri < def.realIndexes.size(); ++ri) {
        ++indexes;
        std::vector<testing::LeafEntry> leaf;
        std::set<std::uint32_t> seen;
        testing::CollectLeafEntries(ps, def.realIndexes[ri].firstPage, leaf, seen);
        SortOrder sort;
        bool text = false;
        for (const auto& part : def.realIndexes[ri].columns) {
          const ColumnDef* c = def.columnByNumber(part.columnNumber);
          if (c && (c->type == col_type::kText || c->type == col_type::kMemo)) {
            text = true;
            sort.id = c->sortOrder;
            sort.version =
                static_cast<std::uint8_t>(std::max(0, testing::SortVersionOf(ps, def, part.columnNumber)));
          }
        }
        for (const auto& e : leaf) {
          ++keys;
          const Row* row = testing::EntryRow(ps, db->header().layout, rows, e.row);
          if (!row) {
            ++rowMissing;
            ++missingBy[path.substr(path.find("access/") + 7) + " " + entry.name];
            continue;
          }
          Bytes key;
          try {
            key = IndexKey(def, ri, *row, sort);
          } catch (const Error& err) {
            ++refused;
            ++refusals[err.description().substr(0, 90)];
            continue;
          }
          if (text) {
            ++textKeys;
            ++byVersion[sort.version];
            for (const auto& part : def.realIndexes[ri].columns)
              for (std::size_t i = 0; i < def.columns.size(); ++i)
                if (def.columns[i].number == part.columnNumber)
                  if (auto s = std::get_if<std::string>(&(*row)[i]))
                    for (std::uint32_t ch : CodePoints(*s)) characters[sort.version ? 1 : 0].insert(ch);
          }
          if (key == e.key) {
            ++matched;
          } else if (mismatches.size() < 20) {
            mismatches.push_back(path.substr(path.find("access/") + 7) + " " + entry.name + " index " +
                                 std::to_string(ri) + ": file " + Hex(e.key) + " ours " + Hex(key));
          }
        }
      }
    }
  }
  for (const auto& m : mismatches) ADD_FAILURE() << m;
  std::printf(
      "index keys: %zu files, %zu indexes, %zu keys, %zu matched byte for byte, %zu refused, %zu rows not "
      "found\n  text keys %zu: sort version 0: %zu keys, %s\n  sort version 1: %zu keys, %s\n",
      files, indexes, keys, matched, refused, rowMissing, textKeys, byVersion[0],
      Describe(characters[0]).c_str(), byVersion[1], Describe(characters[1]).c_str());
  std::string ascii[2];
  for (int v = 0; v < 2; ++v)
    for (std::uint32_t c : characters[v])
      ascii[v] += c >= 0x20 && c < 0x80 ? std::string(1, static_cast<char>(c)) : "";
  std::printf("  version 0 ASCII: %s\n  version 1 ASCII: %s\n", ascii[0].c_str(), ascii[1].c_str());
  for (int v = 0; v < 2; ++v) {
    std::printf("  version %d beyond U+00FF:", v);
    for (std::uint32_t c : characters[v])
      if (c > 0xff) std::printf(" U+%04X", static_cast<unsigned>(c));
    std::printf("\n");
  }
  for (const auto& [why, n] : refusals) std::printf("  refused %zu: %s\n", n, why.c_str());
  for (const auto& [where, n] : missingBy)
    std::printf("  entries naming no live row %zu: %s\n", n, where.c_str());
  EXPECT_GT(keys, 5000u);
  EXPECT_EQ(matched + refused + rowMissing, keys);
  EXPECT_GT(byVersion[0], 1000u);
  EXPECT_GT(byVersion[1], 500u);
  // Greek (a catalog name of two ACE12 files) and Cyrillic text of Access-made version-0 indexes
  for (std::uint32_t c : {0x3a0u, 0x3aeu, 0x3c2u, 0x41cu, 0x438u}) EXPECT_EQ(characters[0].count(c), 1u) << c;
}

TEST(IndexKey, TextKeysIgnoreCaseAndSortAsAccessSorts) {
  const SortOrder legacy{0x0409, 0}, general{0x0409, 1};
  EXPECT_EQ(TextIndexKey("abc", legacy), (Bytes{0x7f, 0x4a, 0x4c, 0x4d, 0x01, 0x00}));
  EXPECT_EQ(TextIndexKey("ABC", legacy), TextIndexKey("abc", legacy));
  EXPECT_EQ(TextIndexKey("a", general), (Bytes{0x7f, 0x0e, 0x02, 0x01, 0x00}));
  EXPECT_EQ(TextIndexKey("", legacy), (Bytes{0x7f, 0x01, 0x00}));
  for (const SortOrder& sort : {legacy, general}) {
    // each word sorts strictly before the next
    const char* words[] = {"", " 0", "0", "9", "a", "ab", "abc", "b", "e", "\xc3\xa9", "ea", "f", "z"};
    for (std::size_t i = 1; i < std::size(words); ++i)
      EXPECT_LT(TextIndexKey(words[i - 1], sort), TextIndexKey(words[i], sort))
          << "'" << words[i - 1] << "' < '" << words[i] << "', version " << int(sort.version);
    // apostrophe and hyphen do not change the main order, only break ties
    EXPECT_LT(TextIndexKey("obrien", sort), TextIndexKey("o'brien", sort));
    EXPECT_LT(TextIndexKey("o'brien", sort), TextIndexKey("obrieo", sort));
  }
  // only the first 255 characters count, and spaces at the end of those do not: "c " is keyed
  // as "c" (7f 4d 01 00), as Access' own indexes and independent readers of them take it
  EXPECT_EQ(TextIndexKey(std::string(300, 'x'), legacy), TextIndexKey(std::string(255, 'x'), legacy));
  EXPECT_EQ(TextIndexKey("c ", legacy), (Bytes{0x7f, 0x4d, 0x01, 0x00}));
  EXPECT_EQ(TextIndexKey("\xc3\xaa"
                         "fth x ",
                         legacy),
            TextIndexKey("\xc3\xaa"
                         "fth x",
                         legacy));
  for (const SortOrder& sort : {legacy, general}) {
    EXPECT_EQ(TextIndexKey("ab   ", sort), TextIndexKey("AB", sort));
    EXPECT_EQ(TextIndexKey("   ", sort), TextIndexKey("", sort));
    EXPECT_NE(TextIndexKey(" ab", sort), TextIndexKey("ab", sort));
    EXPECT_EQ(TextIndexKey(std::string(254, 'x') + "  y", sort), TextIndexKey(std::string(254, 'x'), sort));
  }
  // Latin Extended-A, Greek and Cyrillic: case is not coded, accents are
  EXPECT_EQ(TextIndexKey("\xc4\x9b", legacy), (Bytes{0x7f, 0x51, 0x01, 0x14, 0x00}));  // e-caron: e, caron
  for (const SortOrder& sort : {legacy, general}) {
    EXPECT_EQ(TextIndexKey("\xd0\xa2\xd0\x90\xd0\x91", sort), TextIndexKey("\xd1\x82\xd0\xb0\xd0\xb1", sort));
    EXPECT_EQ(TextIndexKey("\xce\xa9", sort), TextIndexKey("\xcf\x89", sort));
    EXPECT_NE(TextIndexKey("V\xc3\xbd"
                           "daje",
                           sort),
              TextIndexKey("Vydaje", sort));
    EXPECT_NE(TextIndexKey("\xc5\x81"
                           "odz",
                           sort),
              TextIndexKey("Lodz", sort));
    // Cyrillic sorts after Greek, Greek after Latin; each alphabet in its order
    EXPECT_LT(TextIndexKey("zz", sort), TextIndexKey("\xce\xb1", sort));
    EXPECT_LT(TextIndexKey("\xce\xb1", sort), TextIndexKey("\xce\xb2", sort));
    EXPECT_LT(TextIndexKey("\xcf\x89", sort), TextIndexKey("\xd0\xb0", sort));
    EXPECT_LT(TextIndexKey("\xd0\xb0", sort), TextIndexKey("\xd0\xb1", sort));
    EXPECT_LT(TextIndexKey("\xd0\xb5", sort), TextIndexKey("\xd1\x8f", sort));
    // Armenian capital and small letters are one; Hebrew and Arabic letters in their order
    EXPECT_EQ(TextIndexKey("\xd4\xb1", sort), TextIndexKey("\xd5\xa1", sort));
    EXPECT_LT(TextIndexKey("\xd7\x90", sort), TextIndexKey("\xd7\x91", sort));
    EXPECT_LT(TextIndexKey("\xd7\x91", sort), TextIndexKey("\xd7\xaa", sort));
    EXPECT_LT(TextIndexKey("\xd8\xa8", sort), TextIndexKey("\xd9\x8a", sort));
  }
  // Arabic vowel signs are unprintable characters in version 0 and combining marks in version 1
  // (refused there), as are Hebrew points in both
  EXPECT_NE(TextIndexKey("\xd8\xa8\xd9\x8e", legacy), TextIndexKey("\xd8\xa8", legacy));
  EXPECT_THROW(TextIndexKey("\xd8\xa8\xd9\x8e", general), Error);
  EXPECT_THROW(TextIndexKey("\xd7\x91\xd6\xbc", legacy), Error);
  EXPECT_THROW(TextIndexKey("\xd7\x91\xd6\xbc", general), Error);

  // Past U+06FF. Devanagari "kharch": in version 0 the virama is an accent modifier that changes
  // the placeholder accent byte of the ra before it (02 + 0E); version 1 codes it as a letter.
  EXPECT_EQ(TextIndexKey("\xe0\xa4\x96\xe0\xa4\xb0\xe0\xa5\x8d\xe0\xa4\x9a", legacy),
            (Bytes{0x7f, 0x7a, 0x40, 0x7a, 0x5a, 0x7a, 0x44, 0x01, 0x02, 0x10, 0x00}));
  EXPECT_EQ(TextIndexKey("\xe0\xa4\x96\xe0\xa4\xb0\xe0\xa5\x8d\xe0\xa4\x9a", general),
            (Bytes{0x7f, 0x32, 0x57, 0x32, 0xbb, 0x32, 0xfc, 0x32, 0x67, 0x01, 0x00}));
  // a mark at the very start begins the accent part on its own (and shifts unprintable places)
  EXPECT_EQ(TextIndexKey("\xe0\xa5\x8d"
                         "a-",
                         legacy),
            (Bytes{0x7f, 0x4a, 0x01, 0x0e, 0x01, 0x01, 0x01, 0x80, 0x0b, 0x06, 0x82, 0x00}));
  // kana: hiragana and katakana share their codes; a kana part of flags follows, 2 for a small
  // kana, plain ones at the end left out, and its end marks come even when no flag is left
  const Bytes kana{0x7f, 0x7f, 0x0a, 0x7f, 0x22, 0x01, 0x01, 0x01, 0xff, 0x02, 0x80, 0xff, 0x80, 0x00};
  for (const SortOrder& sort : {legacy, general}) {
    EXPECT_EQ(TextIndexKey("\xe3\x81\x8b\xe3\x81\xaa", sort), kana);  // kana (hiragana)
    EXPECT_EQ(TextIndexKey("\xe3\x82\xab\xe3\x83\x8a", sort), kana);  // KANA (katakana)
    EXPECT_EQ(
        TextIndexKey("\xe3\x83\x83\xe3\x82\xab", sort),  // small tsu, ka
        (Bytes{0x7f, 0x7f, 0x1c, 0x7f, 0x0a, 0x01, 0x01, 0x01, 0xa0, 0xff, 0x02, 0x80, 0xff, 0x80, 0x00}));
    // a voiced kana carries an accent byte; a kana with an apostrophe after it: kana part, FF, 01,
    // unprintable part
    EXPECT_EQ(TextIndexKey("\xe3\x81\x8c'", sort),
              (Bytes{0x7f, 0x7f, 0x0a, 0x01, 0x03, 0x01, 0x01, 0xff, 0x02, 0x80, 0xff, 0x80, 0xff, 0x01, 0x80,
                     0x0b, 0x06, 0x80, 0x00}));
    // full-width Latin letters and digits are the ASCII ones; Devanagari, Bengali, Thai and
    // Georgian letters in their order, after Latin
    EXPECT_EQ(TextIndexKey("\xef\xbc\xa1\xef\xbd\x82\xef\xbc\x91", sort), TextIndexKey("Ab1", sort));
    EXPECT_LT(TextIndexKey("zz", sort), TextIndexKey("\xe0\xa4\x85", sort));
    EXPECT_LT(TextIndexKey("\xe0\xa4\x95", sort), TextIndexKey("\xe0\xa4\x96", sort));
    EXPECT_LT(TextIndexKey("\xe0\xa6\x95", sort), TextIndexKey("\xe0\xa6\xb9", sort));
    EXPECT_LT(TextIndexKey("\xe0\xb8\x81", sort), TextIndexKey("\xe0\xb8\xae", sort));
    EXPECT_LT(TextIndexKey("\xe1\x83\x90", sort), TextIndexKey("\xe1\x83\xb0", sort));
    EXPECT_NE(TextIndexKey("\xe1\xba\xa1", sort), TextIndexKey("a", sort));  // Vietnamese a with dot below
    // Thai leading vowels and characters that repeat the one before them are refused
    EXPECT_THROW(TextIndexKey("\xe0\xb9\x80\xe0\xb8\x81", sort), Error);
    EXPECT_THROW(TextIndexKey("\xe3\x81\x8b\xe3\x83\xbc", sort), Error);
  }
  // CJK ideographs, Ext. A and polytonic Greek: version 1 only. U+4E00 is FD FF 3C 6A, and each
  // next ideograph one higher, the last byte counting 02..FF.
  EXPECT_EQ(TextIndexKey("\xe4\xb8\x80", general), (Bytes{0x7f, 0xfd, 0xff, 0x3c, 0x6a, 0x01, 0x00}));
  EXPECT_EQ(TextIndexKey("\xe4\xb8\xae", general), (Bytes{0x7f, 0xfd, 0xff, 0x3c, 0x98, 0x01, 0x00}));
  EXPECT_EQ(TextIndexKey("\xe4\xba\x96", general), (Bytes{0x7f, 0xfd, 0xff, 0x3d, 0x02, 0x01, 0x00}));
  EXPECT_LT(TextIndexKey("\xe8\xb2\xbb", general), TextIndexKey("\xe8\xb2\xbb\xe7\x94\xa8", general));
  EXPECT_NE(TextIndexKey("\xe1\xbd\xb6", general), TextIndexKey("\xce\xb9", general));
  for (const char* text : {"\xe8\xb2\xbb\xe7\x94\xa8", "\xe3\x90\x80", "\xe1\xbd\xb6"})
    EXPECT_THROW(TextIndexKey(text, legacy), Error) << text;
}

TableDefinition OneColumnTable(std::uint8_t type, bool ascending) {
  TableDefinition t;
  t.name = "T";
  ColumnDef c;
  c.name = "C";
  c.type = type;
  c.number = 0;
  c.flags = col_flag::kNullable | (type == col_type::kText ? 0 : col_flag::kFixedLength);
  c.length = type == col_type::kText ? 100 : type == col_type::kBinary ? 255 : 8;
  t.columns.push_back(c);
  RealIndexDef ri;
  ri.columns.push_back({0, ascending});
  t.realIndexes.push_back(ri);
  return t;
}

TEST(IndexKey, NumberKeysSortAsTheirValuesBothWays) {
  const SortOrder sort;
  struct Case {
    std::uint8_t type;
    std::vector<qv::Value> ascending;  // values in increasing order
  };
  const std::vector<Case> cases = {
      {col_type::kByte,
       {std::int64_t{0}, std::int64_t{1}, std::int64_t{127}, std::int64_t{128}, std::int64_t{255}}},
      {col_type::kInt16,
       {std::int64_t{-32768}, std::int64_t{-1}, std::int64_t{0}, std::int64_t{1}, std::int64_t{32767}}},
      {col_type::kInt32,
       {std::int64_t{-2147483648LL}, std::int64_t{-70000}, std::int64_t{-1}, std::int64_t{0}, std::int64_t{5},
        std::int64_t{2147483647}}},
      {col_type::kCurrency, {Currency{-50000}, Currency{-1}, Currency{0}, Currency{1}, Currency{123456789}}},
      {col_type::kDouble, {-1e300, -2.5, -1e-300, 0.0, 1e-300, 2.5, 1e300}},
      {col_type::kSingle, {-1e30, -2.5, 0.0, 0.5, 2.5, 1e30}},
      {col_type::kDateTime,
       {Timestamp{1800, 1, 1}, Timestamp{1899, 12, 29, 6}, Timestamp{1899, 12, 30},
        Timestamp{2024, 2, 29, 23, 59, 59}}},
      {col_type::kBoolean, {true, false}},  // Yes sorts first in Access' order
      {col_type::kBinary,
       {Bytes{0x00}, Bytes{0x01}, Bytes(8, 0xff), Bytes(9, 0xff),
        Bytes{0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x01}}},
  };
  for (const Case& c : cases) {
    for (bool asc : {true, false}) {
      TableDefinition t = OneColumnTable(c.type, asc);
      std::vector<Bytes> keys;
      for (const auto& v : c.ascending) keys.push_back(IndexKey(t, 0, {v}, sort));
      for (std::size_t i = 1; i < keys.size(); ++i) {
        if (asc)
          EXPECT_LT(keys[i - 1], keys[i]) << "type " << int(c.type) << " value " << i;
        else
          EXPECT_GT(keys[i - 1], keys[i]) << "type " << int(c.type) << " value " << i << " descending";
      }
      if (c.type == col_type::kBoolean) continue;
      // NULL sorts first ascending and last descending
      Bytes null = IndexKey(t, 0, {std::monostate{}}, sort);
      EXPECT_EQ(null, Bytes{static_cast<std::uint8_t>(asc ? 0x00 : 0xff)});
      if (asc)
        EXPECT_LT(null, keys.front());
      else
        EXPECT_GT(null, keys.front());
    }
  }
  // an empty binary value is only the start byte, in both directions (as Access writes it), so
  // it sorts first both ways
  EXPECT_EQ(IndexKey(OneColumnTable(col_type::kBinary, false), 0, {Bytes{}}, sort), Bytes{0x80});
  // the layouts seen in the corpus
  EXPECT_EQ(IndexKey(OneColumnTable(col_type::kInt32, true), 0, {std::int64_t{2}}, sort),
            (Bytes{0x7f, 0x80, 0x00, 0x00, 0x02}));
  EXPECT_EQ(IndexKey(OneColumnTable(col_type::kInt32, false), 0, {std::int64_t{19}}, sort),
            (Bytes{0x80, 0x7f, 0xff, 0xff, 0xec}));
  // literal text converts as the column's type does
  EXPECT_EQ(IndexKey(OneColumnTable(col_type::kInt32, true), 0, {std::string("2")}, sort),
            (Bytes{0x7f, 0x80, 0x00, 0x00, 0x02}));
}

TEST(IndexKey, RefusesWhatItCannotKeyNamingIt) {
  auto number = [](auto&& f) {
    try {
      f();
    } catch (const Error& e) {
      return std::make_pair(e.number(), e.description());
    }
    return std::make_pair(0, std::string());
  };
  auto [n1, d1] = number([] { TextIndexKey("caf\xe4\xb8\xad", SortOrder{}); });
  EXPECT_EQ(n1, errc::kNotSupported);
  EXPECT_NE(d1.find("U+4E2D"), std::string::npos) << d1;
  // a combining accent changes the code of the letter before it: refused, as are emoji
  for (const char* text : {"cafe\xcc\x81", "\xf0\x9f\x98\x80"})
    for (std::uint8_t version : {0, 1}) {
      auto [n, d] = number([&] { TextIndexKey(text, SortOrder{0x0409, version}); });
      EXPECT_EQ(n, errc::kNotSupported) << text;
    }
  auto [n2, d2] = number([] { TextIndexKey("abc", SortOrder{1036, 0}); });
  EXPECT_EQ(n2, errc::kNotSupported);
  EXPECT_NE(d2.find("1036"), std::string::npos) << d2;
  TableDefinition t = OneColumnTable(col_type::kNumeric, true);
  auto [n3, d3] = number([&] { IndexKey(t, 0, {Decimal{"1.5"}}, SortOrder{}); });
  EXPECT_EQ(n3, errc::kNotSupported);
  EXPECT_NE(d3.find("'C'"), std::string::npos) << d3;
  EXPECT_NE(d3.find("Decimal"), std::string::npos) << d3;
  auto [n4, d4] =
      number([&] { IndexKey(OneColumnTable(col_type::kInt32, true), 0, {std::string("x")}, SortOrder{}); });
  EXPECT_EQ(n4, errc::kTypeConversion) << d4;
}

}  // namespace
}  // namespace qv::jet
