// Table definitions with indexes encoded from what our reader parsed and compared byte for byte
// with every Access-made one of the corpus that the encoder can reproduce (one page, column
// descriptors in column-number order): primary keys, unique and plain indexes, multi-column and
// descending indexes, foreign keys of relationships.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "../jet/test_support.h"
#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/table_definition_writer.h"

namespace qv::jet {
namespace {

TEST(IndexDefinitions, MatchAccessMadeDefinitionsWithIndexes) {
  auto passwords = testing::Passwords();
  std::size_t checked = 0, foreignKeys = 0, descending = 0, oddOrders = 0;
  for (const auto& rel : testing::CorpusFiles()) {
    if (passwords.count(rel)) continue;
    std::unique_ptr<Database> db;
    try {
      db = Database::Open(testing::CorpusDir() + "/" + rel);
    } catch (const qv::Error&) {
      continue;  // encoded or encrypted files
    }
    const Layout& l = db->header().layout;
    if (l.jet3 || db->header().pagesEncoded()) continue;
    for (const auto& e : db->catalog()) {
      if (!e.isTable()) continue;
      TableDefinition t;
      try {
        t = db->ReadDefinition(e.name);
      } catch (const qv::Error&) {
        continue;
      }
      if (t.pages.size() != 1 || t.realIndexes.empty()) continue;
      PagePtr page = db->pages().ReadPage(t.firstPage);
      const Bytes& raw = *page;
      std::uint32_t length = LoadU32(raw.data() + 8);
      std::size_t at = l.tdefRealIndexStart + l.realIndexEntrySize * t.realIndexes.size();
      bool inOrder = true;
      SortOrder sort;
      for (std::size_t i = 0; i < t.columns.size(); ++i) {
        std::size_t c = at + 25 * i;
        if (LoadU16(raw.data() + c + 5) != t.columns[i].number) inOrder = false;
        if (raw[c] == col_type::kText || raw[c] == col_type::kMemo) {
          sort.id = LoadU16(raw.data() + c + 11);
          sort.version = raw[c + 14];
        }
      }
      if (!inOrder) continue;
      SCOPED_TRACE(rel + " " + e.name);
      std::size_t names = at + 25 * t.columns.size();
      for (std::size_t i = 0; i < t.columns.size(); ++i) names += 2 + LoadU16(raw.data() + names);
      std::size_t blocks = names;
      std::size_t p = blocks + 52 * t.realIndexes.size() + 28 * t.indexes.size();
      for (std::size_t i = 0; i < t.indexes.size(); ++i) p += 2 + LoadU16(raw.data() + p);
      std::vector<LongValueMaps> maps;
      for (; p + 2 <= length && LoadU16(raw.data() + p) != 0xffff; p += 10)
        maps.push_back({LoadU16(raw.data() + p), LoadU32(raw.data() + p + 2), LoadU32(raw.data() + p + 6)});

      Bytes ours = EncodeTableDefinitionInOrder(t, sort, maps, l);
      ASSERT_EQ(LoadU32(ours.data() + 8), length);
      std::vector<bool> ignore(length, false);
      auto skip = [&](std::size_t from, std::size_t n) {
        for (std::size_t o = from; o < from + n && o < length; ++o) ignore[o] = true;
      };
      skip(0x1c, 12);  // bytes Access fills unpredictably
      for (std::size_t i = 0; i < t.realIndexes.size(); ++i) skip(l.tdefRealIndexStart + 12 * i, 4);
      for (std::size_t i = 0, c = at; i < t.columns.size(); ++i, c += 25) {
        skip(c + 9, 2);   // the column's original number
        skip(c + 14, 1);  // the sort version: varies from column to column in ACE14 files
        // The sort order on columns that do not sort by it: 0x0409 on most, 0 on some.
        if (raw[c] != col_type::kText && raw[c] != col_type::kMemo && raw[c] != col_type::kNumeric &&
            raw[c] != col_type::kComplex)
          skip(c + 11, 2);
        if (!(raw[c + 15] & col_flag::kFixedLength)) skip(c + 21, 2);
        if (raw[c] == col_type::kNumeric) skip(c + 13, 2);
      }
      for (std::size_t i = 0, b = blocks; i < t.realIndexes.size(); ++i, b += 52) {
        for (std::size_t k = 0; k < 10; ++k) {
          std::size_t order = b + 4 + 3 * k + 2;
          if (LoadU16(raw.data() + b + 4 + 3 * k) == 0xffff) {
            skip(order, 1);  // garbage in unused slots
          } else if (raw[order] != 0x01 && raw[order] != 0x02) {
            skip(order, 1);  // 0 in a few files: the model keeps only ascending or not
            ++oddOrders;
          }
        }
        skip(b + 42, 4);  // garbage
        skip(b + 47, 1);  // 2 on attachment indexes; not in the definition model
        for (const auto& part : t.realIndexes[i].columns) descending += part.ascending ? 0 : 1;
      }
      for (const auto& ix : t.indexes) foreignKeys += ix.foreignKey() ? 1 : 0;
      for (std::size_t o = 0; o < length; ++o) {
        if (ignore[o]) continue;
        ASSERT_EQ(ours[o], raw[o]) << "offset " << o;
      }
      ++checked;
    }
  }
  EXPECT_GT(checked, 100u);
  EXPECT_GT(foreignKeys, 0u);
  std::cout << checked << " definitions with indexes compared (" << foreignKeys << " foreign keys, "
            << descending << " descending index columns, " << oddOrders << " order bytes of 0)\n";
}

}  // namespace
}  // namespace qv::jet
