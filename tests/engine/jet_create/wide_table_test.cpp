// Tables whose definition needs more than one page:
//  - the chain is cut as Access cuts it: the Access-made two-page definitions of the corpus,
//    split again by our code onto the same pages, come out byte for byte; a field that straddles
//    two pages is read and patched across the cut; a field past the definition is refused;
//  - CREATE TABLE of a 255-column table with long names and of a 120-column table of every type
//    (long values whose page maps lie on a continuation page in ACE files), in new Jet4 and ACE
//    files and in a copy of a password-protected ACE file: rows inserted and read back by our
//    reader, mdbtools and mdb-reader; the tables copied and the originals dropped with every page
//    owned or free;
//  - a wide Paradox table (150 fields) sent to Access as the transfer does it: CREATE TABLE and
//    one INSERT of literal values per row through the Access provider;
//  - Access-made wide tables with indexes (89 columns and 5 indexes, 74 columns with ACE
//    long-value maps on the second page) take rows, are copied and dropped the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../jet_write/test_files.h"
#include "../jet_write_model/page_accounting.h"
#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/usage_map.h"
#include "engine/jet/write/database_creator.h"
#include "engine/jet/write/definition_pages.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_copier.h"
#include "engine/jet/write/table_creator.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "engine/paradox/paradox_folder.h"
#include "engine/providers/provider.h"
#include "oracle_json.h"
#include "test_support.h"

