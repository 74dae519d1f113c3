// CREATE TABLE on copies of Access-made files of every Jet4 and ACE version: the new table, with
// every type of the statement language, takes rows (NULLs, long values of 0 bytes, one page and
// many pages, text beyond ASCII) that our reader, mdbtools and mdb-reader read back; everything
// that was in the file stays value by value; the catalog indexes stay sorted and complete, with
// keys equal to what the rows give; refused creates change nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "../jet_index/index_walk.h"
#include "../jet_write/test_files.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/index_key.h"
#include "engine/jet/write/index_writer.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/sql/parser.h"

namespace qv::jet {
namespace {

using testing::ReadAll;
using testing::ScratchDir;

// Every type name of CREATE TABLE once (one COUNTER: Access allows one autonumber per table).
const char* kAllTypes =
    "cCounter COUNTER, cInt INT, cInteger INTEGER, cLong LONG, cShort SHORT, cSmall SMALLINT, cByte BYTE, "
    "cText TEXT, cText50 TEXT(50), cMemo MEMO, cLongText LONGTEXT, cFloat FLOAT, cDouble DOUBLE, cReal REAL, "
    "cSingle SINGLE, cDec DECIMAL, cDec2 DECIMAL(10,2), cCur CURRENCY, cMoney MONEY, cDT DATETIME, cDate "
    "DATE, "
    "cTime TIME, cBit BIT, cYesNo YESNO, cLogical LOGICAL, cOle OLEOBJECT, cLongBin LONGBINARY, cBin BINARY, "
    "cBin10 BINARY(10), cGuid GUID";

std::vector<qv::Column> Columns(const std::string& list) {
  auto st = qv::sql::ParseStatement("CREATE TABLE [x] (" + list + ")");
  std::vector<qv::Column> out;
  for (const auto& c : std::get<qv::sql::CreateTableStatement>(st).columns) {
    out.push_back(c.column);
    out.back().name = c.name.text;
  }
  return out;
}

Bytes Pattern(std::size_t n, unsigned seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 31 + seed) & 0xff);
  return b;
}
std::string LongText(std::size_t chars) {
  std::string s;
  const char* words[] = {"Grüße ", "Straße ", "日本語 ", "naïve ", "€uro ", "plain ", "🙂 "};
  for (std::size_t i = 0; s.size() < chars; ++i) s += words[i % 7];
  return s;
}

qv::Timestamp Ts(int y, int mo, int d, int h, int mi, int s) {
  qv::Timestamp t;
  t.year = y;
  t.month = static_cast<std::uint8_t>(mo);
  t.day = static_cast<std::uint8_t>(d);
  t.hour = static_cast<std::uint8_t>(h);
  t.minute = static_cast<std::uint8_t>(mi);
  t.second = static_cast<std::uint8_t>(s);
  return t;
}

// Rows for the kAllTypes table by column name; what is absent is NULL.
std::vector<std::map<std::string, qv::Value>> SampleRows() {
  std::vector<std::map<std::string, qv::Value>> rows;
  rows.push_back({});  // every column NULL
  rows.push_back({{"cInt", std::int64_t{-2147483647 - 1}},
                  {"cInteger", std::int64_t{2147483647}},
                  {"cLong", std::int64_t{7}},
                  {"cShort", std::int64_t{-32768}},
                  {"cSmall", std::int64_t{32767}},
                  {"cByte", std::int64_t{255}},
                  {"cText", std::string("Grüße, O'Brien – 日本語 🙂")},
                  {"cText50", std::string("x")},
                  {"cMemo", std::string()},
                  {"cLongText", std::string("short memo")},
                  {"cFloat", 1.0e300},
                  {"cDouble", -0.1},
                  {"cReal", 1.5},
                  {"cSingle", -3.25},
                  {"cDec", Decimal{"123456789012345678"}},
                  {"cDec2", Decimal{"-12345678.90"}},
                  {"cCur", Currency{-9223372036854775807LL}},
                  {"cMoney", Currency{12345}},
                  {"cDT", Ts(1899, 12, 29, 6, 0, 0)},
                  {"cDate", Ts(2024, 2, 29, 0, 0, 0)},
                  {"cTime", Ts(1899, 12, 30, 23, 59, 59)},
                  {"cBit", true},
                  {"cYesNo", false},
                  {"cLogical", true},
                  {"cOle", Bytes{}},
                  {"cLongBin", Pattern(100, 1)},
                  {"cBin", Pattern(255, 2)},
                  {"cBin10", Pattern(10, 3)},
                  {"cGuid", *ParseGuid("{01234567-89AB-CDEF-0123-456789ABCDEF}")}});
  // Long values of about one page and of many pages, text and binary.
  rows.push_back({{"cMemo", LongText(3900)}, {"cOle", Pattern(4000, 4)}, {"cText", std::string("one page")}});
  rows.push_back(
      {{"cLongText", LongText(40000)}, {"cLongBin", Pattern(70000, 5)}, {"cCounter", std::int64_t{100}}});
  rows.push_back({{"cText", std::string()}, {"cMemo", std::string("ü")}});
  return rows;
}

