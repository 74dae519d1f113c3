// Table definitions written by us compared byte for byte with the ones Access wrote (tables
// without indexes in the corpus), and new column layouts read back by our reader.

#include <gtest/gtest.h>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/jet/write/table_definition_writer.h"
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
      if (raw[c] == col_type::kNumeric) ignore[c + 13] = ignore[c + 14] = true;  // unknown, varies
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
