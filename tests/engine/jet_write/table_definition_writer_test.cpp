// Table definitions written by us compared byte for byte with the ones Access wrote (tables
// without indexes in the corpus), and new column layouts read back by our reader.

#include "engine/jet/write/table_definition_writer.h"

#include <gtest/gtest.h>

#include "engine/core/error.h"
#include "engine/jet/data_page.h"
#include "engine/jet/database.h"
#include "engine/jet/row_codec.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/row_builder.h"
#include "test_files.h"

namespace qv::jet {
namespace {

struct Case {
  const char* file;
  const char* table;
};

// Index-free tables whose column descriptors Access stored in column-number order.
const Case kAccessMade[] = {
    {"jackcess/src/test/data/V2003/delTestV2003.mdb", "Table"},
    {"jackcess/src/test/data/V2000/delTestV2000.mdb", "Table"},
    {"jackcess/src/test/data/V2003/testPromotionV2003.mdb", "jobDB1"},
    {"jackcess/src/test/data/V2003/fixedNumericTestV2003.mdb", "test"},
    {"jackcess/src/test/data/V2010/delTestV2010.accdb", "Table"},
    {"jackcess/src/test/data/V2010/testPromotionV2010.accdb", "jobDB1"},
    {"jackcess/src/test/data/V2010/fixedNumericTestV2010.accdb", "test"},
    {"jackcess/src/test/data/V2007/delTestV2007.accdb", "Table"},
};

TEST(TableDefinitionWriter, MatchesAccessMadeDefinitions) {
  for (const Case& k : kAccessMade) {
    SCOPED_TRACE(std::string(k.file) + " " + k.table);
    auto db = Database::Open(testing::CorpusPath(k.file));
    TableDefinition t = db->ReadDefinition(k.table);
    ASSERT_EQ(t.pages.size(), 1u);
    const Layout& l = db->header().layout;
    PagePtr page = db->pages().ReadPage(t.firstPage);
    const Bytes& raw = *page;
    std::uint32_t length = LoadU32(raw.data() + 8);
    // What the descriptors say about sort order, and the long-value maps after the names.
    SortOrder sort;
    std::size_t at = 0x3f;
    for (std::size_t i = 0; i < t.columns.size(); ++i, at += 25) {
      if (raw[at] == col_type::kText || raw[at] == col_type::kMemo) {
        sort.id = LoadU16(raw.data() + at + 11);
        sort.version = raw[at + 14];
      }
    }
    std::size_t names = at;
    for (std::size_t i = 0; i < t.columns.size(); ++i) names += 2 + LoadU16(raw.data() + names);
    std::map<std::uint16_t, std::pair<std::uint32_t, std::uint32_t>> maps;
    for (std::size_t p = names; LoadU16(raw.data() + p) != 0xffff; p += 10)
      maps[LoadU16(raw.data() + p)] = {LoadU32(raw.data() + p + 2), LoadU32(raw.data() + p + 6)};

    Bytes ours = EncodeTableDefinition(t, sort, maps, l);
    ASSERT_EQ(LoadU32(ours.data() + 8), length);
    std::vector<bool> ignore(length, false);
    for (std::size_t o = 0x1c; o < 0x28; ++o) ignore[o] = true;  // bytes Access fills unpredictably
    for (std::size_t i = 0, c = 0x3f; i < t.columns.size(); ++i, c += 25) {
      ignore[c + 9] = ignore[c + 10] = true;  // the column's original number (differs after edits)
      if (!(raw[c + 15] & col_flag::kFixedLength)) ignore[c + 21] = ignore[c + 22] = true;  // unused
      if (raw[c] == col_type::kNumeric) ignore[c + 13] = ignore[c + 14] = true;             // unknown, varies
    }
    for (std::size_t o = 0; o < length; ++o) {
      if (ignore[o]) continue;
      ASSERT_EQ(ours[o], raw[o]) << "offset 0x" << std::hex << o;
    }
  }
}

TEST(TableDefinitionWriter, NewColumnsReadBackWithTheirTypes) {
  std::vector<qv::Column> cols;
  auto add = [&](const char* name, ColumnType type, std::uint32_t size = 0) {
    qv::Column c;
    c.name = name;
    c.type = type;
    c.size = size;
    cols.push_back(c);
  };
  add("ID", ColumnType::Int32);
  cols.back().autoIncrement = true;
  add("Name", ColumnType::Text, 40);
  add("Notes", ColumnType::Memo);
  add("Price", ColumnType::Currency);
  add("When", ColumnType::DateTime);
  add("Done", ColumnType::Boolean);
  add("Ratio", ColumnType::Double);
  add("Small", ColumnType::Int16);
  add("Tiny", ColumnType::Byte);
  add("Real", ColumnType::Single);
  add("Key", ColumnType::Guid);
  add("Raw", ColumnType::Binary, 16);
  add("Blob", ColumnType::LongBinary);
  add("Amount", ColumnType::Decimal);
  cols.back().precision = 12;
  cols.back().scale = 3;
  add("Größe", ColumnType::Text);
  Layout l = Layout::For(JetVersion::Jet4);
  TableDefinition t;
  t.name = "New";
  t.columns = LayoutColumns(cols, l);
  t.usedPagesPointer = 0x1200;
  t.freePagesPointer = 0x1201;
  Bytes page = EncodeTableDefinition(t, SortOrder{}, {}, l);
  // Decode it with the reader through a three-page store in memory.
  qv::MemoryFileSystem memory;
  {
    Bytes file(3 * 4096, 0);
    std::copy(page.begin(), page.end(), file.begin() + 2 * 4096);
    memory.Put("tdef.bin", file);
  }
  PageStore store(memory.Open("tdef.bin", qv::OpenMode::kRead), 4096);
  DatabaseHeader h;
  TableDefinition back = ReadTableDefinition(store, h, 2, "New");
  ASSERT_EQ(back.columns.size(), cols.size());
  EXPECT_EQ(back.usedPagesPointer, 0x1200u);
  EXPECT_EQ(back.varColumns, 5u);  // Name, Notes, Raw, Blob, Größe
  for (std::size_t i = 0; i < cols.size(); ++i) {
    qv::Column c = ToCoreColumn(back.columns[i], false);
    EXPECT_EQ(c.name, cols[i].name);
    EXPECT_EQ(c.type, cols[i].type) << c.name;
    EXPECT_EQ(c.autoIncrement, cols[i].autoIncrement) << c.name;
  }
  EXPECT_EQ(ToCoreColumn(back.columns[1], false).size, 40u);
  EXPECT_EQ(back.columns[13].precision, 12);
  EXPECT_EQ(back.columns[13].scale, 3);
  EXPECT_EQ(ToCoreColumn(back.columns[14], false).size, 255u);

  cols[1].size = 256;
  EXPECT_THROW(LayoutColumns(cols, l), Error);
  EXPECT_THROW(LayoutColumns(cols, Layout::For(JetVersion::Jet3)), Error);
}

}  // namespace
}  // namespace qv::jet

