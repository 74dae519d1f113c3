// Writing password-protected Access files, every kind of protection the reader opens:
//  - each password-protected corpus file (passwords.tsv) and the RC4-encoded Jet4 one, copied:
//    rows refused where every table has an index (all of them do), a table dropped, the change
//    checkpointed and read back with the password; page 0 stays as it was and every page that
//    changed on disk decrypts, through a codec built apart from the engine, to a Jet page;
//  - tables without indexes behind every kind of protection: the pages of an index-less corpus
//    file of the same format behind the page 0 (and so the encryption header) of each protected
//    file, encrypted with that file's codec, as the encrypted benchmark builds its files (and
//    standard AES, which no corpus file has, from the page-encryption tests' fixture). Rows are
//    inserted, a table dropped and its pages refilled, then the file is read back by our reader,
//    by mdb-reader where it knows the scheme and by mdbtools for Jet4 files;
//  - writers killed at checkpoint steps leave a file that opens with the password and holds the
//    last complete checkpoint, and the journal keeps the pages as stored on disk, encrypted.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"
#include "engine/jet/crypto/primitives.h"
#include "engine/jet/database.h"
#include "engine/jet/rollback_journal.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_dropper.h"
#include "engine/jet/write/table_inserter.h"
#include "oracle_json.h"
#include "support/oracles.h"
#include "test_support.h"

