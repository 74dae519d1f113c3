// The pager's background decryption: pages read through its worker thread must be exactly the
// pages read on one thread, whatever the order, each decrypted once; a damaged or shrunken file
// must fail at the same page with the same error; a page written in memory between two reads must
// be what the next read sees; and closing a connection while the worker is busy must end cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "counting_codec.h"
#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"
#include "engine/jet/database.h"
#include "engine/jet/file_registry.h"
#include "engine/jet/page_store.h"
#include "test_support.h"

namespace qv::jet {
namespace {

namespace fs = std::filesystem;
using namespace qv::jet::testing;

std::string ErrorText(const Error& e) {
  return std::to_string(e.number()) + " " + e.description() + " @ " + e.where();
}

// Pages 1.. of the file in `order`; stops at the first error, whose text goes last.
std::vector<std::string> ReadPages(Database& db, const std::vector<std::uint32_t>& order) {
  std::vector<std::string> out;
  try {
    for (std::uint32_t n : order) {
      auto page = db.pages().ReadPage(n);
      out.emplace_back(page->begin(), page->end());
    }
  } catch (const Error& e) {
    out.push_back("error " + ErrorText(e));
  }
  return out;
}

std::vector<std::uint32_t> Sequential(std::uint32_t from, std::uint32_t to) {
  std::vector<std::uint32_t> order;
  for (std::uint32_t n = from; n < to; ++n) order.push_back(n);
  return order;
}

// Every table scanned: its row count, or the error that stopped it.
std::string ScanTables(Database& db) {
  std::string out;
  for (const std::string& name : db.UserTableNames()) {
    out += name + ": ";
    try {
      auto reader = db.ReadTable(name, ReadOptions{true});
      Row row;
      std::size_t rows = 0;
      while (reader->Next(row)) ++rows;
      out += std::to_string(rows) + " rows\n";
    } catch (const Error& e) {
      out += ErrorText(e) + "\n";
    }
  }
  return out;
}

// Files that have page encryption (the .mdb files with a password have none).
std::vector<std::pair<std::string, std::string>> EncryptedFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& [rel, password] : Passwords())
    if (rel.ends_with(".accdb")) files.emplace_back(rel, password);
  return files;
}

