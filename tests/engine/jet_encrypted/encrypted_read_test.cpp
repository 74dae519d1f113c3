// Password-protected Access files read end to end: the engine opens each one with its password
// through the page-encryption library, and what it reads is compared with the mdb-reader oracle
// (dump.js) in the same JSON form jetdump --json prints. The three files mdb-reader cannot open
// are checked against the rows their authors' own tests give. A wrong or missing password must
// give 3031 and nothing else: no table, no value, no password in the error text.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <set>

#include "counting_codec.h"
#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "engine/providers/provider.h"
#include "oracle_json.h"
#include "sources/database_access.h"
#include "support/oracles.h"
#include "test_support.h"

namespace qv::jet {
namespace {

using namespace qv::jet::testing;

// The password-protected files the oracle cannot open (INDEX.md and the oracle README): agile
// AES-128/SHA-1, RC4 CryptoAPI with flags 0x4 and the non-standard provider.
bool OracleCannotOpen(const std::string& rel) {
  return rel.find("db2007-enc.accdb") != std::string::npos ||
         rel.find("db2007-oldenc.accdb") != std::string::npos ||
         rel.find("db-nonstandard.accdb") != std::string::npos;
}

std::vector<std::string> ProtectedFiles() {
  std::vector<std::string> files;
  for (const auto& [rel, pw] : Passwords()) files.push_back(rel);
  return files;
}

OpenOptions WithPassword(const std::string& password) {
  OpenOptions options;
  options.password = password;
  return options;
}

// A dump document as jetdump --json prints it, from tables rendered by its own JSON writer.
std::string OurDump(Database& db, const std::vector<std::string>& tables) {
  std::string out = "{\n \"tables\": [\n";
  for (std::size_t i = 0; i < tables.size(); ++i)
    out += tools::TableJson(db, tables[i]) + (i + 1 < tables.size() ? ",\n" : "\n");
  return out + " ]\n}\n";
}

std::string Ace(const std::string& path, const std::string& password) {
  return "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + path + ";JET OLEDB:Database Password=" + password;
}

int ErrorNumberOf(const std::function<void()>& f, std::string* text = nullptr) {
  try {
    f();
  } catch (const Error& e) {
    if (text) *text = std::string(e.what()) + " " + e.description() + " " + e.where();
    return e.number();
  }
  return 0;
}

class ProtectedFile : public ::testing::TestWithParam<std::string> {};

TEST_P(ProtectedFile, ReadsTheSameAsMdbReader) {
  const std::string rel = GetParam();
  if (OracleCannotOpen(rel))
    GTEST_SKIP() << "mdb-reader cannot open it; see KnownRowsOfFilesTheOracleCannotOpen";
  const std::string path = CorpusDir() + "/" + rel;
  const std::string password = Passwords()[rel];
  if (!qv::testing::OracleAvailable(qv::testing::Oracle::kMdbReader)) return;

  auto db = Database::Open(path, WithPassword(password));
  RunResult oracle = RunCommand({"node", OracleScript(), path, password});
  ASSERT_EQ(oracle.status, 0) << oracle.err;
  std::vector<DumpTable> expected = ParseDump(oracle.out);

  std::set<std::string> ours, theirs;
  for (const auto& n : db->UserTableNames()) ours.insert(n);
  std::vector<std::string> names;
  for (const auto& t : expected) {
    names.push_back(t.name);
    if (t.name.rfind("MSys", 0) != 0 && t.name.rfind("~", 0) != 0) theirs.insert(t.name);
  }
  EXPECT_EQ(ours, theirs);
  // Every encrypted corpus file but the empty Jet4 one has at least one table with rows, so an
  // empty comparison cannot pass unnoticed.
  if (rel.find("password.mdb") == std::string::npos) {
    EXPECT_FALSE(expected.empty());
  }

  std::vector<DumpTable> actual = ParseDump(OurDump(*db, names));
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(rel + ", table " + expected[i].name);
    ASSERT_FALSE(expected[i].hasError) << expected[i].error;
    ASSERT_FALSE(actual[i].hasError) << actual[i].error;
    EXPECT_EQ(actual[i].name, expected[i].name);
    EXPECT_EQ(actual[i].rowCount, expected[i].rowCount);
    EXPECT_EQ(actual[i].columns, expected[i].columns);
    EXPECT_EQ(actual[i].rows, expected[i].rows);
  }
}

// The same file through the database access interface with an ACE connection string: the schema
// rowset lists the user tables and every table streams the same values as the engine itself.
TEST_P(ProtectedFile, OpensThroughAnAceConnection) {
  const std::string rel = GetParam();
  const std::string path = CorpusDir() + "/" + rel;
  const std::string password = Passwords()[rel];
  auto db = Database::Open(path, WithPassword(password));

  qv::sources::Connection cn;
  cn.Open(Ace(path, password));
  auto schema = cn.OpenSchema(qv::sources::kSchemaTables);
  std::set<std::string> listed;
  for (; !schema->Eof(); schema->MoveNext())
    if (auto* type = std::get_if<std::string>(&schema->Fields("TABLE_TYPE").Value());
        type && *type == "TABLE")
      listed.insert(std::get<std::string>(schema->Fields("TABLE_NAME").Value()));
  auto names = db->UserTableNames();
  EXPECT_EQ(listed, std::set<std::string>(names.begin(), names.end()));

  for (const auto& name : names) {
    SCOPED_TRACE(rel + ", table " + name);
    auto direct = db->ReadTable(name);
    auto viaConnection = cn.provider().Query("SELECT * FROM [" + name + "]");
    ASSERT_EQ(viaConnection->columns().size(), direct->columns().size());
    Row a, b;
    std::int64_t rows = 0;
    for (;;) {
      bool more = direct->Next(a);
      ASSERT_EQ(viaConnection->Next(b), more) << "row " << rows;
      if (!more) break;
      EXPECT_EQ(b, a) << "row " << rows;
      ++rows;
    }
  }
  cn.Close();
}

TEST_P(ProtectedFile, WrongOrMissingPasswordGives3031AndRevealsNothing) {
  const std::string rel = GetParam();
  const std::string path = CorpusDir() + "/" + rel;
  const std::string password = Passwords()[rel];
  auto db = Database::Open(path, WithPassword(password));
  auto tables = db->UserTableNames();

  // The right password opened above keeps the file in the shared registry: a second connection
  // with a wrong one must still be refused.
  // The error text names the file and says that the password is wrong; it is the same whatever
  // wrong password was given, so it carries nothing of it, and it names no table.
  std::string first;
  for (const std::string& wrong :
       std::vector<std::string>{"", password + "x", "Zq7-not-it", "wrong-password"}) {
    SCOPED_TRACE("password '" + wrong + "'");
    std::string text;
    EXPECT_EQ(ErrorNumberOf([&] { Database::Open(path, WithPassword(wrong)); }, &text), errc::kWrongPassword);
    EXPECT_NE(text.find(path), std::string::npos) << text;
    for (const auto& t : tables) EXPECT_EQ(text.find(t), std::string::npos) << text;
    if (!wrong.empty()) {
      EXPECT_EQ(text.find(wrong), std::string::npos) << text;
      if (first.empty()) first = text;
      EXPECT_EQ(text, first);
    }

    std::string cnText;
    qv::sources::Connection cn;
    EXPECT_EQ(ErrorNumberOf([&] { cn.Open(Ace(path, wrong)); }, &cnText), errc::kWrongPassword);
    EXPECT_FALSE(cn.IsOpen());
    if (!wrong.empty()) {
      EXPECT_EQ(cnText.find(wrong), std::string::npos) << cnText;
    }
  }
  // Nor the right one (outside the file's path, which may contain the same word), unless it is
  // the word the message itself uses.
  for (auto at = first.find(path); at != std::string::npos; at = first.find(path))
    first.erase(at, path.size());
  if (password != "password") {
    EXPECT_EQ(first.find(password), std::string::npos) << first;
  }
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string n;
  for (char c : info.param) n.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return n;
}

INSTANTIATE_TEST_SUITE_P(Encrypted, ProtectedFile, ::testing::ValuesIn(ProtectedFiles()), TestName);

// The files mdb-reader cannot open, with the rows the Jackcess encryption tests expect of them
// (CryptCodecProviderTest: Table1 holds one row ID 1, Field1 "foo"; the non-standard provider
// file's Table_One holds one row whose text is "test").
TEST(KnownRowsOfFilesTheOracleCannotOpen, ReadThroughEveryScheme) {
  struct Expect {
    std::string rel, password, table;
    std::vector<std::string> json;  // dump.js-style rows
  };
  const std::vector<Expect> cases = {
      {"jackcessencrypt/src/test/data/db2007-enc.accdb", "Test123", "Table1", {"[\"1\",\"foo\"]"}},
      {"jackcessencrypt/src/test/data/db2007-oldenc.accdb", "Test123", "Table1", {"[\"1\",\"foo\"]"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rel);
    auto db = Database::Open(CorpusDir() + "/" + c.rel, WithPassword(c.password));
    EXPECT_EQ(db->UserTableNames(), std::vector<std::string>{c.table});
    auto dump = ParseDump(OurDump(*db, {c.table}));
    ASSERT_EQ(dump.size(), 1u);
    ASSERT_FALSE(dump[0].hasError) << dump[0].error;
    EXPECT_EQ(dump[0].rows, c.json);
    ASSERT_EQ(dump[0].columns.size(), 2u);
    EXPECT_NE(dump[0].columns[0].find("\"name\":\"ID\""), std::string::npos) << dump[0].columns[0];
    EXPECT_NE(dump[0].columns[1].find("\"name\":\"Field1\""), std::string::npos) << dump[0].columns[1];
  }
  auto db = Database::Open(CorpusDir() + "/jackcessencrypt/src/test/data/db-nonstandard.accdb",
                           WithPassword("password"));
  EXPECT_EQ(db->UserTableNames(), std::vector<std::string>{"Table_One"});
  auto dump = ParseDump(OurDump(*db, {"Table_One"}));
  ASSERT_EQ(dump.size(), 1u);
  ASSERT_FALSE(dump[0].hasError) << dump[0].error;
  ASSERT_EQ(dump[0].rows.size(), 1u);
  auto cells = SplitJsonArray(dump[0].rows[0]);
  EXPECT_NE(std::find(cells.begin(), cells.end(), "\"test\""), cells.end()) << dump[0].rows[0];
}

// Decryption is the dearest part of reading a protected file: the pager must decrypt a page once
// and serve it from its cache afterwards. Every table of every protected file read in full,
// then the schema again: no page may reach the cipher twice (the files are smaller than the
// cache, so nothing is evicted).
TEST(PageCache, DecryptsEveryPageAtMostOnce) {
  int filesDecrypted = 0;
  for (const auto& [rel, password] : Passwords()) {
    SCOPED_TRACE(rel);
    DecryptCounts counts;
    {
      auto db = Database::Open(CorpusDir() + "/" + rel, Counted(password, counts));
      if (db->pages().pageCount() >= 512) continue;  // larger than the cache: evictions re-read
      for (const std::string& name : db->UserTableNames()) {
        try {
          auto reader = db->ReadTable(name, ReadOptions{true});
          Row row;
          while (reader->Next(row)) {
          }
        } catch (const Error&) {
          // a damaged table stops its scan; the pages read so far still count
        }
      }
      (void)db->SchemaTables();
    }
    for (const auto& [page, times] : counts.times) EXPECT_EQ(times, 1) << "page " << page;
    if (!counts.times.empty()) ++filesDecrypted;
  }
  EXPECT_GE(filesDecrypted, 5);
}

// The agile file that has an unencrypted twin with the same content: table by table the same.
TEST(EncryptedTwin, ReadsLikeItsUnencryptedTwin) {
  const std::string dir = CorpusDir() + "/mdb-reader/test/password/data/";
  auto locked = Database::Open(dir + "V2010_with-password.accdb", WithPassword("password"));
  auto plain = Database::Open(dir + "V2010_no-password.accdb");
  auto names = plain->UserTableNames();
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(locked->UserTableNames(), names);
  EXPECT_EQ(OurDump(*locked, names), OurDump(*plain, names));
}

// Jet4 .mdb files with a header password open as before; the password protects no page, so none
// reaches a page cipher.
TEST(Jet4Password, StillOpensWithoutThePageLibrary) {
  const std::string dir = CorpusDir() + "/mdb-reader/test/password/data/";
  for (const char* f : {"V2000_with-password.mdb", "V2003_with-password.mdb"}) {
    SCOPED_TRACE(f);
    OpenOptions plain;
    plain.password = "password";
    DecryptCounts counts;
    auto a = Database::Open(dir + f, plain);
    auto b = Database::Open(dir + f, Counted("password", counts));
    auto names = a->UserTableNames();
    ASSERT_FALSE(names.empty());
    EXPECT_EQ(OurDump(*a, names), OurDump(*b, names));
    EXPECT_TRUE(counts.times.empty());
    plain.password = "nope";
    EXPECT_EQ(ErrorNumberOf([&] { Database::Open(dir + f, plain); }), errc::kWrongPassword);
  }
}

}  // namespace
}  // namespace qv::jet