namespace qv::jet {
namespace {

namespace fs = std::filesystem;
using namespace qv::jet::testing;

constexpr std::size_t kPage = 4096;
// The RC4-encoded Jet4 file: the old page encoding, no password.
const char* kJetRc4File = "jackcessencrypt/src/test/data/db-enc.mdb";

Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class Scratch {
 public:
  Scratch() {
    std::string tmpl = (fs::temp_directory_path() / "qvencwrite-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

 private:
  std::string dir_;
};

OpenOptions WithPassword(const std::string& password) {
  OpenOptions options;
  options.password = password;
  return options;
}

int ErrorNumberOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

std::vector<Row> ReadAll(Database& db, const std::string& table) {
  auto reader = db.ReadTable(table);
  std::vector<Row> rows;
  Row row;
  while (reader->Next(row)) rows.push_back(row);
  return rows;
}

// Rows equal, reported briefly: the counts, then the first row that differs.
::testing::AssertionResult SameRows(const std::vector<Row>& actual, const std::vector<Row>& expected) {
  for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
    if (!(actual[i] == expected[i])) {
      std::string a, e;
      for (const auto& v : actual[i])
        a += (std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : "<other>") + " | ";
      for (const auto& v : expected[i])
        e += (std::holds_alternative<std::string>(v) ? std::get<std::string>(v) : "<other>") + " | ";
      return ::testing::AssertionFailure()
             << "row " << i << " of " << actual.size() << " (expected " << expected.size()
             << " rows) differs: " << a << " instead of " << e;
    }
  }
  if (actual.size() != expected.size())
    return ::testing::AssertionFailure() << actual.size() << " rows instead of " << expected.size();
  return ::testing::AssertionSuccess();
}

// The same for rows of text or NULL in any order: a table has none, and rows added after a drop
// go to the pages the drop gave back, which may come before the table's other pages.
::testing::AssertionResult SameTextRowsAnyOrder(const std::vector<Row>& actual,
                                                const std::vector<Row>& expected) {
  auto keys = [](const std::vector<Row>& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) {
      std::string k;
      for (const auto& v : row)
        k += (std::holds_alternative<std::string>(v) ? "s" + std::get<std::string>(v) : "n") + '\x1f';
      out.push_back(k);
    }
    std::sort(out.begin(), out.end());
    return out;
  };
  if (keys(actual) != keys(expected))
    return ::testing::AssertionFailure()
           << "the rows differ (" << actual.size() << " rows, expected " << expected.size() << ")";
  return ::testing::AssertionSuccess();
}

std::map<std::string, std::vector<Row>> ReadEveryTable(Database& db) {
  std::map<std::string, std::vector<Row>> out;
  for (const auto& name : db.UserTableNames()) out[name] = ReadAll(db, name);
  return out;
}

std::string PasswordOf(const std::string& rel) {
  auto passwords = Passwords();
  auto it = passwords.find(rel);
  return it == passwords.end() ? std::string() : it->second;
}

std::vector<std::string> ProtectedFiles() {
  std::vector<std::string> files;
  for (const auto& [rel, password] : Passwords()) files.push_back(rel);
  files.push_back(kJetRc4File);
  return files;
}

std::string Ext(const std::string& rel) {
  return fs::path(rel).extension().string();
}

// The protected files mdb-reader cannot open (its README and the corpus INDEX.md).
bool OracleCannotOpen(const std::string& rel) {
  return rel.find("db2007-enc.accdb") != std::string::npos ||
         rel.find("db2007-oldenc.accdb") != std::string::npos ||
         rel.find("db-nonstandard.accdb") != std::string::npos;
}

bool HaveMdbTools() {
  return qv::testing::OracleAvailable(qv::testing::Oracle::kMdbTools);
}

std::string OurDump(Database& db, const std::vector<std::string>& tables) {
  std::string out = "{\n \"tables\": [\n";
  for (std::size_t i = 0; i < tables.size(); ++i)
    out += tools::TableJson(db, tables[i]) + (i + 1 < tables.size() ? ",\n" : "\n");
  return out + " ]\n}\n";
}

// mdb-reader reads every user table of the file exactly as our reader does.
void ExpectOracleAgrees(const std::string& path, const std::string& password) {
  if (!qv::testing::OracleAvailable(qv::testing::Oracle::kMdbReader)) return;
  RunResult oracle = RunCommand({"node", OracleScript(), path, password});
  ASSERT_EQ(oracle.status, 0) << oracle.err;
  std::vector<DumpTable> expected = ParseDump(oracle.out);
  auto db = Database::Open(path, WithPassword(password));
  std::vector<std::string> names;
  std::set<std::string> theirs;
  for (const auto& t : expected) {
    names.push_back(t.name);
    if (t.name.rfind("MSys", 0) != 0 && t.name.rfind("~", 0) != 0) theirs.insert(t.name);
  }
  auto ours = db->UserTableNames();
  EXPECT_EQ(std::set<std::string>(ours.begin(), ours.end()), theirs);
  std::vector<DumpTable> actual = ParseDump(OurDump(*db, names));
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("table " + expected[i].name);
    ASSERT_FALSE(expected[i].hasError) << expected[i].error;
    EXPECT_EQ(actual[i].rowCount, expected[i].rowCount);
    EXPECT_EQ(actual[i].columns, expected[i].columns);
    EXPECT_EQ(actual[i].rows, expected[i].rows);
  }
}

std::set<std::string> MdbToolsTables(const std::string& path) {
  RunResult r = RunCommand({"mdb-tables", "-1", path});
  EXPECT_EQ(r.status, 0) << r.err;
  std::set<std::string> names;
  std::istringstream in(r.out);
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.insert(line);
  return names;
}

std::span<const std::uint8_t> PageOf(const Bytes& file, std::size_t n) {
  return std::span<const std::uint8_t>(file).subspan(n * kPage, kPage);
}

// The page cipher of a file, built from its page 0 by the page-encryption library alone (not
// through the engine's connection); null for files whose pages are stored plain.
std::unique_ptr<crypto::PageCodec> CodecOf(const Bytes& file, const std::string& password) {
  return crypto::OpenEncryption(PageOf(file, 0), password, kPage);
}

// A page as the engine writes it, decrypted: all zero (a freed page) or a Jet page, whose second
// byte is 0x01 for every kind the write side puts (data, definition, index, usage map).
bool LooksLikeAJetPage(std::span<const std::uint8_t> p) {
  if (std::all_of(p.begin(), p.end(), [](std::uint8_t b) { return b == 0; })) return true;
  return p[0] >= 0x01 && p[0] <= 0x05 && p[1] == 0x01;
}

// Compares a file after writing with its copy before: page 0 byte for byte, every other page
// that changed must decrypt to a Jet page. Returns how many pages changed.
int CheckChangedPages(const Bytes& before, const Bytes& after, const std::string& password) {
  EXPECT_EQ(after.size() % kPage, 0u);
  EXPECT_TRUE(std::equal(after.begin(), after.begin() + kPage, before.begin())) << "page 0 was changed";
  auto codec = CodecOf(after, password);
  int changed = 0;
  for (std::size_t n = 1; n < after.size() / kPage; ++n) {
    auto now = PageOf(after, n);
    if ((n + 1) * kPage <= before.size() && std::equal(now.begin(), now.end(), PageOf(before, n).begin()))
      continue;
    ++changed;
    Bytes plain(now.begin(), now.end());
    if (codec) codec->DecryptPage(static_cast<std::uint32_t>(n), plain);
    EXPECT_TRUE(LooksLikeAJetPage(plain)) << "page " << n << " does not decrypt to a Jet page";
  }
  return changed;
}

// ---------------------------------------------------------------------------------------------
// The protected corpus files themselves.

class ProtectedCopy : public ::testing::TestWithParam<std::string> {};

TEST_P(ProtectedCopy, DropCheckpointAndReadBackWithThePassword) {
  const std::string rel = GetParam();
  const std::string password = PasswordOf(rel);
  Scratch dir;
  const std::string path = dir.Path("copy" + Ext(rel));
  const Bytes original = ReadBytes(CorpusDir() + "/" + rel);
  WriteBytes(path, original);

  std::map<std::string, std::vector<Row>> before;
  std::string dropped;
  {
    auto db = Database::Open(path, WithPassword(password));
    before = ReadEveryTable(*db);
    // Reading changes nothing: no page waits to be written before the drop.
    EXPECT_EQ(db->pages().dirtyCount(), 0u);
    if (!before.empty()) {
      dropped = before.begin()->first;
      DropTable(*db, dropped);
      EXPECT_GT(db->pages().dirtyCount(), 0u);
      // Before the checkpoint: a second connection with the password sees the change, one with
      // a wrong password is refused.
      auto other = Database::Open(path, WithPassword(password));
      auto names = other->UserTableNames();
      EXPECT_EQ(std::count(names.begin(), names.end(), dropped), 0);
      if (!password.empty()) {
        EXPECT_EQ(ErrorNumberOf([&] { Database::Open(path, WithPassword(password + "x")); }),
                  errc::kWrongPassword);
      }
    }
  }  // the last connection closes: checkpoint
  EXPECT_FALSE(fs::exists(path + "-journal"));
  const Bytes after = ReadBytes(path);
  const int changed = CheckChangedPages(original, after, password);
  if (dropped.empty()) {
    EXPECT_EQ(after, original) << "nothing was changed, nothing may be written";
  } else {
    EXPECT_GT(changed, 0);
  }

  auto expected = before;
  expected.erase(dropped);
  {
    auto db = Database::Open(path, WithPassword(password));
    EXPECT_EQ(ReadEveryTable(*db), expected);
  }
  if (!password.empty()) {
    // 3031 for every kind of protection, naming the file and never the password.
    for (const std::string& wrong : {std::string(), password + "x", std::string("wrong-password")}) {
      try {
        Database::Open(path, WithPassword(wrong));
        ADD_FAILURE() << "opened with '" << wrong << "'";
      } catch (const Error& e) {
        EXPECT_EQ(e.number(), errc::kWrongPassword) << wrong;
        EXPECT_EQ(e.description().rfind("Not a valid password", 0), 0u) << e.description();
        EXPECT_NE(e.where().find(path), std::string::npos) << e.where();
        if (!wrong.empty()) {
          EXPECT_EQ(std::string(e.what()).find(wrong), std::string::npos) << e.what();
        }
      }
    }
  }
  if (!OracleCannotOpen(rel)) ExpectOracleAgrees(path, password);
  if (Ext(rel) == ".mdb" && HaveMdbTools()) {
    std::set<std::string> names;
    for (const auto& [name, rows] : expected) names.insert(name);
    EXPECT_EQ(MdbToolsTables(path), names);
  }
}

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
  std::string n;
  for (char c : fs::path(info.param).stem().string())
    n.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return n;
}