namespace qv::jet {
namespace {

// Access 97: definitions (indexes included, one and two pages) and rows (over 256 bytes included)
// made again from what the reader reads are Access's bytes, but for the bytes Access leaves
// unset: the fixed offset of variable columns, the order byte of unused index slots, and the
// first field of each index entry (a row count Access updates at moments of its own).
TEST(TableDefinitionWriter, Access97DefinitionsAndRowsAreAccessMadeOnes) {
  const Case cases[] = {
      {"jackcess/src/test/data/V1997/testV1997.mdb", "Table1"},
      {"jackcess/src/test/data/V1997/testV1997.mdb", "Table2"},
      {"jackcess/src/test/data/V1997/testV1997.mdb", "Table3"},
      {"jackcess/src/test/data/V1997/test2V1997.mdb", "MSP_PROJECTS"},
      {"jackcess/src/test/data/V1997/delTestV1997.mdb", "Table"},
      {"jackcess/src/test/data/V1997/compIndexTestV1997.mdb", "Table1"},
      {"jackcess/src/test/data/V1997/indexTestV1997.mdb", "Table1"},
      {"jackcess/src/test/data/V1997/overflowTestV1997.mdb", "Table1"},
  };
  std::size_t rowsCompared = 0, longRows = 0;
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.file) + " " + k.table);
    auto db = Database::Open(testing::CorpusPath(k.file));
    const Layout& l = db->header().layout;
    ASSERT_TRUE(l.jet3);
    PageStore& ps = db->pages();
    TableDefinition t = db->ReadDefinition(k.table);
    const Bytes raw = ReadDefinitionChain(ps, t.firstPage).bytes;
    const std::uint32_t length = LoadU32(raw.data() + 8);
    SortOrder sort;
    sort.version = kSortVersionJet3;
    sort.codePage = db->header().codePage;
    // the long-value column maps after the index names, in Access's order
    std::size_t tail = 0x2b + 8 * t.realIndexes.size() + 18 * t.columns.size();
    for (std::size_t i = 0; i < t.columns.size(); ++i) tail += 1 + raw[tail];
    tail += 39 * t.realIndexes.size() + 20 * t.indexes.size();
    for (std::size_t i = 0; i < t.indexes.size(); ++i) tail += 1 + raw[tail];
    std::vector<LongValueMaps> maps;
    for (; LoadU16(raw.data() + tail) != 0xffff; tail += 10)
      maps.push_back(
          {LoadU16(raw.data() + tail), LoadU32(raw.data() + tail + 2), LoadU32(raw.data() + tail + 6)});
    const Bytes ours = EncodeTableDefinitionInOrder(t, sort, maps, l);
    ASSERT_EQ(LoadU32(ours.data() + 8), length);
    std::vector<bool> ignore(length, false);
    for (std::size_t o = 4; o < 8; ++o) ignore[o] = true;  // the next page, set when the chain is laid out
    std::size_t at = 0x2b;
    for (std::size_t i = 0; i < t.realIndexes.size(); ++i, at += 8)
      for (std::size_t o = 0; o < 4; ++o) ignore[at + o] = true;
    for (std::size_t i = 0; i < t.columns.size(); ++i, at += 18)
      if (!(raw[at + 13] & col_flag::kFixedLength)) ignore[at + 14] = ignore[at + 15] = true;
    for (std::size_t i = 0; i < t.columns.size(); ++i) at += 1 + raw[at];
    for (std::size_t i = 0; i < t.realIndexes.size(); ++i, at += 39)
      for (std::size_t s = 0; s < 10; ++s)
        if (LoadU16(raw.data() + at + 3 * s) == 0xffff) ignore[at + 3 * s + 2] = true;
    for (std::size_t o = 0; o < length; ++o) {
      if (ignore[o]) continue;
      ASSERT_EQ(ours[o], raw[o]) << "offset 0x" << std::hex << o;
    }
    // Every live row rebuilt from its cells.
    RowSplitter splitter(t, l);
    std::vector<Cell> cells;
    UsageMap used = UsageMap::Read(ps, l, RowPointer::Decode(t.usedPagesPointer));
    for (std::uint32_t p : used.Pages()) {
      PagePtr page = ps.ReadPage(p);
      if ((*page)[0] != page_type::kData || LoadU32(page->data() + 4) != t.firstPage) continue;
      DataPageReader reader(ps, l, p, *page);
      for (std::uint16_t i = 0; i < reader.rowCount(); ++i) {
        RowSlot s = reader.Slot(i);
        if (s.deleted || s.overflow) continue;
        const auto row = reader.Bytes(s);
        splitter.Split(row, "row", cells);
        std::vector<EncodedValue> values(cells.size());
        for (std::size_t c = 0; c < cells.size(); ++c) {
          values[c].null = cells[c].null;
          values[c].flag = cells[c].flag;
          values[c].bytes.assign(cells[c].bytes.begin(), cells[c].bytes.end());
        }
        const Bytes again = BuildRow(t, values, l);
        // the place of a NULL fixed column keeps whatever Access left there; we write zeros
        std::vector<bool> unset(row.size(), false);
        for (std::size_t c = 0; c < cells.size(); ++c)
          if (cells[c].null && t.columns[c].fixedLength() && t.columns[c].type != col_type::kBoolean)
            for (std::size_t o = 1u + t.columns[c].fixedOffset;
                 o < 1u + t.columns[c].fixedOffset + t.columns[c].length; ++o)
              if (o < row.size()) unset[o] = true;
        std::size_t differs = 0;
        while (differs < again.size() && differs < row.size() &&
               (again[differs] == row[differs] || unset[differs]))
          ++differs;
        EXPECT_TRUE(again.size() == row.size() && differs == row.size())
            << "page " << p << " row " << i << ": " << again.size() << " bytes against " << row.size()
            << ", first difference at " << differs;
        ++rowsCompared;
        longRows += row.size() > 256;
      }
    }
  }
  std::printf("Access 97 rows rebuilt: %zu (%zu over 256 bytes)\n", rowsCompared, longRows);
  EXPECT_GT(rowsCompared, 500u);
  EXPECT_GE(longRows, 1u);
}

}  // namespace
}  // namespace qv::jet
