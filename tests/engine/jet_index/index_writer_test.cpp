// Index trees: the checker accepts every Access-made index of the corpus (so it knows the
// format), then entries inserted into copies of corpus files (enough to split leaves and nodes
// and grow new root levels) and removed again leave trees the checker accepts, with exactly the
// entries expected, and files mdbtools and mdb-reader still read.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/index_key.h"
#include "engine/jet/write/index_writer.h"
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
        EXPECT_TRUE(report.problems.empty()) << path << " " << e.name << " index " << ri << "\n" << Problems(report);
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
        testing::Run("mdb-export " + testing::Quote(path) + " " + testing::Quote(sc.table) + " >/dev/null 2>&1", &st);
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

}  // namespace
}  // namespace qv::jet