class ScratchDir {
 public:
  ScratchDir() : path_(fs::temp_directory_path() / ("qv_bg_decrypt_" + std::to_string(::getpid()))) {
    fs::create_directories(path_);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  std::string Copy(const std::string& rel, const std::string& name) const {
    const fs::path to = path_ / name;
    fs::copy_file(CorpusDir() + "/" + rel, to, fs::copy_options::overwrite_existing);
    return to.string();
  }

 private:
  fs::path path_;
};

TEST(BackgroundDecrypt, ServesTheBytesOfOneThreadInAnyOrderDecryptingEachPageOnce) {
  int files = 0;
  for (const auto& [rel, password] : EncryptedFiles()) {
    SCOPED_TRACE(rel);
    const std::string path = CorpusDir() + "/" + rel;
    DecryptCounts offCounts;
    std::vector<std::string> expected;
    std::uint32_t count = 0;
    {
      auto db = Database::Open(path, Counted(password, offCounts));
      db->pages().SetBackgroundDecrypt(false);
      count = db->pages().pageCount();
      expected = ReadPages(*db, Sequential(1, count));
    }
    if (offCounts.times.empty()) continue;  // no page encryption
    ++files;
    ASSERT_EQ(expected.size(), count - 1u);
    // Sequential, runs of 24 pages from shuffled starting points (the worker follows and is left
    // behind), and a plain shuffle.
    std::mt19937 random(7);
    std::vector<std::uint32_t> runs, shuffled = Sequential(1, count);
    std::vector<std::uint32_t> starts;
    for (std::uint32_t s = 1; s < count; s += 24) starts.push_back(s);
    std::shuffle(starts.begin(), starts.end(), random);
    for (std::uint32_t s : starts)
      for (std::uint32_t n = s; n < std::min(s + 24, count); ++n) runs.push_back(n);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    for (const auto& order : {Sequential(1, count), runs, shuffled}) {
      DecryptCounts counts;
      std::vector<std::string> got;
      {
        auto db = Database::Open(path, Counted(password, counts));
        db->pages().SetBackgroundDecrypt(true);  // also on a machine with one processor
        got = ReadPages(*db, order);
      }
      ASSERT_EQ(got.size(), order.size());
      for (std::size_t i = 0; i < order.size(); ++i)
        EXPECT_TRUE(got[i] == expected[order[i] - 1]) << "page " << order[i];
      for (const auto& [page, times] : counts.times) EXPECT_EQ(times, 1) << "page " << page;
      EXPECT_EQ(counts.times.size(), count - 1u);  // every page, none left unread by the reader
    }
  }
  EXPECT_GE(files, 5);
}

TEST(BackgroundDecrypt, DamagedPageFailsWithTheSameError) {
  ScratchDir dir;
  for (const char* rel : {"mdb-reader/test/encryption/data/office-agile-4.2.accdb",  // RC4 CryptoAPI
                          "jackcessencrypt/src/test/data/db2007-enc.accdb"}) {       // agile AES
    SCOPED_TRACE(rel);
    const std::string password = Passwords().at(rel);
    // A data page of a user table in the middle of the file, stored again with a row count that
    // does not fit the page (encrypted with the file's own cipher, so it decrypts to that).
    std::uint32_t victim = 0, count = 0;
    Bytes stored;
    {
      auto db = Database::Open(CorpusDir() + "/" + rel, OpenOptions{password, {}});
      count = db->pages().pageCount();
      std::set<std::uint32_t> userTables;  // their definition pages
      const auto names = db->UserTableNames();
      for (const auto& entry : db->catalog())
        if (entry.isTable() && std::find(names.begin(), names.end(), entry.name) != names.end())
          userTables.insert(entry.tablePage());
      std::vector<std::uint32_t> data;
      for (std::uint32_t n = 1; n < count; ++n)
        if (auto page = db->pages().ReadPage(n);
            (*page)[0] == 0x01 && userTables.count(LoadU32(page->data() + 4)))
          data.push_back(n);
      ASSERT_FALSE(data.empty());
      victim = data[data.size() / 2];
      stored = *db->pages().ReadPage(victim);
      StoreU16(stored.data() + 12, 4000);
      db->pages().EncodeForDisk(victim, stored);
    }
    std::map<bool, std::string> scans;
    for (bool worker : {false, true}) {
      const std::string damaged = dir.Copy(rel, "damaged.accdb");
      {
        auto f = std::fopen(damaged.c_str(), "r+b");
        ASSERT_NE(f, nullptr);
        std::fseek(f, static_cast<long>(victim) * 4096, SEEK_SET);
        std::fwrite(stored.data(), 1, stored.size(), f);
        std::fclose(f);
      }
      {
        auto db = Database::Open(damaged, OpenOptions{password, {}});
        db->pages().SetBackgroundDecrypt(worker);
        scans[worker] = ScanTables(*db);
      }
    }
    EXPECT_EQ(scans[true], scans[false]);
    EXPECT_NE(scans[false].find("3049 "), std::string::npos) << scans[false];
    EXPECT_NE(scans[false].find("page " + std::to_string(victim)), std::string::npos) << scans[false];
  }
}

// A file that loses its end while a sequential read is under way (after page 5): the read stops
// at the page that is no longer whole, 100 bytes into it, with or without the worker. The store
// is made directly (no connection has cached anything), over 300 pages stored behind the page 0
// of an RC4 CryptoAPI file and decrypted with its cipher.
TEST(BackgroundDecrypt, FileShrunkDuringASequentialReadFailsAtTheSamePage) {
  ScratchDir dir;
  const char* rel = "mdb-reader/test/encryption/data/office-agile-4.2.accdb";
  const std::string path = dir.Copy(rel, "shrunk.accdb");
  const std::string password = Passwords().at(rel);
  fs::resize_file(path, 301 * 4096);  // the corpus file's pages, then zeros (any bytes decrypt)
  std::map<bool, std::vector<std::string>> got;
  for (bool worker : {false, true}) {
    fs::resize_file(path, 301 * 4096);
    PageStore store(qv::PosixFileSystem().Open(path, qv::OpenMode::kRead), 4096);
    const PageStore& view = store;
    Bytes head = view.ReadRaw(0, 4096);
    store.SetCipher(crypto::OpenEncryption(head, password, 4096, path));
    store.SetBackgroundDecrypt(worker);
    auto& pages = got[worker];
    try {
      for (std::uint32_t n = 1; n < 301; ++n) {
        if (n == 6) fs::resize_file(path, 150 * 4096 + 100);
        auto page = store.ReadPage(n);
        pages.emplace_back(page->begin(), page->end());
      }
    } catch (const Error& e) {
      pages.push_back("error " + ErrorText(e));
    }
  }
  ASSERT_EQ(got[false].size(), 150u) << got[false].back();  // pages 1..149, then the error
  EXPECT_TRUE(got[true] == got[false]) << got[true].back();
  EXPECT_NE(got[false].back().find("short read"), std::string::npos) << got[false].back();
  EXPECT_NE(got[false].back().find("page 150"), std::string::npos) << got[false].back();
  EXPECT_NE(got[false].back().find("0x64"), std::string::npos) << got[false].back();
}

TEST(BackgroundDecrypt, PageWrittenBetweenReadsIsWhatTheNextReadSees) {
  ScratchDir dir;
  const char* rel = "mdb-reader/test/encryption/data/office-agile-4.2.accdb";
  const std::string path = dir.Copy(rel, "written.accdb");
  auto db = Database::Open(path, OpenOptions{Passwords().at(rel), {}});
  PageStore& ps = db->pages();
  ASSERT_TRUE(ps.writable());
  const std::uint32_t count = ps.pageCount();
  ASSERT_GT(count, 40u);
  ps.SetBackgroundDecrypt(false);
  const std::vector<std::string> before = ReadPages(*db, Sequential(1, count));
  db.reset();
  for (std::uint32_t target : {12u, 20u, 30u}) {  // pages the worker may be reading or have read
    SCOPED_TRACE(target);
    db = Database::Open(path, OpenOptions{Passwords().at(rel), {}});
    PageStore& pages = db->pages();
    ReadPages(*db, Sequential(1, 11));  // the worker now has the pages after these in hand
    auto written = std::make_shared<const Bytes>(4096, static_cast<std::uint8_t>(target));
    pages.BeginUndo();
    pages.PutPage(target, written);
    auto after = ReadPages(*db, Sequential(11, count));
    ASSERT_EQ(after.size(), count - 11u);
    EXPECT_EQ(after[target - 11], std::string(4096, static_cast<char>(target)));
    // Undone: the page is read from the file again, as it was.
    pages.EndUndo(false);
    after = ReadPages(*db, Sequential(1, count));
    EXPECT_TRUE(after == before);
    db.reset();
  }
  // Written to the file as a checkpoint does (the page encrypted, written, synced, marked clean)
  // while a sequential read is under way; then read again by a new connection from the file.
  const std::uint32_t target = 15;
  const std::string content(4096, '\x3c');
  for (int connection = 0; connection < 2; ++connection) {
    db = Database::Open(path, OpenOptions{Passwords().at(rel), {}});
    PageStore& pages = db->pages();
    ReadPages(*db, Sequential(1, 11));
    if (connection == 0) {
      pages.PutPage(target, std::make_shared<const Bytes>(content.begin(), content.end()));
      Bytes stored(content.begin(), content.end());
      pages.EncodeForDisk(target, stored);
      pages.WriteRaw(std::uint64_t{target} * 4096, stored);
      pages.Sync();
      pages.MarkClean(count);
    }
    auto after = ReadPages(*db, Sequential(1, count));
    ASSERT_EQ(after.size(), before.size());
    for (std::uint32_t n = 1; n < count; ++n)
      EXPECT_TRUE(after[n - 1] == (n == target ? content : before[n - 1]))
          << "connection " << connection << " page " << n;
    db.reset();
  }
}

TEST(BackgroundDecrypt, ClosingDuringASequentialReadJoinsTheWorker) {
  const char* rel = "mdb-reader/test/data/real/ASampleDatabase-protected.accdb";
  const std::size_t openBefore = FileRegistry::Instance().openCount();
  for (std::uint32_t stop = 9; stop < 60; stop += 3) {
    auto db = Database::Open(CorpusDir() + "/" + rel, OpenOptions{Passwords().at(rel), {}});
    ReadPages(*db, Sequential(1, stop));
    db.reset();  // the worker may be in the middle of a batch right now
    EXPECT_EQ(FileRegistry::Instance().openCount(), openBefore);
  }
}

}  // namespace
}  // namespace qv::jet