// Every live row of a system table, with the slot its index entries name.
std::vector<std::pair<RowPointer, qv::Row>> SystemRows(Database& db, const std::string& table) {
  PageStore& ps = db.pages();
  const Layout& l = db.header().layout;
  TableDefinition t = db.ReadDefinition(table);
  std::vector<std::pair<RowPointer, qv::Row>> out;
  UsageMap m = UsageMap::Read(ps, l, RowPointer::Decode(t.usedPagesPointer));
  RowSplitter splitter(t, l);
  ValueDecoder decoder(ps, db.header());
  std::vector<Cell> cells;
  for (auto p : m.Pages()) {
    if (p >= ps.pageCount()) break;
    PagePtr page = ps.ReadPage(p);
    if ((*page)[0] != page_type::kData || LoadU32(page->data() + 4) != t.firstPage) continue;
    DataPageReader r(ps, l, p, *page);
    for (std::uint16_t i = 0; i < r.rowCount(); ++i) {
      RowSlot s = r.Slot(i);
      if (s.deleted) continue;
      RowRef ref{page, r.Bytes(s), s};
      if (s.overflow) ref = ReadRowAt(ps, l, RowPointer::Decode(LoadU32(ref.bytes.data())), true);
      splitter.Split(ref.bytes, "row", cells);
      qv::Row row;
      for (std::size_t c = 0; c < t.columns.size(); ++c)
        row.push_back(t.columns[c].longValue() ? qv::Value{} : decoder.Decode(t.columns[c], cells[c], "row"));
      out.push_back({{p, static_cast<std::uint8_t>(i)}, row});
    }
  }
  return out;
}

// The indexes of MSysObjects and MSysACEs: each a single sorted leaf naming every live row once,
// under the key the row gives (when the collation can code it), with the row counts of the
// definition.
void CheckSystemIndexes(Database& db, const std::string& table) {
  SCOPED_TRACE(table);
  TableDefinition t = db.ReadDefinition(table);
  auto rows = SystemRows(db, table);
  std::map<RowPointer, const qv::Row*> live;
  for (const auto& [at, row] : rows) live[at] = &row;
  const SortOrder sort = DatabaseSortOrder(db.header());
  for (std::size_t i = 0; i < t.realIndexes.size(); ++i) {
    auto entries = ReadIndexEntries(db.pages(), t, i);
    std::set<RowPointer> named;
    for (std::size_t k = 0; k < entries.size(); ++k) {
      const auto& e = entries[k];
      if (k > 0) {
        const auto& p = entries[k - 1];
        EXPECT_TRUE(p.key < e.key || (p.key == e.key && p.row < e.row))
            << "index " << i << " out of order at " << k;
      }
      ASSERT_TRUE(live.count(e.row)) << "index " << i << " names a row that is not there";
      EXPECT_TRUE(named.insert(e.row).second) << "row named twice";
      try {
        EXPECT_EQ(ToHex(e.key), ToHex(IndexKey(t, i, *live[e.row], sort)))
            << "index " << i << " page " << e.row.page;
      } catch (const Error&) {
        // A name the collation cannot code (made by Access): nothing to compare with.
      }
    }
    EXPECT_EQ(named.size(), rows.size()) << "index " << i << " misses rows";
  }
}

