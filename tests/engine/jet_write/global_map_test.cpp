// The global usage map (page 1, row 0) lists every page the writer frees, also past the 512-page
// window of an inline map: the window moves when it can, otherwise the row becomes a reference map
// whose bitmap pages cover the file. After a close the freed pages are still listed and handed out
// again before the file grows, also to a table whose pages then spread over the whole file; our
// reader, mdbtools and mdb-reader read the files, and mdb-reader's rows are ours.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "test_files.h"

namespace qv::jet {
namespace {

using testing::ScratchDir;

const RowPointer kGlobal{1, 0};

Bytes GlobalRow(Database& db) {
  RowRef r = ReadRowAt(db.pages(), db.header().layout, kGlobal);
  return Bytes(r.bytes.begin(), r.bytes.end());
}

std::set<std::uint32_t> FreePages(Database& db) {
  auto pages = UsageMap::Read(db.pages(), db.header().layout, kGlobal).Pages();
  return {pages.begin(), pages.end()};
}

// Every bitmap page a reference row names is a type 0x05 page with 0x01 in byte 1.
void CheckBitmapPages(Database& db, const Bytes& row) {
  ASSERT_EQ(row[0], 1);
  for (std::size_t at = 1; at + 4 <= row.size(); at += 4) {
    std::uint32_t p = LoadU32(row.data() + at);
    if (p == 0 || (p & 0x80000000u)) continue;
    ASSERT_LT(p, db.pages().pageCount());
    PagePtr page = db.pages().ReadPage(p);
    EXPECT_EQ((*page)[0], 0x05) << "bitmap page " << p;
    EXPECT_EQ((*page)[1], 0x01) << "bitmap page " << p;
  }
}

// Allocates pages until the file grows; returns those handed out before it did.
std::set<std::uint32_t> AllocateUntilGrowth(Database& db) {
  std::set<std::uint32_t> got;
  WriteOperation op(*db.sharedFile());
  for (;;) {
    const std::uint32_t count = db.pages().pageCount();
    std::uint32_t n = op.writer().AllocatePage();
    Bytes content(db.header().layout.pageSize, 0xa5);
    db.pages().PutPage(n, std::make_shared<const Bytes>(std::move(content)));
    if (n >= count) break;
    EXPECT_TRUE(got.insert(n).second) << "page " << n << " handed out twice";
  }
  op.Commit();
  return got;
}

void CheckReadable(const std::string& path, const std::set<std::string>& tables) {
  auto db = Database::Open(path);
  for (const auto& t : tables) {
    auto r = db->ReadTable(t);
    qv::Row row;
    while (r->Next(row)) {
    }
  }
  if (!testing::HaveMdbTools()) return;
  int status = 0;
  std::string out = testing::Run("mdb-tables -1 " + testing::Quote(path), &status);
  EXPECT_EQ(status, 0) << out;
  for (const auto& t : tables) {
    EXPECT_NE(out.find(t), std::string::npos) << out;
    std::string csv =
        testing::Run("mdb-export " + testing::Quote(path) + " " + testing::Quote(t) + " 2>&1", &status);
    EXPECT_EQ(status, 0) << t << ": " << csv.substr(0, 300);
  }
  if (!testing::HaveMdbReader()) return;
  // mdb-reader opens the file and reads every table as our dump tool does (same JSON form).
  std::string args = " --sort-rows";
  for (const auto& t : tables) args += " --table=" + testing::Quote(t);
  std::string oracle = testing::Run(
      "node " + testing::Quote(testing::MdbReaderDump()) + args + " " + testing::Quote(path) + " 2>&1",
      &status);
  EXPECT_EQ(status, 0) << oracle.substr(0, 300);
  std::string ours = testing::Run(std::string(QV_BINARY_DIR) + "/tools/jetdump/jetdump --json" + args + " " +
                                      testing::Quote(path) + " 2>&1",
                                  &status);
  EXPECT_EQ(status, 0) << ours.substr(0, 300);
  auto tablesPart = [](const std::string& json) {
    return json.substr(std::min(json.size(), json.find("\"tables\"")));
  };
  EXPECT_EQ(tablesPart(oracle), tablesPart(ours));
  EXPECT_NE(tablesPart(oracle), "");
}

TEST(GlobalMap, PromotedReferenceMapKeepsFreedPagesAcrossReopens) {
  ScratchDir dir;
  std::string path = dir.Path("g.mdb");
  CreateDatabase(path, DatabaseFormat::Jet4);
  std::set<std::uint32_t> freed;
  std::uint32_t grown = 0;
  {
    auto db = Database::Open(path);
    EXPECT_EQ(GlobalRow(*db)[0], 0) << "a new file starts with an inline global map";
    {
      WriteOperation op(*db->sharedFile());
      for (int i = 0; i < 1400; ++i) {
        std::uint32_t n = op.writer().AllocatePage();
        db->pages().PutPage(n, std::make_shared<const Bytes>(db->header().layout.pageSize, 0x5a));
      }
      op.Commit();
    }
    grown = db->pages().pageCount();
    ASSERT_GT(grown, 1400u);
    // Pages far apart: no 512-page window holds them all.
    WriteOperation op(*db->sharedFile());
    for (std::uint32_t p = 20; p < grown; p += 7) {
      op.writer().FreePage(p);
      freed.insert(p);
    }
    op.Commit();
  }
  {
    auto db = Database::Open(path);
    Bytes row = GlobalRow(*db);
    ASSERT_EQ(row[0], 1) << "the inline map should have become a reference map";
    EXPECT_EQ(row.size(), 69u) << "promoted in place, same row length";
    ASSERT_NO_FATAL_FAILURE(CheckBitmapPages(*db, row));
    std::set<std::uint32_t> listed = FreePages(*db);
    for (auto p : freed) EXPECT_TRUE(listed.count(p)) << "freed page " << p << " not listed";
    // Every freed page comes back before the file grows.
    std::set<std::uint32_t> got = AllocateUntilGrowth(*db);
    for (auto p : freed) EXPECT_TRUE(got.count(p)) << "freed page " << p << " not reused";
    for (auto p : got) EXPECT_LT(p, grown + 3) << p;
    // Free some again, both low and high; they survive another reopen.
    WriteOperation op(*db->sharedFile());
    freed = {30, 41, 900, 1350};
    for (auto p : freed) op.writer().FreePage(p);
    op.Commit();
  }
  {
    auto db = Database::Open(path);
    ASSERT_EQ(GlobalRow(*db)[0], 1);
    std::set<std::uint32_t> listed = FreePages(*db);
    for (auto p : freed) EXPECT_TRUE(listed.count(p)) << p;
    std::set<std::uint32_t> got = AllocateUntilGrowth(*db);
    EXPECT_EQ(got, freed);
    EXPECT_TRUE(FreePages(*db).empty() || *FreePages(*db).begin() >= 2);
    // Pages freed all over the file go to a new table: its data and long-value pages spread
    // past any 512-page window, so its own page map becomes a reference map too.
    {
      WriteOperation op(*db->sharedFile());
      for (std::uint32_t p = 25; p < grown; p += 11) op.writer().FreePage(p);
      op.Commit();
    }
    std::vector<qv::Column> cols(3);
    cols[0] = {"ID", qv::ColumnType::Int32, 0, 0, 0, true};
    cols[1] = {"Name", qv::ColumnType::Text, 50};
    cols[2] = {"Notes", qv::ColumnType::Memo};
    CreateTable(*db, "Spread", cols);
    TableInserter ins(*db, "Spread");
    for (int i = 0; i < 600; ++i)
      ins.Insert({std::monostate{}, "row " + std::to_string(i),
                  std::string(i % 4 == 0 ? 3000 : 40, static_cast<char>('a' + i % 26))});
    const TableDefinition t = db->ReadDefinition("Spread");
    EXPECT_EQ(ReadRowAt(db->pages(), db->header().layout, RowPointer::Decode(t.usedPagesPointer)).bytes[0], 1)
        << "the table's page map should have become a reference map";
  }
  ASSERT_NO_FATAL_FAILURE(CheckReadable(path, {"Spread"}));
}

TEST(GlobalMap, InlineWindowMovesWhenEveryFreePageStaysCovered) {
  ScratchDir dir;
  std::string path = dir.Path("w.mdb");
  CreateDatabase(path, DatabaseFormat::Jet4);
  auto db = Database::Open(path);
  std::uint32_t high = 0;
  {
    WriteOperation op(*db->sharedFile());
    for (int i = 0; i < 900; ++i) {
      std::uint32_t n = op.writer().AllocatePage();
      db->pages().PutPage(n, std::make_shared<const Bytes>(db->header().layout.pageSize, 0x5a));
      high = std::max(high, n);
    }
    op.Commit();
  }
  // A new file marks free only the pages it does not have yet; the appended pages are unmarked,
  // so nothing is free now and freeing a page past 512 only moves the window.
  ASSERT_TRUE(FreePages(*db).empty());
  {
    WriteOperation op(*db->sharedFile());
    op.writer().FreePage(high);
    op.Commit();
  }
  Bytes row = GlobalRow(*db);
  ASSERT_EQ(row[0], 0) << "the window should have moved, not been promoted";
  EXPECT_EQ(LoadU32(row.data() + 1), high - high % 8);
  EXPECT_EQ(FreePages(*db), std::set<std::uint32_t>{high});
  // Now a page below the window: no window holds both, the map becomes a reference map.
  {
    WriteOperation op(*db->sharedFile());
    op.writer().FreePage(20);
    op.Commit();
  }
  row = GlobalRow(*db);
  ASSERT_EQ(row[0], 1);
  ASSERT_NO_FATAL_FAILURE(CheckBitmapPages(*db, row));
  EXPECT_EQ(FreePages(*db), (std::set<std::uint32_t>{20, high}));
  // A failed operation undoes a promotion with everything else.
  {
    WriteOperation op(*db->sharedFile());
    op.writer().FreePage(high - 1);
  }
  EXPECT_EQ(FreePages(*db), (std::set<std::uint32_t>{20, high}));
}

TEST(GlobalMap, AccessMadeReferenceMapTakesFreedPages) {
  // An Access 2000 file whose global map Access itself wrote as a reference map: 101-byte row,
  // 25 slots, none naming a bitmap page (the last holds 0xffffff80).
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2000/testRefGlobalV2000.mdb", "r.mdb");
  Bytes original;
  std::uint32_t pages = 0;
  {
    auto db = Database::Open(path);
    original = GlobalRow(*db);
    ASSERT_EQ(original[0], 1);
    ASSERT_EQ(original.size(), 101u);
    pages = db->pages().pageCount();
    DropTable(*db, "Table4");
  }
  std::set<std::uint32_t> listed;
  {
    auto db = Database::Open(path);
    Bytes row = GlobalRow(*db);
    ASSERT_EQ(row.size(), 101u);
    ASSERT_NO_FATAL_FAILURE(CheckBitmapPages(*db, row));
    EXPECT_EQ(LoadU32(row.data() + 97), LoadU32(original.data() + 97)) << "Access' last slot is kept";
    EXPECT_NE(LoadU32(row.data() + 1), 0u) << "the freed pages need a bitmap page";
    listed = FreePages(*db);
    EXPECT_FALSE(listed.empty());
    std::set<std::uint32_t> got = AllocateUntilGrowth(*db);
    for (auto p : listed) {
      PagePtr pg = db->pages().ReadPage(p);
      EXPECT_TRUE(got.count(p)) << "listed page " << p << " not reused";
    }
    for (auto p : got) EXPECT_LT(p, pages + 1) << p;
  }
  ASSERT_NO_FATAL_FAILURE(CheckReadable(path, {"Table1", "Table2", "Table3"}));
}

}  // namespace
}  // namespace qv::jet
