// Many damaged statements and connection strings, made from good ones by cutting, deleting,
// replacing and inserting characters: each must parse, or fail with a clean qv::Error naming a
// position inside the text. What parses must read back the same from its canonical form.
#include <gtest/gtest.h>

#include <set>

#include "engine/core/error.h"
#include "engine/sql/connection_string.h"
#include "engine/sql/parser.h"
#include "engine/sql/syntax_error.h"
#include "statement_texts.h"

namespace qv::sql {
namespace {

const std::vector<std::string>& Seeds() {
  static const std::vector<std::string> seeds{
      "SELECT * FROM `Order Details`",
      "SELECT a1.* INTO `Sales` FROM `Orders` AS a1;",
      "select * into [Paradox 5.x;Database=C:\\Data\\].[Customer.db] from [Customers]",
      "select * into [Paradox 5.x;Database=/srv/dätä;x=y/].[日本.db] from [日本語の表]",
      "CREATE TABLE `T`(`ID` INT,`NAME` TEXT,`NOTES` MEMO);",
      "create table t (a text(10), b decimal(10,4), c binary(16), d counter, e Guid, f datetime)",
      "INSERT INTO `T` VALUES('7', 'O''Brien', NULL)",
      "INSERT INTO t VALUES (1, -2, +3, 4.5, -.5, 1e10, 2.5E-3, NULL, '😀')",
      "DROP TABLE `Orders`;",
      "DROP TABLE [a`b]",
  };
  return seeds;
}

const std::set<int>& KnownNumbers() {
  static const std::set<int> numbers{
      errc::kInvalidStatement,   errc::kFromClause,        errc::kInsertSyntax,    errc::kSelectSyntax,
      errc::kTrailingCharacters, errc::kCreateTableSyntax, errc::kFieldDefinition, errc::kDropSyntax,
      errc::kUnknownFieldName,   errc::kInvalidName,       errc::kDuplicateField,  errc::kInvalidFieldType,
      errc::kIsamNotFound};
  return numbers;
}

// Every variant of `seed` with one cut, deletion, replacement or insertion.
std::vector<std::string> Mutations(const std::string& seed) {
  static const char kRaw[] =
      "'`[](),.*;-+ \0\xff\xc3\x80"
      "aZ9=#\"";
  static const std::string kBytes(kRaw, sizeof kRaw - 1);
  std::vector<std::string> out;
  for (std::size_t i = 0; i <= seed.size(); ++i) {
    out.push_back(seed.substr(0, i));
    if (i < seed.size()) out.push_back(seed.substr(0, i) + seed.substr(i + 1));
    for (char b : kBytes) {
      if (i < seed.size()) {
        std::string r = seed;
        r[i] = b;
        out.push_back(r);
      }
      std::string ins = seed;
      ins.insert(ins.begin() + static_cast<std::ptrdiff_t>(i), b);
      out.push_back(ins);
    }
  }
  return out;
}

TEST(Mutation, DamagedStatementsParseOrFailCleanly) {
  std::size_t parsed = 0, refused = 0;
  for (const std::string& seed : Seeds()) {
    for (const std::string& text : Mutations(seed)) {
      try {
        const std::string canonical = FormatStatement(ParseStatement(text));
        ++parsed;
        ASSERT_EQ(FormatStatement(ParseStatement(canonical)), canonical) << text;
      } catch (const SyntaxError& e) {
        ++refused;
        ASSERT_TRUE(KnownNumbers().count(e.number())) << e.number() << " for " << text;
        ASSERT_LE(e.offset(), text.size()) << text;
        ASSERT_NE(e.description().find("character "), std::string::npos) << e.description();
      } catch (const std::exception& e) {
        FAIL() << "not a SyntaxError for " << text << ": " << e.what();
      }
    }
  }
  // Both outcomes must really occur, or the mutations test nothing.
  EXPECT_GT(parsed, 1000u);
  EXPECT_GT(refused, 10000u);
}

// A connection reads a run of INSERTs into one kept tree, passing the words up to the values
// without tokens: every damaged INSERT must read there exactly as it reads fresh, or fail with
// the same error (number, description, place).
TEST(Mutation, DamagedInsertsReadIntoAKeptTreeAsFresh) {
  const std::vector<std::string> seeds{
      "INSERT INTO [BIG] VALUES ('1', 'Customer O''Neil 1', NULL, '0.25', '2001-02-02 12:30:00')",
      "insert into `T`values('7',NULL) ;", "Insert\tInto t\nValues\r\n( NULL , 'x' )",
      "INSERT INTO [a b] VALUES (-1.5e3, +2, 'caf\xc3\xa9')"};
  std::size_t parsed = 0, refused = 0;
  for (const std::string& seed : seeds) {
    for (const std::string& text : Mutations(seed)) {
      std::string fresh, freshError, kept, keptError;
      try {
        fresh = FormatStatement(ParseStatement(text));
      } catch (const SyntaxError& e) {
        freshError = std::to_string(e.number()) + " " + std::to_string(e.offset()) + " " + e.description();
      }
      Statement tree = ParseStatement(seed);  // an INSERT read before, as on a connection
      try {
        ParseStatement(text, tree);
        kept = FormatStatement(tree);
      } catch (const SyntaxError& e) {
        keptError = std::to_string(e.number()) + " " + std::to_string(e.offset()) + " " + e.description();
      }
      ASSERT_EQ(keptError, freshError) << text;
      ASSERT_EQ(kept, fresh) << text;
      if (freshError.empty()) {
        ++parsed;
        // The offsets of the values too (the form above leaves them out).
        const auto* f = std::get_if<InsertStatement>(&tree);
        if (f != nullptr) {
          const auto again = std::get<InsertStatement>(ParseStatement(text));
          ASSERT_EQ(again.table.offset, f->table.offset) << text;
          ASSERT_EQ(again.values.size(), f->values.size()) << text;
          for (std::size_t i = 0; i < again.values.size(); ++i)
            ASSERT_EQ(again.values[i].offset, f->values[i].offset) << text;
          ASSERT_EQ(again.row, f->row) << text;
        }
      } else {
        ++refused;
      }
    }
  }
  EXPECT_GT(parsed, 1000u);
  EXPECT_GT(refused, 1000u);
}

TEST(Mutation, DamagedConnectionStringsParseOrFailCleanly) {
  const std::vector<std::string> seeds{
      "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/shop.accdb;JET OLEDB:Database Password=pw",
      "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/data/a;b.mdb;JET OLEDB:Database Password=",
      "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=/p;Dbq=/p;"
      "CollatingSequence=ASCII;"};
  std::size_t parsed = 0, refused = 0;
  for (const std::string& seed : seeds) {
    for (const std::string& text : Mutations(seed)) {
      try {
        const ConnectionString cs = ParseConnectionString(text);
        ++parsed;
        ASSERT_FALSE(cs.dataSource.empty()) << text;
      } catch (const qv::Error& e) {
        ++refused;
        ASSERT_TRUE(e.number() == errc::kBadConnectionString || e.number() == errc::kProviderNotFound)
            << text;
        ASSERT_FALSE(e.description().empty());
      } catch (const std::exception& e) {
        FAIL() << "not a qv::Error for " << text << ": " << e.what();
      }
    }
  }
  EXPECT_GT(parsed, 1000u);
  EXPECT_GT(refused, 1000u);
}

}  // namespace
}  // namespace qv::sql