// Every table of the file (system tables included) and its rows, as our reader gives them.
std::map<std::string, std::vector<qv::Row>> Everything(Database& db) {
  std::map<std::string, std::vector<qv::Row>> out;
  for (const auto& e : db.catalog()) {
    if (!e.isTable()) continue;
    try {
      out[e.name] = ReadAll(db, e.name, ReadOptions{true});
    } catch (const Error& x) {
      out[e.name] = {qv::Row{std::string(x.description())}};  // unreadable before and after alike
    }
  }
  return out;
}

std::string TablesJson(const std::string& text) {
  auto at = text.find("\"tables\"");
  return at == std::string::npos ? text : text.substr(at);
}
std::string OracleJson(const std::string& path, const std::string& table) {
  int st = 0;
  std::string out =
      testing::Run("node " + testing::Quote(testing::MdbReaderDump()) + " --table=" + testing::Quote(table) +
                       " " + testing::Quote(path) + " 2>&1",
                   &st);
  EXPECT_EQ(st, 0) << out;
  return TablesJson(out);
}
std::string OurJson(const std::string& path, const std::string& table) {
  int st = 0;
  std::string out = testing::Run(std::string(QV_BINARY_DIR) + "/tools/jetdump/jetdump --json --table=" +
                                     testing::Quote(table) + " " + testing::Quote(path) + " 2>&1",
                                 &st);
  EXPECT_EQ(st, 0) << out;
  return TablesJson(out);
}

const char* kFiles[] = {
    "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb",        // Jet4, Access 2000
    "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2003.mdb",    // Jet4, Access 2002/2003
    "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2007.accdb",  // ACE12
    "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2010.accdb",  // ACE14
    "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2016.accdb",  // ACE16
    "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2019.accdb",  // ACE17
    "jackcess/src/test/data/V2000/queryTestV2000.mdb",
    "jackcess/src/test/data/V2003/test2V2003.mdb",
    "jackcess/src/test/data/V2007/queryTestV2007.accdb",
    "jackcess/src/test/data/V2010/testV2010.accdb",
    "mdb-reader/test/data/V2016/bigint.accdb",
    "jackcess/src/test/data/V2019/extDateTestV2019.accdb",
    "ucanaccess/src/test/resources/testdbs/badDb.accdb",
    "jackcessencrypt/src/test/data/db-enc.mdb",  // pages RC4-encoded
};

