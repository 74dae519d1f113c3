// Rows added to tables of copies of Access-made files: our reader reads back exactly the values
// written, mdb-reader (dump.js) reads every table of the file exactly as our reader does, mdbtools
// counts the rows, and the tables we did not touch are unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/table_inserter.h"
#include "test_files.h"

namespace qv::jet {
namespace {

using testing::ReadAll;
using testing::ScratchDir;

std::string Repeat(const std::string& piece, std::size_t n) {
  std::string s;
  while (s.size() < n) s += piece;
  // Cut at a character boundary at or below n bytes.
  while (n > 0 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xc0) == 0x80) --n;
  s.resize(n);
  return s;
}

// A value for column `c` in row `i` that reads back exactly; NULL now and then.
qv::Value Sample(const ColumnDef& c, int i) {
  bool null = c.type != col_type::kBoolean && i % 7 == 3;
  if (null) return std::monostate{};
  switch (c.type) {
    case col_type::kBoolean:
      return i % 2 == 0;
    case col_type::kByte:
      return std::int64_t{(i * 37) % 256};
    case col_type::kInt16:
      return std::int64_t{(i * 977) % 60000 - 30000};
    case col_type::kInt32:
      return std::int64_t{(i * 1000003LL) % 4000000000LL - 2000000000LL};
    case col_type::kBigInt:
      return std::int64_t{i * 1000000000000LL - 7};
    case col_type::kCurrency:
      return Currency{i * 123457LL - 500000};
    case col_type::kSingle:
      return static_cast<double>(static_cast<float>(i * 0.75 - 3));
    case col_type::kDouble:
      return i * 3.25e7 - 1.0 / 3.0;
    case col_type::kDateTime: {
      Timestamp t;
      t.year = i % 5 == 0 ? 1850 + i : 1990 + i % 40;
      t.month = static_cast<std::uint8_t>(1 + i % 12);
      t.day = static_cast<std::uint8_t>(1 + i % 28);
      t.hour = static_cast<std::uint8_t>(i % 24);
      t.minute = static_cast<std::uint8_t>((i * 7) % 60);
      t.second = static_cast<std::uint8_t>((i * 13) % 60);
      return t;
    }
    case col_type::kGuid: {
      Guid g;
      for (int k = 0; k < 16; ++k)
        g.bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(i * 16 + k);
      return g;
    }
    case col_type::kNumeric: {
      std::string digits = std::to_string(1234567 + i * 7919);
      std::size_t room = c.precision;
      if (digits.size() > room) digits = digits.substr(digits.size() - room);
      while (digits.size() < static_cast<std::size_t>(c.scale) + 1) digits.insert(digits.begin(), '0');
      if (c.scale) digits.insert(digits.end() - c.scale, '.');
      while (digits.size() > 1 && digits[0] == '0' && digits[1] != '.') digits.erase(0, 1);
      return Decimal{(i % 2 ? "-" : "") + digits};
    }
    case col_type::kText: {
      std::size_t max = c.length / 2u;
      const char* pieces[] = {"Zeile ", "Ωμέγα ", "naïve café ", "日本 "};
      std::string s = std::string(pieces[i % 4]) + std::to_string(i);
      if (i % 6 == 5) s = Repeat("x", max);  // exactly full
      if (i % 11 == 10) s = "";
      // Trim to the column's size in UTF-16 units (every sample char is in the BMP).
      std::u32string u;
      for (std::size_t k = 0; k < s.size();) {
        unsigned char ch = static_cast<unsigned char>(s[k]);
        std::size_t len = ch < 0x80 ? 1 : ch < 0xe0 ? 2 : ch < 0xf0 ? 3 : 4;
        u.push_back(static_cast<char32_t>(k));
        k += len;
      }
      if (u.size() > max) s.resize(static_cast<std::size_t>(u[max]));
      return s;
    }
    case col_type::kMemo: {
      const std::size_t sizes[] = {0, 10, 300, 3000, 5000, 20000};
      std::size_t n = sizes[i % 6];
      return Repeat(i % 2 ? "memo ü " : "memo Ω日 ", n);
    }
    case col_type::kBinary: {
      Bytes b(std::min<std::size_t>(c.length, 1 + i % 20));
      for (std::size_t k = 0; k < b.size(); ++k)
        b[k] = static_cast<std::uint8_t>(k * 31 + static_cast<std::size_t>(i));
      return b;
    }
    case col_type::kOle: {
      const std::size_t sizes[] = {0, 100, 4070, 4081, 9000, 70000};
      Bytes b(sizes[i % 6]);
      for (std::size_t k = 0; k < b.size(); ++k)
        b[k] = static_cast<std::uint8_t>(k * 7 + static_cast<std::size_t>(i));
      return b;
    }
    default:
      return std::monostate{};
  }
}

std::string TablesJson(const std::string& text) {
  auto at = text.find("\"tables\"");
  return at == std::string::npos ? std::string() : text.substr(at);
}

std::string OracleJson(const std::string& path) {
  int st = 0;
  std::string out = testing::Run(
      "node " + testing::Quote(testing::MdbReaderDump()) + " --sort-rows " + testing::Quote(path) + " 2>&1",
      &st);
  EXPECT_EQ(st, 0) << out;
  return TablesJson(out);
}

// Our dump of the tables `like` lists (the oracle also lists the ~TMPCLP tables Access hides; its
// README counts that as a defect), or of every user table.
std::string OurJson(const std::string& path, const std::string& like = {}) {
  std::string tables;
  for (std::size_t at = like.find("\n   \"name\": \""); at != std::string::npos;
       at = like.find("\n   \"name\": \"", at + 1)) {
    std::size_t from = at + 13, to = like.find('"', from);
    tables += " --table=" + testing::Quote(like.substr(from, to - from));
  }
  int st = 0;
  std::string out = testing::Run(std::string(QV_BINARY_DIR) + "/tools/jetdump/jetdump --json --sort-rows" +
                                     tables + " " + testing::Quote(path) + " 2>&1",
                                 &st);
  EXPECT_EQ(st, 0) << out;
  return TablesJson(out);
}

struct Case {
  const char* file;
  const char* table;
  int rows;
};

const Case kCases[] = {
    {"jackcess/src/test/data/V2003/delTestV2003.mdb", "Table", 300},
    {"jackcess/src/test/data/V2003/fixedNumericTestV2003.mdb", "test", 40},
    {"jackcess/src/test/data/V2003/testPromotionV2003.mdb", "jobDB1", 700},
    {"jackcess/src/test/data/V2010/delTestV2010.accdb", "Table", 120},
    {"jackcess/src/test/data/V2010/fixedNumericTestV2010.accdb", "test", 40},
    {"mdb-reader/test/data/V2016/withdeletedcol.accdb", "Table1", 60},
    {"mdb-reader/test/data/V2016/withinsertedcol.accdb", "Table1", 10},
    {"ucanaccess/src/test/resources/testdbs/functionsV2016.accdb", "t_funcs", 50},
};

TEST(Insert, RowsReadBackInEveryReaderAndOtherTablesStayTheSame) {
  for (const Case& k : kCases) {
    ScratchDir dir;
    std::string path = dir.Copy(k.file, std::filesystem::path(k.file).filename().string());
    SCOPED_TRACE(k.file);
    std::string before = OurJson(path);
    std::vector<qv::Row> expected;
    std::map<std::string, std::vector<qv::Row>> others;
    {
      auto db = Database::Open(path);
      bool found = false;
      for (const auto& n : db->UserTableNames()) {
        if (n == k.table)
          found = true;
        else
          others[n] = ReadAll(*db, n);
      }
      ASSERT_TRUE(found) << k.table;
      expected = ReadAll(*db, k.table);
      TableInserter ins(*db, k.table);
      for (int i = 0; i < k.rows; ++i) {
        qv::Row row;
        for (const auto& c : ins.definition().columns) row.push_back(Sample(c, i));
        ins.Insert(row);
        // What the reader gives for a Yes/No NULL, and autonumbers, are filled in from the file.
        expected.push_back(row);
      }
      // Visible at once through another connection, before any checkpoint.
      auto other = Database::Open(path);
      EXPECT_EQ(ReadAll(*other, k.table).size(), expected.size());
    }
    auto db = Database::Open(path);
    std::vector<qv::Row> actual = ReadAll(*db, k.table);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t r = 0; r < actual.size(); ++r) {
      for (std::size_t c = 0; c < actual[r].size(); ++c) {
        ASSERT_EQ(FormatValueText(actual[r][c]), FormatValueText(expected[r][c]))
            << "row " << r << " column " << db->ReadDefinition(k.table).columns[c].name;
      }
    }
    for (const auto& [name, rows] : others) {
      auto got = ReadAll(*db, name);
      ASSERT_EQ(got.size(), rows.size()) << name;
      for (std::size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(got[r], rows[r]) << name << " row " << r;
    }
    EXPECT_EQ(db->ReadDefinition(k.table).rowCount, expected.size());
    if (testing::HaveMdbReader()) {
      std::string oracle = OracleJson(path);
      EXPECT_EQ(oracle, OurJson(path, oracle));
    }
    if (testing::HaveMdbTools()) {
      int st = 0;
      std::string count =
          testing::Run("mdb-count " + testing::Quote(path) + " " + testing::Quote(k.table), &st);
      EXPECT_EQ(st, 0);
      EXPECT_EQ(std::stoul(count), expected.size());
      testing::Run("mdb-export " + testing::Quote(path) + " " + testing::Quote(k.table) + " >/dev/null", &st);
      EXPECT_EQ(st, 0);
    }
    EXPECT_NE(before, OurJson(path));
  }
}

TEST(Insert, LiteralTextIsConvertedByColumnType) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/fixedNumericTestV2003.mdb", "n.mdb");
  auto db = Database::Open(path);
  TableInserter ins(*db, "test");
  const auto& cols = ins.definition().columns;
  qv::Row row(cols.size());
  for (std::size_t i = 0; i < cols.size(); ++i) {
    std::string text;
    if (cols[i].type == col_type::kNumeric) text = cols[i].scale ? "-1.5" : "42";
    if (cols[i].type == col_type::kMemo) text = "O'Brien\nzweite Zeile";
    if (cols[i].type == col_type::kInt32) text = "123";
    if (!text.empty()) row[i] = text;
  }
  ins.Insert(row);
  auto rows = ReadAll(*db, "test");
  const qv::Row& last = rows.back();
  for (std::size_t i = 0; i < cols.size(); ++i) {
    if (cols[i].type == col_type::kNumeric) {
      std::string want = cols[i].scale ? "-1.5" + std::string(cols[i].scale - 1, '0') : "42";
      EXPECT_EQ(std::get<Decimal>(last[i]).text, want) << cols[i].name;
    }
    if (cols[i].type == col_type::kMemo) {
      EXPECT_EQ(std::get<std::string>(last[i]), "O'Brien\nzweite Zeile");
    }
  }
}

