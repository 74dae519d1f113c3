// The providers through the database access interface, on corpus files (read in place, or copies
// where a statement could write) and on tables our engines write, checked against mdbtools and
// pxlib (pxdump).
#include <gtest/gtest.h>
#include <sys/prctl.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/jet/database.h"
#include "engine/jet/table_cursor.h"
#include "engine/paradox/paradox_folder.h"
#include "sources/database_access.h"

namespace fs = std::filesystem;
using qv::sources::Connection;
using qv::sources::Recordset;

namespace {

const std::string kAccess = std::string(QV_SHARED_DIR) + "/corpus/access/";
const std::string kParadox = std::string(QV_SHARED_DIR) + "/corpus/paradox/";

std::string Jet4(const std::string& file, const std::string& password = "") {
  return "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=" + file + ";JET OLEDB:Database Password=" + password;
}
std::string Ace12(const std::string& file, const std::string& password = "") {
  return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + file + ";JET OLEDB:Database Password=" + password;
}
std::string ParadoxCs(const std::string& folder) {
  return "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=" + folder +
         ";Dbq=" + folder + ";CollatingSequence=ASCII;";
}

struct TempFolder {
  fs::path path;
  TempFolder() {
    char tmpl[] = "/tmp/qv_providers_XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
};

std::string Capture(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buf[4096];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  pclose(p);
  return out;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(line);
  return out;
}

int ErrorNumber(const std::function<void()>& body) {
  try {
    body();
  } catch (const qv::Error& e) {
    EXPECT_FALSE(e.description().empty());
    return e.number();
  }
  return 0;
}

std::vector<std::string> UserTables(Connection& cn) {
  std::vector<std::string> names;
  auto rs = cn.OpenSchema(qv::sources::kSchemaTables);
  while (!rs->Eof()) {
    if (std::get<std::string>(rs->Fields("TABLE_TYPE").Value()) == "TABLE")
      names.push_back(std::get<std::string>(rs->Fields("TABLE_NAME").Value()));
    rs->MoveNext();
  }
  rs->Close();
  return names;
}

std::string FileBytes(const fs::path& p) {
  std::string out(static_cast<std::size_t>(fs::file_size(p)), '\0');
  FILE* f = std::fopen(p.c_str(), "rb");
  if (f == nullptr) return {};
  out.resize(std::fread(out.data(), 1, out.size(), f));
  std::fclose(f);
  return out;
}

}  // namespace

TEST(ConnectionOpen, FailuresCarryTheirNumbers) {
  Connection cn;
  EXPECT_EQ(ErrorNumber([&] { cn.Open("Provider=Nonsense.1;Data Source=x"); }), 3706);
  EXPECT_EQ(ErrorNumber([&] { cn.Open("Data Source=x.mdb"); }), 3001);
  EXPECT_EQ(ErrorNumber([&] { cn.Open(Jet4("/nonexistent/shop.mdb")); }), qv::errc::kFileNotFound);
  EXPECT_EQ(ErrorNumber([&] { cn.Open(ParadoxCs("/nonexistent/folder")); }), qv::errc::kFileNotFound);
  const std::string locked = kAccess + "mdb-reader/test/password/data/V2000_with-password.mdb";
  EXPECT_EQ(ErrorNumber([&] { cn.Open(Jet4(locked, "wrong")); }), qv::errc::kWrongPassword);
  EXPECT_EQ(ErrorNumber([&] { cn.Open(Jet4(locked)); }), qv::errc::kWrongPassword);
  EXPECT_FALSE(cn.IsOpen());
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("DROP TABLE x"); }), qv::errc::kObjectClosed);
  cn.Open(Jet4(locked, "password"));
  EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 0) << "a process holding a password may dump core";
  EXPECT_EQ(ErrorNumber([&] { cn.Open(Jet4(locked, "password")); }), qv::errc::kObjectOpen);
  EXPECT_FALSE(UserTables(cn).empty());
  EXPECT_EQ(ErrorNumber([&] { cn.OpenSchema(4); }), 3251);
  cn.Close();
  // A password key the parser does not know is never echoed, nor is a password anywhere else.
  for (const std::string cs :
       {"PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/x/shop.mdb;Jet OLEDB:Databse Password=s3cret",
        "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/x/shop.mdb;Password=s3cret;x=1",
        "PROVIDER=Microsoft.Jet.OLEDB.4.1;Jet OLEDB:Databse Password=s3cret;Data Source=/x/a.mdb",
        "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/x/a.mdb;Jet OLEDB:Database Password=s3cret"}) {
    try {
      cn.Open(cs);
      ADD_FAILURE() << cs;
    } catch (const qv::Error& e) {
      EXPECT_EQ((e.description() + e.where()).find("s3cret"), std::string::npos) << e.description();
    }
  }
}

