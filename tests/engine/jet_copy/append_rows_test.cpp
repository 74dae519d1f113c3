// Rows copied page by page from one table into another of the same layout (AppendRows): a table
// of a copy of an Access-made file appended to itself (only the rows present at the start are
// copied) reads back as its rows twice in our reader, mdb-reader (dump.js) and mdbtools
// (mdb-export); memo values inline, on one LVAL row and in LVAL chains are copied to new LVAL
// rows; a copy stopped half-way, by an error or by a killed process, leaves the target as it was;
// what cannot be copied as stored is refused before anything is written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "../jet_write/test_files.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_inserter.h"
#include "page_checks.h"

namespace qv::jet {
namespace {

using testing::ExpectNewPagesListed;
using testing::Quote;
using testing::ReadAll;
using testing::ScratchDir;

std::string Repeat(const std::string& piece, std::size_t bytes) {
  std::string s;
  while (s.size() < bytes) s += piece;
  while (bytes > 0 && bytes < s.size() && (static_cast<unsigned char>(s[bytes]) & 0xc0) == 0x80) --bytes;
  s.resize(bytes);
  return s;
}

// Memo sizes in bytes: inline (up to 256), empty, one LVAL row (up to a page), chains.
const std::size_t kMemoSizes[] = {10, 0, 300, 3000, 4075, 5000, 20000, 70000};

// A value for column `c` in row `i`, NULL now and then.
qv::Value Sample(const ColumnDef& c, int i) {
  if (c.type != col_type::kBoolean && i % 7 == 3) return std::monostate{};
  switch (c.type) {
    case col_type::kBoolean:
      return i % 2 == 0;
    case col_type::kInt16:
      return std::int64_t{i % 30000};
    case col_type::kInt32:
      return std::int64_t{i * 1000003LL % 2000000000LL};
    case col_type::kDouble:
      return i * 0.25 - 3.0;
    case col_type::kCurrency:
      return Currency{i * 12345LL};
    case col_type::kDateTime: {
      Timestamp t;
      t.year = 1990 + i % 40;
      t.month = static_cast<std::uint8_t>(1 + i % 12);
      t.day = static_cast<std::uint8_t>(1 + i % 28);
      t.hour = static_cast<std::uint8_t>(i % 24);
      return t;
    }
    case col_type::kNumeric: {
      std::string s = c.precision > c.scale ? std::to_string(i % 10) : "0";
      if (c.scale > 0) s += ".5";
      return Decimal{(i % 2 ? "-" : "") + s};
    }
    case col_type::kText: {
      std::string s = (i % 3 ? "Zeile " : "Ω ") + std::to_string(i);
      if (s.size() > c.length / 2u) s.resize(c.length / 2u);
      return s;
    }
    case col_type::kMemo: {
      std::size_t n = kMemoSizes[static_cast<std::size_t>(i) % std::size(kMemoSizes)];
      return Repeat(i % 2 ? "memo ü " : "memo Ω日 ", n);
    }
    case col_type::kOle: {
      Bytes b(kMemoSizes[static_cast<std::size_t>(i) % std::size(kMemoSizes)]);
      for (std::size_t k = 0; k < b.size(); ++k)
        b[k] = static_cast<std::uint8_t>(k * 7 + static_cast<std::size_t>(i));
      return b;
    }
    default:
      return std::monostate{};
  }
}

void InsertSamples(Database& db, const std::string& table, int rows, int first = 0) {
  TableInserter ins(db, table);
  for (int i = first; i < first + rows; ++i) {
    qv::Row row;
    for (const auto& c : ins.definition().columns) row.push_back(c.autoLong() ? qv::Value{} : Sample(c, i));
    ins.Insert(row);
  }
}

void ExpectRows(const std::vector<qv::Row>& actual, const std::vector<qv::Row>& expected,
                const std::string& what) {
  ASSERT_EQ(actual.size(), expected.size()) << what;
  for (std::size_t r = 0; r < actual.size(); ++r)
    for (std::size_t c = 0; c < actual[r].size(); ++c)
      ASSERT_EQ(FormatValueText(actual[r][c]), FormatValueText(expected[r][c]))
          << what << ": row " << r << " column " << c;
}

std::vector<qv::Row> Twice(const std::vector<qv::Row>& rows) {
  std::vector<qv::Row> out = rows;
  out.insert(out.end(), rows.begin(), rows.end());
  return out;
}

std::string TablesJson(const std::string& text) {
  auto at = text.find("\"tables\"");
  return at == std::string::npos ? std::string() : text.substr(at);
}

// mdb-reader's dump of every table, and ours of the same tables (the oracle also lists the
// ~TMPCLP tables Access hides).
void ExpectOracleAgrees(const std::string& path) {
  if (!testing::HaveMdbReader()) return;
  int st = 0;
  std::string oracle = TablesJson(
      testing::Run("node " + Quote(testing::MdbReaderDump()) + " --sort-rows " + Quote(path) + " 2>&1", &st));
  ASSERT_EQ(st, 0) << oracle;
  std::string tables;
  for (std::size_t at = oracle.find("\n   \"name\": \""); at != std::string::npos;
       at = oracle.find("\n   \"name\": \"", at + 1)) {
    std::size_t from = at + 13, to = oracle.find('"', from);
    tables += " --table=" + Quote(oracle.substr(from, to - from));
  }
  std::string ours =
      TablesJson(testing::Run(std::string(QV_BINARY_DIR) + "/tools/jetdump/jetdump --json --sort-rows" +
                                  tables + " " + Quote(path) + " 2>&1",
                              &st));
  ASSERT_EQ(st, 0) << ours;
  EXPECT_EQ(oracle, ours);
}

// mdb-export's lines, sorted (a memo with line breaks spans several lines: as a multiset of lines
// a table exported twice over is still each line twice).
std::vector<std::string> ExportLines(const std::string& path, const std::string& table,
                                     std::string* header = nullptr) {
  int st = 0;
  std::string out = testing::Run("mdb-export " + Quote(path) + " " + Quote(table) + " 2>&1", &st);
  EXPECT_EQ(st, 0) << out.substr(0, 2000);
  std::vector<std::string> lines;
  std::size_t at = 0;
  while (at < out.size()) {
    std::size_t nl = out.find('\n', at);
    if (nl == std::string::npos) nl = out.size();
    lines.push_back(out.substr(at, nl - at));
    at = nl + 1;
  }
  if (!lines.empty()) {
    if (header) *header = lines.front();
    lines.erase(lines.begin());
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> Doubled(const std::vector<std::string>& lines) {
  std::vector<std::string> out = lines;
  out.insert(out.end(), lines.begin(), lines.end());
  std::sort(out.begin(), out.end());
  return out;
}

struct Case {
  const char* file;
  const char* table;
  int inserted;  // rows added by the test before the copy
};

const Case kSelfAppend[] = {
    {"jackcess/src/test/data/V2000/fixedNumericTestV2000.mdb", "test", 40},    // Jet4, memo
    {"jackcess/src/test/data/V2003/overflowTestV2003.mdb", "Table1", 0},       // Access overflow rows
    {"jackcess/src/test/data/V2003/delTestV2003.mdb", "Table", 20},            // Access deleted rows
    {"jackcess/src/test/data/V2003/queryTestV2003.mdb", "Table1", 0},          // empty
    {"jackcess/src/test/data/V2007/fixedNumericTestV2007.accdb", "test", 40},  // ACE12, memo maps
    {"mdb-reader/test/data/V2016/withdeletedcol.accdb", "Table1", 10},         // ACE12, deleted columns
    {"ucanaccess/src/test/resources/testdbs/aliasNaming.accdb", "categories abc", 30},  // autonumber, memo
    {"jackcess/src/test/data/V2010/fixedNumericTestV2010.accdb", "test", 40},           // ACE14
    {"ucanaccess/src/test/resources/testdbs/functionsV2016.accdb", "t_funcs", 40},      // ACE16
};

TEST(AppendRows, TableAppendedToItselfReadsBackTwiceInEveryReader) {
  for (std::size_t at = 0; at < std::size(kSelfAppend); ++at) {
    const Case& k = kSelfAppend[at];
    // Every other case rebuilds the rows from their cells instead of copying them as stored.
    const bool rebuild = at % 2 == 1;
    SCOPED_TRACE(std::string(k.file) + (rebuild ? " (rows rebuilt)" : ""));
    ScratchDir dir;
    std::string path = dir.Copy(k.file, std::filesystem::path(k.file).filename().string());
    std::vector<qv::Row> before;
    std::map<std::string, std::vector<qv::Row>> others;
    {
      auto db = Database::Open(path);
      if (k.inserted) InsertSamples(*db, k.table, k.inserted);
      before = ReadAll(*db, k.table);
      for (const auto& n : db->UserTableNames())
        if (n != k.table) others[n] = ReadAll(*db, n);
    }
    std::string header;
    std::vector<std::string> exportBefore;
    if (testing::HaveMdbTools()) exportBefore = ExportLines(path, k.table, &header);
    std::uint32_t firstNew = 0, counterBefore = 0;
    {
      auto db = Database::Open(path);
      firstNew = db->pages().pageCount();
      counterBefore = db->ReadDefinition(k.table).nextAutoNumber;
      CopyOptions small;
      small.pagesPerOperation = 3;  // many operations, commits inside LVAL chains
      small.rebuildRows = rebuild;
      EXPECT_EQ(AppendRows(*db, k.table, k.table, small), before.size());
      // Seen at once by this and another connection, before any checkpoint.
      ExpectRows(ReadAll(*db, k.table), Twice(before), "same connection");
      auto other = Database::Open(path);
      EXPECT_EQ(ReadAll(*other, k.table).size(), 2 * before.size());
    }
    auto db = Database::Open(path);
    ExpectRows(ReadAll(*db, k.table), Twice(before), "reopened");
    TableDefinition t = db->ReadDefinition(k.table);
    EXPECT_EQ(t.rowCount, 2 * before.size());
    EXPECT_EQ(t.nextAutoNumber, counterBefore);  // self-append: no number beyond the counter
    for (const auto& [name, rows] : others) ExpectRows(ReadAll(*db, name), rows, name);
    ExpectNewPagesListed(*db, k.table, firstNew);
    ExpectOracleAgrees(path);
    if (testing::HaveMdbTools()) {
      std::string headerAfter;
      EXPECT_EQ(ExportLines(path, k.table, &headerAfter), Doubled(exportBefore));
      EXPECT_EQ(headerAfter, header);
    }
  }
}

// Rows of one table appended to another of the same layout that has rows of its own, twice.
TEST(AppendRows, IntoAnotherTableAfterItsOwnRows) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/queryTestV2003.mdb", "q.mdb");
  auto db = Database::Open(path);
  InsertSamples(*db, "Table1", 300);
  InsertSamples(*db, "Table2", 5, 1000);
  auto source = ReadAll(*db, "Table1");
  auto expected = ReadAll(*db, "Table2");
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(AppendRows(*db, "table1", "TABLE2"), source.size());  // names without regard to case
    expected.insert(expected.end(), source.begin(), source.end());
  }
  ExpectRows(ReadAll(*db, "Table2"), expected, "Table2");
  ExpectRows(ReadAll(*db, "Table1"), source, "Table1");
  EXPECT_EQ(db->ReadDefinition("Table2").rowCount, expected.size());
  db.reset();
  ExpectOracleAgrees(path);
  if (testing::HaveMdbTools()) {
    int st = 0;
    EXPECT_EQ(std::stoul(testing::Run("mdb-count " + Quote(path) + " Table2", &st)), expected.size());
  }
}

// A failure half-way (here thrown from the progress call after the third operation) leaves the
// target as it was, with the pages already written zeroed and free again; a second copy then
// works and reuses them.
TEST(AppendRows, FailureHalfWayLeavesTheTargetAsItWasAndFreesItsPages) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2010/fixedNumericTestV2010.accdb", "n.accdb");
  auto db = Database::Open(path);
  InsertSamples(*db, "test", 40);
  auto before = ReadAll(*db, "test");
  CheckpointIfWritten(*db->sharedFile());
  const std::uint32_t pagesBefore = db->pages().pageCount();
  CopyOptions options;
  options.pagesPerOperation = 4;
  int calls = 0;
  options.progress = [&](std::uint64_t) {
    if (++calls == 3) throw Error(errc::kDiskIo, "stopped by the test");
  };
  try {
    AppendRows(*db, "test", "test", options);
    ADD_FAILURE() << "the copy did not stop";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kDiskIo);
  }
  EXPECT_EQ(calls, 3);
  ExpectRows(ReadAll(*db, "test"), before, "after the failure");
  EXPECT_EQ(db->ReadDefinition("test").rowCount, before.size());
  const std::uint32_t pagesAfter = db->pages().pageCount();
  EXPECT_GE(pagesAfter, pagesBefore + 8) << "the committed operations should have written pages";
  UsageMap global = UsageMap::Read(db->pages(), db->header().layout, {1, 0});
  std::set<std::uint32_t> free;
  for (auto p : global.Pages()) free.insert(p);
  // The global map of this file is inline: it lists pages 0..511 only.
  ASSERT_LT(pagesAfter, 512u);
  auto zero = [&](std::uint32_t p) {
    PagePtr page = db->pages().ReadPage(p);
    return std::all_of(page->begin(), page->end(), [](std::uint8_t b) { return b == 0; });
  };
  for (std::uint32_t p = pagesBefore; p < pagesAfter; ++p) {
    EXPECT_TRUE(zero(p)) << "page " << p;
    EXPECT_TRUE(free.count(p)) << "page " << p << " is not free";
  }
  EXPECT_EQ(AppendRows(*db, "test", "test"), before.size());
  ExpectRows(ReadAll(*db, "test"), Twice(before), "second copy");
  for (std::uint32_t p = pagesBefore; p < pagesAfter; ++p)
    EXPECT_FALSE(zero(p)) << "freed page " << p << " not used again";
  db.reset();
  ExpectOracleAgrees(path);
}

