// The key material of an encrypted database lives as long as a connection to the file does: the
// cipher the first connection installed is destroyed with the last connection, and its keys are
// zero by then. The ciphers' wipe hook shows the bytes that held the keys after the wipe, before
// they are freed, so a missing wipe or a cipher that outlives its connections fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"
#include "engine/jet/database.h"
#include "engine/jet/write/table_inserter.h"
#include "test_support.h"

namespace qv::jet {
namespace {

using namespace qv::jet::testing;

// What the wipe hook of each cipher made during a test saw.
struct WipeLog {
  struct Entry {
    int calls = 0;
    std::size_t bytes = 0;
    bool allZero = false;
  };
  std::vector<Entry> ciphers;  // in the order the factory made them
};

// The library's ciphers, each reporting to `log`.
crypto::PageCodecFactory ObservedFactory(std::shared_ptr<WipeLog> log) {
  return [log](std::span<const std::uint8_t> page0, std::string_view password, std::uint32_t pageSize,
               std::string_view file) {
    std::unique_ptr<crypto::PageCodec> cipher = crypto::OpenEncryption(page0, password, pageSize, file);
    const std::size_t id = log->ciphers.size();
    log->ciphers.emplace_back();
    cipher->ObserveWipe([log, id](std::span<const std::uint8_t> keys) {
      WipeLog::Entry& e = log->ciphers[id];
      ++e.calls;
      e.bytes = keys.size();
      e.allZero = std::all_of(keys.begin(), keys.end(), [](std::uint8_t b) { return b == 0; });
    });
    return cipher;
  };
}

TEST(KeyWipe, KeysOfEveryOfficeSchemeAreWipedWhenTheLastConnectionCloses) {
  int files = 0;
  for (const auto& [rel, password] : Passwords()) {
    if (rel.find(".accdb") == std::string::npos) continue;  // Jet4 passwords protect no page
    SCOPED_TRACE(rel);
    ++files;
    auto log = std::make_shared<WipeLog>();
    OpenOptions options;
    options.password = password;
    options.codecFactory = ObservedFactory(log);
    auto first = Database::Open(CorpusDir() + "/" + rel, options);
    ASSERT_EQ(log->ciphers.size(), 1u);
    EXPECT_EQ(log->ciphers[0].calls, 0);
    {
      // Every connection proves the password with a cipher of its own; the file keeps the first,
      // so the second one's keys are wiped at once.
      auto second = Database::Open(CorpusDir() + "/" + rel, options);
      ASSERT_EQ(log->ciphers.size(), 2u);
      EXPECT_EQ(log->ciphers[1].calls, 1);
      EXPECT_TRUE(log->ciphers[1].allZero);
      (void)second->UserTableNames();
    }
    EXPECT_EQ(log->ciphers[0].calls, 0) << "the file's cipher went with a connection that was not the last";
    EXPECT_FALSE(first->UserTableNames().empty());
    // A wrong password leaves no cipher behind either: the codec is never handed out.
    OpenOptions wrong = options;
    wrong.password = password + "x";
    EXPECT_THROW(Database::Open(CorpusDir() + "/" + rel, wrong), Error);
    EXPECT_EQ(log->ciphers.size(), 2u);
    first.reset();
    ASSERT_EQ(log->ciphers[0].calls, 1) << "the last connection closed and the cipher lives on";
    // The encoding key (4 bytes) and a password-derived secret of 16 bytes at least.
    EXPECT_GE(log->ciphers[0].bytes, 20u);
    EXPECT_TRUE(log->ciphers[0].allZero);
  }
  EXPECT_EQ(files, 9);
}

// The codec's keys are really there before the wipe: a codec made twice from the same page 0 and
// password decrypts the same, and after one of them is gone the other still works (the wipe
// touches only the destroyed codec's own buffer).
TEST(KeyWipe, WipingOneCodecLeavesAnotherOfTheSameFileWorking) {
  const std::string rel = "mdb-reader/test/encryption/data/office-agile-4.2.accdb";
  std::ifstream in(CorpusDir() + "/" + rel, std::ios::binary);
  Bytes file(16 * 4096);
  in.read(reinterpret_cast<char*>(file.data()), static_cast<std::streamsize>(file.size()));
  ASSERT_EQ(in.gcount(), static_cast<std::streamsize>(file.size()));
  std::span<const std::uint8_t> page0(file.data(), 4096);
  auto a = crypto::OpenEncryption(page0, "password", 4096);
  auto b = crypto::OpenEncryption(page0, "password", 4096);
  Bytes p1(file.begin() + 4096 * 2, file.begin() + 4096 * 3), p2 = p1;
  bool wiped = false;
  a->ObserveWipe([&](std::span<const std::uint8_t> keys) {
    wiped = std::all_of(keys.begin(), keys.end(), [](std::uint8_t x) { return x == 0; }) && !keys.empty();
  });
  a->DecryptPage(2, p1);
  a.reset();
  EXPECT_TRUE(wiped);
  b->DecryptPage(2, p2);
  EXPECT_EQ(p1, p2);
  EXPECT_EQ(p1[0], 0x02) << "page 2 is the catalog's table definition";
}

// The Jet RC4 page encoding has no password, but its cipher keeps the database key and wipes it
// the same way when the last connection closes; a second connection uses the file's cipher.
TEST(KeyWipe, JetRc4CipherWipesItsKey) {
  for (const char* rel :
       {"jackcessencrypt/src/test/data/db-enc.mdb", "jackcessencrypt/src/test/data/db97-enc.mdb"}) {
    SCOPED_TRACE(rel);
    auto log = std::make_shared<WipeLog>();
    OpenOptions options;
    options.codecFactory = ObservedFactory(log);
    auto first = Database::Open(CorpusDir() + "/" + rel, options);
    {
      auto second = Database::Open(CorpusDir() + "/" + rel, options);
      EXPECT_FALSE(second->UserTableNames().empty());
    }
    ASSERT_EQ(log->ciphers.size(), 1u);
    EXPECT_EQ(log->ciphers[0].calls, 0);
    first.reset();
    EXPECT_EQ(log->ciphers[0].calls, 1);
    EXPECT_EQ(log->ciphers[0].bytes, 4u);
    EXPECT_TRUE(log->ciphers[0].allZero);
  }
}

}  // namespace
}  // namespace qv::jet