TEST(ConnectionSchema, UserTablesMatchMdbtools) {
  for (const char* rel :
       {"jackcess/src/test/data/V2000/testV2000.mdb", "jackcess/src/test/data/V1997/testV1997.mdb",
        "jackcess/src/test/data/V2003/indexTestV2003.mdb"}) {
    SCOPED_TRACE(rel);
    const std::string file = kAccess + rel;
    Connection cn;
    cn.Open(Jet4(file));
    auto ours = UserTables(cn);
    auto theirs = Lines(Capture("mdb-tables -1 '" + file + "'"));
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours, theirs);
  }
}

TEST(ConnectionSchema, EncryptedAccdbOpensThroughThePageCipher) {
  const std::string file = kAccess + "jackcessencrypt/src/test/data/db2007-enc.accdb";
  Connection cn;
  EXPECT_EQ(ErrorNumber([&] { cn.Open(Ace12(file, "wrong")); }), qv::errc::kWrongPassword);
  cn.Open(Ace12(file, "Test123"));
  const auto tables = UserTables(cn);
  ASSERT_FALSE(tables.empty());
  Recordset rs;
  rs.Open("SELECT * FROM [" + tables.front() + "]", cn);
  EXPECT_GT(rs.FieldCount(), 0);
  std::int64_t n = 0;
  while (!rs.Eof()) {
    ++n;
    rs.MoveNext();
  }
  EXPECT_EQ(n, rs.RecordCount());
}