// A process killed between two operations of a copy (after a checkpoint put its pages on disk)
// leaves a file whose target is exactly as before in every reader.
TEST(AppendRows, ProcessKilledHalfWayLeavesTheTargetAsItWas) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/fixedNumericTestV2003.mdb", "n.mdb");
  std::vector<qv::Row> before;
  {
    auto db = Database::Open(path);
    InsertSamples(*db, "test", 120);
    before = ReadAll(*db, "test");
  }
  std::vector<std::string> exportBefore;
  if (testing::HaveMdbTools()) exportBefore = ExportLines(path, "test");
  const auto sizeBefore = std::filesystem::file_size(path);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto db = Database::Open(path);
    CopyOptions options;
    options.pagesPerOperation = 4;
    int calls = 0;
    options.progress = [&](std::uint64_t) {
      if (++calls == 3) {
        CheckpointIfWritten(*db->sharedFile());
        ::_exit(0);  // no destructor runs: as if the process were killed here
      }
    };
    AppendRows(*db, "test", "test", options);
    ::_exit(1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_GT(std::filesystem::file_size(path), sizeBefore) << "the killed copy should have written pages";
  {
    auto db = Database::Open(path);
    ExpectRows(ReadAll(*db, "test"), before, "after the kill");
    EXPECT_EQ(db->ReadDefinition("test").rowCount, before.size());
  }
  ExpectOracleAgrees(path);
  if (testing::HaveMdbTools()) {
    EXPECT_EQ(ExportLines(path, "test"), exportBefore);
  }
}