namespace qv::jet {
namespace {

namespace fs = std::filesystem;
using testing::ReadAll;
using testing::ScratchDir;

OpenOptions WithPassword(const std::string& password) {
  OpenOptions o;
  o.password = password;
  return o;
}

std::string RowText(const qv::Row& row) {
  std::string s;
  for (const auto& v : row) {
    auto text = FormatValueText(v);
    s += (text ? *text : std::string("NULL")) + "|";
  }
  return s;
}

// The 255-column table: every name 60 characters long, Long, Text and Double columns in turn.
std::vector<qv::Column> WidestColumns() {
  std::vector<qv::Column> cols;
  for (int i = 0; i < 255; ++i) {
    qv::Column c;
    char name[80];
    std::snprintf(name, sizeof name, "Column %03d of a very wide table with long descriptive names", i);
    c.name = name;
    c.type = i % 3 == 0 ? ColumnType::Int32 : i % 3 == 1 ? ColumnType::Text : ColumnType::Double;
    c.size = c.type == ColumnType::Text ? 12 : 0;
    cols.push_back(c);
  }
  return cols;
}

// The 120-column table: every type the statement language creates, memo and OLE among them.
std::vector<qv::Column> MixedColumns() {
  const ColumnType types[] = {ColumnType::Int32,      ColumnType::Text,     ColumnType::Memo,
                              ColumnType::Double,     ColumnType::DateTime, ColumnType::Currency,
                              ColumnType::Boolean,    ColumnType::Int16,    ColumnType::Byte,
                              ColumnType::Single,     ColumnType::Guid,     ColumnType::Binary,
                              ColumnType::LongBinary, ColumnType::Decimal,  ColumnType::Int32};
  std::vector<qv::Column> cols;
  for (int i = 0; i < 120; ++i) {
    qv::Column c;
    c.type = types[i % 15];
    c.name = "Field_" + std::to_string(i) + "_" + std::string(20 + i % 30, 'x');
    if (c.type == ColumnType::Text) c.size = 30;
    if (c.type == ColumnType::Binary) c.size = 8;
    if (c.type == ColumnType::Decimal) c.precision = 12, c.scale = 2;
    if (i == 0) c.autoIncrement = true;
    cols.push_back(c);
  }
  return cols;
}

// A value for row `r` of column `c`; every few cells NULL; memo and OLE values of a few kB.
qv::Value Sample(const qv::Column& col, int r, int c) {
  if ((r + c) % 7 == 3 && !col.autoIncrement) return std::monostate{};
  const std::int64_t k = static_cast<std::int64_t>(r) * 1000 + c;
  switch (col.type) {
    case ColumnType::Int32:
      return col.autoIncrement ? qv::Value{std::monostate{}} : qv::Value{k * (c % 2 ? -1 : 1)};
    case ColumnType::Int16:
      return std::int64_t{(k % 60000) - 30000};
    case ColumnType::Byte:
      return std::int64_t{k % 256};
    case ColumnType::Text:
      return "r" + std::to_string(r) + "c" + std::to_string(c) + (c % 4 ? "" : "ü");
    case ColumnType::Memo:
      return std::string(r % 2 ? 3000 + c : 20, static_cast<char>('a' + (r + c) % 26));
    case ColumnType::Double:
      return static_cast<double>(k) / 8.0;
    case ColumnType::Single:
      return static_cast<double>(k % 1000) / 4.0;
    case ColumnType::Currency:
      return Currency{k * 10000 + 1234};
    case ColumnType::Decimal:
      return Decimal{std::to_string(k) + ".25"};
    case ColumnType::Boolean:
      return (r + c) % 2 == 0;
    case ColumnType::DateTime: {
      qv::Timestamp t;
      t.year = 1990 + r % 30;
      t.month = static_cast<std::uint8_t>(1 + c % 12);
      t.day = static_cast<std::uint8_t>(1 + (r + c) % 28);
      t.hour = static_cast<std::uint8_t>(c % 24);
      return t;
    }
    case ColumnType::Guid: {
      Guid g{};
      for (std::size_t i = 0; i < g.bytes.size(); ++i)
        g.bytes[i] = static_cast<std::uint8_t>(k + static_cast<std::int64_t>(i));
      return g;
    }
    case ColumnType::Binary:
      return Bytes(8, static_cast<std::uint8_t>(k));
    case ColumnType::LongBinary:
      return Bytes(r % 2 ? 5000 : 10, static_cast<std::uint8_t>(k * 7));
    default:
      return std::monostate{};
  }
}

// What the reader gives back for a value inserted (autonumbers count from 1, NULL booleans are No).
qv::Value Expected(const qv::Column& col, const qv::Value& v, int r) {
  if (col.autoIncrement) return std::int64_t{r + 1};
  if (col.type == ColumnType::Boolean && IsNull(v)) return false;
  return v;
}

std::vector<qv::Row> FillRows(const std::vector<qv::Column>& cols, int count) {
  std::vector<qv::Row> rows;
  for (int r = 0; r < count; ++r) {
    qv::Row row;
    for (std::size_t c = 0; c < cols.size(); ++c) row.push_back(Sample(cols[c], r, static_cast<int>(c)));
    rows.push_back(row);
  }
  return rows;
}

void ExpectNoLostPages(Database& db, const std::set<std::string>& known = {}) {
  testing::PageReport report = testing::PageAccounting(db).Run();
  for (const auto& p : report.problems)
    if (!known.count(p)) ADD_FAILURE() << p;
}

// ACE: the long-value columns' page maps are found at the end of the definition, past its
// first page, and list the LVAL pages the rows' long values went to.
void ExpectLongValuePagesListed(Database& db, const std::string& table) {
  const Layout& l = db.header().layout;
  if (l.version == JetVersion::Jet4) return;
  TableDefinition t = db.ReadDefinition(table);
  auto maps = ReadLongValueMaps(db.pages(), l, t);
  const auto longColumns =
      std::count_if(t.columns.begin(), t.columns.end(), [](const ColumnDef& c) { return c.longValue(); });
  EXPECT_EQ(maps.size(), static_cast<std::size_t>(longColumns));
  std::size_t listed = 0;
  for (const auto& [column, m] : maps)
    for (std::uint32_t p : UsageMap::Read(db.pages(), l, RowPointer::Decode(m.first)).Pages()) {
      EXPECT_EQ(LoadU32(db.pages().ReadPage(p)->data() + 4), 0x4c41564cu)
          << "page " << p << " is not an LVAL page";
      ++listed;
    }
  if (longColumns > 0) {
    EXPECT_GT(listed, 0u);
  }
}

// mdb-reader (dump.js) reads `table` as our reader does.
void ExpectMdbReaderAgrees(const std::string& path, const std::string& password, Database& db,
                           const std::string& table, std::size_t rows) {
  if (!qv::testing::OracleAvailable(qv::testing::Oracle::kMdbReader)) return;
  std::vector<std::string> argv{"node", testing::OracleScript(), "--table=" + table, path};
  if (!password.empty()) argv.push_back(password);
  testing::RunResult oracle = testing::RunCommand(argv);
  ASSERT_EQ(oracle.status, 0) << oracle.err;
  auto theirs = testing::ParseDump(oracle.out);
  auto ours = testing::ParseDump("{\n \"tables\": [\n" + tools::TableJson(db, table) + "\n ]\n}\n");
  ASSERT_EQ(theirs.size(), 1u);
  ASSERT_EQ(ours.size(), 1u);
  ASSERT_FALSE(theirs[0].hasError) << theirs[0].error;
  EXPECT_EQ(theirs[0].columns.size(), ours[0].columns.size());
  EXPECT_EQ(theirs[0].columns, ours[0].columns);
  EXPECT_EQ(theirs[0].rows.size(), rows);
  EXPECT_EQ(theirs[0].rows, ours[0].rows);
  EXPECT_EQ(theirs[0].rowCount, ours[0].rowCount);
}

// mdbtools lists the table with every column and exports every row, each text value in its
// place (Jet4 and unencrypted ACE).
void ExpectMdbToolsAgrees(const std::string& path, const std::string& table,
                          const std::vector<qv::Column>& cols, const std::vector<qv::Row>& rows) {
  if (!testing::HaveMdbTools()) return;
  testing::RunResult schema = testing::RunCommand({"mdb-schema", "-T", table, path});
  ASSERT_EQ(schema.status, 0) << schema.err;
  for (const auto& c : cols) EXPECT_NE(schema.out.find("[" + c.name + "]"), std::string::npos) << c.name;
  testing::RunResult csv =
      testing::RunCommand({"mdb-export", "-b", "strip", "-d", "\t", "-R", "\n", path, table});
  ASSERT_EQ(csv.status, 0) << csv.err;
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < csv.out.size();) {
    std::size_t end = csv.out.find('\n', at);
    if (end == std::string::npos) end = csv.out.size();
    lines.push_back(csv.out.substr(at, end - at));
    at = end + 1;
  }
  ASSERT_EQ(lines.size(), rows.size() + 1);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    std::vector<std::string> fields;
    for (std::size_t at = 0;;) {
      std::size_t end = lines[r + 1].find('\t', at);
      fields.push_back(lines[r + 1].substr(at, end == std::string::npos ? std::string::npos : end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    ASSERT_EQ(fields.size(), cols.size()) << "row " << r;
    for (std::size_t c = 0; c < cols.size(); ++c) {
      if (cols[c].type != ColumnType::Text) continue;
      EXPECT_EQ(fields[c], IsNull(rows[r][c]) ? "" : "\"" + std::get<std::string>(rows[r][c]) + "\"")
          << r << "/" << c;
    }
  }
}

TEST(WideTable, ChainsAreCutAsAccessCutsThem) {
  // Access-made two-page definitions: our split of the joined block gives the same pages.
  const char* files[][2] = {{"jackcess/src/test/data/V2003/testV2003.mdb", "Table2"},
                            {"jackcess/src/test/data/V2010/testV2010.accdb", "Table2"},
                            {"jackcess/src/test/data/V2003/test2V2003.mdb", "MSP_PROJECTS"},
                            {"jackcess/src/test/data/V2007/test2V2007.accdb", "MSP_PROJECTS"}};
  for (const auto& f : files) {
    SCOPED_TRACE(f[0]);
    auto db = Database::Open(testing::CorpusPath(f[0]));
    const Layout& l = db->header().layout;
    TableDefinition t = db->ReadDefinition(f[1]);
    ASSERT_EQ(t.pages.size(), 2u);
    DefinitionChain chain = ReadDefinitionChain(db->pages(), t.firstPage);
    EXPECT_EQ(chain.pages, t.pages);
    const std::size_t length = LoadU32(chain.bytes.data() + 8);
    EXPECT_EQ(DefinitionPageCount(length, l), 2u);
    Bytes block(chain.bytes.begin(), chain.bytes.begin() + static_cast<std::ptrdiff_t>(length));
    block.resize(DefinitionCapacity(2, l), 0);
    std::vector<Bytes> pages = SplitDefinition(block, t.pages, l);
    for (std::size_t i = 0; i < pages.size(); ++i)
      EXPECT_EQ(pages[i], *db->pages().ReadPage(t.pages[i])) << "page " << i;
    // A name straddles the cut in MSP_PROJECTS; the fields that end the block lie on page 2.
    EXPECT_EQ(ReadDefinitionU32(db->pages(), l, t.firstPage, l.tdefRowCount), t.rowCount);
    EXPECT_EQ(ReadDefinitionField(db->pages(), l, t.firstPage, length - 2, 2), (Bytes{0xff, 0xff}));
    EXPECT_THROW(ReadDefinitionField(db->pages(), l, t.firstPage, length - 1, 2), Error);
  }
  // Patching across the cut, on a scratch copy: 2 bytes land at the end of page 1, 2 after the
  // header of page 2, and the reader sees the same table afterwards once they are put back.
  ScratchDir dir;
  const std::string path = dir.Copy("jackcess/src/test/data/V2003/testV2003.mdb", "cut.mdb");
  auto db = Database::Open(path);
  TableDefinition t = db->ReadDefinition("Table2");
  const Layout& l = db->header().layout;
  WriteOperation op(*db->sharedFile());
  PageStore& ps = op.writer().pages();
  const std::uint32_t old = ReadDefinitionU32(ps, l, t.firstPage, l.pageSize - 2);
  PatchDefinitionU32(ps, l, t.firstPage, l.pageSize - 2, 0x44332211);
  EXPECT_EQ((*ps.ReadPage(t.pages[0]))[l.pageSize - 1], 0x22);
  EXPECT_EQ((*ps.ReadPage(t.pages[1]))[8], 0x33);
  EXPECT_EQ((*ps.ReadPage(t.pages[1]))[9], 0x44);
  EXPECT_EQ(ReadDefinitionU32(ps, l, t.firstPage, l.pageSize - 2), 0x44332211u);
  PatchDefinitionU32(ps, l, t.firstPage, l.pageSize - 2, old);
  op.Commit();
  TableDefinition back = db->ReadDefinition("Table2");
  ASSERT_EQ(back.columns.size(), t.columns.size());
  for (std::size_t i = 0; i < t.columns.size(); ++i) EXPECT_EQ(back.columns[i].name, t.columns[i].name);
  // The encoder's page count keeps 8 spare bytes after the block on its last page.
  EXPECT_EQ(DefinitionPageCount(4088, l), 1u);
  EXPECT_EQ(DefinitionPageCount(4089, l), 2u);
  EXPECT_EQ(DefinitionPageCount(4096 + 4080, l), 2u);
  EXPECT_EQ(DefinitionPageCount(4096 + 4081, l), 3u);
}

struct Target {
  std::string label;
  std::string corpus;  // empty: a new file of `format`
  DatabaseFormat format = DatabaseFormat::Jet4;
  std::string password;
  bool mdbtools = true;  // mdbtools cannot open Office-encrypted files
};

TEST(WideTable, CreatedInsertedCopiedAndDroppedInEveryFormat) {
  const Target targets[] = {
      {"new Jet4", "", DatabaseFormat::Jet4, "", true},
      {"new ACE 2007", "", DatabaseFormat::Ace2007, "", true},
      {"new ACE 2010", "", DatabaseFormat::Ace2010, "", true},
      {"Access 2016",
       "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2016.accdb",
       {},
       "",
       true},
      {"Access 2019",
       "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2019.accdb",
       {},
       "",
       true},
      {"RC4-encoded Jet4", "jackcessencrypt/src/test/data/db-enc.mdb", {}, "", true},
      {"agile-encrypted ACE",
       "mdb-reader/test/encryption/data/office-agile-4.4.accdb",
       {},
       "password",
       false},
  };
  const std::vector<qv::Column> widest = WidestColumns(), mixed = MixedColumns();
  const std::vector<std::pair<std::string, const std::vector<qv::Column>*>> tables{{"Widest", &widest},
                                                                                   {"Mixed Wide", &mixed}};
  for (const Target& target : targets) {
    SCOPED_TRACE(target.label);
    ScratchDir dir;
    std::string path;
    if (target.corpus.empty()) {
      path = dir.Path(target.format == DatabaseFormat::Jet4 ? "new.mdb" : "new.accdb");
      CreateDatabase(path, target.format);
    } else {
      path = dir.Copy(target.corpus, fs::path(target.corpus).filename().string());
    }
    std::set<std::string> known;
    std::vector<std::string> tablesBefore;
    {
      auto db = Database::Open(path, WithPassword(target.password));
      for (const auto& p : testing::PageAccounting(*db).Run().problems) known.insert(p);
      tablesBefore = db->UserTableNames();
    }
    std::map<std::string, std::vector<qv::Row>> written;
    {
      auto db = Database::Open(path, WithPassword(target.password));
      for (const auto& [name, cols] : tables) {
        CreateTable(*db, name, *cols);
        TableDefinition t = db->ReadDefinition(name);
        EXPECT_GE(t.pages.size(), name == "Widest" ? 5u : 2u);
        TableInserter ins(*db, name);
        const int count = name == "Widest" ? 12 : 9;
        for (const auto& row : FillRows(*cols, count)) {
          ins.Insert(row);
          written[name].push_back(row);
        }
      }
    }
    auto db = Database::Open(path, WithPassword(target.password));
    for (const auto& [name, cols] : tables) {
      SCOPED_TRACE(name);
      TableDefinition t = db->ReadDefinition(name);
      ASSERT_EQ(t.columns.size(), cols->size());
      EXPECT_EQ(t.rowCount, written[name].size());
      for (std::size_t c = 0; c < cols->size(); ++c) EXPECT_EQ(t.columns[c].name, (*cols)[c].name);
      auto rows = ReadAll(*db, name, ReadOptions{true});
      ASSERT_EQ(rows.size(), written[name].size());
      for (std::size_t r = 0; r < rows.size(); ++r) {
        qv::Row want;
        for (std::size_t c = 0; c < cols->size(); ++c)
          want.push_back(Expected((*cols)[c], written[name][r][c], static_cast<int>(r)));
        EXPECT_EQ(RowText(rows[r]), RowText(want)) << "row " << r;
      }
      ExpectMdbReaderAgrees(path, target.password, *db, name, rows.size());
      if (target.mdbtools) ExpectMdbToolsAgrees(path, name, *cols, written[name]);
      ExpectLongValuePagesListed(*db, name);
    }
    ExpectNoLostPages(*db, known);
    // Copied, then the originals dropped: the copies hold every row, no page is lost.
    for (const auto& [name, cols] : tables) {
      EXPECT_EQ(CopyTable(*db, name, name + " Copy"), written[name].size());
      auto before = ReadAll(*db, name, ReadOptions{true});
      DropTable(*db, name);
      auto copy = ReadAll(*db, name + " Copy", ReadOptions{true});
      ASSERT_EQ(copy.size(), before.size());
      for (std::size_t r = 0; r < copy.size(); ++r) EXPECT_EQ(RowText(copy[r]), RowText(before[r]));
    }
    ExpectNoLostPages(*db, known);
    db.reset();
    db = Database::Open(path, WithPassword(target.password));
    for (const auto& [name, cols] : tables) {
      SCOPED_TRACE(name + " Copy");
      ExpectMdbReaderAgrees(path, target.password, *db, name + " Copy", written[name].size());
      if (target.mdbtools) ExpectMdbToolsAgrees(path, name + " Copy", *cols, written[name]);
    }
    // Both copies dropped too: the file is back to its tables, every page owned or free.
    for (const auto& [name, cols] : tables) DropTable(*db, name + " Copy");
    ExpectNoLostPages(*db, known);
    EXPECT_EQ(db->UserTableNames(), tablesBefore);
  }
}

TEST(WideTable, AccessMadeWideTablesWithIndexesTakeRows) {
  struct Case {
    const char* file;
    const char* table;
  };
  // Table2: 89 text columns, 5 indexes; MSP_PROJECTS (ACE): 74 columns, 2 indexes, the maps of its
  // 10 memo columns after the cut.
  const Case cases[] = {{"jackcess/src/test/data/V2003/testV2003.mdb", "Table2"},
                        {"jackcess/src/test/data/V2010/testV2010.accdb", "Table2"},
                        {"jackcess/src/test/data/V2010/test2V2010.accdb", "MSP_PROJECTS"},
                        {"jackcess/src/test/data/V2000/test2V2000.mdb", "MSP_PROJECTS"}};
  for (const Case& k : cases) {
    SCOPED_TRACE(std::string(k.file) + " " + k.table);
    ScratchDir dir;
    const std::string path = dir.Copy(k.file, fs::path(k.file).filename().string());
    auto db = Database::Open(path);
    std::set<std::string> known;
    for (const auto& p : testing::PageAccounting(*db).Run().problems) known.insert(p);
    TableDefinition t = db->ReadDefinition(k.table);
    ASSERT_EQ(t.pages.size(), 2u);
    std::vector<qv::Column> cols;
    for (const auto& c : t.columns) cols.push_back(ToCoreColumn(c, false));
    auto before = ReadAll(*db, k.table, ReadOptions{true});
    std::vector<std::uint32_t> countsBefore;
    for (const auto& ri : t.realIndexes) countsBefore.push_back(ri.rowCount);
    const int added = 40;
    {
      TableInserter ins(*db, k.table);
      for (int r = 0; r < added; ++r) {
        qv::Row row;
        for (std::size_t c = 0; c < cols.size(); ++c) {
          qv::Column col = cols[c];
          // Unique keys: text columns get a value made of the row number.
          qv::Value v = Sample(col, r + 100, static_cast<int>(c));
          if (col.type == ColumnType::Text)
            v = std::string("k") + std::to_string(r) + "_" +
                std::to_string(c).substr(0, col.size > 8 ? 4 : 1);
          if (col.type == ColumnType::Text && col.size && std::get<std::string>(v).size() > col.size)
            v = std::get<std::string>(v).substr(0, col.size);
          if (col.autoIncrement) v = std::monostate{};
          row.push_back(v);
        }
        ins.Insert(row);
      }
    }
    db.reset();  // written to disk for the oracles
    db = Database::Open(path);
    TableDefinition after = db->ReadDefinition(k.table);
    EXPECT_EQ(after.rowCount, t.rowCount + added);
    for (std::size_t i = 0; i < after.realIndexes.size(); ++i)
      EXPECT_GT(after.realIndexes[i].rowCount, countsBefore[i]);
    auto rows = ReadAll(*db, k.table, ReadOptions{true});
    ASSERT_EQ(rows.size(), before.size() + added);
    ExpectNoLostPages(*db, known);
    ExpectMdbReaderAgrees(path, "", *db, k.table, rows.size());
    ExpectLongValuePagesListed(*db, k.table);
    if (testing::HaveMdbTools()) {
      // (a row delimiter of its own: memo values of the Access-made row hold line feeds)
      testing::RunResult csv = testing::RunCommand({"mdb-export", "-R", "<row>\\n", path, k.table});
      EXPECT_EQ(csv.status, 0) << csv.err;
      std::size_t count = 0;
      for (std::size_t at = csv.out.find("<row>"); at != std::string::npos;
           at = csv.out.find("<row>", at + 1))
        ++count;
      EXPECT_EQ(count, rows.size() + 1);
    }
    EXPECT_EQ(CopyTable(*db, k.table, "Wide Copy"), rows.size());
    DropTable(*db, k.table);
    EXPECT_EQ(ReadAll(*db, "Wide Copy", ReadOptions{true}).size(), rows.size());
    ExpectNoLostPages(*db, known);
  }
}

// A wide Paradox table (written by our Paradox engine, read back by its reader) goes to a new
// Access file through the Access provider: CREATE TABLE with the transfer's type names, then one
// INSERT of literal texts per row.
TEST(WideTable, WideParadoxTableSentToAccessThroughTheProvider) {
  ScratchDir dir;
  fs::create_directory(dir.Path("px"));
  std::vector<qv::Column> cols;
  const ColumnType kinds[] = {ColumnType::Text, ColumnType::Int32, ColumnType::Double, ColumnType::DateTime,
                              ColumnType::Memo};
  const char* sqlTypes[] = {"TEXT(20)", "INT", "FLOAT", "DATETIME", "MEMO"};
  std::string create = "CREATE TABLE `Paradox Wide` (";
  for (int i = 0; i < 150; ++i) {
    qv::Column c;
    c.type = kinds[i % 5];
    c.size = c.type == ColumnType::Text ? 20 : 0;
    c.name = "Field number " + std::to_string(i);
    cols.push_back(c);
    create += (i ? ", `" : "`") + c.name + "` " + sqlTypes[i % 5];
  }
  create += ")";
  std::vector<qv::Row> rows = FillRows(cols, 10);
  {
    qv::paradox::ParadoxFolder folder(dir.Path("px"));
    auto out = folder.CreateTable("WIDE", cols);
    for (const auto& r : rows) out->Append(r);
    out->Close();
  }
  const std::string path = dir.Path("target.accdb");
  CreateDatabase(path, DatabaseFormat::Ace2010);
  {
    auto rows_ = qv::paradox::ParadoxFolder(dir.Path("px")).OpenTable("WIDE");
    auto access = qv::providers::OpenProvider("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path);
    access->Execute(create);
    qv::Row row;
    while (rows_->Next(row)) {
      std::string insert = "INSERT INTO `Paradox Wide` VALUES (";
      for (std::size_t c = 0; c < row.size(); ++c) {
        auto text = FormatValueText(row[c]);
        std::string quoted = "'";
        if (text)
          for (char ch : *text) quoted += ch == '\'' ? std::string("''") : std::string(1, ch);
        insert += (c ? ", " : "") + (text ? quoted + "'" : std::string("NULL"));
      }
      access->Execute(insert + ")");
    }
    access->Close();
  }
  auto db = Database::Open(path);
  EXPECT_GE(db->ReadDefinition("Paradox Wide").pages.size(), 2u);
  auto back = ReadAll(*db, "Paradox Wide", ReadOptions{true});
  ASSERT_EQ(back.size(), rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) EXPECT_EQ(RowText(back[r]), RowText(rows[r])) << "row " << r;
  ExpectMdbReaderAgrees(path, "", *db, "Paradox Wide", rows.size());
  ExpectMdbToolsAgrees(path, "Paradox Wide", cols, rows);
  ExpectLongValuePagesListed(*db, "Paradox Wide");
  ExpectNoLostPages(*db);
}

}  // namespace
}  // namespace qv::jet
