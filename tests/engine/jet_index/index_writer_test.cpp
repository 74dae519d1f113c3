// Index trees: the checker accepts every Access-made index of the corpus (so it knows the
// format), then entries inserted into copies of corpus files (enough to split leaves and nodes
// and grow new root levels) and removed again leave trees the checker accepts, with exactly the
// entries expected, and files mdbtools and mdb-reader still read.
#include "engine/jet/write/index_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/index_key.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/usage_map_writer.h"
#include "index_check.h"

namespace qv::jet {
namespace {

using testing::ScratchDir;

std::string Problems(const testing::TreeReport& r) {
  std::string s;
  for (const auto& p : r.problems) s += p + "\n";
  return s;
}

TEST(IndexTree, EveryAccessMadeIndexOfTheCorpusPassesTheChecker) {
  std::size_t trees = 0, multiLevel = 0, entries = 0;
  for (const std::string& path : testing::CorpusDatabases()) {
    std::unique_ptr<Database> db;
    try {
      db = Database::Open(path);
    } catch (const Error&) {
      continue;
    }
    if (db->header().layout.jet3) continue;
    for (const CatalogEntry& e : db->catalog()) {
      if (!e.isTable() || !e.database.empty() || !e.connect.empty()) continue;
      TableDefinition def;
      try {
        def = db->ReadDefinition(e.name);
      } catch (const Error&) {
        continue;
      }
      for (std::size_t ri = 0; ri < def.realIndexes.size(); ++ri) {
        testing::TreeChecker checker(db->pages(), def.firstPage);
        auto report = checker.Check(def.realIndexes[ri].firstPage);
        EXPECT_TRUE(report.problems.empty()) << path << " " << e.name << " index " << ri << "\n"
                                             << Problems(report);
        ++trees;
        entries += report.entries.size();
        if (report.depth > 1) ++multiLevel;
        // our reader of the tree agrees with the checker
        auto ours = ReadIndexEntries(db->pages(), def, ri);
        ASSERT_EQ(ours.size(), report.entries.size()) << path << " " << e.name;
        for (std::size_t i = 0; i < ours.size(); ++i) {
          EXPECT_EQ(ours[i].key, report.entries[i].key);
          EXPECT_EQ(ours[i].row, report.entries[i].row);
        }
      }
    }
  }
  std::printf("index trees checked: %zu (%zu with node pages), %zu entries\n", trees, multiLevel, entries);
  EXPECT_GT(trees, 500u);
  EXPECT_GE(multiLevel, 5u);
}

// Many entries into one index of a copy, in a shuffled order, then removed again.
struct Scenario {
  const char* file;
  const char* table;
  std::size_t realIndex;
};

Bytes TextKey(std::size_t i, const SortOrder& sort) {
  // long keys: few entries per page, so leaves and nodes split and the tree grows levels
  char buf[64];
  std::snprintf(buf, sizeof buf, "%06zu", i * 7919 % 1000003);
  std::string s = std::string(buf) + " customer of the northern region, account " + buf;
  return TextIndexKey(s, sort);
}

TEST(IndexTree, ThousandsOfInsertsSplitPagesAndGrowLevelsThenRemovalsUndoThem) {
  const Scenario scenarios[] = {
      {"jackcess/src/test/data/V2000/compIndexTestV2000.mdb", "Table1", 0},
      {"jackcess/src/test/data/V2010/indexTestV2010.accdb", "Table1", 0},
  };
  for (const auto& sc : scenarios) {
    SCOPED_TRACE(sc.file);
    ScratchDir dir;
    std::string path = dir.Copy(sc.file, "t" + std::filesystem::path(sc.file).extension().string());
    std::vector<IndexEntryView> before;
    std::vector<std::pair<Bytes, RowPointer>> added;
    const SortOrder sort{0x0409, 0};
    {
      auto db = Database::Open(path);
      TableDefinition def = db->ReadDefinition(sc.table);
      ASSERT_LT(sc.realIndex, def.realIndexes.size());
      before = ReadIndexEntries(db->pages(), def, sc.realIndex);
      std::mt19937 rng(1234);
      std::vector<std::size_t> order(3000);
      for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
      std::shuffle(order.begin(), order.end(), rng);
      {
        WriteOperation op(*db->sharedFile());
        for (std::size_t i : order) {
          // rows that do not exist: the tree does not look at them
          RowPointer r{static_cast<std::uint32_t>(0x100000 + i / 200), static_cast<std::uint8_t>(i % 200)};
          Bytes key = TextKey(i, sort);
          InsertIndexEntry(op.writer(), def, sc.realIndex, key, r);
          added.push_back({key, r});
        }
        op.Commit();
      }
      testing::TreeChecker checker(db->pages(), def.firstPage);
      auto report = checker.Check(def.realIndexes[sc.realIndex].firstPage);
      EXPECT_TRUE(report.problems.empty()) << Problems(report);
      EXPECT_GE(report.depth, 3u) << "the tree should have grown two levels";
      EXPECT_EQ(report.entries.size(), before.size() + added.size());
      std::multiset<std::pair<Bytes, RowPointer>> want(added.begin(), added.end()), have;
      for (const auto& b : before) want.insert({b.key, b.row});
      for (const auto& e : report.entries) have.insert({e.key, e.row});
      EXPECT_TRUE(want == have);
      // the index's usage map lists every page of the tree
      UsageMap map = UsageMap::Read(db->pages(), db->header().layout,
                                    RowPointer::Decode(def.realIndexes[sc.realIndex].usedPagesPointer));
      auto listed = map.Pages();
      std::set<std::uint32_t> mapped(listed.begin(), listed.end());
      for (std::uint32_t p : report.pageNumbers) EXPECT_TRUE(mapped.count(p)) << "page " << p;
    }
    // the file as written to disk: the same tree, and the oracles still read every table
    {
      auto db = Database::Open(path);
      TableDefinition def = db->ReadDefinition(sc.table);
      testing::TreeChecker checker(db->pages(), def.firstPage);
      auto report = checker.Check(def.realIndexes[sc.realIndex].firstPage);
      EXPECT_TRUE(report.problems.empty()) << Problems(report);
      EXPECT_EQ(report.entries.size(), before.size() + added.size());
      if (testing::HaveMdbTools()) {
        int st = 0;
        testing::Run(
            "mdb-export " + testing::Quote(path) + " " + testing::Quote(sc.table) + " >/dev/null 2>&1", &st);
        EXPECT_EQ(st, 0);
      }
      // removals in another order
      std::mt19937 rng(99);
      std::shuffle(added.begin(), added.end(), rng);
      {
        WriteOperation op(*db->sharedFile());
        for (std::size_t i = 0; i < added.size(); ++i) {
          RemoveIndexEntry(op.writer(), def, sc.realIndex, added[i].second);
          if (i % 500 == 0) {
            auto mid = checker.Check(def.realIndexes[sc.realIndex].firstPage);
            ASSERT_TRUE(mid.problems.empty()) << "after " << i << " removals\n" << Problems(mid);
          }
        }
        op.Commit();
      }
      auto after = ReadIndexEntries(db->pages(), def, sc.realIndex);
      ASSERT_EQ(after.size(), before.size());
      for (std::size_t i = 0; i < after.size(); ++i) {
        EXPECT_EQ(after[i].key, before[i].key);
        EXPECT_EQ(after[i].row, before[i].row);
      }
      auto report2 = checker.Check(def.realIndexes[sc.realIndex].firstPage);
      EXPECT_TRUE(report2.problems.empty()) << Problems(report2);
    }
  }
}

TEST(IndexTree, DropTableRemovesCatalogEntriesFromMultiLevelIndexes) {
  // Both catalog indexes of this file have node pages (Access made them).
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2007/odbcLinkerTestV2007.accdb", "o.accdb");
  std::size_t catalogBefore = 0, acesBefore = 0;
  {
    auto db = Database::Open(path);
    TableDefinition cat = db->ReadDefinition("MSysObjects");
    TableDefinition aces = db->ReadDefinition("MSysACEs");
    testing::TreeChecker checker(db->pages(), cat.firstPage);
    std::size_t multi = 0;
    for (const auto& ri : cat.realIndexes) {
      auto r = checker.Check(ri.firstPage);
      multi += r.depth > 1;
      catalogBefore += r.entries.size();
    }
    ASSERT_GE(multi, 1u) << "the file should have a multi-level catalog index";
    testing::TreeChecker acesChecker(db->pages(), aces.firstPage);
    for (const auto& ri : aces.realIndexes) acesBefore += acesChecker.Check(ri.firstPage).entries.size();
    DropTable(*db, "Lokal");
  }
  auto db = Database::Open(path);
  EXPECT_TRUE(db->UserTableNames().empty());
  TableDefinition cat = db->ReadDefinition("MSysObjects");
  TableDefinition aces = db->ReadDefinition("MSysACEs");
  std::size_t catalogAfter = 0, acesAfter = 0;
  testing::TreeChecker checker(db->pages(), cat.firstPage);
  for (const auto& ri : cat.realIndexes) {
    auto r = checker.Check(ri.firstPage);
    EXPECT_TRUE(r.problems.empty()) << Problems(r);
    catalogAfter += r.entries.size();
  }
  testing::TreeChecker acesChecker(db->pages(), aces.firstPage);
  for (const auto& ri : aces.realIndexes) {
    auto r = acesChecker.Check(ri.firstPage);
    EXPECT_TRUE(r.problems.empty()) << Problems(r);
    acesAfter += r.entries.size();
  }
  EXPECT_EQ(catalogAfter, catalogBefore - cat.realIndexes.size()) << "one entry per catalog index goes";
  EXPECT_LT(acesAfter, acesBefore);
  if (testing::HaveMdbTools()) {
    int st = 0;
    std::string out = testing::Run("mdb-tables " + testing::Quote(path), &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(out.find("Lokal"), std::string::npos) << out;
  }
}

TEST(IndexTree, DamagedTreesGiveCleanErrorsNamingThePage) {
  // compIndexTestV2000: Table1's index is a node (page 29) over two leaves (32 and 33).
  struct Damage {
    const char* what;
    std::size_t offset;  // in the file
    std::vector<std::uint8_t> bytes;
  };
  const std::size_t node = 29 * 4096, leaf = 32 * 4096;
  const Damage damages[] = {
      {"child pointer to the table definition", node + 0x1e0 + 9 - 4 + 4, {0, 0, 0, 2}},
      {"child pointer past the end of the file", node + 0x1e0 + 9 - 4 + 4, {0, 0x10, 0, 0}},
      {"tail pointing at the node itself", node + 0x14, {29, 0, 0, 0}},
      {"leaf free count larger than the page", leaf + 2, {0xff, 0xff}},
      {"leaf of another table", leaf + 4, {7, 0, 0, 0}},
      {"leaf prefix longer than its first entry", leaf + 0x18, {0xff, 0x00}},
  };
  for (const auto& d : damages) {
    SCOPED_TRACE(d.what);
    ScratchDir dir;
    std::string path = dir.Copy("jackcess/src/test/data/V2000/compIndexTestV2000.mdb", "d.mdb");
    {
      std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(static_cast<std::streamoff>(d.offset));
      f.write(reinterpret_cast<const char*>(d.bytes.data()), static_cast<std::streamsize>(d.bytes.size()));
    }
    auto db = Database::Open(path);
    TableDefinition def = db->ReadDefinition("Table1");
    ASSERT_EQ(def.realIndexes.at(0).firstPage, 29u);
    // inserts may not pass the damaged part (then they succeed); removal and reading walk the
    // whole tree and must report it
    for (int op = 0; op < 4; ++op) {
      try {
        WriteOperation w(*db->sharedFile());
        if (op == 0) InsertIndexEntry(w.writer(), def, 0, Bytes{0x7f, 0x80, 0, 0, 1}, RowPointer{9, 9});
        if (op == 1) InsertIndexEntry(w.writer(), def, 0, Bytes{0xff}, RowPointer{9, 10});
        if (op == 2) RemoveIndexEntry(w.writer(), def, 0, RowPointer{20, 57});
        if (op == 3) ReadIndexEntries(db->pages(), def, 0);
        if (op >= 2) ADD_FAILURE() << "operation " << op << " went through a damaged tree";
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::kCorrupt) << e.description();
        EXPECT_NE(e.where().find("page"), std::string::npos) << e.where();
      }
    }
  }
}

TEST(IndexTree, ANewEmptyRootTakesEntriesLikeAnAccessMadeOne) {
  // An index whose root is replaced by a new empty root page: it reads empty, then holds what is
  // inserted, and the checker accepts it (the shape CREATE TABLE gives new indexes).
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2000/compIndexTestV2000.mdb", "n.mdb");
  auto db = Database::Open(path);
  TableDefinition def = db->ReadDefinition("Table1");
  {
    WriteOperation op(*db->sharedFile());
    PutPage(db->pages(), def.realIndexes[0].firstPage,
            NewIndexRootPage(def.firstPage, db->pages().pageSize()));
    op.Commit();
  }
  EXPECT_TRUE(ReadIndexEntries(db->pages(), def, 0).empty());
  {
    WriteOperation op(*db->sharedFile());
    for (std::uint32_t i = 0; i < 1200; ++i)
      InsertIndexEntry(
          op.writer(), def, 0,
          Bytes{0x7f, static_cast<std::uint8_t>(0x80 | (i >> 24)), static_cast<std::uint8_t>(i >> 16),
                static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)},
          RowPointer{5000 + i / 100, static_cast<std::uint8_t>(i % 100)});
    op.Commit();
  }
  testing::TreeChecker checker(db->pages(), def.firstPage);
  auto report = checker.Check(def.realIndexes[0].firstPage);
  EXPECT_TRUE(report.problems.empty()) << Problems(report);
  EXPECT_EQ(report.entries.size(), 1200u);
  EXPECT_GE(report.depth, 2u);
}

}  // namespace
}  // namespace qv::jet
