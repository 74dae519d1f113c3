// The reader against real tables made by Paradox and the BDE: values, blanks, code pages, blobs,
// refusals. Expected values were read from the files by hand or by pxlib (pxdump).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/core/error.h"
#include "engine/core/value_text.h"
#include "engine/paradox/table_reader.h"

namespace fs = std::filesystem;
using namespace qv;
using namespace qv::paradox;

namespace {

fs::path Corpus(const std::string& rel) {
  return fs::path(QV_SHARED_DIR) / "corpus" / "paradox" / rel;
}

std::vector<Row> ReadAll(TableReader& t) {
  std::vector<Row> rows;
  Row row;
  while (t.Next(row)) rows.push_back(row);
  return rows;
}

std::string Text(const Value& v) {
  return FormatValueText(v).value_or("NULL");
}

}  // namespace

TEST(ParadoxReader, EveryTypeWithBlanksAndZeros) {
  // TypSammlung: one field of each type; row 1 blank everywhere but Alpha/Number/Logical/AutoInc,
  // row 3 holds zeros, which must not read as blanks.
  TableReader t(Corpus("Rparadox/TypSammlung.DB"));
  ASSERT_EQ(t.rowCount(), 5);
  const auto& c = t.columns();
  ASSERT_EQ(c.size(), 14u);
  EXPECT_EQ(c[2].name, "W\u00e4hrung");  // cp1252 name decoded
  const int ado[] = {200, 5, 5, 2, 3, 5, 133, 135, 135, 201, 11, 3, 205, 128};
  for (std::size_t i = 0; i < c.size(); ++i) EXPECT_EQ(c[i].adoType, ado[i]) << c[i].name;
  EXPECT_TRUE(c[11].autoIncrement);
  EXPECT_EQ(c[5].type, ColumnType::Decimal);
  EXPECT_EQ(c[5].scale, 6);
  auto rows = ReadAll(t);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(Text(rows[0][0]), "AAA Irgendein Text");
  EXPECT_EQ(Text(rows[0][5]), "40.000000");
  EXPECT_EQ(Text(rows[0][6]), "1970-01-01 00:00:00");
  EXPECT_EQ(Text(rows[0][7]), "1899-12-30 00:00:00");  // midnight is a value, not a blank
  EXPECT_EQ(Text(rows[0][8]), "1970-01-01 11:00:00");
  // Row 1: blank BCD written by BDE 7 as 0x06 + zeros is NULL (pxlib cannot decode it).
  for (int i : {2, 3, 4, 5, 6, 7, 8, 9, 12, 13})
    EXPECT_TRUE(IsNull(rows[1][static_cast<std::size_t>(i)])) << i;
  EXPECT_EQ(std::get<bool>(rows[1][10]), false);
  EXPECT_EQ(Text(rows[3][5]), "0.000000");
  EXPECT_EQ(Text(rows[4][5]), "-40.000000");
  // A BC date: astronomical year -1 (2 BC).
  EXPECT_EQ(std::get<Timestamp>(rows[2][6]).year, -1);
}

TEST(ParadoxReader, NumbersTimesAndLongBlank) {
  TableReader d(Corpus("paradoxdriver/db/DECIMAL.DB"));
  auto rows = ReadAll(d);
  ASSERT_EQ(rows.size(), 9u);
  bool sawNegative = false;
  for (auto& r : rows)
    if (!IsNull(r[0]) && std::get<double>(r[0]) == -1.387) sawNegative = true;
  EXPECT_TRUE(sawNegative);

  TableReader l(Corpus("paradoxdriver/fields/long.db"));
  auto lr = ReadAll(l);
  int nulls = 0;
  for (auto& r : lr) nulls += IsNull(r[1]);
  EXPECT_EQ(nulls, 1);  // pxlib 0.6.8 misreads this blank as -2147483648

  TableReader tm(Corpus("paradoxdriver/fields/time.db"));
  auto tr = ReadAll(tm);
  ASSERT_EQ(tr.size(), 3u);
  nulls = 0;
  for (auto& r : tr) nulls += IsNull(r[0]);
  EXPECT_EQ(nulls, 1);
}

