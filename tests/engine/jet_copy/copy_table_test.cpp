// SELECT a1.* INTO new FROM old AS a1 (CopyTable, the Access provider and `jetwrite copy`): the
// new table has the old one's columns and rows in our reader, mdb-reader and mdbtools, for
// Access-made tables with memo and OLE values inline, on one LVAL row and in chains (Jet4, ACE12,
// ACE14) and for tables made by our CREATE TABLE in ACE16 and ACE17 files; a copy that fails
// leaves no table behind; what cannot be copied is refused before anything is written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "../jet_write/test_files.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/providers/provider.h"
#include "page_checks.h"

namespace qv::jet {
namespace {

using testing::Quote;
using testing::ReadAll;
using testing::ScratchDir;

void ExpectSameRows(const std::vector<qv::Row>& actual, const std::vector<qv::Row>& expected,
                    const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t r = 0; r < actual.size(); ++r)
    for (std::size_t c = 0; c < actual[r].size(); ++c)
      ASSERT_EQ(FormatValueText(actual[r][c]), FormatValueText(expected[r][c]))
          << what << ": row " << r << " column " << c;
}

// The columns as the reader reports them, without the name of the table.
std::string ColumnsText(Database& db, const std::string& table) {
  std::string out;
  auto reader = db.ReadTable(table);
  for (const auto& c : reader->columns())
    out += c.name + ":" + std::to_string(static_cast<int>(c.type)) + ":" + std::to_string(c.size) + ":" +
           std::to_string(c.precision) + ":" + std::to_string(c.scale) + ":" +
           std::to_string(c.autoIncrement) + ";";
  return out;
}

// mdb-reader's JSON rows of one table (the dump sorts rows). The column descriptions are left out:
// they name the storage, which a copy may choose otherwise (a Decimal Access kept in the variable
// area is fixed in the copy).
std::string OracleTableRows(const std::string& path, const std::string& table) {
  int st = 0;
  std::string out = testing::Run("node " + Quote(testing::MdbReaderDump()) +
                                     " --sort-rows --table=" + Quote(table) + " " + Quote(path) + " 2>&1",
                                 &st);
  EXPECT_EQ(st, 0) << out.substr(0, 2000);
  auto at = out.find("\"rows\"");
  return at == std::string::npos ? out : out.substr(at);
}

std::string OurTableRows(const std::string& path, const std::string& table) {
  int st = 0;
  std::string out = testing::Run(std::string(QV_BINARY_DIR) +
                                     "/tools/jetdump/jetdump --json --sort-rows --table=" + Quote(table) +
                                     " " + Quote(path) + " 2>&1",
                                 &st);
  EXPECT_EQ(st, 0) << out.substr(0, 2000);
  auto at = out.find("\"rows\"");
  return at == std::string::npos ? out : out.substr(at);
}

// mdb-export's lines, sorted: mdbtools meets overflow rows in another order than a scan in slot
// order, in which a copy stores them.
std::vector<std::string> SortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t nl = text.find('\n', at);
    if (nl == std::string::npos) nl = text.size();
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::string MdbExport(const std::string& path, const std::string& table) {
  int st = 0;
  std::string out = testing::Run("mdb-export " + Quote(path) + " " + Quote(table) + " 2>&1", &st);
  EXPECT_EQ(st, 0) << out.substr(0, 2000);
  return out;
}

// Both tables read alike in every reader.
void ExpectCopyAgrees(const std::string& path, const std::string& original, const std::string& copy) {
  {
    auto db = Database::Open(path);
    ExpectSameRows(ReadAll(*db, copy), ReadAll(*db, original), copy);
    EXPECT_EQ(ColumnsText(*db, copy), ColumnsText(*db, original));
  }
  if (testing::HaveMdbReader()) {
    std::string oracle = OracleTableRows(path, copy);
    EXPECT_EQ(oracle, OracleTableRows(path, original));
    EXPECT_EQ(oracle, OurTableRows(path, copy));
  }
  if (testing::HaveMdbTools()) {
    EXPECT_EQ(SortedLines(MdbExport(path, copy)), SortedLines(MdbExport(path, original)));
  }
}

struct Case {
  const char* file;
  const char* table;
};

// Access-made tables (some with indexes, which the copy does not take): memo and OLE values in
// LVAL chains (longtext, OleTable) and inline (the numeric and functions tables). The only
// Access-made one-row LVAL values of the corpus are in MSP_PROJECTS of the test2 files, whose
// definition (and that of its copy) takes two pages.
const Case kAccessMade[] = {
    {"jackcess/src/test/data/V2003/test2V2003.mdb", "MSP_PROJECTS"},
    {"jackcess/src/test/data/V2010/test2V2010.accdb", "MSP_PROJECTS"},
    {"mdb-reader/test/data/V2016/longtext.accdb", "Table1"},
    {"ucanaccess/src/test/resources/testdbs/blobOleLazyLoading.accdb", "OleTable"},
    {"jackcess/src/test/data/V2003/fixedNumericTestV2003.mdb", "test"},
    {"ucanaccess/src/test/resources/testdbs/functionsV2010.accdb", "t_funcs"},
    {"ucanaccess/src/test/resources/testdbs/functionsV2016.accdb", "t_funcs"},
    {"mdb-reader/test/data/V2016/withdeletedcol.accdb", "Table1"},     // rows rebuilt: deleted columns
    {"mdb-reader/test/data/V2016/withinsertedcol.accdb", "Table1"},    // rows rebuilt: inserted column
    {"jackcess/src/test/data/V2003/overflowTestV2003.mdb", "Table1"},  // overflow rows
    {"ucanaccess/src/test/resources/testdbs/githubIssue16.accdb", "Donor"},
};

TEST(CopyTable, AccessMadeTablesCopyWithEveryValueAndSurviveTheOriginalsDrop) {
  for (const Case& k : kAccessMade) {
    SCOPED_TRACE(k.file);
    ScratchDir dir;
    std::string path = dir.Copy(k.file, std::filesystem::path(k.file).filename().string());
    std::vector<qv::Row> rows;
    std::uint32_t counter = 0;
    {
      auto db = Database::Open(path);
      bool found = false;
      for (const auto& n : db->UserTableNames()) found = found || n == k.table;
      if (!found) {
        ADD_FAILURE() << "no table " << k.table;
        continue;
      }
      rows = ReadAll(*db, k.table);
      counter = db->ReadDefinition(k.table).nextAutoNumber;
      EXPECT_EQ(CopyTable(*db, k.table, "Copy of it"), rows.size());
      TableDefinition t = db->ReadDefinition("Copy of it");
      EXPECT_EQ(t.rowCount, rows.size());
      EXPECT_TRUE(t.indexes.empty());
      EXPECT_GE(t.nextAutoNumber, counter);
    }
    ExpectCopyAgrees(path, k.table, "Copy of it");
    // A rename is a copy and a drop: the copy keeps every value (no LVAL row is shared).
    {
      auto db = Database::Open(path);
      try {
        DropTable(*db, k.table);
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::kRelationship) << e.description();  // tables in relationships stay
      }
      ExpectSameRows(ReadAll(*db, "Copy of it"), rows, "after the drop");
    }
    if (testing::HaveMdbTools()) MdbExport(path, "Copy of it");
  }
}

