// Damaged tables: real corpus tables with bytes changed at many offsets of the .DB and the .MB,
// and cut short at many lengths. Each must read to the end or stop with a clean qv::Error; a
// crash, a hang or another exception fails the run (and the sanitizers, when enabled, watch
// every read).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/core/error.h"
#include "engine/paradox/table_reader.h"

namespace fs = std::filesystem;
using namespace qv;
using namespace qv::paradox;

namespace {

const fs::path kCorpus = fs::path(QV_SHARED_DIR) / "corpus" / "paradox";

Bytes Load(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}
void Save(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Reads everything; returns the number of clean errors seen.
int ReadThrough(const fs::path& db) {
  int errors = 0;
  try {
    TableReader t(db);
    Row row;
    for (std::int64_t guard = 0; guard <= t.rowCount() + 1; ++guard) {
      try {
        if (!t.Next(row)) break;
      } catch (const Error& e) {
        ++errors;
        EXPECT_FALSE(e.description().empty());
        if (e.number() == errc::kCorrupt && e.where().find("block") != std::string::npos &&
            e.description().find("field") == std::string::npos)
          break;  // the block list is damaged: the stream ends
      }
    }
  } catch (const Error& e) {
    ++errors;
    EXPECT_FALSE(e.description().empty());
  }
  return errors;
}

class MutationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qv-pxmut-XXXXXX";
    dir_ = mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Mutates `count` offsets of the .DB (and of the .MB when `blob` is set) of one table.
  void Run(const std::string& rel, const std::string& mbRel, int count, unsigned seed) {
    const Bytes db = Load(kCorpus / rel);
    const Bytes mb = mbRel.empty() ? Bytes{} : Load(kCorpus / mbRel);
    const fs::path dbOut = dir_ / "T.DB";
    const fs::path mbOut = dir_ / "T.MB";
    std::mt19937 rng(seed);
    const std::uint8_t patterns[] = {0x00, 0xFF, 0x80, 0x7F, 0x01};
    int errors = 0;
    for (int i = 0; i < count; ++i) {
      Bytes d = db, m = mb;
      const bool inBlob = !m.empty() && i % 3 == 2;
      Bytes& target = inBlob ? m : d;
      // Half the mutations hit the header and the first block, where the structure lives.
      const std::size_t span = (i % 2 && target.size() > 4096) ? 4096 : target.size();
      const std::size_t off = rng() % span;
      target[off] =
          (i % 4 == 3) ? static_cast<std::uint8_t>(rng()) : patterns[static_cast<std::size_t>(i) % 5];
      if (i % 7 == 0) target[(off + 1) % target.size()] ^= 0xA5;
      Save(dbOut, d);
      if (!m.empty()) Save(mbOut, m);
      errors += ReadThrough(dbOut);
    }
    // Truncations.
    for (std::size_t len : {std::size_t{0}, std::size_t{10}, std::size_t{0x57}, std::size_t{0x78},
                            db.size() / 3, db.size() - 1}) {
      Save(dbOut, Bytes(db.begin(), db.begin() + static_cast<std::ptrdiff_t>(std::min(len, db.size()))));
      if (!mb.empty()) Save(mbOut, mb);
      errors += ReadThrough(dbOut);
    }
    EXPECT_GT(errors, 0) << rel << ": no mutation was noticed at all";
  }

  fs::path dir_;
};

}  // namespace

TEST_F(MutationTest, Version3Table) {
  Run("paradoxReader/PCLDATA/PCL.DB", "", 400, 1);
}
TEST_F(MutationTest, Version7TableWithMemos) {
  Run("paradoxdriver/db/CUSTOMER.DB", "paradoxdriver/db/CUSTOMER.MB", 600, 2);
}
TEST_F(MutationTest, EveryFieldType) {
  Run("Rparadox/TypSammlung.DB", "Rparadox/TypSammlung.MB", 600, 3);
}
TEST_F(MutationTest, GraphicsAndBcd) {
  Run("paradoxdriver/history/fields.db", "paradoxdriver/history/fields.mb", 400, 4);
}
TEST_F(MutationTest, KeyedTableManyBlocks) {
  Run("paradoxdriver/geog/tblsttes.DB", "", 400, 5);
}
TEST_F(MutationTest, SuballocatedMemos) {
  Run("paradoxdriver/db/HERCULES.DB", "paradoxdriver/db/HERCULES.MB", 400, 6);
}
