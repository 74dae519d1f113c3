// Writers killed at many points while they insert, and a long random sequence of inserts checked
// against a reference model with reopenings: the file always opens, reads back as a prefix of
// what was written (never a torn row), agrees with mdbtools, and no page is ever both in use and
// free, or used twice.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "test_files.h"

namespace qv::jet {
namespace {

using testing::ReadAll;
using testing::ScratchDir;

// jobDB1 of testPromotion: ID, MainNumber (long), PhaseNumber (double), seven text columns.
const char* kFile2003 = "jackcess/src/test/data/V2003/testPromotionV2003.mdb";
const char* kFile2010 = "jackcess/src/test/data/V2010/testPromotionV2010.accdb";
const char* kTable = "jobDB1";

qv::Row ModelRow(std::uint64_t i, std::size_t columns) {
  qv::Row r(columns);
  r[0] = static_cast<std::int64_t>(i);
  r[1] = static_cast<std::int64_t>(i * 7 % 1000);
  r[2] = static_cast<double>(i) / 4.0;
  for (std::size_t c = 3; c < columns; ++c) {
    if ((i + c) % 5 == 0) continue;  // NULL
    if (c == 9)
      r[c] = static_cast<double>(i) * 1.5;  // FullNumber is a Double
    else
      r[c] = "row " + std::to_string(i) + " col " + std::to_string(c) + std::string((i * c) % 180, 'x');
  }
  return r;
}

// Page accounting of the whole file: every page a table's usage map lists is in use and not
// marked free in the global map, and no page belongs to two tables.
void CheckPages(Database& db) {
  PageStore& ps = db.pages();
  const Layout& l = db.header().layout;
  UsageMap global = UsageMap::Read(ps, l, {1, 0});
  std::set<std::uint32_t> freePages;
  for (auto p : global.Pages()) freePages.insert(p);
  std::map<std::uint32_t, std::string> owner;
  for (const auto& e : db.catalog()) {
    if (!e.isTable()) continue;
    TableDefinition t = ReadTableDefinition(ps, db.header(), e.tablePage(), e.name);
    UsageMap used = UsageMap::Read(ps, l, RowPointer::Decode(t.usedPagesPointer));
    for (auto p : used.Pages()) {
      if (p >= ps.pageCount()) continue;
      PagePtr page = ps.ReadPage(p);
      if ((*page)[0] != page_type::kData || LoadU32(page->data() + 4) != t.firstPage) continue;
      EXPECT_FALSE(freePages.count(p)) << "page " << p << " of " << e.name << " is marked free";
      auto [it, fresh] = owner.emplace(p, e.name);
      EXPECT_TRUE(fresh) << "page " << p << " belongs to " << it->second << " and " << e.name;
    }
  }
}

TEST(CrashSafety, WriterKilledWhileInsertingLeavesACleanPrefix) {
  std::mt19937 rng(20261207);
  int killed = 0;
  for (const char* rel : {kFile2003, kFile2010}) {
    for (int round = 0; round < 8; ++round) {
      ScratchDir dir;
      std::string path = dir.Copy(rel, "db");
      std::string progress = dir.Path("progress");
      int killAt = static_cast<int>(rng() % 400) + 1;
      pid_t child = ::fork();
      ASSERT_GE(child, 0);
      if (child == 0) {
        try {
          auto db = Database::Open(path);
          TableInserter ins(*db, kTable);
          FileWriter& w = FileWriter::Attach(*db->sharedFile());
          w.maxDirtyPages = 6;  // checkpoint often
          std::uint64_t inserted = 0;
          int calls = 0;
          w.faultHook = [&](const char*) {
            if (++calls == killAt) ::_exit(0);
          };
          for (inserted = 0; inserted < 3000; ++inserted)
            ins.Insert(ModelRow(inserted, ins.definition().columns.size()));
        } catch (...) {
          ::_exit(2);
        }
        ::_exit(3);
      }
      int status = 0;
      ::waitpid(child, &status, 0);
      ASSERT_TRUE(WIFEXITED(status));
      if (WEXITSTATUS(status) == 3) continue;  // finished before the kill point
      ASSERT_EQ(WEXITSTATUS(status), 0);
      ++killed;
      // Before our program opens the file again (and undoes a journal), a reader that knows
      // nothing of the journal reads the table without an error: the save writes new pages and
      // syncs them before any page names them.
      std::size_t seenByOthers = 0;
      if (testing::HaveMdbTools()) {
        int st = 0;
        const std::string out = dir.Path("export.csv"), err = dir.Path("export.err");
        testing::Run("mdb-export -H " + testing::Quote(path) + " " + kTable + " >" + testing::Quote(out) +
                         " 2>" + testing::Quote(err),
                     &st);
        EXPECT_EQ(st, 0) << rel << " killed at hook call " << killAt;
        EXPECT_EQ(testing::Run("cat " + testing::Quote(err)), "") << rel << " killed at hook call " << killAt;
        seenByOthers = std::stoul(testing::Run("wc -l <" + testing::Quote(out)));
      }
      auto db = Database::Open(path);
      EXPECT_FALSE(std::filesystem::exists(path + "-journal"));
      auto rows = ReadAll(*db, kTable);
      std::size_t columns = db->ReadDefinition(kTable).columns.size();
      for (std::size_t i = 0; i < rows.size(); ++i)
        ASSERT_EQ(rows[i], ModelRow(i, columns)) << rel << " row " << i;
      EXPECT_EQ(db->ReadDefinition(kTable).rowCount, rows.size());
      CheckPages(*db);
      if (testing::HaveMdbTools()) {
        int st = 0;
        std::string n = testing::Run("mdb-count " + testing::Quote(path) + " " + kTable, &st);
        EXPECT_EQ(st, 0);
        EXPECT_EQ(std::stoul(n), rows.size()) << rel << " killed at hook call " << killAt;
        // What the others saw was the last save or a later state, never fewer rows.
        EXPECT_GE(seenByOthers, rows.size()) << rel << " killed at hook call " << killAt;
      }
    }
  }
  EXPECT_GE(killed, 12) << "the writers should have been killed mid-way";
}

TEST(Model, RandomInsertsWithReopeningsMatchTheModel) {
  std::mt19937 rng(7);
  for (const char* rel : {kFile2003, kFile2010}) {
    ScratchDir dir;
    std::string path = dir.Copy(rel, "db");
    std::vector<qv::Row> model;
    std::size_t columns = 0;
    {
      auto db = Database::Open(path);
      model = ReadAll(*db, kTable);
      columns = db->ReadDefinition(kTable).columns.size();
    }
    std::uint64_t next = 100000;
    for (int session = 0; session < 12; ++session) {
      auto db = Database::Open(path);
      TableInserter ins(*db, kTable);
      int n = static_cast<int>(rng() % 300);
      for (int k = 0; k < n; ++k) {
        qv::Row row = ModelRow(next++, columns);
        if (rng() % 50 == 0) {
          // A bad row in the middle: refused, nothing of it written.
          qv::Row bad = row;
          bad[1] = std::string("not a number");
          EXPECT_THROW(ins.Insert(bad), Error);
        }
        ins.Insert(row);
        model.push_back(row);
      }
      if (rng() % 3 == 0) FileWriter::Attach(*db->sharedFile()).Checkpoint();
      // A second connection sees exactly the model, before or after a checkpoint.
      auto other = Database::Open(path);
      ASSERT_EQ(ReadAll(*other, kTable), model) << rel << " session " << session;
    }
    auto db = Database::Open(path);
    ASSERT_EQ(ReadAll(*db, kTable), model);
    EXPECT_EQ(db->ReadDefinition(kTable).rowCount, model.size());
    CheckPages(*db);
  }
}

// Inserts, drops and reopenings mixed: pages a dropped table gave back are filled by another
// table, and the page accounting never double-books a page.
TEST(Model, DroppedPagesAreRefilledWithoutDoubleBooking) {
  ScratchDir dir;
  std::string path = dir.Copy("jackcess/src/test/data/V2003/queryTestV2003.mdb", "q.mdb");
  auto fill = [&](const char* table, int rows, int seed) {
    auto db = Database::Open(path);
    TableInserter ins(*db, table);
    for (int i = 0; i < rows; ++i) {
      qv::Row r(ins.definition().columns.size());
      for (std::size_t c = 0; c < r.size(); ++c)
        r[c] = std::string(10 + static_cast<std::size_t>(i * 7 + seed) % 40, static_cast<char>('a' + c));
      ins.Insert(r);
    }
  };
  fill("Table1", 800, 1);
  std::uint32_t grown = 0;
  {
    auto db = Database::Open(path);
    grown = db->pages().pageCount();
    DropTable(*db, "Table1");
    CheckPages(*db);
  }
  fill("Table2", 700, 2);
  auto db = Database::Open(path);
  EXPECT_LE(db->pages().pageCount(), grown + 2) << "Table2 should take the pages Table1 gave back";
  EXPECT_EQ(ReadAll(*db, "Table2").size(), 700u);
  EXPECT_TRUE(ReadAll(*db, "Table3").empty());
  CheckPages(*db);
  if (testing::HaveMdbTools()) {
    int st = 0;
    EXPECT_EQ(std::stoul(testing::Run("mdb-count " + testing::Quote(path) + " Table2", &st)), 700u);
    EXPECT_EQ(testing::Run("mdb-tables -1 " + testing::Quote(path)), "Table2\nTable3\n");
  }
}

}  // namespace
}  // namespace qv::jet
