// Writing into copies of Access-made files of every version (Jet4, ACE12, ACE14, ACE16, ACE17):
// a table created and filled, every table copied, tables dropped, last one the file's own.
// Afterwards, value by value, the file's other tables, its saved queries (MSysQueries rows), its
// relationships (MSysRelationships rows) and the catalog rows of its objects read exactly as
// before, in our reader, in mdbtools' export and in mdb-reader; the copies read as their sources,
// and the page accounting finds no page owned twice or lost, and no long value left behind,
// beyond what the original file already had.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "../jet_index/index_walk.h"
#include "../jet_write/test_files.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/jet/write/usage_map_writer.h"
#include "page_accounting.h"

namespace qv::jet::testing {
namespace {

std::vector<std::string> ReadRows(Database& db, const std::string& table) {
  auto r = db.ReadTable(table, ReadOptions{true});
  std::vector<std::string> rows;
  qv::Row row;
  while (r->Next(row)) {
    std::string s;
    for (const auto& v : row) {
      auto t = qv::FormatValueText(v);
      s += (t ? "'" + *t + "'" : std::string("NULL")) + "|";
    }
    rows.push_back(std::move(s));
  }
  return rows;
}

bool HasTable(Database& db, const std::string& name) {
  for (const auto& e : db.catalog())
    if (e.isTable() && e.name == name) return true;
  return false;
}

// What must not change: every user table's rows, MSysQueries, MSysRelationships, and the
// catalog rows of every object but the ones named in `skip`.
struct Snapshot {
  std::map<std::string, std::vector<std::string>> tables;
  std::vector<std::string> queries, relationships, catalog;
};

Snapshot Take(Database& db, const std::set<std::string>& skip) {
  Snapshot s;
  for (const auto& n : db.UserTableNames())
    if (!skip.count(n)) s.tables[n] = ReadRows(db, n);
  if (HasTable(db, "MSysQueries")) s.queries = ReadRows(db, "MSysQueries");
  if (HasTable(db, "MSysRelationships")) s.relationships = ReadRows(db, "MSysRelationships");
  for (const auto& row : ReadRows(db, "MSysObjects")) {
    bool mine = false;
    for (const auto& n : skip) mine = mine || row.find("|'" + n + "'|") != std::string::npos;
    if (!mine) s.catalog.push_back(row);
  }
  return s;
}

std::string MdbExport(const std::string& path, const std::string& table) {
  return Run("mdb-export " + Quote(path) + " " + Quote(table) + " 2>&1");
}

// mdbtools' list of user tables, one a line, with a line break before the first.
std::string MdbTables(const std::string& path) {
  return "\n" + Run("mdb-tables -1 " + Quote(path));
}

// mdb-reader's dump of the tables `args` names (--table=...); it must read every one of them.
std::string MdbReader(const std::string& args, const std::string& path) {
  int status = -1;
  std::string out = Run("node " + Quote(MdbReaderDump()) + args + " " + Quote(path) + " 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}

TEST(WrittenCorpusFiles, KeepTheirTablesQueriesAndRelationshipsValueByValue) {
  // Each with an Access-made table dropped last whose catalog row keeps its properties (LvProp)
  // on LVAL pages: on a page shared with other objects' properties (pivot, queryTest*, badDb), on
  // a page of its own (githubIssue16, bigint, extDateTest), as a chain (ASampleDatabase). The
  // tables of indexTestV2000 are all in relationships.
  const struct {
    const char* rel;
    const char* drop;
  } files[] = {
      {"ucanaccess/src/test/resources/testdbs/pivot.mdb", "t_pivot"},  // Jet4: queries, relationships
      {"jackcess/src/test/data/V2003/queryTestV2003.mdb", "Table2"},   // Jet4: 95 query rows
      {"jackcess/src/test/data/V2000/indexTestV2000.mdb", nullptr},    // Jet4: relationships
      {"ucanaccess/src/test/resources/testdbs/githubIssue16.accdb", "Designation"},  // ACE12
      {"mdb-reader/test/data/real/ASampleDatabase.accdb", "Asset Items"},            // ACE12, Access sample
      {"ucanaccess/src/test/resources/testdbs/badDb.accdb", "t t"},                  // ACE14
      {"jackcess/src/test/data/V2010/queryTestV2010.accdb", "Table1"},               // ACE14
      {"mdb-reader/test/data/V2016/bigint.accdb", "Table"},                          // ACE16: relationships
      {"jackcess/src/test/data/V2019/extDateTestV2019.accdb", "Table1"},             // ACE17: relationships
  };
  for (const auto& file : files) {
    const std::string rel = file.rel;
    SCOPED_TRACE(rel);
    ScratchDir dir;
    const std::string ext = rel.substr(rel.rfind('.'));
    const std::string path = dir.Copy(rel, "w" + ext);
    Snapshot before;
    std::set<std::string> baseline;
    std::vector<std::string> names;
    {
      auto db = Database::Open(path);
      names = db->UserTableNames();
      before = Take(*db, {});
      baseline = PageAccounting(*db).Run().problems;
      for (const auto& p : qv::jet::testing::WalkEveryIndex(*db).problems)
        baseline.insert("index walker: " + p);
    }
    // The oracles' reading of every table but the one dropped last.
    std::map<std::string, std::string> exportsBefore;
    std::string readerArgs;
    for (const auto& n : names) {
      if (file.drop && n == file.drop) continue;
      if (HaveMdbTools()) exportsBefore[n] = MdbExport(path, n);
      readerArgs += " --table=" + Quote(n);
    }
    const bool reader = HaveMdbReader() && !readerArgs.empty();
    const std::string readerBefore = reader ? MdbReader(readerArgs, path) : "";
    const std::string queriesBefore = MdbExport(path, "MSysQueries");
    const std::string relationsBefore = MdbExport(path, "MSysRelationships");
    ASSERT_FALSE(before.catalog.empty());

    // Create and fill a table, copy it and every table of the file that can be copied, drop.
    std::set<std::string> made{"QvNew", "QvNew2"};
    std::map<std::string, std::string> copies;  // copy -> source
    std::vector<std::string> newRows;
    // The file's own tables, queries, relationships and catalog rows are as they were, and no page
    // has a problem the original file did not have.
    auto expectKept = [&](Database& db) {
      Snapshot after = Take(db, made);
      EXPECT_EQ(after.tables, before.tables);
      EXPECT_EQ(after.queries, before.queries);
      EXPECT_EQ(after.relationships, before.relationships);
      EXPECT_EQ(after.catalog, before.catalog);
      for (const auto& p : PageAccounting(db).Run().problems)
        if (!baseline.count(p)) ADD_FAILURE() << p;
      // every index of the file (the catalog's, and those of the tables copied) holds its rows
      for (const auto& p : qv::jet::testing::WalkEveryIndex(db).problems)
        if (!baseline.count("index walker: " + p)) ADD_FAILURE() << "index walker: " << p;
    };
    {
      auto db = Database::Open(path);
      std::vector<qv::Column> cols(6);
      cols[0] = {"ID", qv::ColumnType::Int32, 0, 0, 0, true};
      cols[1] = {"Name", qv::ColumnType::Text, 50};
      cols[2] = {"Notes", qv::ColumnType::Memo};
      cols[3] = {"Amount", qv::ColumnType::Double};
      cols[4] = {"When", qv::ColumnType::DateTime};
      cols[5] = {"Flag", qv::ColumnType::Boolean};
      CreateTable(*db, "QvNew", cols);
      TableInserter ins(*db, "QvNew");
      for (int i = 0; i < 300; ++i) {
        qv::Timestamp ts;
        ts.year = 1950 + i % 80;
        ts.month = static_cast<std::uint8_t>(1 + i % 12);
        ts.day = static_cast<std::uint8_t>(1 + i % 28);
        ts.hour = static_cast<std::uint8_t>(i % 24);
        std::string memo = i % 50 == 0   ? std::string(9000, 'm')
                           : i % 10 == 0 ? std::string(3000, 'k')
                                         : "note " + std::to_string(i);
        ins.Insert(
            {std::monostate{}, "Zeile " + std::to_string(i) + " Ærø €", memo, i * 1.5, ts, i % 2 == 0});
      }
      newRows = ReadRows(*db, "QvNew");
      CopyTable(*db, "QvNew", "QvNew2");
      for (std::size_t i = 0; i < names.size(); ++i) {
        std::string copy = "QvCopy" + std::to_string(i);
        try {
          CopyTable(*db, names[i], copy);
        } catch (const qv::Error& e) {
          ASSERT_EQ(e.number(), errc::kNotSupported) << e.description();
          continue;
        }
        copies[copy] = names[i];
        made.insert(copy);
      }
      DropTable(*db, "QvNew");
    }
    {
      auto db = Database::Open(path);
      expectKept(*db);
      EXPECT_FALSE(HasTable(*db, "QvNew"));
      EXPECT_EQ(ReadRows(*db, "QvNew2"), newRows);
      for (const auto& [copy, source] : copies) EXPECT_EQ(ReadRows(*db, copy), before.tables[source]) << copy;
      // Everything we made goes again; the file keeps what it had.
      DropTable(*db, "QvNew2");
      for (const auto& [copy, source] : copies) DropTable(*db, copy);
    }
    {
      auto db = Database::Open(path);
      expectKept(*db);
    }
    if (HaveMdbTools()) {
      EXPECT_EQ(MdbExport(path, "MSysQueries"), queriesBefore);
      EXPECT_EQ(MdbExport(path, "MSysRelationships"), relationsBefore);
    }
    if (!file.drop) continue;
    // An Access-made table goes, and with it its catalog row's long values: no LVAL row or page
    // is left behind, and both oracles read every other table as before.
    {
      auto db = Database::Open(path);
      ASSERT_TRUE(HasTable(*db, file.drop));
      DropTable(*db, file.drop);
    }
    {
      auto db = Database::Open(path);
      EXPECT_FALSE(HasTable(*db, file.drop));
      made.insert(file.drop);
      Snapshot after = Take(*db, made);
      before.tables.erase(file.drop);
      EXPECT_EQ(after.tables, before.tables);
      EXPECT_EQ(after.queries, before.queries);
      EXPECT_EQ(after.relationships, before.relationships);
      std::erase_if(before.catalog, [&](const std::string& row) {
        return row.find("|'" + std::string(file.drop) + "'|") != std::string::npos;
      });
      EXPECT_EQ(after.catalog, before.catalog);
      for (const auto& p : PageAccounting(*db).Run().problems)
        if (!baseline.count(p)) ADD_FAILURE() << p;
    }
    if (HaveMdbTools()) {
      EXPECT_EQ(MdbTables(path).find("\n" + std::string(file.drop) + "\n"), std::string::npos);
      for (const auto& [n, text] : exportsBefore) EXPECT_EQ(MdbExport(path, n), text) << n;
    }
    if (reader) {
      EXPECT_EQ(MdbReader(readerArgs, path), readerBefore);
    }
  }
}

// An inserter kept on one connection while another connection changes the catalog: an unrelated
// new table leaves it writing; its table dropped, or dropped and made again with other columns
// (at the definition page it had, so its page hints now name the new table's pages), makes it
// refuse with 3376 before writing. The file stays whole for our page accounting and mdbtools.
TEST(WrittenCorpusFiles, AnInserterNoticesItsTableDroppedThroughAnotherConnection) {
  for (const char* rel : {"jackcess/src/test/data/V2003/queryTestV2003.mdb",
                          "jackcess/src/test/data/V2010/queryTestV2010.accdb"}) {
    SCOPED_TRACE(rel);
    ScratchDir dir;
    const std::string path =
        dir.Copy(rel, std::string("w") + (std::string(rel).ends_with(".mdb") ? ".mdb" : ".accdb"));
    std::set<std::string> baseline;
    {
      auto db = Database::Open(path);
      baseline = PageAccounting(*db).Run().problems;
    }
    std::vector<qv::Column> cols(3), other(2);
    cols[0] = {"ID", qv::ColumnType::Int32, 0, 0, 0, true};
    cols[1] = {"Name", qv::ColumnType::Text, 50};
    cols[2] = {"Notes", qv::ColumnType::Memo};
    other[0] = {"Code", qv::ColumnType::Text, 10};
    other[1] = {"When", qv::ColumnType::DateTime};
    {
      auto a = Database::Open(path), b = Database::Open(path);
      CreateTable(*a, "QvKept", cols);
      TableInserter kept(*a, "QvKept");
      auto row = [](int i) {
        return qv::Row{std::monostate{}, "row " + std::to_string(i),
                       std::string(i % 3 == 0 ? 2000 : 10, 'n')};
      };
      for (int i = 0; i < 40; ++i) kept.Insert(row(i));
      // An unrelated change: the same table, rows go on. A connection whose list is stale still
      // finds a table made through the other one.
      CreateTable(*b, "QvLate", other);
      kept.Insert(row(40));
      TableInserter late(*a, "QvLate");
      late.Insert({"x", "2020-02-02"});
      EXPECT_EQ(ReadRows(*b, "QvKept").size(), 41u);
      // Dropped and made again with other columns; then only dropped.
      const std::uint32_t page = b->FindTable("QvKept").tablePage();
      DropTable(*b, "QvKept");
      CreateTable(*b, "QvKept", other);
      EXPECT_EQ(b->FindTable("QvKept").tablePage(), page) << "the test wants the definition page reused";
      TableInserter fresh(*b, "QvKept");
      for (int i = 0; i < 5; ++i) fresh.Insert({"c" + std::to_string(i), "2021-01-01"});
      for (int step = 0; step < 2; ++step) {
        try {
          kept.Insert(row(99));
          ADD_FAILURE() << "inserted into a table dropped through another connection";
        } catch (const qv::Error& e) {
          EXPECT_EQ(e.number(), errc::kNoSuchTable) << e.description();
          EXPECT_NE(e.description().find("another connection"), std::string::npos) << e.description();
        }
        if (step == 0) DropTable(*b, "QvKept");
      }
    }  // the inserters hold the file open: written out when the last goes
    auto db = Database::Open(path);
    EXPECT_FALSE(HasTable(*db, "QvKept"));
    EXPECT_EQ(ReadRows(*db, "QvLate").size(), 1u);
    for (const auto& p : PageAccounting(*db).Run().problems)
      if (!baseline.count(p)) ADD_FAILURE() << p;
    if (HaveMdbTools()) {
      const std::string out = MdbExport(path, "QvLate");
      EXPECT_EQ(out.substr(0, out.find('\n') + 5), "Code,When\n\"x\",") << out;
    }
  }
}

// When the catalog's data page fills, the new page goes into MSysObjects' free-space map and the
// full one leaves it: Access-made files list only the catalog's last data page there.
TEST(WrittenCorpusFiles, CatalogFreeSpaceMapListsOnlyItsLastPage) {
  ScratchDir dir;
  const std::string made = dir.Path("new.mdb");
  CreateDatabase(made, DatabaseFormat::Jet4);
  for (const std::string& path :
       {made, dir.Copy("jackcess/src/test/data/V2010/queryTestV2010.accdb", "q.accdb")}) {
    SCOPED_TRACE(path);
    auto db = Database::Open(path);
    std::vector<qv::Column> cols(1);
    cols[0] = {"A long column name to fill the catalog", qv::ColumnType::Int32};
    for (int i = 0; i < 120; ++i)
      CreateTable(*db, "A table with a rather long name, number " + std::to_string(i), cols);
    TableDefinition t = db->ReadDefinition("MSysObjects");
    const Layout& l = db->header().layout;
    std::vector<std::uint32_t> used;
    for (auto p : UsageMap::Read(db->pages(), l, RowPointer::Decode(t.usedPagesPointer)).Pages()) {
      PagePtr page = db->pages().ReadPage(p);
      if ((*page)[0] == page_type::kData && LoadU32(page->data() + 4) == t.firstPage) used.push_back(p);
    }
    ASSERT_GE(used.size(), 3u);
    auto free = UsageMap::Read(db->pages(), l, RowPointer::Decode(t.freePagesPointer)).Pages();
    EXPECT_EQ(free, std::vector<std::uint32_t>{used.back()});
  }
}

// A page freed where the global map's 512-page window cannot list it (the window holds another
// free page, so it cannot move) turns the map into a reference map that lists both; both are
// handed out again, once each, and unmarked.
TEST(FreePages, PagesPastTheInlineWindowAreListedAndReused) {
  ScratchDir dir;
  const std::string path = dir.Path("pages.mdb");
  CreateDatabase(path, DatabaseFormat::Jet4);
  auto db = Database::Open(path);
  SharedFile& f = *db->sharedFile();
  std::vector<std::uint32_t> pages;
  {
    WriteOperation op(f);
    while (pages.empty() || pages.back() < pages.front() + 600) {
      std::uint32_t n = op.writer().AllocatePage();
      PutPage(*f.pages, n, Bytes(f.header.layout.pageSize, 0x55));  // any content but zeros
      pages.push_back(n);
    }
    op.Commit();
  }
  const std::uint32_t low = pages.front(), high = pages.back();
  ASSERT_LT(low, 512u);
  UsageMapWriter global(*f.pages, f.header.layout);
  {
    WriteOperation op(f);
    op.writer().FreePage(low);   // listed: the window starts at 0
    op.writer().FreePage(high);  // past the window, which cannot move without losing `low`
    op.Commit();
  }
  EXPECT_TRUE(global.Test({1, 0}, low));
  EXPECT_TRUE(global.Test({1, 0}, high));
  EXPECT_EQ(ReadRowAt(*f.pages, f.header.layout, {1, 0}).bytes[0], 1) << "promoted to a reference map";
  std::set<std::uint32_t> given;
  {
    WriteOperation op(f);
    for (int i = 0; i < 3; ++i) {
      std::uint32_t n = op.writer().AllocatePage();
      PutPage(*f.pages, n, Bytes(f.header.layout.pageSize, 0x66));
      given.insert(n);
    }
    op.Commit();
  }
  EXPECT_TRUE(given.count(low));
  EXPECT_TRUE(given.count(high));
  EXPECT_EQ(given.size(), 3u);
  EXPECT_FALSE(global.Test({1, 0}, low));
  EXPECT_FALSE(global.Test({1, 0}, high));
}

}  // namespace
}  // namespace qv::jet::testing