TEST(RecordsetSelect, RowsAndValuesMatchMdbExport) {
  const std::string file = kAccess + "jackcess/src/test/data/V2003/compIndexTestV2003.mdb";
  Connection cn;
  cn.CursorLocation = qv::sources::kUseClient;
  cn.Open(Jet4(file));
  const auto tables = UserTables(cn);
  ASSERT_EQ(tables.size(), 1u);
  Recordset rs;
  // Names are found without regard to letter case, in brackets or backquotes, with or without ';'.
  std::string upper = tables[0];
  for (auto& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  rs.Open("select * from `" + upper + "`;", cn);
  const auto exported = Lines(Capture("mdb-export -H -d '|' -Q '" + file + "' '" + tables[0] + "'"));
  EXPECT_EQ(rs.RecordCount(), static_cast<std::int64_t>(exported.size()));
  const auto header = Lines(Capture("mdb-export -d '|' -Q '" + file + "' '" + tables[0] + "' | head -1"));
  ASSERT_EQ(header.size(), 1u);
  std::string names;
  for (int i = 0; i < rs.FieldCount(); ++i) names += (i ? "|" : "") + rs.Fields(i).name();
  EXPECT_EQ(names, header[0]);
  std::vector<std::string> ours;
  while (!rs.Eof()) {
    std::string line;
    for (int i = 0; i < rs.FieldCount(); ++i) {
      const auto& v = rs.Fields(i).Value();
      line += (i ? "|" : "") + (qv::IsNull(v) ? std::string() : qv::FormatValueText(v).value_or(""));
    }
    ours.push_back(line);
    rs.MoveNext();
  }
  auto theirs = exported;
  std::sort(ours.begin(), ours.end());
  std::sort(theirs.begin(), theirs.end());
  EXPECT_EQ(ours, theirs);
  EXPECT_EQ(ErrorNumber([&] { rs.Fields(0).Value(); }), qv::errc::kNoCurrentRecord);
  EXPECT_EQ(ErrorNumber([&] { rs.MoveNext(); }), qv::errc::kNoCurrentRecord);
  EXPECT_EQ(ErrorNumber([&] { rs.Fields(rs.FieldCount()); }), 3265);
  EXPECT_EQ(ErrorNumber([&] { rs.Fields("no such field"); }), 3265);
  rs.Close();
  EXPECT_EQ(ErrorNumber([&] { rs.Eof(); }), qv::errc::kObjectClosed);
}

// delTestV2000: one table "Table" of two Text(50) columns and no index.
const std::string kInsertable = "jackcess/src/test/data/V2000/delTestV2000.mdb";

TEST(AccessProvider, CopyOntoAnExistingTableAndBadStatementsWriteNothing) {
  TempFolder dir;
  const fs::path copy = dir.path / "test.mdb";
  fs::copy_file(kAccess + kInsertable, copy);
  const std::string before = FileBytes(copy);
  Connection cn;
  cn.CursorLocation = qv::sources::kUseServer;
  cn.Mode = qv::sources::kModeReadWrite;
  cn.Open(Jet4(copy.string()));
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("SELECT a1.* INTO [TABLE] FROM [Table] AS a1"); }),
            qv::errc::kTableExists);
  // CREATE TABLE of a name that exists in another case, of a bad name, with a field twice.
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("CREATE TABLE `TABLE` (`a` TEXT(10))"); }), qv::errc::kTableExists);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("CREATE TABLE `a.b` (`a` TEXT(10))"); }), 3125);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("CREATE TABLE `New` (`a` TEXT(10), `A` LONG)"); }), 3191);
  // A wrong number of values, a value too long for its column, a table that is not there.
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("INSERT INTO `Table` VALUES ('x')"); }), 3346);
  EXPECT_EQ(
      ErrorNumber([&] { cn.Execute("INSERT INTO `Table` VALUES ('x', '" + std::string(51, 'y') + "')"); }),
      qv::errc::kValueTooLong);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("INSERT INTO NoSuchTable VALUES (1)"); }), qv::errc::kNoSuchTable);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("DROP TABLE NoSuchTable"); }), qv::errc::kNoSuchTable);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("SELECT * FROM NoSuchTable"); }), qv::errc::kNoSuchTable);
  // Malformed statements give the parser's positioned syntax errors.
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("SELEC * FROM [Table]"); }), 3129);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("SELECT * FROM [Table] WHERE 1"); }), 3142);
  cn.Close();
  EXPECT_EQ(FileBytes(copy), before);
}

TEST(AccessProvider, InsertIntoATableReadsBackThroughMdbtools) {
  TempFolder dir;
  const fs::path copy = dir.path / "test.mdb";
  fs::copy_file(kAccess + kInsertable, copy);
  Connection cn;
  cn.CursorLocation = qv::sources::kUseServer;
  cn.Mode = qv::sources::kModeReadWrite;
  cn.Open(Jet4(copy.string()));
  cn.Execute("INSERT INTO `table` VALUES ('Zoë''s', NULL);");
  cn.Execute("insert into [Table] values ('', 'last')");
  Recordset rs;
  rs.Open("SELECT * FROM [Table]", cn);
  EXPECT_EQ(rs.RecordCount(), 4);
  rs.Close();
  cn.Close();
  const auto rows = Lines(Capture("mdb-export -H -d '|' -Q '" + copy.string() + "' Table"));
  EXPECT_EQ(rows, (std::vector<std::string>{"z|y", "v|u", "Zoë's|", "|last"}));
  // A table with indexes takes rows; one that repeats a key of its unique index ('a' is there)
  // is refused before anything is written.
  fs::copy_file(kAccess + "jackcess/src/test/data/V2000/testV2000.mdb", dir.path / "indexed.mdb");
  cn.Open(Jet4((dir.path / "indexed.mdb").string()));
  EXPECT_EQ(
      ErrorNumber([&] {
        cn.Execute("INSERT INTO Table1 VALUES ('a','b','7','1','2','3','2001-01-01 00:00:00','1','true')");
      }),
      3022);
}