std::string Repeat(char c, std::size_t n) {
  return std::string(n, c);
}

// Tables made by our CREATE TABLE in the empty templates of each ACE version the corpus has (and
// Jet4), with memo and OLE values of every kind and NULLs, copied.
TEST(CopyTable, TablesOfEveryVersionWithLongValuesOfEveryKind) {
  const char* templates[] = {
      "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2003.mdb",
      "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2007.accdb",
      "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2010.accdb",
      "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2016.accdb",
      "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2019.accdb",
  };
  for (const char* t : templates) {
    SCOPED_TRACE(t);
    ScratchDir dir;
    std::string path = dir.Copy(t, std::filesystem::path(t).filename().string());
    {
      auto db = Database::Open(path);
      auto col = [](const char* name, qv::ColumnType type, std::uint32_t size = 0) {
        qv::Column c;
        c.name = name;
        c.type = type;
        c.size = size;
        return c;
      };
      std::vector<qv::Column> cols = {
          col("ID", qv::ColumnType::Int32),      col("Name", qv::ColumnType::Text, 40),
          col("Notes", qv::ColumnType::Memo),    col("Blob", qv::ColumnType::LongBinary),
          col("Paid", qv::ColumnType::Boolean),  col("Amount", qv::ColumnType::Currency),
          col("When", qv::ColumnType::DateTime), col("Size", qv::ColumnType::Decimal)};
      cols[0].autoIncrement = true;
      cols[7].precision = 12;
      cols[7].scale = 3;
      CreateTable(*db, "Orders", cols);
      TableInserter ins(*db, "Orders");
      const std::size_t sizes[] = {0, 12, 300, 4000, 4075, 9000, 70000};
      for (int i = 0; i < 60; ++i) {
        std::size_t n = sizes[static_cast<std::size_t>(i) % std::size(sizes)];
        Bytes blob(sizes[static_cast<std::size_t>(i + 3) % std::size(sizes)]);
        for (std::size_t b = 0; b < blob.size(); ++b)
          blob[b] = static_cast<std::uint8_t>(b * 13 + static_cast<std::size_t>(i));
        qv::Row row = {
            std::monostate{},
            i % 5 == 4 ? qv::Value{} : qv::Value{"Kunde " + std::to_string(i) + (i % 2 ? " Ωμέγα" : "")},
            i % 9 == 8 ? qv::Value{} : qv::Value{Repeat(static_cast<char>('a' + i % 26), n)},
            i % 11 == 10 ? qv::Value{} : qv::Value{blob},
            i % 2 == 0,
            Currency{i * 12345LL},
            std::string("2024-0" + std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10) + " 10:30:00"),
            Decimal{std::to_string(i * 7) + ".125"}};
        ins.Insert(row);
      }
    }
    {
      auto db = Database::Open(path);
      const std::uint32_t firstNew = db->pages().pageCount();
      CopyOptions small;
      small.pagesPerOperation = 2;
      EXPECT_EQ(CopyTable(*db, "orders", "Orders 2", small), 60u);
      EXPECT_EQ(db->ReadDefinition("Orders 2").nextAutoNumber, 60u);
      testing::ExpectNewPagesListed(*db, "Orders 2", firstNew);
      // ACE: the memo and the OLE column each have their page maps, which the check above used.
      const bool jet4 = db->header().layout.version == JetVersion::Jet4;
      EXPECT_EQ(testing::AceLongValueMaps(*db, db->ReadDefinition("Orders 2")).size(), jet4 ? 0u : 2u);
    }
    ExpectCopyAgrees(path, "Orders", "Orders 2");
    // The copy takes new rows and counts on from the source's counter.
    auto db = Database::Open(path);
    TableInserter more(*db, "Orders 2");
    qv::Row row(8);
    row[4] = true;
    more.Insert(row);
    EXPECT_EQ(std::get<std::int64_t>(ReadAll(*db, "Orders 2").back()[0]), 61);
  }
}