INSTANTIATE_TEST_SUITE_P(Corpus, ProtectedCopy, ::testing::ValuesIn(ProtectedFiles()), TestName);

// ---------------------------------------------------------------------------------------------
// Tables without indexes behind every kind of protection.

// `plain`'s pages behind `donor`'s page 0, each page but page 0 encrypted with the donor's codec
// (none for a Jet4 file that only has a password).
Bytes BehindDonor(const Bytes& plain, const Bytes& donor, const std::string& password) {
  Bytes out = plain;
  std::copy(donor.begin(), donor.begin() + kPage, out.begin());
  if (auto codec = CodecOf(donor, password)) {
    for (std::size_t n = 1; n < out.size() / kPage; ++n)
      codec->EncryptPage(static_cast<std::uint32_t>(n),
                         std::span<std::uint8_t>(out.data() + n * kPage, kPage));
  }
  return out;
}

// An index-less corpus file of the donor's format (page 0 byte 0x14).
std::string PlainFileLike(const Bytes& donor, const char* stem) {
  const std::string base = "jackcess/src/test/data/";
  switch (donor[0x14]) {
    case 1:
      return base + "V2003/" + stem + "V2003.mdb";
    case 2:
      return base + "V2007/" + stem + "V2007.accdb";
    case 3:
      return base + "V2010/" + stem + "V2010.accdb";
    default:
      return {};
  }
}

