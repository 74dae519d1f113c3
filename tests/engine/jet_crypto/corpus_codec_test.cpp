// Every encrypted database of the corpus: the right password opens it, any other is refused with
// 3031, each page decrypts to a well-formed Jet page, and encrypting gives back the stored bytes.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "corpus_files.h"
#include "engine/core/error.h"
#include "engine/jet/crypto/encryption.h"

namespace qv::jet::crypto::test {
namespace {

bool IsLongValuePage(std::span<const std::uint8_t> p) {
  return p[0] == 0x01 && p[4] == 'L' && p[5] == 'V' && p[6] == 'A' && p[7] == 'L';
}

// Structural checks a page of the Jet/ACE layout passes and random bytes almost never do.
// Returns an empty string for a good page, otherwise what is wrong.
std::string CheckJetPage(std::span<const std::uint8_t> p, std::uint32_t pageCount, bool jet3) {
  bool zero = std::all_of(p.begin(), p.end(), [](std::uint8_t b) { return b == 0; });
  if (zero) return {};  // a free page
  const std::size_t size = p.size();
  if (p[1] != 0x01) return "byte 1 is not 0x01";
  auto inFile = [&](std::uint32_t page) { return page >= 1 && page < pageCount; };
  switch (p[0]) {
    case 0x01: {  // data page: free space, owning table definition, row offsets
      if (LoadU16(&p[2]) > size) return "data page free space beyond the page";
      // Long-value pages carry "LVAL" where other data pages name their table definition.
      if (!IsLongValuePage(p) && LoadU32(&p[4]) >= pageCount) return "data page owner outside the file";
      std::size_t countAt = jet3 ? 8 : 12;
      std::size_t rows = LoadU16(&p[countAt]);
      if (countAt + 2 + rows * 2 > size) return "data page row count too large";
      for (std::size_t i = 0; i < rows; ++i) {
        if ((LoadU16(&p[countAt + 2 + 2 * i]) & 0x1fff) > size) return "row offset beyond the page";
      }
      return {};
    }
    case 0x02:  // table definition: Jet3 marks it "VC"; ACE/Jet4 keep the free space there
      if (jet3 ? (p[2] != 'V' || p[3] != 'C') : LoadU16(&p[2]) > size) return "bad table definition header";
      if (LoadU32(&p[4]) != 0 && !inFile(LoadU32(&p[4])))
        return "table definition continues outside the file";
      return {};
    case 0x03:
    case 0x04:  // index node and leaf
      if (LoadU16(&p[2]) > size) return "index page free space beyond the page";
      if (!inFile(LoadU32(&p[4]))) return "index page owner outside the file";
      return {};
    case 0x05:  // usage map
    case 0x08:  // ACE page kinds with the 0x01 marker only
    case 0x09:
      return {};
    default:
      return "unknown page type " + std::to_string(p[0]);
  }
}

class EncryptedCorpusTest : public ::testing::TestWithParam<CorpusFile> {
 protected:
  void SetUp() override {
    file_ = ReadFileBytes(CorpusPath(GetParam().path));
    ASSERT_GE(file_.size(), 2u * GetParam().pageSize) << GetParam().path;
    ASSERT_EQ(file_.size() % GetParam().pageSize, 0u);
    pageCount_ = static_cast<std::uint32_t>(file_.size() / GetParam().pageSize);
    password_ = CorpusPassword(GetParam().path);
  }

  std::span<const std::uint8_t> Page(std::uint32_t n) const {
    return std::span<const std::uint8_t>(file_).subspan(std::size_t{n} * GetParam().pageSize,
                                                        GetParam().pageSize);
  }
  bool jet3() const { return GetParam().pageSize == 2048; }