TEST(CopyTable, AFailedCopyLeavesNoTableAndAKilledOneAnEmptyTable) {
  ScratchDir dir;
  std::string path = dir.Copy("mdb-reader/test/data/V2016/longtext.accdb", "t.accdb");
  {
    auto db = Database::Open(path);
    auto before = db->UserTableNames();
    CopyOptions options;
    options.pagesPerOperation = 1;
    options.progress = [](std::uint64_t) { throw Error(errc::kDiskIo, "stopped by the test"); };
    try {
      CopyTable(*db, "Table1", "Copy", options);
      ADD_FAILURE() << "the copy did not stop";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kDiskIo);
    }
    EXPECT_EQ(db->UserTableNames(), before);
    auto other = Database::Open(path);
    EXPECT_EQ(other->UserTableNames(), before);
  }
  if (testing::HaveMdbTools()) {
    EXPECT_EQ(testing::Run("mdb-tables -1 " + Quote(path)), "Table1\n");
  }
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto db = Database::Open(path);
    CopyOptions options;
    options.pagesPerOperation = 1;
    options.progress = [&](std::uint64_t) {
      CheckpointIfWritten(*db->sharedFile());
      ::_exit(0);  // as if killed here
    };
    CopyTable(*db, "Table1", "Copy", options);
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  auto db = Database::Open(path);
  EXPECT_EQ(ReadAll(*db, "Copy").size(), 0u);
  EXPECT_EQ(db->ReadDefinition("Copy").rowCount, 0u);
  if (testing::HaveMdbTools()) {
    int st = 0;
    EXPECT_EQ(testing::Run("mdb-count " + Quote(path) + " Copy", &st), "0\n");
  }
}

TEST(CopyTable, RefusedBeforeAnythingIsWritten) {
  const testing::Refusal refusals[] = {
      {"mdb-reader/test/data/V2016/longtext.accdb", "Table1", "TABLE1", errc::kTableExists, "TABLE1"},
      {"mdb-reader/test/data/V2016/longtext.accdb", "Nothing", "New", errc::kNoSuchTable, "Nothing"},
      {"jackcess/src/test/data/V2019/extDateTestV2019.accdb", "Table1", "New", errc::kNotSupported, "type"},
      {"jackcess/src/test/data/V2007/complexDataTestV2007.accdb", "Table1", "New", errc::kNotSupported,
       "attachment"},
      {"jackcess/src/test/data/V2000/fixedTextTestV2000.mdb", "users", "New", errc::kNotSupported, "storage"},
  };
  testing::ExpectRefusedLeavingFileUnchanged(
      refusals, [](Database& db, const testing::Refusal& r) { CopyTable(db, r.source, r.target); });
}