TEST(AccessProvider, CreateInsertAndDropTables) {
  TempFolder dir;
  const fs::path copy = dir.path / "test.accdb";
  fs::copy_file(kAccess + "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2010.accdb",
                copy);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
  Connection cn;
  cn.CursorLocation = qv::sources::kUseServer;
  cn.Mode = qv::sources::kModeReadWrite;
  cn.Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + copy.string());
  cn.Execute(
      "CREATE TABLE `People`(`ID` COUNTER,`NAME` TEXT(40),`NOTES` MEMO,`PAID` CURRENCY,`SEEN` DATETIME);");
  cn.Execute("INSERT INTO `People` VALUES(NULL, 'Zoë', 'first', '12.5', '2020-02-29 10:00:00')");
  cn.Execute("INSERT INTO `People` VALUES(NULL, NULL, NULL, NULL, NULL)");
  cn.Execute("CREATE TABLE [Gone] (x LONG)");
  EXPECT_EQ(UserTables(cn), (std::vector<std::string>{"People", "Gone"}));  // catalog order
  cn.Execute("DROP TABLE [gone]");
  EXPECT_EQ(UserTables(cn), std::vector<std::string>{"People"});
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("CREATE TABLE people (x LONG)"); }), qv::errc::kTableExists);
  cn.Close();
  const auto rows = Lines(Capture("mdb-export -H -d '|' -Q '" + copy.string() + "' People"));
  EXPECT_EQ(rows, (std::vector<std::string>{"1|Zoë|first|12.5000|02/29/20 10:00:00", "2||||"}));
  EXPECT_EQ(Lines(Capture("mdb-tables -1 '" + copy.string() + "'")), std::vector<std::string>{"People"});
}

// The provider keeps its table inserter between INSERTs into one table: rows must still land in
// the table each statement names, a refused row must leave the next one unharmed, and a table
// dropped and made again under the same name (other columns, other pages) must be read afresh.
TEST(AccessProvider, RunsOfInsertsFollowTheTableEachStatementNames) {
  TempFolder dir;
  const fs::path copy = dir.path / "test.mdb";
  fs::copy_file(kAccess + "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb", copy);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
  Connection cn;
  cn.Mode = qv::sources::kModeReadWrite;
  cn.Open(Jet4(copy.string()));
  cn.Execute("CREATE TABLE `A`(`N` INT,`T` TEXT);");
  cn.Execute("CREATE TABLE `B`(`N` INT);");
  cn.Execute("INSERT INTO `A` VALUES('1', 'one')");
  cn.Execute("INSERT INTO `b` VALUES('10')");
  cn.Execute("INSERT INTO `a` VALUES('2', 'it''s')");
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("INSERT INTO `A` VALUES('x', 'bad')"); }), 3464);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("INSERT INTO `A` VALUES('3')"); }), 3346);
  cn.Execute("INSERT INTO `A` VALUES('4', NULL)");
  cn.Execute("DROP TABLE `B`");
  cn.Execute("CREATE TABLE `B`(`S` TEXT,`M` MEMO,`N` INT);");
  cn.Execute("INSERT INTO `B` VALUES('s', 'memo', '20')");
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("INSERT INTO `B` VALUES('30')"); }), 3346);
  EXPECT_EQ(ErrorNumber([&] { cn.Execute("INSERT INTO `C` VALUES('5')"); }), qv::errc::kNoSuchTable);
  cn.Execute("INSERT INTO `B` VALUES(NULL, NULL, '21')");
  cn.Execute("INSERT INTO `A` VALUES('6', 'six')");
  cn.Close();
  EXPECT_EQ(Lines(Capture("mdb-tables -1 '" + copy.string() + "'")), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Lines(Capture("mdb-export -H -d '|' -Q '" + copy.string() + "' A")),
            (std::vector<std::string>{"1|one", "2|it's", "4|", "6|six"}));
  EXPECT_EQ(Lines(Capture("mdb-export -H -d '|' -Q '" + copy.string() + "' B")),
            (std::vector<std::string>{"s|memo|20", "||21"}));
}