TEST(CreateTable, EveryTypeInEveryVersionReadsBackEverywhere) {
  for (const char* rel : kFiles) {
    SCOPED_TRACE(rel);
    ScratchDir dir;
    const std::string path = dir.Copy(rel, std::filesystem::path(rel).filename().string());
    std::map<std::string, std::vector<qv::Row>> before;
    std::vector<std::pair<RowPointer, qv::Row>> objectsBefore, acesBefore;
    const auto samples = SampleRows();
    std::vector<std::string> columnNames;
    std::vector<std::uint32_t> countsBefore;
    auto counts = [](Database& d) {
      std::vector<std::uint32_t> c;
      for (const char* t : {"MSysObjects", "MSysACEs"}) {
        TableDefinition def = d.ReadDefinition(t);
        c.push_back(def.rowCount);
        for (const auto& ri : def.realIndexes) c.push_back(ri.rowCount);
      }
      return c;
    };
    std::size_t acesPerTable = 0;
    {
      auto db = Database::Open(path);
      countsBefore = counts(*db);
      before = Everything(*db);
      objectsBefore = SystemRows(*db, "MSysObjects");
      acesBefore = SystemRows(*db, "MSysACEs");
      CreateTable(*db, "Every Type", Columns(kAllTypes));
      // Listed and readable at once, by this connection and a new one.
      auto names = db->UserTableNames();
      EXPECT_NE(std::find(names.begin(), names.end(), "Every Type"), names.end());
      EXPECT_TRUE(ReadAll(*db, "Every Type", ReadOptions{true}).empty());
      TableInserter ins(*db, "Every Type");
      for (const auto& c : ins.definition().columns) columnNames.push_back(c.name);
      for (const auto& s : samples) {
        qv::Row row;
        for (const auto& n : columnNames) row.push_back(s.count(n) ? s.at(n) : qv::Value{});
        ins.Insert(row);
      }
      CreateTable(*db, "Second", Columns("Id AUTOINCREMENT, Label TEXT(10)"));
      auto other = Database::Open(path);
      EXPECT_EQ(ReadAll(*other, "Every Type", ReadOptions{true}).size(), samples.size());
    }
    // Reopened from disk.
    auto db = Database::Open(path);
    auto rows = ReadAll(*db, "Every Type", ReadOptions{true});
    ASSERT_EQ(rows.size(), samples.size());
    std::int64_t counter = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < columnNames.size(); ++c) {
        const std::string& n = columnNames[c];
        qv::Value want = samples[r].count(n) ? samples[r].at(n) : qv::Value{};
        if (n == "cCounter") {
          counter = IsNull(want) ? counter + 1 : std::get<std::int64_t>(want);
          want = counter;
        }
        if (IsNull(want) && (n == "cBit" || n == "cYesNo" || n == "cLogical")) want = false;
        if (auto d = std::get_if<Decimal>(&want); d && n == "cDec2") want = Decimal{d->text};
        EXPECT_EQ(FormatValueText(rows[r][c]), FormatValueText(want)) << "row " << r << " column " << n;
        EXPECT_EQ(rows[r][c].index(), want.index()) << "row " << r << " column " << n;
      }
    }
    EXPECT_TRUE(ReadAll(*db, "Second", ReadOptions{true}).empty());
    // Everything that was there reads as before; the catalog and the access rows only grew.
    auto after = Everything(*db);
    for (const auto& [name, old] : before) {
      if (name == "MSysObjects" || name == "MSysACEs") continue;
      EXPECT_EQ(after[name], old) << name;
    }
    auto objectsAfter = SystemRows(*db, "MSysObjects");
    auto acesAfter = SystemRows(*db, "MSysACEs");
    for (const auto& r : objectsBefore)
      EXPECT_NE(std::find(objectsAfter.begin(), objectsAfter.end(), r), objectsAfter.end())
          << "catalog row changed";
    for (const auto& r : acesBefore)
      EXPECT_NE(std::find(acesAfter.begin(), acesAfter.end(), r), acesAfter.end()) << "access row changed";
    EXPECT_EQ(objectsAfter.size(), objectsBefore.size() + 2);
    acesPerTable = (acesAfter.size() - acesBefore.size()) / 2;
    EXPECT_GE(acesPerTable, 1u);
    EXPECT_EQ(acesAfter.size(), acesBefore.size() + 2 * acesPerTable);
    // Row counts of the catalog tables grew by the rows added, their indexes' counts of distinct
    // keys by the two new ids.
    auto countsAfter = counts(*db);
    ASSERT_EQ(countsAfter.size(), countsBefore.size());
    const std::size_t objectCounts = 1 + db->ReadDefinition("MSysObjects").realIndexes.size();
    for (std::size_t i = 0; i < countsAfter.size(); ++i)
      EXPECT_EQ(countsAfter[i] - countsBefore[i], i == objectCounts ? 2 * acesPerTable : 2u) << "count " << i;
    CheckSystemIndexes(*db, "MSysObjects");
    CheckSystemIndexes(*db, "MSysACEs");
    if (testing::HaveMdbTools()) {
      int st = 0;
      std::string tables = testing::Run("mdb-tables -1 " + testing::Quote(path), &st);
      EXPECT_EQ(st, 0);
      EXPECT_NE(tables.find("Every Type\n"), std::string::npos) << tables;
      EXPECT_NE(tables.find("Second\n"), std::string::npos) << tables;
      std::string schema = testing::Run("mdb-schema -T 'Every Type' " + testing::Quote(path), &st);
      EXPECT_EQ(st, 0);
      EXPECT_NE(schema.find("[cDec2]\t\t\tNumeric (10, 2)"), std::string::npos) << schema;
      EXPECT_NE(schema.find("[cText50]\t\t\tText (50)"), std::string::npos) << schema;
      std::string csv = testing::Run("mdb-export -b hex " + testing::Quote(path) + " 'Every Type'", &st);
      EXPECT_EQ(st, 0);
      // (mdbtools prints characters beyond the BMP as "??")
      EXPECT_NE(csv.find("\"Grüße, O'Brien – 日本語 ??\""), std::string::npos) << csv.substr(0, 2000);
      std::string hex = ToHex(Pattern(10, 3));
      for (char& ch : hex) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
      EXPECT_NE(csv.find(hex), std::string::npos) << hex;
      EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + static_cast<long>(samples.size()));
    }
    if (testing::HaveMdbReader()) {
      EXPECT_EQ(OracleJson(path, "Every Type"), OurJson(path, "Every Type"));
      EXPECT_EQ(OracleJson(path, "Second"), OurJson(path, "Second"));
    }
  }
}