TEST(ParadoxReader, BcdNoiseAfterTwentyDigitsIsDropped) {
  TableReader t(Corpus("paradoxdriver/fields/bcd.db"));
  auto rows = ReadAll(t);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(Text(rows[0][2]), "0.1229999999999999980");
  EXPECT_EQ(Text(rows[1][2]), "-0.1229999999999999980");
}

TEST(ParadoxReader, BlobsInLeaderSingleAndSuballocatedBlocks) {
  TableReader memo(Corpus("paradoxdriver/fields/memo.db"));
  auto rows = ReadAll(memo);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_FALSE(std::get<std::string>(rows[0][1]).empty());

  TableReader customer(Corpus("paradoxdriver/db/CUSTOMER.DB"));  // type-2 and type-3 blocks
  int memos = 0;
  for (auto& r : ReadAll(customer))
    for (auto& v : r)
      if (std::holds_alternative<std::string>(v) && std::get<std::string>(v).size() > 100) ++memos;
  EXPECT_GT(memos, 0);

  // Graphics lose their 8-byte prefix: the value is the BMP itself.
  TableReader g(Corpus("paradoxdriver/fields/graphic.db"));
  auto gr = ReadAll(g);
  const auto& bmp = std::get<Bytes>(gr[0][1]);
  ASSERT_EQ(bmp.size(), 20078u);
  EXPECT_EQ(bmp[0], 'B');
  EXPECT_EQ(bmp[1], 'M');
  TableReader o(Corpus("paradoxdriver/fields/ole.db"));
  auto orow = ReadAll(o);
  EXPECT_EQ(std::get<Bytes>(orow[0][1]).size(), 365928u - 8u);
}

TEST(ParadoxReader, MissingBlobFileFailsOnlyTheBlobValues) {
  TableReader t(Corpus("paradoxReader/MEMBRE.DB"));
  EXPECT_FALSE(t.blobPath().has_value());
  Row row;
  int failures = 0, rows = 0;
  for (;;) {
    try {
      if (!t.Next(row)) break;
    } catch (const Error& e) {
      ++failures;
      EXPECT_EQ(e.number(), errc::kFileNotFound);
      EXPECT_NE(e.description().find("MEMBRE.DB"), std::string::npos);
      EXPECT_NE(e.where().find("block"), std::string::npos);
    }
    ++rows;
    EXPECT_FALSE(IsNull(row[0])) << "other fields still read";
  }
  EXPECT_EQ(rows, 6);
  EXPECT_EQ(failures, 6);  // every record has a photo beyond its leader
}

TEST(ParadoxReader, EncryptedTablesAreRefused) {
  for (const char* name : {"paradoxdriver/encrypt/encrypted.db", "paradoxdriver/encrypt/encrypted35.db",
                           "paradoxdriver/encrypt/encryptedmemo.db"}) {
    try {
      TableReader t(Corpus(name));
      ADD_FAILURE() << name << " opened";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), errc::kEncrypted) << name;
      EXPECT_NE(e.description().find("password"), std::string::npos);
    }
  }
}

TEST(ParadoxReader, CodePages) {
  // Version 3.5 has no code page: read as 437. The same table saved as v4 names 866; with an
  // override the v3.5 file reads exactly like it.
  TableReader v35(Corpus("Rparadox/of.db"), OpenOptions{"CP866"});
  TableReader v4(Corpus("Rparadox/of_cp866.db"));
  EXPECT_EQ(TableReader(Corpus("Rparadox/of.db")).charset(), "CP437");
  EXPECT_EQ(v4.charset(), "CP866");
  EXPECT_EQ(v35.columns()[0].name, v4.columns()[0].name);
  Row a, b;
  int n = 0;
  while (v35.Next(a)) {
    ASSERT_TRUE(v4.Next(b));
    ASSERT_EQ(a, b) << "row " << n;
    ++n;
  }
  EXPECT_EQ(n, 2197);
  // NOTE1251's header says 936 (GBK) but its memo text is 1251 Cyrillic: nothing in the file
  // tells, so the header is followed unless the caller names the real character set.
  TableReader lying(Corpus("paradoxdriver/history/NOTE1251.DB"), OpenOptions{"CP1251"});
  EXPECT_EQ(TableReader(Corpus("paradoxdriver/history/NOTE1251.DB")).charset(), "CP936");
  bool cyrillic = false;
  while (lying.Next(a))
    for (auto& v : a)
      if (auto s = std::get_if<std::string>(&v))
        cyrillic =
            cyrillic || s->find("\u0430") != std::string::npos || s->find("\u043e") != std::string::npos;
  EXPECT_TRUE(cyrillic);
  // Code page 0 with the Roman-8 language driver.
  TableReader r8(Corpus("paradoxdriver/db/ROMAN8.db"));
  EXPECT_EQ(r8.charset(), "HP-ROMAN8");
  ASSERT_TRUE(r8.Next(a));
  EXPECT_EQ(std::get<std::string>(a[0]), "\u0160\u00bd\u0192\u00b6");  // bytes EB F8 BE F4 in Roman-8
}