  Bytes file_;
  std::uint32_t pageCount_ = 0;
  std::string password_;
};

TEST_P(EncryptedCorpusTest, HeaderNamesTheScheme) {
  EncryptionInfo info = DescribeEncryption(Page(0), GetParam().path);
  EXPECT_EQ(info.scheme, GetParam().scheme) << SchemeName(info.scheme);
  EXPECT_EQ(info.usesPassword(), GetParam().scheme != Scheme::kJetRc4);
  if (info.usesPassword()) {
    EXPECT_FALSE(password_.empty()) << "passwords.tsv has no entry";
  }
}

TEST_P(EncryptedCorpusTest, WrongOrMissingPasswordGives3031AndRevealsNothing) {
  if (GetParam().scheme == Scheme::kJetRc4) {
    GTEST_SKIP() << "the Jet page encoding has no password";
  }
  for (const std::string& wrong : {std::string(), password_ + "x", std::string("wrong"),
                                   password_.substr(0, password_.size() - 1), std::string(300, 'a')}) {
    try {
      OpenEncryption(Page(0), wrong, GetParam().pageSize, GetParam().path);
      ADD_FAILURE() << "a wrong password was accepted: \"" << wrong << "\"";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kWrongPassword);
      EXPECT_EQ(e.description(), "Not a valid password.");
      EXPECT_TRUE(e.where().empty());
    }
  }
}

TEST_P(EncryptedCorpusTest, RightPasswordDecryptsEveryPageToAJetPage) {
  auto codec = OpenEncryption(Page(0), password_, GetParam().pageSize, GetParam().path);
  ASSERT_NE(codec, nullptr);
  EXPECT_EQ(codec->scheme(), GetParam().scheme);

  std::map<std::uint32_t, Bytes> plain;
  int rawPagesLookingValid = 0;
  for (std::uint32_t n = 1; n < pageCount_; ++n) {
    Bytes page(Page(n).begin(), Page(n).end());
    // Pages the engine reserved but never wrote stay zero on disk, unencrypted; they are free.
    if (std::all_of(page.begin(), page.end(), [](std::uint8_t b) { return b == 0; })) continue;
    if (CheckJetPage(page, pageCount_, jet3()).empty()) ++rawPagesLookingValid;
    codec->DecryptPage(n, page);
    std::string problem = CheckJetPage(page, pageCount_, jet3());
    EXPECT_TRUE(problem.empty()) << GetParam().path << " page " << n << ": " << problem;
    plain[n] = std::move(page);
  }
  // The page check must be able to fail: stored (encrypted) pages do not pass it.
  EXPECT_LT(rawPagesLookingValid, static_cast<int>(pageCount_) / 20);
  // Page 2 is the catalog's table definition in every database.
  EXPECT_EQ(plain[2][0], 0x02);
  // Data pages that name a table (page 0 and 1 stand for none) name a table definition page.
  int owned = 0;
  for (const auto& [n, page] : plain) {
    if (page[0] != 0x01 || page[1] != 0x01 || IsLongValuePage(page)) continue;
    std::uint32_t owner = LoadU32(&page[4]);
    if (owner <= 1) continue;
    ++owned;
    ASSERT_TRUE(plain.count(owner));
    EXPECT_EQ(plain[owner][0], 0x02) << "page " << n << " names page " << owner << " as its table";
  }
  EXPECT_GT(owned, 0);
  // The catalog names itself: "MSysObjects" appears in the decrypted pages, as UTF-16LE or as
  // compressed (one byte a character) text in ACE/Jet4, as plain bytes in Jet3.
  std::string all;
  for (const auto& [n, page] : plain) all.append(page.begin(), page.end());
  std::string wide;
  for (char c : std::string("MSysObjects")) wide += std::string{c, '\0'};
  EXPECT_TRUE(all.find("MSysObjects") != std::string::npos || all.find(wide) != std::string::npos);
}

TEST_P(EncryptedCorpusTest, EncryptIsTheExactInverse) {
  auto codec = OpenEncryption(Page(0), password_, GetParam().pageSize, GetParam().path);
  ASSERT_NE(codec, nullptr);
  for (std::uint32_t n = 0; n < pageCount_; ++n) {
    Bytes page(Page(n).begin(), Page(n).end());
    codec->DecryptPage(n, page);
    if (n == 0) {
      EXPECT_TRUE(std::equal(page.begin(), page.end(), Page(0).begin())) << "page 0 was changed";
    }
    codec->EncryptPage(n, page);
    ASSERT_TRUE(std::equal(page.begin(), page.end(), Page(n).begin())) << GetParam().path << " page " << n;
  }
}

TEST_P(EncryptedCorpusTest, EachPageHasItsOwnKey) {
  auto codec = OpenEncryption(Page(0), password_, GetParam().pageSize, GetParam().path);
  ASSERT_NE(codec, nullptr);
  // Page 2 decrypted under the number of page 3 is noise.
  Bytes page(Page(2).begin(), Page(2).end());
  codec->DecryptPage(3, page);
  EXPECT_FALSE(CheckJetPage(page, pageCount_, jet3()).empty() && page[0] == 0x02);
}

TEST_P(EncryptedCorpusTest, PagesOfAnotherSizeAreRefused) {
  auto codec = OpenEncryption(Page(0), password_, GetParam().pageSize, GetParam().path);
  ASSERT_NE(codec, nullptr);
  Bytes shortPage(GetParam().pageSize - 16);
  try {
    codec->DecryptPage(1, shortPage);
    ADD_FAILURE() << "a short page was accepted";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), errc::kInvalidArgument);
  }
}