TEST(CreateTable, CatalogRowsAreThoseAccessWrites) {
  // A table made by Access in the same file is the model: same parent, owner, type, flags and
  // NULL link columns, and the same access rows (its rights, not inherited again).
  struct Model {
    const char* file;
    const char* table;
  };
  const Model models[] = {{"mdb-reader/test/data/V2000/numeric.mdb", "test"},
                          {"mdb-reader/test/data/V2003/numeric.mdb", "test"},
                          {"mdb-reader/test/data/V2007/numeric.accdb", "test"},
                          {"mdb-reader/test/data/V2010/numeric.accdb", "test"},
                          {"mdb-reader/test/data/V2016/bigint.accdb", "Table"},
                          {"jackcess/src/test/data/V2019/extDateTestV2019.accdb", "Table1"},
                          {"ucanaccess/src/test/resources/testdbs/linkee1.mdb", "Table1"}};
  for (const auto& m : models) {
    SCOPED_TRACE(m.file);
    ScratchDir dir;
    const std::string path = dir.Copy(m.file, "f" + std::filesystem::path(m.file).extension().string());
    auto db = Database::Open(path);
    CreateTable(*db, "Fresh", Columns("a LONG"));
    TableDefinition objects = db->ReadDefinition("MSysObjects");
    auto col = [&](const char* n) {
      for (std::size_t i = 0; i < objects.columns.size(); ++i)
        if (objects.columns[i].name == n) return i;
      ADD_FAILURE() << n;
      return std::size_t{0};
    };
    const qv::Row* model = nullptr;
    const qv::Row* fresh = nullptr;
    auto rows = SystemRows(*db, "MSysObjects");
    for (const auto& [at, row] : rows) {
      if (std::get<std::string>(row[col("Name")]) == m.table) model = &row;
      if (std::get<std::string>(row[col("Name")]) == "Fresh") fresh = &row;
    }
    ASSERT_TRUE(model && fresh);
    EXPECT_EQ(std::get<std::int64_t>((*fresh)[col("Id")]), db->FindTable("Fresh").tablePage());
    for (const char* same :
         {"ParentId", "Type", "Owner", "Flags", "Database", "Connect", "ForeignName", "RmtInfoShort"})
      EXPECT_EQ((*fresh)[col(same)], (*model)[col(same)]) << same;
    EXPECT_EQ((*fresh)[col("DateCreate")], (*fresh)[col("DateUpdate")]);
    // Access rows: the model's, for the new id.
    TableDefinition aces = db->ReadDefinition("MSysACEs");
    std::vector<std::string> modelAces, freshAces;
    auto aceRows = SystemRows(*db, "MSysACEs");
    for (const auto& [at, row] : aceRows) {
      std::string text = ToHex(std::get<Bytes>(row[1])) + " " +
                         std::to_string(std::get<std::int64_t>(row[2])) + " " +
                         (std::get<bool>(row[3]) ? "inherit" : "");
      if (std::get<std::int64_t>(row[0]) == std::get<std::int64_t>((*model)[col("Id")]))
        modelAces.push_back(text);
      if (std::get<std::int64_t>(row[0]) == std::get<std::int64_t>((*fresh)[col("Id")]))
        freshAces.push_back(text);
    }
    EXPECT_FALSE(freshAces.empty());
    EXPECT_EQ(freshAces, modelAces);
  }
}