TEST(Insert, ABadValueWritesNothing) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/testPromotionV2003.mdb", "p.mdb");
  Bytes original = testing::ReadFileBytes(path);
  {
    auto db = Database::Open(path);
    TableInserter ins(*db, "jobDB1");
    const auto& cols = ins.definition().columns;
    struct Bad {
      std::uint8_t type;
      std::string text;
      int number;
    };
    const Bad bad[] = {{col_type::kInt32, "12abc", errc::kTypeConversion},
                       {col_type::kInt32, "3000000000", errc::kTypeConversion},
                       {col_type::kDouble, "1,5", errc::kTypeConversion},
                       {col_type::kText, Repeat("y", 300), errc::kValueTooLong}};
    for (const Bad& b : bad) {
      qv::Row row(cols.size());
      bool used = false;
      for (std::size_t i = 0; i < cols.size() && !used; ++i) {
        if (cols[i].type == b.type) {
          row[i] = b.text;
          used = true;
        }
      }
      if (!used) continue;
      try {
        ins.Insert(row);
        ADD_FAILURE() << "accepted " << b.text;
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), b.number) << e.description();
        EXPECT_NE(e.description().find("jobDB1"), std::string::npos) << e.description();
      }
    }
    EXPECT_EQ(db->pages().dirtyCount(), 0u);
    try {
      ins.Insert(qv::Row{std::monostate{}});
      ADD_FAILURE() << "accepted a short row";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kInvalidArgument);
    }
  }
  EXPECT_EQ(testing::ReadFileBytes(path), original);
}