// Three Text(50) values; non-Latin text now and then, lengths up to the column's size.
Row TextRow(int i, int seed) {
  const char* pieces[] = {"Zeile ", "Ωμέγα ", "naïve café ", "日本 "};
  Row r(3);
  for (int c = 0; c < 3; ++c) {
    if ((i + c) % 9 == 4) continue;  // NULL
    std::string s = pieces[(i + c + seed) % 4] + std::to_string(seed) + "/" + std::to_string(i);
    s += std::string(static_cast<std::size_t>((i * 7 + c * 13) % 30), static_cast<char>('a' + c));
    r[static_cast<std::size_t>(c)] = s;
  }
  return r;
}

// ECMA-376 standard AES: no corpus file has it, so its encryption structure comes from the
// fixture the page-encryption tests made with an implementation apart from ours
// (tests/engine/jet_crypto/data/make_standard_aes.py), grafted into the real page 0 of the ACE14
// file: the encoding key into the masked header area, the structure at 0x299.
const char* kStandardAes = "standard-aes";
const std::string kStandardAesPassword =
    std::string("Qv-\xc3\x84\xc3\xb6\xe2\x82\xac\xf0\x9d\x84\x9e") + std::string(290, 'x');

Bytes StandardAesDonor() {
  const Bytes fixture =
      ReadBytes(std::string(QV_SOURCE_DIR) + "/tests/engine/jet_crypto/data/standard_aes.bin");
  Bytes page0 = ReadBytes(CorpusDir() + "/jackcess/src/test/data/V2010/queryTestV2010.accdb");
  page0.resize(kPage);
  const std::array<std::uint8_t, 4> maskKey = {0xc7, 0xda, 0x39, 0x6b};
  std::span<std::uint8_t> masked(page0.data() + 0x18, 128);
  Bytes fixtureArea(fixture.begin() + 0x18, fixture.begin() + 0x18 + 128);
  crypto::Rc4(maskKey, masked);
  crypto::Rc4(maskKey, fixtureArea);
  std::copy(fixtureArea.begin() + (0x3e - 0x18), fixtureArea.begin() + (0x42 - 0x18),
            masked.begin() + (0x3e - 0x18));
  crypto::Rc4(maskKey, masked);
  const std::size_t length = 2 + LoadU16(fixture.data() + 0x299);
  std::copy(fixture.begin() + 0x299, fixture.begin() + 0x299 + static_cast<std::ptrdiff_t>(length),
            page0.begin() + 0x299);
  return page0;
}

std::vector<std::string> EveryProtection() {
  std::vector<std::string> all = ProtectedFiles();
  all.push_back(kStandardAes);
  return all;
}

class BehindEveryProtection : public ::testing::TestWithParam<std::string> {};