// The error a call throws (0 when none).
template <typename F>
int ErrorOf(F f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

TEST(CreateTable, RefusalsWriteNothing) {
  ScratchDir dir;
  const std::string path = dir.Copy("jackcess/src/test/data/V2000/queryTestV2000.mdb", "q.mdb");
  auto db = Database::Open(path);
  const auto pages = db->pages().pageCount();
  auto objects = SystemRows(*db, "MSysObjects");
  auto one = Columns("a LONG");
  // Names already there in another letter case: a table, a query, a system table.
  std::string someTable = db->UserTableNames().at(0), someQuery;
  for (const auto& e : db->catalog())
    if (e.type == object_type::kQuery) someQuery = e.name;
  ASSERT_FALSE(someQuery.empty());
  auto upper = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
  };
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, upper(someTable), one); }), 3010);
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, upper(someQuery), one); }), 3010);
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "msysobjects", one); }), 3010);
  for (const std::string& bad : std::vector<std::string>{"", " lead", "a.b", "a!b", "a`b", "a[b", "a]b",
                                                         std::string("a\tb"), std::string(65, 'x')})
    EXPECT_EQ(ErrorOf([&] { CreateTable(*db, bad, one); }), 3125) << "'" << bad << "'";
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "t", Columns("a LONG, B TEXT, A MEMO")); }), 3191);
  // field names differing only in the case of Greek, Cyrillic, Armenian or Latin Extended letters
  for (const char* pair : {"[\xce\xa9mega] LONG, [\xcf\x89MEGA] TEXT",
                           "[\xd0\xa6\xd0\xb5\xd0\xbd\xd0\xb0] LONG, [\xd1\x86\xd0\x95\xd0\x9d\xd0\x90] TEXT",
                           "[\xd4\xb1x] LONG, [\xd5\xa1X] TEXT",
                           "[\xc5\x81\xc3\xb3"
                           "d\xc5\xba] LONG, [\xc5\x82\xc3\x93"
                           "D\xc5\xb9] TEXT"})
    EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "t", Columns(pair)); }), 3191) << pair;
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "t", Columns("[a.b] LONG")); }), 3125);
  EXPECT_NE(ErrorOf([&] { CreateTable(*db, "t", {}); }), 0);
  // Names with characters the catalog's collation cannot code yet are refused, not mis-sorted.
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "名前", one); }), 3251);
  // More columns than Access allows (255); a definition longer than a page is written
  // (wide_table_test.cpp).
  std::string wide;
  for (int i = 0; i < 256; ++i)
    wide += (i ? ", " : "") + std::string("column_with_a_long_name_") + std::to_string(i) + " TEXT";
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "Wide", Columns(wide)); }), 3190);
  EXPECT_EQ(db->pages().pageCount(), pages);
  EXPECT_EQ(SystemRows(*db, "MSysObjects"), objects);
  CheckSystemIndexes(*db, "MSysObjects");
  // Names of other case that are legal stay legal: 64 characters, inner spaces, punctuation.
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, std::string(64, 'y'), one); }), 0);
  EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "Order Details (2024) #1 - $ & 'x'", one); }), 0);
  CheckSystemIndexes(*db, "MSysObjects");
  CheckSystemIndexes(*db, "MSysACEs");
}

// Access 97 has no Decimal and no Large Number columns, and keeps names in its code page (1252):
// such tables are refused and the file stays as it was.
TEST(CreateTable, Access97RefusesWhatItCannotHold) {
  ScratchDir dir;
  const std::string path = dir.Copy("jackcess/src/test/data/V1997/testV1997.mdb", "j3.mdb");
  const Bytes before = testing::ReadFileBytes(path);
  {
    auto db = Database::Open(path);
    EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "t", Columns("a LONG, d DECIMAL(10,2)")); }), 3251);
    EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "t", {{"b", ColumnType::Int64}}); }), 3251);
    EXPECT_NE(ErrorOf([&] { CreateTable(*db, "t", Columns("\xce\xa9 LONG")); }), 0);
    EXPECT_NE(ErrorOf([&] { CreateTable(*db, "\xce\xa9mega", Columns("a LONG")); }), 0);
  }
  EXPECT_EQ(testing::ReadFileBytes(path), before);
}