TEST(Insert, TablesInRelationshipsAreRefusedBeforeAnythingIsWritten) {
  // (indexes are kept up to date; the rules of relationships are not checked yet)
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2000/indexTestV2000.mdb", "i.mdb");
  Bytes original = testing::ReadFileBytes(path);
  {
    auto db = Database::Open(path);
    for (const auto& name : db->UserTableNames()) {
      try {
        TableInserter ins(*db, name);
        ADD_FAILURE() << "inserting into table " << name << ", which is in a relationship";
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::kNotSupported);
        EXPECT_NE(e.description().find("relationship"), std::string::npos);
      }
    }
    try {
      TableInserter ins(*db, "MSysObjects");
      ADD_FAILURE();
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kNotSupported);
    }
    try {
      TableInserter ins(*db, "NoSuchTable");
      ADD_FAILURE();
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kNoSuchTable);
    }
  }
  EXPECT_EQ(testing::ReadFileBytes(path), original);
}

}  // namespace
}  // namespace qv::jet

namespace qv::jet {
namespace {

TEST(JetwriteTool, InsertsTsvLinesAndReportsBadOnes) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/testPromotionV2003.mdb", "p.mdb");
  std::string tsv = dir.Path("rows.tsv");
  {
    std::ofstream out(tsv, std::ios::binary);
    out << "1\t7\t2.5\thello \xce\xa9\ta\tb\tc\td\te\t1.25\n"  // good
        << "\\N\t3\t-1e300\tx\\ty\t\t\t\t\t\t\n"               // good: NULL, an escaped tab
        << "abc\t1\t\t\t\t\t\t\t\t\n"                          // ID is not a number
        << "1\t2\n";                                           // too few values
  }
  int st = 0;
  std::string tool = std::string(QV_BINARY_DIR) + "/tools/jetwrite/jetwrite";
  std::string out = testing::Run(
      tool + " insert " + testing::Quote(path) + " jobDB1 " + testing::Quote(tsv) + " 2>&1", &st);
  EXPECT_EQ(st, 1) << out;
  EXPECT_NE(out.find("2 rows inserted into 'jobDB1', 2 refused"), std::string::npos) << out;
  EXPECT_NE(out.find("line 3: error 3464"), std::string::npos) << out;
  EXPECT_NE(out.find("line 4: error 3001"), std::string::npos) << out;
  auto db = Database::Open(path);
  auto rows = db->ReadTable("jobDB1");
  qv::Row r;
  ASSERT_TRUE(rows->Next(r));
  EXPECT_EQ(std::get<std::string>(r[3]), "hello \xce\xa9");
  EXPECT_EQ(std::get<double>(r[9]), 1.25);
  ASSERT_TRUE(rows->Next(r));
  EXPECT_TRUE(IsNull(r[0]));
  EXPECT_EQ(std::get<std::string>(r[3]), "x\ty");
  EXPECT_FALSE(rows->Next(r));
  if (testing::HaveMdbTools()) {
    std::string json = testing::Run("mdb-json " + testing::Quote(path) + " jobDB1");
    EXPECT_NE(json.find("\"JobName\":\"hello \xce\xa9\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"PhaseNumber\":-1e+300"), std::string::npos) << json;
  }
  // Access 97: text in the file's code page (1252); a character it lacks refuses its line, naming
  // the row, the field and the character.
  std::string j3 = dir.Copy("jackcess/src/test/data/V1997/delTestV1997.mdb", "j3.mdb");
  std::string tsv3 = dir.Path("j3.tsv");
  {
    std::ofstream o(tsv3, std::ios::binary);
    o << "caf\xc3\xa9 \xe2\x82\xac\t\\N\n"  // é and € are in code page 1252
      << "omega \xce\xa9\tb\n"              // Ω is not
      << std::string(50, 'x') << "\t" << std::string(50, 'y') << "\n";
  }
  out =
      testing::Run(tool + " insert " + testing::Quote(j3) + " Table " + testing::Quote(tsv3) + " 2>&1", &st);
  EXPECT_EQ(st, 1) << out;
  EXPECT_NE(out.find("line 2: error 3464: Row 2: Field 'a' of table 'Table': the text has the character "
                     "'\xce\xa9' (U+03A9)"),
            std::string::npos)
      << out;
  {
    auto db3 = Database::Open(j3);
    auto rows3 = db3->ReadTable("Table");
    std::vector<std::string> got;
    for (qv::Row row; rows3->Next(row);)
      got.push_back(IsNull(row[1]) ? std::get<std::string>(row[0])
                                   : std::get<std::string>(row[0]) + "|" + std::get<std::string>(row[1]));
    EXPECT_EQ(got, (std::vector<std::string>{"z|y", "v|u", "caf\xc3\xa9 \xe2\x82\xac",
                                             std::string(50, 'x') + "|" + std::string(50, 'y')}));
  }
  Bytes raw = testing::ReadFileBytes(j3);
  const Bytes stored{'c', 'a', 'f', 0xe9, ' ', 0x80};  // the 1252 bytes of the first value
  EXPECT_NE(std::search(raw.begin(), raw.end(), stored.begin(), stored.end()), raw.end());
  if (testing::HaveMdbTools()) {
    std::string csv = testing::Run("mdb-export " + testing::Quote(j3) + " Table");
    EXPECT_NE(csv.find("\"caf\xc3\xa9 \xe2\x82\xac\","), std::string::npos) << csv;
  }
}

}  // namespace
}  // namespace qv::jet