// The statement the rename of an Access table runs, through the Access provider.
TEST(CopyTable, SelectIntoThroughTheAccessProvider) {
  ScratchDir dir;
  std::string path = dir.Copy("ucanaccess/src/test/resources/testdbs/blobOleLazyLoading.accdb", "t.accdb");
  {
    auto provider = qv::providers::OpenProvider("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path);
    provider->Execute("SELECT a1.* INTO `Ole 2` FROM `oletable` AS a1;");
    try {
      provider->Execute("SELECT a1.* INTO `Ole 2` FROM `OleTable` AS a1;");
      ADD_FAILURE() << "copied over an existing table";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kTableExists);
    }
    provider->Close();
  }
  ExpectCopyAgrees(path, "OleTable", "Ole 2");
}

TEST(CopyTable, JetwriteCopyCommand) {
  ScratchDir dir;
  std::string path = dir.Copy("mdb-reader/test/data/V2016/longtext.accdb", "t.accdb");
  const std::string tool = std::string(QV_BINARY_DIR) + "/tools/jetwrite/jetwrite";
  int st = 0;
  std::string out = testing::Run(tool + " copy " + Quote(path) + " table1 'New Texts' 2>&1", &st);
  EXPECT_EQ(st, 0) << out;
  EXPECT_NE(out.find("copied 1 row"), std::string::npos) << out;
  ExpectCopyAgrees(path, "Table1", "New Texts");
  out = testing::Run(tool + " copy " + Quote(path) + " Table1 'new texts' 2>&1", &st);
  EXPECT_EQ(st, 2) << out;
  EXPECT_NE(out.find("error 3010"), std::string::npos) << out;
}

}  // namespace
}  // namespace qv::jet

namespace qv::jet {
namespace {

// A damaged row met half-way stops the copy with 3049 naming its page; nothing of the copy stays.
TEST(CopyTable, ADamagedRowStopsTheCopyAndLeavesNothing) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/queryTestV2003.mdb", "q.mdb");
  std::uint32_t damagedPage = 0;
  {
    auto db = Database::Open(path);
    TableInserter ins(*db, "Table1");
    for (int i = 0; i < 400; ++i)
      ins.Insert({std::string("a") + std::to_string(i), std::string(40, 'b'),
                  std::string("c") + std::to_string(i * 7)});
    TableInserter other(*db, "Table2");
    other.Insert({std::string("kept"), std::monostate{}, std::string("row")});
    TableDefinition t = db->ReadDefinition("Table1");
    auto pages =
        UsageMap::Read(db->pages(), db->header().layout, RowPointer::Decode(t.usedPagesPointer)).Pages();
    ASSERT_GE(pages.size(), 4u);
    damagedPage = pages[pages.size() - 2];
  }
  {
    // Row 3 of that page: its first variable offset (4 bytes before the 1-byte null mask, from
    // the row's end) now points past the row.
    std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
    Bytes page(4096);
    f.seekg(static_cast<std::streamoff>(damagedPage) * 4096);
    f.read(reinterpret_cast<char*>(page.data()), 4096);
    const std::size_t end = LoadU16(page.data() + 14 + 2 * 2) & 0x1fff;  // row 3 ends where row 2 starts
    StoreU16(page.data() + end - 1 - 4, 0xfff0);
    f.seekp(static_cast<std::streamoff>(damagedPage) * 4096);
    f.write(reinterpret_cast<const char*>(page.data()), 4096);
  }
  auto db = Database::Open(path);
  const auto tables = db->UserTableNames();
  const auto table2 = ReadAll(*db, "Table2");
  CopyOptions small;
  small.pagesPerOperation = 1;
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      if (attempt == 0)
        CopyTable(*db, "Table1", "New", small);
      else
        AppendRows(*db, "Table1", "Table2", small);
      ADD_FAILURE() << "a damaged row was copied";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kCorrupt) << e.description();
      EXPECT_NE((e.description() + e.where()).find("page " + std::to_string(damagedPage)), std::string::npos)
          << e.description() << " / " << e.where();
    }
  }
  EXPECT_EQ(db->UserTableNames(), tables);
  ExpectSameRows(ReadAll(*db, "Table2"), table2, "Table2");
  EXPECT_EQ(db->ReadDefinition("Table2").rowCount, 1u);
}

}  // namespace
}  // namespace qv::jet