TEST(AppendRows, RefusedBeforeAnythingIsWritten) {
  const testing::Refusal refusals[] = {
      {"jackcess/src/test/data/V2003/indexTestV2003.mdb", "Table1", "Table1", errc::kNotSupported, "indexes"},
      {"jackcess/src/test/data/V2003/queryTestV2003.mdb", "Table1", "MSysObjects", errc::kNotSupported,
       "system table"},
      {"ucanaccess/src/test/resources/testdbs/badDb.accdb", "Father", "Sample", errc::kNotSupported,
       "column 2 ('txt', 'LastEdit') differs in its type"},
      {"ucanaccess/src/test/resources/testdbs/badDb.accdb", "Sample", "Table1", errc::kNotSupported,
       "columns"},
      {"jackcess/src/test/data/V2003/queryTestV2003.mdb", "NoSuchTable", "Table1", errc::kNoSuchTable,
       "NoSuchTable"},
      {"jackcess/src/test/data/V2003/queryTestV2003.mdb", "Table1", "NoSuchTable", errc::kNoSuchTable,
       "NoSuchTable"},
  };
  testing::ExpectRefusedLeavingFileUnchanged(
      refusals, [](Database& db, const testing::Refusal& r) { AppendRows(db, r.source, r.target); });
}

TEST(AppendRows, RowLayoutsComparedColumnByColumn) {
  TableDefinition a;
  a.name = "A";
  a.varColumns = 1;
  ColumnDef id;
  id.name = "id";
  id.type = col_type::kInt32;
  id.flags = col_flag::kFixedLength;
  id.length = 4;
  ColumnDef text;
  text.name = "name";
  text.type = col_type::kText;
  text.number = 1;
  text.length = 100;
  ColumnDef amount;
  amount.name = "amount";
  amount.type = col_type::kNumeric;
  amount.flags = col_flag::kFixedLength;
  amount.number = 2;
  amount.fixedOffset = 4;
  amount.length = 17;
  amount.precision = 18;
  amount.scale = 2;
  a.columns = {id, text, amount};
  TableDefinition b = a;
  b.name = "B";
  EXPECT_EQ(CompareRowLayouts(a, b, "f"), RowLayoutMatch::kIdentical);
  auto match = [&](auto change) {
    TableDefinition c = b;
    change(c);
    return CompareRowLayouts(a, c, "f");
  };
  EXPECT_EQ(match([](TableDefinition& c) { c.columns[1].length = 200; }), RowLayoutMatch::kIdentical);
  EXPECT_EQ(match([](TableDefinition& c) { c.columns[1].varIndex = 1; }), RowLayoutMatch::kRearranged);
  EXPECT_EQ(match([](TableDefinition& c) { c.columns[2].fixedOffset = 8; }), RowLayoutMatch::kRearranged);
  EXPECT_EQ(match([](TableDefinition& c) { c.columns[1].number = 5; }), RowLayoutMatch::kRearranged);
  EXPECT_EQ(match([](TableDefinition& c) { c.varColumns = 0; }), RowLayoutMatch::kRearranged);
  auto refused = [&](auto change, const char* what) {
    try {
      match(change);
      ADD_FAILURE() << "accepted a different " << what;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kNotSupported);
      EXPECT_NE(e.description().find(what), std::string::npos) << e.description();
    }
  };
  refused([](TableDefinition& c) { c.columns[1].length = 50; },
          "column 2 ('name', 'name') differs in its size");
  refused([](TableDefinition& c) { c.columns[1].type = col_type::kMemo; }, "type");
  refused([](TableDefinition& c) { c.columns[0].length = 8; }, "size");
  refused([](TableDefinition& c) { c.columns[1].flags = col_flag::kFixedLength; }, "storage");
  EXPECT_EQ(match([](TableDefinition& c) { c.columns[2].flags = 0; }),
            RowLayoutMatch::kRearranged);  // a Decimal stored as variable
  refused([](TableDefinition& c) { c.columns[1].extFlags = 0xc0; }, "calculated");
  refused([](TableDefinition& c) { c.columns[2].scale = 3; }, "precision or scale");
  refused([](TableDefinition& c) { c.columns.pop_back(); }, "columns");
}