TEST(CreateTable, RefusedReadOnlyFile) {
  ScratchDir dir;
  {
    const std::string path =
        dir.Copy("jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2010.accdb", "ro.accdb");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    if (::access(path.c_str(), W_OK) == 0) GTEST_SKIP() << "running as a user who may write any file";
    auto db = Database::Open(path);
    EXPECT_EQ(ErrorOf([&] { CreateTable(*db, "t", Columns("a LONG")); }), 3027);
  }
}

TEST(CreateTable, CreateDropCreateAgainAndReopen) {
  for (const char* rel : {"jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2003.mdb",
                          "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2016.accdb"}) {
    SCOPED_TRACE(rel);
    ScratchDir dir;
    const std::string path = dir.Copy(rel, std::filesystem::path(rel).filename().string());
    {
      auto db = Database::Open(path);
      CreateTable(*db, "Cycle", Columns("a TEXT(20), b MEMO"));
      TableInserter(*db, "Cycle").Insert({std::string("first"), LongText(9000)});
      DropTable(*db, "cycle");
      EXPECT_EQ(ErrorOf([&] { db->ReadDefinition("Cycle"); }), 3376);
      CheckSystemIndexes(*db, "MSysObjects");
      CheckSystemIndexes(*db, "MSysACEs");
      CreateTable(*db, "CYCLE", Columns("x LONG"));
      TableInserter(*db, "CYCLE").Insert({std::int64_t{42}});
    }
    auto db = Database::Open(path);
    auto rows = ReadAll(*db, "Cycle", ReadOptions{true});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], (qv::Row{std::int64_t{42}}));
    EXPECT_EQ(db->ReadDefinition("Cycle").name, "CYCLE");
    CheckSystemIndexes(*db, "MSysObjects");
    CheckSystemIndexes(*db, "MSysACEs");
    // Many tables in a row: the catalog's data pages fill and its indexes grow beyond one page;
    // dropping still finds the entries.
    for (int i = 0; i < 160; ++i) CreateTable(*db, "Table number " + std::to_string(i), Columns("v LONG"));
    CheckSystemIndexes(*db, "MSysObjects");
    CheckSystemIndexes(*db, "MSysACEs");
    TableDefinition objects = db->ReadDefinition("MSysObjects");
    bool split = false;
    for (const auto& ri : objects.realIndexes)
      split |= (*db->pages().ReadPage(ri.firstPage))[0] == page_type::kIndexNode;
    EXPECT_TRUE(split) << "a catalog index should have grown beyond one page";
    for (int i = 0; i < 160; i += 3) DropTable(*db, "table number " + std::to_string(i));
    CheckSystemIndexes(*db, "MSysObjects");
    CheckSystemIndexes(*db, "MSysACEs");
    db.reset();
    if (testing::HaveMdbTools()) {
      std::string tables = testing::Run("mdb-tables -1 " + testing::Quote(path));
      EXPECT_NE(tables.find("Table number 158\n"), std::string::npos);
      EXPECT_EQ(tables.find("Table number 159\n"), std::string::npos);
    }
  }
}