TEST_P(BehindEveryProtection, InsertDropRefillAndReadBack) {
  const std::string donorRel = GetParam();
  const bool standardAes = donorRel == kStandardAes;
  const std::string password = standardAes ? kStandardAesPassword : PasswordOf(donorRel);
  const Bytes donor = standardAes ? StandardAesDonor() : ReadBytes(CorpusDir() + "/" + donorRel);
  if (standardAes) {
    ASSERT_EQ(crypto::DescribeEncryption(PageOf(donor, 0)).scheme, crypto::Scheme::kAesStandard);
  }
  const std::string plainRel = PlainFileLike(donor, "queryTest");
  ASSERT_FALSE(plainRel.empty()) << "format byte " << int{donor[0x14]};
  const Bytes plain = ReadBytes(CorpusDir() + "/" + plainRel);
  ASSERT_EQ(plain[0x14], donor[0x14]);
  Scratch dir;
  const std::string path = dir.Path(standardAes ? "db.accdb" : "db" + Ext(donorRel));
  const Bytes start = BehindDonor(plain, donor, password);
  WriteBytes(path, start);

  {
    auto encrypted = Database::Open(path, WithPassword(password));
    auto unencrypted = Database::Open(CorpusDir() + "/" + plainRel);
    ASSERT_EQ(ReadEveryTable(*encrypted), ReadEveryTable(*unencrypted));
    ASSERT_TRUE(ReadAll(*encrypted, "Table1").empty());
    ASSERT_TRUE(encrypted->ReadDefinition("Table1").indexes.empty());
  }
  std::vector<Row> table1, table2;
  std::uint32_t grown = 0;
  {
    auto db = Database::Open(path, WithPassword(password));
    TableInserter one(*db, "Table1"), two(*db, "Table2");
    for (int i = 0; i < 400; ++i) {
      one.Insert(TextRow(i, 1));
      table1.push_back(TextRow(i, 1));
    }
    for (int i = 0; i < 150; ++i) {
      two.Insert(TextRow(i, 2));
      table2.push_back(TextRow(i, 2));
    }
  }
  {
    auto db = Database::Open(path, WithPassword(password));
    ASSERT_TRUE(SameRows(ReadAll(*db, "Table1"), table1));
    ASSERT_TRUE(SameRows(ReadAll(*db, "Table2"), table2));
    grown = db->pages().pageCount();
    DropTable(*db, "Table1");
  }
  {
    // The pages Table1 gave back are zero once decrypted, so the allocator takes them again.
    auto db = Database::Open(path, WithPassword(password));
    TableInserter two(*db, "Table2");
    for (int i = 150; i < 550; ++i) {
      two.Insert(TextRow(i, 2));
      table2.push_back(TextRow(i, 2));
    }
  }
  EXPECT_FALSE(fs::exists(path + "-journal"));
  {
    auto db = Database::Open(path, WithPassword(password));
    EXPECT_EQ(db->UserTableNames(), (std::vector<std::string>{"Table2", "Table3"}));
    EXPECT_TRUE(SameTextRowsAnyOrder(ReadAll(*db, "Table2"), table2));
    EXPECT_EQ(db->ReadDefinition("Table2").rowCount, table2.size());
    EXPECT_TRUE(ReadAll(*db, "Table3").empty());
    EXPECT_LE(db->pages().pageCount(), grown + 2) << "the dropped table's pages should have been reused";
  }
  EXPECT_GT(CheckChangedPages(start, ReadBytes(path), password), 0);
  if (!password.empty()) {
    // (Changed at the front: the standard AES fixture's password is longer than the 255 UTF-16
    // units Access keeps.)
    EXPECT_EQ(ErrorNumberOf([&] { Database::Open(path, WithPassword("x" + password)); }),
              errc::kWrongPassword);
  }
  // mdb-reader does not implement standard AES (its README).
  if (!OracleCannotOpen(donorRel) && !standardAes) ExpectOracleAgrees(path, password);
  if (Ext(donorRel) == ".mdb" && HaveMdbTools()) {
    EXPECT_EQ(MdbToolsTables(path), (std::set<std::string>{"Table2", "Table3"}));
    RunResult count = RunCommand({"mdb-count", path, "Table2"});
    EXPECT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, std::to_string(table2.size()) + "\n");
  }
}