// Two connections to one file: what one creates or drops, the other sees at its next statement,
// and rows meant for a table the other dropped never land in the table that took its place.
TEST(AccessProvider, ConnectionsSeeEachOthersCreatesAndDrops) {
  TempFolder dir;
  const fs::path copy = dir.path / "test.mdb";
  fs::copy_file(kAccess + "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb", copy);
  fs::permissions(copy, fs::perms::owner_read | fs::perms::owner_write);
  Connection filler, other;
  filler.Mode = other.Mode = qv::sources::kModeReadWrite;
  filler.Open(Jet4(copy.string()));
  other.Open(Jet4(copy.string()));
  filler.Execute("CREATE TABLE `A`(`N` INT,`T` TEXT);");
  filler.Execute("INSERT INTO `A` VALUES('1', 'one')");
  other.Execute("INSERT INTO `A` VALUES('2', 'two')");  // created by the other connection
  other.Execute("DROP TABLE `A`");
  other.Execute("CREATE TABLE `B`(`X` TEXT,`Y` TEXT,`Z` INT);");  // may reuse A's freed pages
  EXPECT_EQ(ErrorNumber([&] { filler.Execute("INSERT INTO `A` VALUES('3', 'three')"); }),
            qv::errc::kNoSuchTable);
  filler.Execute("INSERT INTO `B` VALUES('x', 'y', '7')");
  filler.Close();
  other.Close();
  EXPECT_EQ(Lines(Capture("mdb-tables -1 '" + copy.string() + "'")), (std::vector<std::string>{"B"}));
  EXPECT_EQ(Lines(Capture("mdb-export -H -d '|' -Q '" + copy.string() + "' B")),
            (std::vector<std::string>{"x|y|7"}));
}

