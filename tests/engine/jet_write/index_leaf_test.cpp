// Index leaf pages as Access wrote them: every leaf of the catalog's indexes in the corpus parses,
// each entry names a live catalog row, and writing the parsed entries back gives the same page.
#include "engine/jet/write/index_leaf.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "test_files.h"

namespace qv::jet {
namespace {

TEST(IndexLeaf, CatalogIndexLeavesOfTheCorpusParseAndRoundTrip) {
  int leaves = 0, entries = 0;
  for (const auto& item : std::filesystem::recursive_directory_iterator(testing::CorpusPath(""))) {
    std::string path = item.path().string();
    if (!item.is_regular_file() || (item.path().extension() != ".mdb" && item.path().extension() != ".accdb"))
      continue;
    std::unique_ptr<Database> db;
    try {
      db = Database::Open(path);
    } catch (const Error&) {
      continue;  // password-protected or encrypted
    }
    if (db->header().layout.jet3) continue;
    SCOPED_TRACE(path);
    PageStore& ps = db->pages();
    TableDefinition cat = db->ReadDefinition("MSysObjects");
    for (const auto& ri : cat.realIndexes) {
      std::uint32_t p = ri.firstPage;
      PagePtr root = ps.ReadPage(p);
      if ((*root)[0] != page_type::kIndexLeaf) continue;  // node pages: not handled here
      std::set<std::uint32_t> seen;
      while (p != 0 && seen.insert(p).second) {
        PagePtr page = ps.ReadPage(p);
        IndexLeaf leaf = ReadIndexLeaf(*page, ps.Where(p, 0));
        ++leaves;
        for (const Bytes& e : leaf.entries) {
          ++entries;
          RowPointer r = EntryRow(e);
          RowRef row = ReadRowAt(ps, db->header().layout, r);  // throws unless live
          EXPECT_EQ(LoadU32(row.page->data() + 4), 2u) << "entry names a row outside the catalog";
        }
        Bytes again = WriteIndexLeaf(*page, leaf, ps.pageSize());
        std::size_t used =
            kIndexEntriesStart + (ps.pageSize() - kIndexEntriesStart - LoadU16(page->data() + 2));
        EXPECT_TRUE(
            std::equal(again.begin(), again.begin() + static_cast<std::ptrdiff_t>(used), page->begin()))
            << "page " << p;
        p = leaf.next;
      }
    }
  }
  EXPECT_GT(leaves, 100);
  EXPECT_GT(entries, 2000);
}

TEST(IndexLeaf, RemovingTheFirstEntryKeepsTheOthersWhole) {
  // A leaf with a shared prefix: removing the first entry must put the prefix back into the
  // entry that becomes first.
  Bytes page(4096, 0);
  page[0] = page_type::kIndexLeaf;
  page[1] = 0x01;
  IndexLeaf leaf;
  leaf.prefixLength = 3;
  leaf.entries = {Bytes{0x7f, 0x80, 0x00, 0x01, 0, 0, 9, 1}, Bytes{0x7f, 0x80, 0x00, 0x02, 0, 0, 9, 2},
                  Bytes{0x7f, 0x80, 0x00, 0x03, 0, 0, 9, 3}};
  Bytes written = WriteIndexLeaf(page, leaf, 4096);
  EXPECT_EQ(LoadU16(written.data() + kIndexPrefixAt), 3u);
  EXPECT_EQ(LoadU16(written.data() + 2), 4096u - 0x1e0 - 8 - 5 - 5);
  IndexLeaf back = ReadIndexLeaf(written, "test");
  ASSERT_EQ(back.entries, leaf.entries);
  back.entries.erase(back.entries.begin());
  IndexLeaf after = ReadIndexLeaf(WriteIndexLeaf(written, back, 4096), "test");
  ASSERT_EQ(after.entries.size(), 2u);
  EXPECT_EQ(after.entries[0], leaf.entries[1]);
  EXPECT_EQ(after.entries[1], leaf.entries[2]);
  EXPECT_EQ(EntryRow(after.entries[1]), (RowPointer{9, 3}));
}

}  // namespace
}  // namespace qv::jet