TEST(CreateTable, CreateDropCyclesReuseTheCatalogsRoomWithNamesInAnyScript) {
  // 200 CREATE / INSERT / DROP cycles with names in Latin, Greek, Cyrillic, Hebrew, Arabic and
  // Armenian letters: the room
  // of the deleted catalog and access rows is used again, so the catalog keeps its pages and the
  // file stops growing; the tables left behind are read by every reader, and every index of the
  // file stays consistent with its rows.
  const char* names[] = {
      "V\xc3\xbd"
      "daje",
      "Wydatki \xc5\x82\xc3\xb3"
      "dzkie",
      "\xd0\xa0\xd0\xb0\xd1\x81\xd1\x85\xd0\xbe\xd0\xb4\xd1\x8b",
      "\xce\x94\xce\xb1\xcf\x80\xce\xac\xce\xbd\xce\xb5\xcf\x82",
      "\xc4\x8e\xc3\xa1"
      "bel \xc4\x9b\xc5\xa1\xc4\x8d\xc5\x99",
      "\xc3\x96l\xc3\xa7\xc3\xbc",
      "\xd7\x94\xd7\x95\xd7\xa6\xd7\x90\xd7\x95\xd7\xaa",   // Hebrew
      "\xd9\x85\xd8\xb5\xd8\xa7\xd8\xb1\xd9\x8a\xd9\x81",   // Arabic
      "\xd4\xbe\xd5\xa1\xd5\xad\xd5\xbd\xd5\xa5\xd6\x80"};  // Armenian
  for (const char* rel : {"jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2003.mdb",
                          "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2010.accdb",
                          "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2016.accdb"}) {
    SCOPED_TRACE(rel);
    ScratchDir dir;
    const std::string path = dir.Copy(rel, std::filesystem::path(rel).filename().string());
    std::uint32_t warmPages = 0;
    std::size_t warmCatalog = 0;
    {
      auto db = Database::Open(path);
      auto catalogPages = [&] {
        std::size_t n = 0;
        for (const char* t : {"MSysObjects", "MSysACEs"}) {
          TableDefinition def = db->ReadDefinition(t);
          n += UsageMap::Read(db->pages(), db->header().layout, RowPointer::Decode(def.usedPagesPointer))
                   .Pages()
                   .size();
        }
        return n;
      };
      for (int i = 0; i < 200; ++i) {
        const std::string name = std::string(names[i % std::size(names)]) + " " + std::to_string(i % 11);
        CreateTable(*db, name, Columns("a TEXT(20), b LONG"));
        TableInserter(*db, name).Insert({std::string("x"), std::int64_t{i}});
        DropTable(*db, name);
        if (i == 11) {
          warmPages = db->pages().pageCount();
          warmCatalog = catalogPages();
        }
      }
      EXPECT_EQ(db->pages().pageCount(), warmPages) << "the file grew with create/drop cycles";
      EXPECT_EQ(catalogPages(), warmCatalog) << "the catalog grew with create/drop cycles";
      // names that differ only in the case of non-Latin letters are one name
      for (const char* name : names) CreateTable(*db, name, Columns("a TEXT(20)"));
      EXPECT_EQ(ErrorOf([&] {
                  CreateTable(*db, "\xd1\x80\xd0\x90\xd0\xa1\xd0\xa5\xd0\x9e\xd0\x94\xd0\xab",
                              Columns("a LONG"));
                }),
                errc::kTableExists);
      testing::IndexWalkReport walk = testing::WalkEveryIndex(*db);
      EXPECT_TRUE(walk.ok()) << walk.Summary();
    }
    auto db = Database::Open(path);
    for (const char* name : names) EXPECT_EQ(db->ReadDefinition(name).name, name);
    testing::IndexWalkReport walk = testing::WalkEveryIndex(*db);
    EXPECT_TRUE(walk.ok()) << walk.Summary();
    db.reset();
    if (testing::HaveMdbTools()) {
      int st = 0;
      std::string tables = testing::Run("mdb-tables -1 " + testing::Quote(path), &st);
      EXPECT_EQ(st, 0);
      for (const char* name : names)
        EXPECT_NE(tables.find(std::string(name) + "\n"), std::string::npos) << tables;
    }
    if (testing::HaveMdbReader()) {
      int st = 0;
      std::string out =
          testing::Run("node " + testing::Quote(testing::MdbReaderDump()) + " " + testing::Quote(path), &st);
      EXPECT_EQ(st, 0) << out.substr(0, 300);
      for (const char* name : names) EXPECT_NE(out.find(name), std::string::npos) << name;
    }
  }
}

}  // namespace
}  // namespace qv::jet