TEST(AccessProvider, CopyIntoParadoxReadsBackThroughPxlib) {
  TempFolder dir;
  const std::string file = kAccess + "jackcess/src/test/data/V2000/testV2000.mdb";
  Connection cn;
  cn.Open(Jet4(file));
  cn.Execute("select * into [Paradox 5.x;Database=" + dir.path.string() + "].[TABLE1.db] from [Table1]");
  ASSERT_TRUE(fs::exists(dir.path / "TABLE1.DB") || fs::exists(dir.path / "TABLE1.db"));
  // The same statement again meets the table it made.
  EXPECT_EQ(ErrorNumber([&] {
              cn.Execute("select * into [Paradox 5.x;Database=" + dir.path.string() +
                         "].[TABLE1.db] from [Table1]");
            }),
            qv::errc::kTableExists);
  // A folder that does not exist.
  EXPECT_EQ(ErrorNumber([&] {
              cn.Execute("select * into [Paradox 5.x;Database=/nonexistent/x].[T.db] from [Table1]");
            }),
            qv::errc::kFileNotFound);

  Recordset src;
  src.Open("SELECT * FROM [Table1]", cn);
  Connection px;
  px.CursorLocation = qv::sources::kUseClient;
  px.Open(ParadoxCs(dir.path.string()));
  EXPECT_EQ(UserTables(px), std::vector<std::string>{"TABLE1"});
  Recordset copy;
  copy.Open("SELECT * FROM `TABLE1`", px);
  ASSERT_EQ(copy.FieldCount(), src.FieldCount());
  EXPECT_EQ(copy.RecordCount(), src.RecordCount());
  while (!src.Eof()) {
    ASSERT_FALSE(copy.Eof());
    for (int i = 0; i < src.FieldCount(); ++i) {
      SCOPED_TRACE(src.Fields(i).name());
      EXPECT_EQ(copy.Fields(i).name(), src.Fields(i).name());
      EXPECT_EQ(qv::IsNull(copy.Fields(i).Value()), qv::IsNull(src.Fields(i).Value()));
    }
    src.MoveNext();
    copy.MoveNext();
  }
  EXPECT_TRUE(copy.Eof());
  copy.Close();

  // The independent reader sees the same number of records.
  fs::path db;
  for (auto& e : fs::directory_iterator(dir.path))
    if (e.path().stem() == "TABLE1" && (e.path().extension() == ".DB" || e.path().extension() == ".db"))
      db = e.path();
  const std::string dump = Capture(std::string(QV_ORACLE_DIR) + "/pxdump '" + db.string() + "' 2>&1");
  EXPECT_NE(dump.find("TABLE1"), std::string::npos) << dump.substr(0, 400);

  // The Paradox provider drops the table with its family, and then knows it no more.
  px.Execute("DROP TABLE `TABLE1`");
  EXPECT_TRUE(UserTables(px).empty());
  EXPECT_EQ(ErrorNumber([&] { px.Execute("DROP TABLE `TABLE1`"); }), qv::errc::kNoSuchTable);
  EXPECT_EQ(ErrorNumber([&] { px.Execute("CREATE TABLE `X` (`a` TEXT(10))"); }), 3251);
  EXPECT_TRUE(fs::is_empty(dir.path));

  // A code page the statement fixes, and one no Paradox driver exists for.
  EXPECT_TRUE(cn.TakeNotes().empty());
  cn.Execute("select * into [Paradox 5.x;CodePage=1250;Database=" + dir.path.string() +
             "].[T1250.db] from [Table1]");
  EXPECT_EQ(qv::paradox::ParadoxFolder(dir.path).OpenTable("T1250")->header().codePage, 1250);
  EXPECT_EQ(ErrorNumber([&] {
              cn.Execute("select * into [Paradox 5.x;CodePage=1257;Database=" + dir.path.string() +
                         "].[T1257.db] from [Table1]");
            }),
            qv::errc::kNotSupported);
  EXPECT_FALSE(qv::paradox::ParadoxFolder(dir.path).HasTable("T1257"));
  EXPECT_TRUE(cn.TakeNotes().empty());

  // Attachment and multi-value columns stay behind, and the notes say which.
  Connection complex;
  complex.Open("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + kAccess +
               "jackcess/src/test/data/V2007/complexDataTestV2007.accdb");
  complex.Execute("select * into [Paradox 5.x;Database=" + dir.path.string() + "].[CPLX.db] from [Table1]");
  const auto notes = complex.TakeNotes();
  ASSERT_FALSE(notes.empty());
  for (const auto& note : notes)
    EXPECT_NE(note.find("'Table1' went to Paradox without its column '"), std::string::npos) << note;
  EXPECT_TRUE(complex.TakeNotes().empty());  // handed over once
  auto copied = qv::paradox::ParadoxFolder(dir.path).OpenTable("CPLX");
  EXPECT_EQ(copied->columns().size() + notes.size(),
            qv::jet::Database::Open(kAccess + "jackcess/src/test/data/V2007/complexDataTestV2007.accdb")
                ->OpenCursor("Table1")
                ->definition()
                .columns.size());
}

TEST(ParadoxProvider, ReadsCorpusTablesWithTheirCounts) {
  Connection cn;
  cn.CursorLocation = qv::sources::kUseClient;
  cn.Open(ParadoxCs(kParadox + "Rparadox"));
  const auto tables = UserTables(cn);
  EXPECT_NE(std::find(tables.begin(), tables.end(), "mushrooms"), tables.end());
  Recordset rs;
  rs.Open("SELECT * FROM mushrooms", cn);
  const std::string dump =
      Capture(std::string(QV_ORACLE_DIR) + "/pxdump '" + kParadox + "Rparadox/mushrooms.db' 2>/dev/null");
  std::int64_t n = 0;
  while (!rs.Eof()) {
    ++n;
    rs.MoveNext();
  }
  EXPECT_EQ(n, rs.RecordCount());
  EXPECT_GT(n, 0);
  EXPECT_EQ(ErrorNumber([&] { rs.Open("SELECT * FROM nothere", cn); }), qv::errc::kObjectOpen);
  rs.Close();
  EXPECT_EQ(ErrorNumber([&] { rs.Open("SELECT * FROM nothere", cn); }), qv::errc::kNoSuchTable);
}