INSTANTIATE_TEST_SUITE_P(Corpus, BehindEveryProtection, ::testing::ValuesIn(EveryProtection()), TestName);

// ---------------------------------------------------------------------------------------------
// Killed writers.

// jobDB1 of testPromotion (no index): ID, MainNumber, PhaseNumber, six texts, FullNumber.
Row ModelRow(std::uint64_t i, std::size_t columns) {
  Row r(columns);
  r[0] = static_cast<std::int64_t>(i);
  r[1] = static_cast<std::int64_t>(i * 7 % 1000);
  r[2] = static_cast<double>(i) / 4.0;
  for (std::size_t c = 3; c < columns; ++c) {
    if ((i + c) % 5 == 0) continue;
    if (c == 9)
      r[c] = static_cast<double>(i) * 1.5;
    else
      r[c] = "row " + std::to_string(i) + " col " + std::to_string(c) + std::string((i * c) % 180, 'x');
  }
  return r;
}

struct Killed {
  std::vector<std::uint64_t> checkpointRows;  // rows in each checkpoint the writer started
  bool finished = false;                      // the writer ran to its end without being killed
};

// Forks a writer that inserts ModelRows into jobDB1 of `path`, checkpointing every few pages, and
// ends the process at the `killAt`-th checkpoint step (or the `killAt`-th step named `step`).
Killed RunKilledWriter(const std::string& path, const std::string& password, int killAt,
                       const char* step = nullptr) {
  const std::string progress = path + ".progress";
  pid_t child = ::fork();
  if (child < 0) {
    ADD_FAILURE() << "fork failed";
    return {};
  }
  if (child == 0) {
    try {
      FILE* log = std::fopen(progress.c_str(), "w");
      auto db = Database::Open(path, WithPassword(password));
      TableInserter ins(*db, "jobDB1");
      FileWriter& w = FileWriter::Attach(*db->sharedFile());
      w.maxDirtyPages = 6;
      std::uint64_t current = 0;
      int calls = 0;
      w.faultHook = [&](const char* name) {
        // The checkpoint runs inside the Commit of insert `current`: it holds current + 1 rows.
        if (std::strcmp(name, "journal-written") == 0) {
          std::fprintf(log, "%llu\n", static_cast<unsigned long long>(current + 1));
          std::fflush(log);
        }
        if ((!step || std::strcmp(name, step) == 0) && ++calls == killAt) ::_exit(0);
      };
      const std::size_t columns = ins.definition().columns.size();
      for (current = 0; current < 1500; ++current) ins.Insert(ModelRow(current, columns));
    } catch (...) {
      ::_exit(2);
    }
    ::_exit(3);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  Killed out;
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_TRUE(WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == 3)
      << "writer status " << WEXITSTATUS(status);
  out.finished = WEXITSTATUS(status) == 3;
  std::ifstream in(progress);
  for (unsigned long long n; in >> n;) out.checkpointRows.push_back(n);
  return out;
}

// After a kill inside checkpoint k, the file holds exactly the rows of checkpoint k - 1.
void ExpectLastCheckpoint(const std::string& path, const std::string& password, const Killed& k) {
  const std::uint64_t expected =
      k.checkpointRows.size() >= 2 ? k.checkpointRows[k.checkpointRows.size() - 2] : 0;
  auto db = Database::Open(path, WithPassword(password));
  EXPECT_FALSE(fs::exists(path + "-journal"));
  auto rows = ReadAll(*db, "jobDB1");
  const std::size_t columns = db->ReadDefinition("jobDB1").columns.size();
  std::vector<Row> model;
  for (std::uint64_t i = 0; i < expected; ++i) model.push_back(ModelRow(i, columns));
  ASSERT_TRUE(SameRows(rows, model));
  EXPECT_EQ(db->ReadDefinition("jobDB1").rowCount, expected);
}

struct Kind {
  const char* rel;
  const char* password;
};
const Kind kCrashKinds[] = {
    {"mdb-reader/test/encryption/data/office-agile-4.2.accdb", "password"},  // RC4 CryptoAPI
    {"jackcessencrypt/src/test/data/db2013-enc.accdb", "1234"},              // agile AES-256/SHA-512
    {"jackcessencrypt/src/test/data/db-nonstandard.accdb", "password"},      // non-standard AES
    {"jackcessencrypt/src/test/data/db-enc.mdb", ""},                        // Jet4 RC4 page encoding
};

std::string PrepareCrashFile(const Scratch& dir, const Kind& kind, int round) {
  const Bytes donor = ReadBytes(CorpusDir() + "/" + kind.rel);
  const Bytes plain = ReadBytes(CorpusDir() + "/" + PlainFileLike(donor, "testPromotion"));
  const std::string path = dir.Path("crash" + std::to_string(round) + Ext(kind.rel));
  WriteBytes(path, BehindDonor(plain, donor, kind.password));
  return path;
}

TEST(EncryptedCrashSafety, KilledWriterLeavesTheLastCheckpoint) {
  std::mt19937 rng(20261208);
  int killed = 0;
  for (const Kind& kind : kCrashKinds) {
    Scratch dir;
    for (int round = 0; round < 3; ++round) {
      SCOPED_TRACE(std::string(kind.rel) + " round " + std::to_string(round));
      const std::string path = PrepareCrashFile(dir, kind, round);
      const int killAt = static_cast<int>(rng() % 250) + 1;
      Killed k = RunKilledWriter(path, kind.password, killAt);
      if (k.finished) continue;
      ++killed;
      ExpectLastCheckpoint(path, kind.password, k);
      if (kind.password[0] != '\0') {
        EXPECT_EQ(ErrorNumberOf([&] { Database::Open(path, WithPassword("not-it")); }), errc::kWrongPassword);
      }
    }
  }
  EXPECT_GE(killed, 8) << "the writers should have been killed mid-way";
}

// A writer killed right after the journal became valid, before any page of the database was
// written: every journal record holds the page exactly as it is on disk (encrypted), which
// decrypts to a Jet page; the next open puts them back.
TEST(EncryptedCrashSafety, JournalHoldsThePagesAsStored) {
  for (const Kind& kind : kCrashKinds) {
    SCOPED_TRACE(kind.rel);
    Scratch dir;
    const std::string path = PrepareCrashFile(dir, kind, 0);
    Killed k = RunKilledWriter(path, kind.password, 3, "header-synced");
    ASSERT_FALSE(k.finished);
    const Bytes journal = ReadBytes(JournalPathFor(path));
    const Bytes file = ReadBytes(path);
    ASSERT_GE(journal.size(), kJournalHeaderSize);
    ASSERT_EQ(std::memcmp(journal.data(), kJournalMagic, 8), 0);
    const std::uint32_t records = LoadU32(journal.data() + 20);
    ASSERT_GT(records, 0u);
    ASSERT_EQ(journal.size(), kJournalHeaderSize + records * (8 + kPage));
    auto codec = CodecOf(file, kind.password);
    ASSERT_NE(codec, nullptr);
    for (std::uint32_t r = 0; r < records; ++r) {
      const std::uint8_t* rec = journal.data() + kJournalHeaderSize + r * (8 + kPage);
      const std::uint32_t n = LoadU32(rec);
      ASSERT_LT((n + 1) * kPage, file.size() + 1);
      std::span<const std::uint8_t> stored(rec + 4, kPage);
      EXPECT_TRUE(std::equal(stored.begin(), stored.end(), PageOf(file, n).begin())) << "page " << n;
      Bytes plain(stored.begin(), stored.end());
      codec->DecryptPage(n, plain);
      EXPECT_TRUE(LooksLikeAJetPage(plain)) << "page " << n;
      EXPECT_FALSE(std::equal(plain.begin(), plain.end(), stored.begin()))
          << "page " << n << " is kept in clear";
    }
    ExpectLastCheckpoint(path, kind.password, k);
  }
}

}  // namespace
}  // namespace qv::jet
