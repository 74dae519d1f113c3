// Access 97 index keys: every entry of every index of the Access-made Access 97 files of the
// corpus is recomputed from the row it points to (text in the "General 97" order, and every
// other type) and must equal Access' entry byte for byte; then the refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/index_key.h"
#include "index_tree.h"

namespace qv::jet {
namespace {

// The entries (key and row pointer) of one Jet3 index page, decoded here: entries from 0xf8, the
// entry-end bitmap from 0x16, the length of the prefix each entry after the first shares with the
// first at 0x14; previous, next and tail pages at 0x08, 0x0c, 0x10.
testing::TreePage DecodeJet3TreePage(const Bytes& page, std::uint32_t number) {
  testing::TreePage t;
  t.number = number;
  t.type = page[0];
  t.owner = LoadU32(page.data() + 4);
  t.previous = LoadU32(page.data() + 0x08);
  t.next = LoadU32(page.data() + 0x0c);
  t.tail = LoadU32(page.data() + 0x10);
  const std::size_t prefixLength = LoadU16(page.data() + 0x14);
  const std::size_t used = page.size() - 0xf8 - LoadU16(page.data() + 2);
  std::size_t start = 0;
  Bytes prefix;
  for (std::size_t bit = 1; bit <= used; ++bit) {
    if (!((page[0x16 + bit / 8] >> (bit % 8)) & 1)) continue;
    Bytes e = t.entries.empty() ? Bytes{} : prefix;
    e.insert(e.end(), page.begin() + static_cast<std::ptrdiff_t>(0xf8 + start),
             page.begin() + static_cast<std::ptrdiff_t>(0xf8 + bit));
    if (t.entries.empty()) prefix.assign(e.begin(), e.begin() + static_cast<std::ptrdiff_t>(prefixLength));
    t.entries.push_back(std::move(e));
    start = bit;
  }
  return t;
}

void CollectJet3Leaves(PageStore& ps, std::uint32_t root, std::vector<testing::LeafEntry>& out,
                       std::set<std::uint32_t>& seen, int depth = 0) {
  if (depth > 16 || !seen.insert(root).second)
    throw Error(errc::kCorrupt, "index tree loops", std::to_string(root));
  testing::TreePage t = DecodeJet3TreePage(*ps.ReadPage(root), root);
  if (t.type == page_type::kIndexLeaf) {
    for (const Bytes& e : t.entries)
      out.push_back({Bytes(e.begin(), e.end() - 4), testing::PointerAt(e, e.size() - 4), root});
    return;
  }
  if (t.type != page_type::kIndexNode) throw Error(errc::kCorrupt, "not an index page", std::to_string(root));
  for (const Bytes& e : t.entries)
    CollectJet3Leaves(ps, LoadU32BE(e.data() + e.size() - 4), out, seen, depth + 1);
  if (t.tail != 0) CollectJet3Leaves(ps, t.tail, out, seen, depth + 1);
}

// True when `a` and `b`, read as big-endian numbers after the start byte, differ by one.
bool OneUnitApart(const Bytes& a, const Bytes& b) {
  std::uint64_t x = 0, y = 0;
  for (std::size_t i = 1; i < a.size(); ++i) x = (x << 8) | a[i];
  for (std::size_t i = 1; i < b.size(); ++i) y = (y << 8) | b[i];
  return a[0] == b[0] && (x - y == 1 || y - x == 1);
}

TEST(General97Keys, EveryKeyOfTheAccess97CorpusIsRecomputedFromItsRow) {
  std::size_t files = 0, keys = 0, textKeys = 0, matched = 0, rowMissing = 0, undefinedByte = 0, dateUnit = 0;
  std::map<std::uint8_t, std::size_t> byType;
  std::set<std::uint32_t> characters;
  std::vector<std::string> mismatches;
  std::map<std::string, std::size_t> refusals;
  for (const std::string& path : testing::CorpusDatabases()) {
    std::unique_ptr<Database> db;
    try {
      db = Database::Open(path);
    } catch (const Error&) {
      continue;  // password-protected
    }
    if (!db->header().layout.jet3) continue;
    ++files;
    PageStore& ps = db->pages();
    for (const CatalogEntry& entry : db->catalog()) {
      if (!entry.isTable() || !entry.database.empty() || !entry.connect.empty()) continue;
      TableDefinition def = db->ReadDefinition(entry.name);
      if (def.realIndexes.empty()) continue;
      std::map<RowPointer, Row> rows;
      auto cursor = db->OpenCursor(entry.name);
      std::vector<Cell> cells;
      while (cursor->NextRow(cells)) {
        Row row(def.columns.size());
        for (std::size_t i = 0; i < def.columns.size(); ++i)
          if (def.columns[i].readable())
            row[i] = cursor->decoder().Decode(def.columns[i], cells[i], cursor->place());
        rows[cursor->position()] = std::move(row);
      }
      for (std::size_t ri = 0; ri < def.realIndexes.size(); ++ri) {
        std::vector<testing::LeafEntry> leaf;
        std::set<std::uint32_t> seen;
        CollectJet3Leaves(ps, def.realIndexes[ri].firstPage, leaf, seen);
        SortOrder sort{0x0409, kSortVersionJet3, db->header().codePage};
        std::vector<std::size_t> textColumns;
        for (const auto& part : def.realIndexes[ri].columns)
          for (std::size_t i = 0; i < def.columns.size(); ++i)
            if (def.columns[i].number == part.columnNumber) {
              ++byType[def.columns[i].type];
              if (def.columns[i].type == col_type::kText || def.columns[i].type == col_type::kMemo) {
                textColumns.push_back(i);
                sort.id = def.columns[i].sortOrder;
              }
            }
        for (const auto& e : leaf) {
          ++keys;
          const Row* row = testing::EntryRow(ps, db->header().layout, rows, e.row);
          if (!row) {
            ++rowMissing;
            continue;
          }
          Bytes key;
          try {
            key = IndexKey(def, ri, *row, sort);
          } catch (const Error& err) {
            // bytes code page 1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) are read as
            // U+FFFD, which cannot be written back either
            if (err.description().find("U+FFFD") != std::string::npos)
              ++undefinedByte;
            else
              ++refusals[err.description().substr(0, 120)];
            continue;
          }
          if (!textColumns.empty()) ++textKeys;
          for (std::size_t i : textColumns)
            if (auto s = std::get_if<std::string>(&(*row)[i]))
              for (std::size_t k = 0; k < s->size();) {
                auto b = static_cast<unsigned char>((*s)[k]);
                std::size_t n = b < 0x80 ? 1 : b < 0xe0 ? 2 : b < 0xf0 ? 3 : 4;
                std::uint32_t cp = n == 1 ? b : n == 2 ? (b & 0x1fu) : n == 3 ? (b & 0x0fu) : (b & 0x07u);
                for (std::size_t j = 1; j < n; ++j)
                  cp = (cp << 6) | (static_cast<unsigned char>((*s)[k + j]) & 0x3fu);
                characters.insert(cp);
                k += n;
              }
          const bool oneDate =
              def.realIndexes[ri].columns.size() == 1 && textColumns.empty() &&
              def.columnByNumber(def.realIndexes[ri].columns[0].columnNumber)->type == col_type::kDateTime;
          if (key == e.key) {
            ++matched;
          } else if (oneDate && key.size() == 9 && e.key.size() == 9 && OneUnitApart(key, e.key)) {
            // Access stored a time one unit below the double nearest its value (30 seconds as
            // 29.999999999999996); read to the millisecond and written back it is the nearest one
            ++dateUnit;
          } else if (mismatches.size() < 40) {
            std::string text;
            for (std::size_t i : textColumns)
              if (auto s = std::get_if<std::string>(&(*row)[i])) text += "'" + *s + "' ";
            mismatches.push_back(path.substr(path.find("access/") + 7) + " " + entry.name + " index " +
                                 std::to_string(ri) + " " + text + ": file " + ToHex(e.key) + " ours " +
                                 ToHex(key));
          }
        }
      }
    }
  }
  for (const auto& m : mismatches) ADD_FAILURE() << m;
  for (const auto& [why, n] : refusals) ADD_FAILURE() << "refused " << n << ": " << why;
  std::printf(
      "Access 97 index keys: %zu files, %zu keys (%zu of text), %zu matched byte for byte, %zu of text "
      "with bytes code page 1252 does not define, %zu of dates stored one unit off, %zu rows not found\n"
      "  column types indexed:",
      files, keys, textKeys, matched, undefinedByte, dateUnit, rowMissing);
  for (const auto& [type, n] : byType) std::printf(" 0x%02x:%zu", type, n);
  std::printf("\n  %zu characters in text keys:", characters.size());
  for (std::uint32_t c : characters) std::printf(" %04X", static_cast<unsigned>(c));
  std::printf("\n");
  EXPECT_GE(files, 9u);
  EXPECT_EQ(rowMissing, 0u);
  EXPECT_EQ(matched + undefinedByte + dateUnit, keys);
  EXPECT_LT(undefinedByte + dateUnit, 30u);
  EXPECT_GT(textKeys, 1000u);
  // the order's facts cover the whole of code page 1252 in Access-made keys
  EXPECT_GT(characters.size(), 200u);
  for (std::uint8_t type :
       {col_type::kBoolean, col_type::kByte, col_type::kInt16, col_type::kInt32, col_type::kCurrency,
        col_type::kSingle, col_type::kDouble, col_type::kDateTime, col_type::kGuid, col_type::kText})
    EXPECT_GT(byType[type], 0u) << int(type);
}

TEST(General97Keys, KeysIgnoreCaseKeepAccentsAndRefuseWhatIsNotKnown) {
  const SortOrder western{0x0409, kSortVersionJet3, 1252};
  EXPECT_EQ(TextIndexKey("abc", western), (Bytes{0x7f, 0x60, 0x61, 0x62, 0x00}));
  EXPECT_EQ(TextIndexKey("ABC  ", western), TextIndexKey("abc", western));
  // an accented letter: its base letter, then the accents after a 0 nibble, 2 for each letter
  // before it without one (Access' key of "AAÎAA")
  EXPECT_EQ(TextIndexKey("AA\xc3\x8e"
                         "AA",
                         western),
            (Bytes{0x7f, 0x60, 0x60, 0x6a, 0x60, 0x60, 0x02, 0x25, 0x00}));
  const char* words[] = {"", " a", "-", "0", "9", "a", "\xc3\xa1", "ab", "b", "z", "\xc3\xbe"};
  for (std::size_t i = 1; i < std::size(words); ++i)
    EXPECT_LT(TextIndexKey(words[i - 1], western), TextIndexKey(words[i], western)) << words[i];
  // the characters of code page 1252 beyond U+00FF have their byte's code: the euro sign
  EXPECT_EQ(TextIndexKey("\xe2\x82\xac", western), (Bytes{0x7f, 0x10, 0x00}));
  TableDefinition t;
  t.name = "T";
  ColumnDef c;
  c.name = "C";
  c.type = col_type::kText;
  c.flags = col_flag::kNullable;
  c.length = 50;
  t.columns.push_back(c);
  t.realIndexes.push_back(RealIndexDef{});
  t.realIndexes[0].columns.push_back({0, false});
  // descending: every byte after the start byte inverted
  EXPECT_EQ(IndexKey(t, 0, {std::string("ab")}, western), (Bytes{0x80, 0x9f, 0x9e, 0xff}));
  auto refusal = [](const std::string& text, const SortOrder& sort) {
    try {
      TextIndexKey(text, sort);
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kNotSupported);
      return e.description();
    }
    return std::string("(no refusal)");
  };
  // not a character of code page 1252; not ASCII in another code page; a digit before an accent
  EXPECT_NE(refusal("V\xc3\xbd"
                    "daje \xc4\x9b",
                    western)
                .find("U+011B"),
            std::string::npos);
  EXPECT_NE(refusal("caf\xc3\xa9", SortOrder{0x0409, kSortVersionJet3, 1250}).find("U+00E9"),
            std::string::npos);
  EXPECT_NO_THROW(TextIndexKey("cafe", SortOrder{0x0409, kSortVersionJet3, 1250}));
  EXPECT_NE(refusal("1\xc3\xa9", western).find("U+0031"), std::string::npos);
  EXPECT_NO_THROW(
      TextIndexKey("\xc3\xa9"
                   "1",
                   western));
}

}  // namespace
}  // namespace qv::jet
