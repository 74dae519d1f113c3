// Damaged files: real corpus files with bytes overwritten at many offsets (and cut short) must
// either read or fail with a qv::Error; never a crash, a hang, another exception or a runaway
// allocation. Deterministic: the same mutations every run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/core/error.h"
#include "engine/jet/database.h"
#include "test_support.h"

namespace qv::jet {
namespace {

namespace fs = std::filesystem;

// Reads everything the engine can reach: header, catalog, every table's definition and rows.
void ReadEverything(const std::string& path, const std::string& password) {
  OpenOptions o;
  o.password = password;
  auto db = Database::Open(path, o);
  db->SchemaTables();
  for (const auto& e : db->catalog()) {
    if (!e.isTable()) continue;
    try {
      ReadOptions skip;
      skip.skipUnreadableColumns = true;
      auto reader = db->ReadTable(e.name, skip);
      Row row;
      while (reader->Next(row)) {
      }
    } catch (const Error&) {
      // One damaged table must not stop the others from being tried.
    }
  }
}

struct Outcome {
  int read = 0;
  int cleanErrors = 0;
};

void Check(const std::string& path, const std::string& password, Outcome& out, const std::string& what) {
  try {
    ReadEverything(path, password);
    ++out.read;
  } catch (const Error& e) {
    ++out.cleanErrors;
    EXPECT_FALSE(e.description().empty()) << what;
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": escaped as " << typeid(e).name() << ": " << e.what();
  }
}

class JetMutation : public ::testing::TestWithParam<std::string> {};

TEST_P(JetMutation, DamagedFilesReadOrFailCleanly) {
  const std::string rel = GetParam();
  std::ifstream in(testing::CorpusDir() + "/" + rel, std::ios::binary);
  Bytes original(std::istreambuf_iterator<char>(in), {});
  ASSERT_GT(original.size(), 4096u) << rel;
  auto passwords = testing::Passwords();
  std::string password = passwords.count(rel) ? passwords[rel] : "";
  fs::path tmp = fs::temp_directory_path() / ("qv_jet_mutation_" + std::to_string(::getpid()) + "_" +
                                              std::to_string(std::hash<std::string>{}(rel)) + ".mdb");
  auto write = [&](const Bytes& b) {
    fs::remove(tmp);  // a new inode every time: no shared page cache survives between cases
    std::ofstream out(tmp, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  };
  std::mt19937 rng(static_cast<std::uint32_t>(std::hash<std::string>{}(rel)));
  Outcome outcome;
  const std::uint32_t pageSize = original[0x14] == 0 ? 2048 : 4096;
  const std::size_t pages = original.size() / pageSize;

  // Single bytes and short runs anywhere, half of them in the first pages where the header,
  // the catalog's definition and the first table pages are.
  for (int i = 0; i < 300; ++i) {
    Bytes b = original;
    std::size_t span = i % 2 ? b.size() : std::min<std::size_t>(b.size(), pageSize * 8);
    std::size_t at = rng() % span;
    int run = 1 + static_cast<int>(rng() % 4);
    for (int k = 0; k < run && at + static_cast<std::size_t>(k) < b.size(); ++k)
      b[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(rng());
    write(b);
    Check(tmp.string(), password, outcome, rel + " byte 0x" + std::to_string(at));
  }
  // Page-structure fields: page types, row counts, row offsets, next-page pointers.
  for (std::size_t p = 1; p < pages; ++p) {
    Bytes b = original;
    std::size_t base = p * pageSize;
    std::size_t field = (p % 4 == 0) ? 0 : (p % 4 == 1) ? 4 : (p % 4 == 2) ? (pageSize == 2048 ? 8 : 12) : 16;
    b[base + field] = static_cast<std::uint8_t>(rng());
    b[base + field + 1] = static_cast<std::uint8_t>(rng() | 0x80);
    write(b);
    Check(tmp.string(), password, outcome, rel + " page " + std::to_string(p));
  }
  // Cut short at page and odd boundaries.
  for (std::size_t cut : {std::size_t{0}, std::size_t{100}, std::size_t{pageSize},
                          std::size_t{pageSize * 2 + 7}, original.size() / 2, original.size() - 1}) {
    Bytes b(original.begin(), original.begin() + static_cast<std::ptrdiff_t>(cut));
    write(b);
    Check(tmp.string(), password, outcome, rel + " cut at " + std::to_string(cut));
  }
  fs::remove(tmp);
  // Both outcomes must occur: a test where nothing fails mutates nothing that matters.
  EXPECT_GT(outcome.cleanErrors, 0);
  EXPECT_GT(outcome.read, 0);
}

std::string Name(const ::testing::TestParamInfo<std::string>& info) {
  std::string n;
  for (char c : fs::path(info.param).filename().string())
    n.push_back(std::isalnum(static_cast<unsigned char>(c)) ? c : '_');
  return n;
}

INSTANTIATE_TEST_SUITE_P(Jet, JetMutation,
                         ::testing::Values("jackcess/src/test/data/V1997/test2V1997.mdb",
                                           "jackcess/src/test/data/V1997/overflowTestV1997.mdb",
                                           "jackcess/src/test/data/V2003/test2V2003.mdb",
                                           "jackcess/src/test/data/V2003/testUnicodeCompV2003.mdb",
                                           "jackcessencrypt/src/test/data/db-enc.mdb",
                                           "jackcess/src/test/data/V2007/complexDataTestV2007.accdb",
                                           "jackcess/src/test/data/V2010/test2V2010.accdb",
                                           "mdb-reader/test/data/V2016/longtext.accdb",
                                           "jackcess/src/test/data/V2019/extDateTestV2019.accdb",
                                           "mdb-reader/test/password/data/V2003_with-password.mdb"),
                         Name);

}  // namespace
}  // namespace qv::jet