// 100,000 rows made by the insert call, appended to themselves in the default operation size.
TEST(AppendRows, HundredThousandRows) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/testPromotionV2003.mdb", "p.mdb");
  constexpr int kRows = 100000;
  {
    auto db = Database::Open(path);
    TableInserter ins(*db, "jobDB1");
    qv::Row row(ins.definition().columns.size());
    for (int i = 0; i < kRows; ++i) {
      row[0] = std::int64_t{i};
      row[1] = std::int64_t{i % 977};
      row[2] = i % 11 == 0 ? qv::Value{} : qv::Value{i * 0.5};
      for (std::size_t c = 3; c < 9; ++c)
        row[c] = (i + c) % 9 == 0 ? qv::Value{} : qv::Value{"v" + std::to_string(i * c)};
      row[9] = i / 3.0;
      ins.Insert(row);
    }
  }
  std::vector<std::string> exportBefore;
  if (testing::HaveMdbTools()) exportBefore = ExportLines(path, "jobDB1");
  {
    auto db = Database::Open(path);
    EXPECT_EQ(AppendRows(*db, "jobDB1", "jobDB1"), std::uint64_t{kRows});
  }
  auto db = Database::Open(path);
  EXPECT_EQ(db->ReadDefinition("jobDB1").rowCount, 2u * kRows);
  auto first = db->ReadTable("jobDB1");
  auto second = db->ReadTable("jobDB1");
  qv::Row a, b;
  for (int i = 0; i < kRows; ++i) ASSERT_TRUE(second->Next(b));
  for (int i = 0; i < kRows; ++i) {
    ASSERT_TRUE(first->Next(a));
    ASSERT_TRUE(second->Next(b)) << i;
    ASSERT_EQ(a, b) << "row " << i;
    ASSERT_EQ(std::get<std::int64_t>(a[0]), i);
  }
  EXPECT_FALSE(second->Next(b));
  if (testing::HaveMdbTools()) {
    EXPECT_EQ(ExportLines(path, "jobDB1"), Doubled(exportBefore));
  }
}

}  // namespace
}  // namespace qv::jet
