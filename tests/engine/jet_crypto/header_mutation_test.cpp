// Damaged encryption headers: page 0 of real encrypted databases corrupted at many offsets must
// give either a working codec or a clean qv::Error (never a crash, a hang or another exception),
// and no error text may carry the password.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "corpus_files.h"
#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"
#include "engine/jet/crypto/encryption_header.h"

namespace qv::jet::crypto::test {
namespace {

struct Outcome {
  int opened = 0;
  std::set<int> errorNumbers;
};

// Opens the mutated page 0 with the right password and files the result.
void TryOpen(std::span<const std::uint8_t> page0, const std::string& password, std::uint32_t pageSize,
             const std::string& label, Outcome& outcome) {
  try {
    auto codec = OpenEncryption(page0, password, pageSize, "mutated.accdb");
    if (codec) {
      // A codec from a damaged header must still work on a page without failing.
      Bytes page(pageSize, 0x5a);
      codec->DecryptPage(1, page);
      codec->EncryptPage(1, page);
      EXPECT_TRUE(std::all_of(page.begin(), page.end(), [](std::uint8_t b) { return b == 0x5a; })) << label;
    }
    ++outcome.opened;
  } catch (const Error& e) {
    outcome.errorNumbers.insert(e.number());
    EXPECT_TRUE(e.number() == errc::kWrongPassword || e.number() == errc::kCorrupt ||
                e.number() == errc::kEncrypted)
        << label << ": " << e.number() << " " << e.description();
    // (Some corpus passwords are the word "password", which the texts themselves use.)
    if (password != "password") {
      EXPECT_EQ(e.description().find(password), std::string::npos) << label << ": the password leaked";
    }
    if (e.number() == errc::kCorrupt) {
      EXPECT_NE(e.where().find("mutated.accdb, page 0, offset 0x"), std::string::npos)
          << label << ": " << e.where();
    }
  } catch (const std::exception& e) {
    ADD_FAILURE() << label << ": not a qv::Error: " << e.what();
  }
}

struct MutationCase {
  const char* path;
  std::size_t stride;  // test every stride-th byte of the structure
  bool slow;           // each open spins the password hash 100,000 times: fewer mutations
};

class HeaderMutationTest : public ::testing::TestWithParam<MutationCase> {};

TEST_P(HeaderMutationTest, EveryMutationGivesACodecOrACleanError) {
  const std::string path = GetParam().path;
  Bytes file = ReadFileBytes(CorpusPath(path));
  ASSERT_GE(file.size(), 8192u);
  const std::string password = CorpusPassword(path);
  Bytes page0(file.begin(), file.begin() + 4096);
  const std::size_t infoEnd = kCryptInfoOffset + 2 + LoadU16(&page0[kCryptInfoOffset]);

  Outcome outcome;
  // The masked encoding key, the format version byte, and the whole encryption structure.
  std::vector<std::size_t> offsets;
  if (!GetParam().slow) {
    offsets.push_back(kVersionOffset);
    for (std::size_t off = kEncodingKeyOffset; off < kEncodingKeyOffset + 4; ++off) offsets.push_back(off);
  }
  for (std::size_t off = kCryptInfoOffset; off < infoEnd;
       off += (off < kCryptInfoOffset + 12 ? 1 : GetParam().stride)) {
    offsets.push_back(off);
  }
  for (std::size_t off : offsets) {
    std::vector<std::uint8_t> values = {std::uint8_t{0xff}, static_cast<std::uint8_t>(page0[off] ^ 0x01)};
    if (!GetParam().slow)
      values.insert(values.end(), {std::uint8_t{0x00}, std::uint8_t{'9'}, std::uint8_t{'<'}});
    for (std::uint8_t value : values) {
      Bytes mutated = page0;
      if (mutated[off] == value) continue;
      mutated[off] = value;
      TryOpen(mutated, password, 4096,
              path + " offset " + std::to_string(off) + " = " + std::to_string(value), outcome);
    }
  }
  // The structure's length word at its extremes.
  for (std::uint16_t length : {std::uint16_t{0}, std::uint16_t{1}, std::uint16_t{7}, std::uint16_t{0xffff},
                               static_cast<std::uint16_t>(4096 - kCryptInfoOffset - 1)}) {
    Bytes mutated = page0;
    StoreU16(&mutated[kCryptInfoOffset], length);
    TryOpen(mutated, password, 4096, path + " length " + std::to_string(length), outcome);
  }
  // Page 0 cut short anywhere up to the end of the structure.
  for (std::size_t size = 0; size <= infoEnd; size += 37) {
    TryOpen(std::span<const std::uint8_t>(page0.data(), size), password, 4096,
            path + " cut at " + std::to_string(size), outcome);
  }
  // Damage must have been seen as damage at least once, not always waved through.
  EXPECT_TRUE(outcome.errorNumbers.count(errc::kCorrupt)) << path;
  EXPECT_TRUE(outcome.errorNumbers.count(errc::kWrongPassword)) << path;
}

INSTANTIATE_TEST_SUITE_P(
    Corpus, HeaderMutationTest,
    ::testing::Values(MutationCase{"jackcessencrypt/src/test/data/db-nonstandard.accdb", 1, false},
                      MutationCase{"jackcessencrypt/src/test/data/db2007-oldenc.accdb", 1, false},
                      MutationCase{"ucanaccess/src/main/resources/password-protected.accdb", 1, false},
                      MutationCase{"jackcessencrypt/src/test/data/db2007-enc.accdb", 31, true},
                      MutationCase{"jackcessencrypt/src/test/data/db2013-enc.accdb", 67, true}),
    [](const ::testing::TestParamInfo<MutationCase>& param) {
      std::string name = param.param.path;
      name = name.substr(name.rfind('/') + 1);
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

TEST(HeaderMutation, RandomDamageAcrossTheStructure) {
  // A fixed pseudo-random sequence (no seed from the clock, so failures replay) of multi-byte
  // damage on the RC4 and the non-standard AES headers.
  std::uint32_t state = 0x2545f491;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  };
  for (const char* path : {"jackcessencrypt/src/test/data/db-nonstandard.accdb",
                           "ucanaccess/src/main/resources/password-protected.accdb",
                           "jackcessencrypt/src/test/data/db2007-oldenc.accdb"}) {
    Bytes file = ReadFileBytes(CorpusPath(path));
    ASSERT_GE(file.size(), 4096u);
    const std::string password = CorpusPassword(path);
    Outcome outcome;
    for (int round = 0; round < 400; ++round) {
      Bytes page0(file.begin(), file.begin() + 4096);
      int flips = 1 + static_cast<int>(next() % 6);
      for (int i = 0; i < flips; ++i) {
        std::size_t off = kCryptInfoOffset + next() % 260;
        page0[off] = static_cast<std::uint8_t>(next());
      }
      TryOpen(page0, password, 4096, std::string(path) + " round " + std::to_string(round), outcome);
    }
  }
}

}  // namespace
}  // namespace qv::jet::crypto::test