namespace qv::jet {
namespace {

// ACE keeps a page map per long-value column (listed after the column names of the definition);
// the LVAL pages we add for a column must be in that column's map, and in no other.
TEST(Insert, AceLongValuePagesGoIntoTheirColumnsMap) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2010/fixedNumericTestV2010.accdb", "n.accdb");
  auto db = Database::Open(path);
  std::uint32_t before = db->pages().pageCount();
  TableDefinition t = db->ReadDefinition("test");
  PagePtr tdef = db->pages().ReadPage(t.firstPage);
  std::size_t at = 0x3f + 25 * t.columns.size();
  for (std::size_t i = 0; i < t.columns.size(); ++i) at += 2 + LoadU16(tdef->data() + at);
  ASSERT_NE(LoadU16(tdef->data() + at), 0xffff) << "the memo column should have its own map";
  std::uint16_t column = LoadU16(tdef->data() + at);
  RowPointer owned = RowPointer::Decode(LoadU32(tdef->data() + at + 2));
  TableInserter ins(*db, "test");
  qv::Row row(t.columns.size());
  std::size_t memo = 0;
  for (std::size_t i = 0; i < t.columns.size(); ++i)
    if (t.columns[i].number == column) memo = i;
  for (int k = 0; k < 6; ++k) {
    row[memo] = std::string(3000 + 2000 * static_cast<std::size_t>(k), static_cast<char>('a' + k));
    ins.Insert(row);
  }
  UsageMap map = UsageMap::Read(db->pages(), db->header().layout, owned);
  std::set<std::uint32_t> listed;
  for (auto p : map.Pages()) listed.insert(p);
  int lvalPages = 0;
  for (std::uint32_t p = before; p < db->pages().pageCount(); ++p) {
    PagePtr page = db->pages().ReadPage(p);
    if ((*page)[0] == page_type::kData && LoadU32(page->data() + 4) == 0x4c41564cu) {
      ++lvalPages;
      EXPECT_TRUE(listed.count(p)) << "LVAL page " << p << " is not in the column's map";
    }
  }
  EXPECT_GE(lvalPages, 6);
  auto rows = db->ReadTable("test");
  qv::Row r;
  int n = 0;
  while (rows->Next(r)) ++n;
  EXPECT_EQ(n, 7);
}

}  // namespace
}  // namespace qv::jet