namespace qv::jet {
namespace {

// Damaged encryption headers, through the whole open path: a copy of each scheme's file with one
// byte of the encryption header changed (every 5th byte of its first 640) opens with the right
// password or gives a clean qv::Error (3031 wrong password, 3049 damaged, 3251 or 3033 for
// parameters no Access version writes, such as an unknown chaining mode); a file that opens reads its tables
// or gives a clean error, never a crash or a hang.
TEST(DamagedEncryptionHeader, GivesACleanErrorThroughTheEngine) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"mdb-reader/test/encryption/data/office-agile-4.2.accdb", "password"},
      {"jackcessencrypt/src/test/data/db-nonstandard.accdb", "password"},
      {"jackcessencrypt/src/test/data/db2013-enc.accdb", "1234"},
  };
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qv_jet_encrypted_mut_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  int refused = 0, opened = 0;
  for (const auto& [rel, password] : files) {
    std::ifstream in(CorpusDir() + "/" + rel, std::ios::binary);
    std::vector<char> original{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_GT(original.size(), 4096u);
    for (std::size_t offset = 0x299; offset < 0x299 + 640 && offset < 4096; offset += 5) {
      std::vector<char> bytes = original;
      bytes[offset] = static_cast<char>(bytes[offset] ^ 0x5a);
      const std::string path =
          (dir / (std::to_string(offset) + "_" + std::filesystem::path(rel).filename().string())).string();
      {
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      }
      SCOPED_TRACE(rel + " offset " + std::to_string(offset));
      try {
        auto db = Database::Open(path, WithPassword(password));
        ++opened;
        try {
          for (const auto& name : db->UserTableNames()) {
            auto reader = db->ReadTable(name);
            Row row;
            while (reader->Next(row)) {
            }
          }
        } catch (const Error& e) {
          EXPECT_NE(e.number(), 0);
        }
      } catch (const Error& e) {
        ++refused;
        EXPECT_TRUE(e.number() == errc::kWrongPassword || e.number() == errc::kCorrupt ||
                    e.number() == errc::kNotSupported || e.number() == errc::kEncrypted)
            << e.number() << " " << e.what();
        EXPECT_EQ(std::string(e.what()).find(password + "\""), std::string::npos);
      }
      std::filesystem::remove(path);
    }
  }
  std::filesystem::remove_all(dir);
  EXPECT_GT(refused, 0);  // the header is checked, not ignored
  std::printf("damaged encryption headers: %d refused, %d opened\n", refused, opened);
}

}  // namespace
}  // namespace qv::jet