std::string FileLabel(const ::testing::TestParamInfo<CorpusFile>& info) {
  std::string path = info.param.path;
  std::string name = path.substr(path.rfind('/') + 1);
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, EncryptedCorpusTest, ::testing::ValuesIn(EncryptedCorpus()), FileLabel);

// Where the corpus holds the same database without encryption, the decrypted pages and the plain
// ones agree wherever Access laid them out alike.
TEST(EncryptedTwins, DecryptedPagesMatchTheUnencryptedCopy) {
  int twins = 0;
  for (const CorpusFile& f : EncryptedCorpus()) {
    if (f.twin == nullptr) continue;
    ++twins;
    Bytes file = ReadFileBytes(CorpusPath(f.path));
    Bytes twin = ReadFileBytes(CorpusPath(f.twin));
    ASSERT_GE(file.size(), 2u * f.pageSize) << f.path;
    auto codec = OpenEncryption(std::span<const std::uint8_t>(file).first(f.pageSize), CorpusPassword(f.path),
                                f.pageSize, f.path);
    ASSERT_NE(codec, nullptr);
    std::size_t common = std::min(file.size(), twin.size()) / f.pageSize;
    std::size_t identical = 0;
    for (std::size_t n = 1; n < common; ++n) {
      Bytes page(file.begin() + std::ptrdiff_t(n * f.pageSize),
                 file.begin() + std::ptrdiff_t((n + 1) * f.pageSize));
      codec->DecryptPage(static_cast<std::uint32_t>(n), page);
      if (std::equal(page.begin(), page.end(), twin.begin() + std::ptrdiff_t(n * f.pageSize))) ++identical;
    }
    EXPECT_GE(identical, common / 2) << f.path << ": " << identical << " of " << common << " pages identical";
  }
  EXPECT_GT(twins, 0);
}

TEST(UnencryptedCorpus, OpenReturnsNoCodec) {
  for (const char* path :
       {"mdb-reader/test/password/data/V2010_no-password.accdb",
        "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty2019.accdb",
        "jackcess/src/test/data/V2000/testV2000.mdb", "jackcess/src/test/data/V1997/testV1997.mdb",
        "mdb-reader/test/password/data/V2003_with-password.mdb"}) {
    Bytes file = ReadFileBytes(CorpusPath(path));
    ASSERT_GE(file.size(), 4096u) << path;
    std::span<const std::uint8_t> page0(file.data(), 4096);
    EXPECT_EQ(DescribeEncryption(page0, path).scheme, Scheme::kNone) << path;
    EXPECT_EQ(OpenEncryption(page0, "anything", 4096, path), nullptr) << path;
  }
}

}  // namespace
}  // namespace qv::jet::crypto::test