TEST(ParadoxReader, StreamsLargeKeyedTableInBlockOrder) {
  TableReader t(Corpus("paradoxdriver/areas/ZIPCODES.DB"));
  EXPECT_EQ(t.rowCount(), 43185);
  Row row;
  std::int64_t n = 0;
  while (t.Next(row)) ++n;
  EXPECT_EQ(n, 43185);
}

namespace {

struct DamagedCopy {
  fs::path dir, db;
  explicit DamagedCopy(const std::string& rel) {
    char tmpl[] = "/tmp/qv-pxdmg-XXXXXX";
    dir = mkdtemp(tmpl);
    db = dir / "T.DB";
    fs::copy_file(Corpus(rel), db);
  }
  ~DamagedCopy() { fs::remove_all(dir); }
  void Poke(std::size_t offset, std::vector<std::uint8_t> bytes) {
    std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(offset));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // Reads to the end; returns the error that stopped it.
  Error ReadError() {
    try {
      TableReader t(db);
      Row row;
      while (t.Next(row)) {
      }
    } catch (const Error& e) {
      return e;
    }
    return Error(0, "no error");
  }
};

}  // namespace

TEST(ParadoxReader, DamagedStructuresAreNamedWithBlockAndOffset) {
  // tblsttes: 16 KiB blocks, header 2048, several blocks in its list.
  {
    DamagedCopy c("paradoxdriver/geog/County.DB");
    TableReader t(c.db);
    const auto first = t.header().firstBlock;
    const std::size_t at = t.header().headerSize + std::size_t{first - 1u} * t.header().blockSize();
    c.Poke(at, {static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(first >> 8)});  // next = itself
    const Error e = c.ReadError();
    EXPECT_EQ(e.number(), errc::kCorrupt);
    EXPECT_NE(e.description().find("loops"), std::string::npos) << e.description();
    EXPECT_NE(e.where().find("T.DB, block " + std::to_string(first)), std::string::npos) << e.where();
  }
  {
    DamagedCopy c("paradoxdriver/geog/County.DB");
    TableReader t(c.db);
    const std::size_t at =
        t.header().headerSize + std::size_t{t.header().firstBlock - 1u} * t.header().blockSize();
    c.Poke(at, {0xFF, 0x7F});  // next block far beyond the file
    const Error e = c.ReadError();
    EXPECT_NE(e.description().find("block list names block 32767"), std::string::npos) << e.description();
  }
  {
    DamagedCopy c("Rparadox/TypSammlung.DB");
    c.Poke(0x02, {0xFF, 0xFF});  // header size beyond the file
    const Error e = c.ReadError();
    EXPECT_NE(e.description().find("header size"), std::string::npos) << e.description();
    EXPECT_NE(e.where().find("offset 0x2"), std::string::npos) << e.where();
  }
  {
    DamagedCopy c("Rparadox/TypSammlung.DB");
    c.Poke(0x06, {0xFF, 0xFF, 0x00, 0x00});  // more records than the blocks hold
    EXPECT_NE(c.ReadError().description().find("more than its"), std::string::npos);
  }
  {
    DamagedCopy c("paradoxReader/PCLDATA/PCL.DB");
    fs::resize_file(c.db, 409 + 10 * 1024 + 100);  // 1 KiB blocks after a 409-byte header: cut in block 11
    const Error e = c.ReadError();
    EXPECT_EQ(e.number(), errc::kCorrupt);
    EXPECT_NE(e.where().find("block"), std::string::npos) << e.where();
  }
}
