#include "engine/sql/parser.h"

#include <gtest/gtest.h>

#include <random>

#include "engine/core/error.h"
#include "engine/sql/syntax_error.h"
#include "statement_texts.h"

namespace qv::sql {
namespace {

using testing::OddNames;

template <typename T>
T ParseAs(const std::string& text) {
  Statement s;
  try {
    s = ParseStatement(text);
  } catch (const qv::Error& e) {
    ADD_FAILURE() << "could not parse: " << text << "\n" << e.description();
    return T{};
  }
  if (!std::holds_alternative<T>(s)) {
    ADD_FAILURE() << "parsed as another statement kind: " << text;
    return T{};
  }
  return std::get<T>(s);
}

// ---- The forms the program sends, with the names tables really have ----

TEST(StatementForms, DropStatementsKeepOddNames) {
  for (const std::string& name : OddNames()) {
    for (const std::string& text : {testing::DropForReplace(name), testing::DropForDelete(name)}) {
      auto s = ParseAs<DropTableStatement>(text);
      EXPECT_EQ(s.table.text, name) << text;
      EXPECT_EQ(s.table.quote, '`');
      EXPECT_EQ(s.table.offset, 11u);
    }
  }
}

TEST(StatementForms, SelectAllKeepsOddNames) {
  for (const std::string& name : OddNames()) {
    auto s = ParseAs<SelectStatement>(testing::SelectAll(name));
    EXPECT_EQ(s.from.text, name);
    EXPECT_FALSE(s.into);
    EXPECT_FALSE(s.starQualifier);
    EXPECT_FALSE(s.alias);
  }
}

TEST(StatementForms, RenameCopyKeepsBothNames) {
  auto s = ParseAs<SelectStatement>("SELECT a1.* INTO `Sales` FROM `Orders` AS a1;");
  ASSERT_TRUE(s.starQualifier && s.into && s.alias);
  EXPECT_EQ(s.starQualifier->text, "a1");
  EXPECT_EQ(s.into->name.text, "Sales");
  EXPECT_FALSE(s.into->external);
  EXPECT_EQ(s.from.text, "Orders");
  EXPECT_EQ(s.alias->text, "a1");
  for (const std::string& oldName : OddNames()) {
    const std::string& newName = OddNames()[OddNames().size() - 1 - (&oldName - OddNames().data())];
    auto r = ParseAs<SelectStatement>(testing::RenameCopy(newName, oldName));
    ASSERT_TRUE(r.into);
    EXPECT_EQ(r.into->name.text, newName);
    EXPECT_EQ(r.from.text, oldName);
  }
}

TEST(StatementForms, CopyIntoParadoxFolder) {
  auto s = ParseAs<SelectStatement>(testing::CopyToParadox("C:\\Data", "Orders", "Orders"));
  ASSERT_TRUE(s.into && s.into->external);
  EXPECT_EQ(FormatStatement(s), "SELECT * INTO [Paradox 5.x;Database=C:\\Data\\].`Orders.db` FROM `Orders`");
  EXPECT_EQ(s.into->external->type, "Paradox 5.x");
  EXPECT_EQ(s.into->external->folder, "C:\\Data\\");
  EXPECT_EQ(s.into->name.text, "Orders.db");
  EXPECT_EQ(s.into->ExternalTableName(), "Orders");
  EXPECT_EQ(s.from.text, "Orders");

  // "CodePage=NNN;" before "Database=" fixes the new table's code page; the folder stays verbatim.
  auto fixed = ParseAs<SelectStatement>(
      "select * into [Paradox 5.x;codepage=1250;Database=/data/a;b=c/].[T.db] from [T]");
  ASSERT_TRUE(fixed.into && fixed.into->external);
  EXPECT_EQ(fixed.into->external->codePage, 1250);
  EXPECT_EQ(fixed.into->external->folder, "/data/a;b=c/");
  EXPECT_EQ(FormatStatement(fixed),
            "SELECT * INTO [Paradox 5.x;CodePage=1250;Database=/data/a;b=c/].`T.db` FROM `T`");
  EXPECT_EQ(s.into->external->codePage, 0);
  for (const char* bad : {"CodePage=;", "CodePage=12x;", "CodePage=-5;", "CodePage=1250"})
    EXPECT_THROW(
        ParseStatement(std::string("select * into [Paradox 5.x;") + bad + "Database=/d].[T.db] from [T]"),
        qv::Error)
        << bad;

  // A drive root keeps one backslash.
  auto root = ParseAs<SelectStatement>(testing::CopyToParadox("D:\\", "Customer", "Customers"));
  ASSERT_TRUE(root.into && root.into->external);
  EXPECT_EQ(root.into->external->folder, "D:\\");
  EXPECT_EQ(root.into->ExternalTableName(), "Customer");

  // Folders on this platform: blanks, ';', '=', apostrophes and non-ASCII belong to the folder.
  for (const std::string folder : {"/home/ana/Paradox", "/srv/Données; 2024=alt", "/tmp/it's here", "/"}) {
    for (const std::string& name : OddNames()) {
      if (name.find(']') != std::string::npos) continue;  // the recipe cannot carry it
      const std::string target = testing::FirstCharacters(name, 8);
      const std::string text = testing::CopyToParadoxPosix(folder, target, name);
      if (target.find('\t') != std::string::npos) {
        // A Paradox table is a file: a control character in its name is refused.
        try {
          ParseStatement(text);
          ADD_FAILURE() << "accepted " << text;
        } catch (const qv::Error& e) {
          EXPECT_EQ(e.number(), errc::kInvalidName);
        }
        continue;
      }
      auto c = ParseAs<SelectStatement>(text);
      ASSERT_TRUE(c.into && c.into->external) << text;
      EXPECT_EQ(c.into->external->folder, folder + "/");
      EXPECT_EQ(c.into->ExternalTableName(), target) << text;
      EXPECT_EQ(c.from.text, name);
    }
  }
}

TEST(StatementForms, CreateTableOfTheTransfer) {
  auto s = ParseAs<CreateTableStatement>("CREATE TABLE `T`(`ID` INT,`NAME` TEXT,`NOTES` MEMO);");
  EXPECT_EQ(s.table.text, "T");
  ASSERT_EQ(s.columns.size(), 3u);
  EXPECT_EQ(s.columns[0].column.name, "ID");
  EXPECT_EQ(s.columns[0].column.type, ColumnType::Int32);
  EXPECT_EQ(s.columns[1].column.type, ColumnType::Text);
  EXPECT_EQ(s.columns[1].column.size, 255u);
  EXPECT_EQ(s.columns[2].column.type, ColumnType::Memo);

  // Every column type the transfer writes, under every odd field name.
  const std::vector<std::pair<std::string, ColumnType>> kinds{
      {"OLEOBJECT", ColumnType::LongBinary}, {"MEMO", ColumnType::Memo}, {"TEXT", ColumnType::Text},
      {"DECIMAL", ColumnType::Decimal},      {"INT", ColumnType::Int32}, {"DATETIME", ColumnType::DateTime},
      {"FLOAT", ColumnType::Double}};
  std::vector<std::pair<std::string, std::string>> fields;
  for (std::size_t i = 0; i < OddNames().size(); ++i) {
    fields.emplace_back(OddNames()[i], kinds[i % kinds.size()].first);
  }
  for (const std::string& table : OddNames()) {
    auto c = ParseAs<CreateTableStatement>(testing::CreateTable(table, fields));
    EXPECT_EQ(c.table.text, table);
    ASSERT_EQ(c.columns.size(), fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) {
      EXPECT_EQ(c.columns[i].name.text, fields[i].first);
      EXPECT_EQ(c.columns[i].column.name, fields[i].first);
      EXPECT_EQ(c.columns[i].column.type, kinds[i % kinds.size()].second);
    }
  }
  auto d = ParseAs<CreateTableStatement>("CREATE TABLE `D`(`X` DECIMAL);");
  EXPECT_EQ(d.columns[0].column.precision, 18);
  EXPECT_EQ(d.columns[0].column.scale, 0);
}

TEST(StatementForms, InsertOfTheTransfer) {
  auto s = ParseAs<InsertStatement>("INSERT INTO `T` VALUES('7', 'O''Brien', NULL)");
  EXPECT_EQ(s.table.text, "T");
  ASSERT_EQ(s.values.size(), 3u);
  EXPECT_EQ(s.values[0].kind, Literal::Kind::Text);
  EXPECT_EQ(s.text(0), "7");
  EXPECT_EQ(s.text(1), "O'Brien");
  EXPECT_EQ(s.values[2].kind, Literal::Kind::Null);
}

// The transfer's recipe against the parser, on many rows of awkward values: every value must
// come back exactly, and NULL and empty text both as NULL.
TEST(StatementForms, InsertRecipeRoundTripsRandomRows) {
  const std::vector<std::string> pieces{"'",
                                        "''",
                                        ",",
                                        ", '",
                                        ")",
                                        "(",
                                        "NULL",
                                        "null",
                                        " ",
                                        "\n",
                                        "\r\n",
                                        "\t",
                                        "`",
                                        "[",
                                        "]",
                                        ";",
                                        "é",
                                        "日本",
                                        "😀",
                                        "-1.5e3",
                                        "0",
                                        "2024-02-29 23:59:58",
                                        "a",
                                        "{01234567-89AB-CDEF-0123-456789ABCDEF}",
                                        std::string(1, '\0'),
                                        "\\",
                                        "\""};
  std::mt19937 rng(20241207);
  for (int row = 0; row < 2000; ++row) {
    std::vector<std::optional<std::string>> values(1 + rng() % 8);
    for (auto& v : values) {
      switch (rng() % 5) {
        case 0:
          v = std::nullopt;
          break;
        case 1:
          v = std::string();
          break;
        default: {
          std::string text;
          for (unsigned n = 1 + rng() % 6; n > 0; --n) text += pieces[rng() % pieces.size()];
          v = text;
        }
      }
    }
    const std::string table = OddNames()[rng() % OddNames().size()];
    const std::string text = testing::Insert(table, values);
    auto s = ParseAs<InsertStatement>(text);
    EXPECT_EQ(s.table.text, table);
    ASSERT_EQ(s.values.size(), values.size()) << text;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!values[i] || values[i]->empty()) {
        EXPECT_EQ(s.values[i].kind, Literal::Kind::Null) << text;
      } else {
        EXPECT_EQ(s.values[i].kind, Literal::Kind::Text) << text;
        EXPECT_EQ(s.text(i), *values[i]) << text;
      }
    }
  }
}

TEST(StatementForms, FirstLastAndOnlyValueNull) {
  EXPECT_EQ(testing::Insert("T", {std::nullopt, "x"}), "INSERT INTO `T` VALUES(NULL, 'x')");
  EXPECT_EQ(testing::Insert("T", {"x", std::string()}), "INSERT INTO `T` VALUES('x', NULL)");
  EXPECT_EQ(testing::Insert("T", {std::nullopt}), "INSERT INTO `T` VALUES(NULL)");
  for (const std::string text : {"INSERT INTO `T` VALUES(NULL, 'x')", "INSERT INTO `T` VALUES('x', NULL)",
                                 "INSERT INTO `T` VALUES(NULL)"}) {
    auto s = ParseAs<InsertStatement>(text);
    EXPECT_FALSE(s.values.empty());
  }
}

// ---- Lexical rules ----

TEST(Lexis, KeywordsInAnyCaseBlanksAndFinalSemicolon) {
  for (const std::string text :
       {"select * from t", "SeLeCt\t*\nFrOm\r\nt", "SELECT * FROM t;", "SELECT * FROM t ;  ",
        " \n SELECT*FROM t", "SELECT * FROM[t]", "SELECT*FROM`t`;"}) {
    auto s = ParseAs<SelectStatement>(text);
    EXPECT_EQ(s.from.text, "t") << text;
  }
  auto d = ParseAs<DropTableStatement>("drop\ttable\n[My Table];");
  EXPECT_EQ(d.table.text, "My Table");
  EXPECT_EQ(d.table.quote, '[');
}

TEST(Lexis, QuotedNamesHoldTheOtherQuoteAndPunctuation) {
  EXPECT_EQ(ParseAs<DropTableStatement>("DROP TABLE [a`b]").table.text, "a`b");
  EXPECT_EQ(ParseAs<DropTableStatement>("DROP TABLE `a]b[`").table.text, "a]b[");
  EXPECT_EQ(ParseAs<DropTableStatement>("DROP TABLE [x; DROP TABLE y]").table.text, "x; DROP TABLE y");
  EXPECT_EQ(ParseAs<DropTableStatement>("DROP TABLE [it's]").table.text, "it's");
  EXPECT_EQ(ParseAs<DropTableStatement>("DROP TABLE Bücher_2").table.text, "Bücher_2");
  EXPECT_EQ(ParseAs<DropTableStatement>("DROP TABLE _x1").table.text, "_x1");
  EXPECT_EQ(ParseAs<DropTableStatement>("DROP TABLE `select`").table.text, "select");
}

TEST(Lexis, RenameTableWithAndWithoutReplace) {
  auto r = ParseAs<RenameTableStatement>("alter table [~qvtemp1] rename to `Order Details`;");
  EXPECT_EQ(r.table.text, "~qvtemp1");
  EXPECT_EQ(r.newName.text, "Order Details");
  EXPECT_FALSE(r.replace);
  r = ParseAs<RenameTableStatement>("ALTER TABLE t RENAME TO [a`b] REPLACE");
  EXPECT_EQ(r.newName.text, "a`b");
  EXPECT_TRUE(r.replace);
  EXPECT_EQ(FormatStatement(r), "ALTER TABLE `t` RENAME TO [a`b] REPLACE");
  for (const char* bad :
       {"ALTER TABLE t RENAME u", "ALTER TABLE t TO u", "ALTER TABLE t RENAME TO u REPLACE x"})
    EXPECT_THROW(ParseStatement(bad), qv::Error) << bad;
}

TEST(Lexis, Numbers) {
  auto s = ParseAs<InsertStatement>("INSERT INTO t VALUES (1, -2, +3, 4.5, -.5, 1e10, 2.5E-3, 007, 6., -0)");
  const std::vector<std::pair<Literal::Kind, std::string>> expected{
      {Literal::Kind::Integer, "1"},   {Literal::Kind::Integer, "-2"},  {Literal::Kind::Integer, "3"},
      {Literal::Kind::Real, "4.5"},    {Literal::Kind::Real, "-.5"},    {Literal::Kind::Real, "1e10"},
      {Literal::Kind::Real, "2.5E-3"}, {Literal::Kind::Integer, "007"}, {Literal::Kind::Real, "6."},
      {Literal::Kind::Integer, "-0"}};
  ASSERT_EQ(s.values.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(s.values[i].kind, expected[i].first) << i;
    EXPECT_EQ(s.text(i), expected[i].second) << i;
  }
}

TEST(Lexis, TextLiteralsKeepEverythingButTheDoubling) {
  const char raw[] = "INSERT INTO t VALUES ('', '''', 'a''''b', 'line\nbreak', 'nul\0here', '😀')";
  auto s = ParseAs<InsertStatement>(std::string(raw, sizeof raw - 1));
  ASSERT_EQ(s.values.size(), 6u);
  EXPECT_EQ(s.values[0].kind, Literal::Kind::Text);  // '' is an empty text, not NULL
  EXPECT_EQ(s.text(0), "");
  EXPECT_EQ(s.text(1), "'");
  EXPECT_EQ(s.text(2), "a''b");
  EXPECT_EQ(s.text(3), "line\nbreak");
  EXPECT_EQ(s.text(4), std::string("nul\0here", 8));
  EXPECT_EQ(s.text(5), "😀");
  // Texts, NULLs and numbers in any order, with blanks around the separators.
  auto mixed = ParseAs<InsertStatement>("INSERT INTO t VALUES ( 'a' ,NULL,\t'b'\n, -2 , 'c'\r\n) ;");
  ASSERT_EQ(mixed.values.size(), 5u);
  EXPECT_EQ(mixed.text(0), "a");
  EXPECT_EQ(mixed.values[0].offset, 23u);
  EXPECT_EQ(mixed.values[1].kind, Literal::Kind::Null);
  EXPECT_EQ(mixed.text(2), "b");
  EXPECT_EQ(mixed.values[3].kind, Literal::Kind::Integer);
  EXPECT_EQ(mixed.text(3), "-2");
  EXPECT_EQ(mixed.values[4].kind, Literal::Kind::Text);
  EXPECT_EQ(mixed.text(4), "c");
}

TEST(Semantics, StarQualifierMustNameTheSource) {
  EXPECT_EQ(ParseAs<SelectStatement>("SELECT A1.* INTO x FROM y AS a1").starQualifier->text, "A1");
  EXPECT_EQ(ParseAs<SelectStatement>("SELECT t.* FROM T").starQualifier->text, "t");
  EXPECT_EQ(ParseAs<SelectStatement>("SELECT [My T].* FROM `my t`").from.text, "my t");
}

TEST(Semantics, TypeNamesInAnyCaseWithSizes) {
  auto s = ParseAs<CreateTableStatement>(
      "create table t (a text(10), b Text, c decimal(10,4), d decimal(28), e binary(16), f counter, g Guid)");
  ASSERT_EQ(s.columns.size(), 7u);
  EXPECT_EQ(s.columns[0].column.size, 10u);
  EXPECT_EQ(s.columns[1].column.size, 255u);
  EXPECT_EQ(s.columns[2].column.precision, 10);
  EXPECT_EQ(s.columns[2].column.scale, 4);
  EXPECT_EQ(s.columns[3].column.precision, 28);
  EXPECT_EQ(s.columns[4].column.type, ColumnType::Binary);
  EXPECT_EQ(s.columns[4].column.size, 16u);
  EXPECT_TRUE(s.columns[5].column.autoIncrement);
  EXPECT_EQ(s.columns[6].column.type, ColumnType::Guid);
  EXPECT_EQ(s.columns[0].typeName, "text");
  EXPECT_EQ(s.columns[0].typeArguments, std::vector<std::uint32_t>{10});
}

TEST(Format, CanonicalTextReadsBackToTheSameTree) {
  const std::vector<std::string> texts{
      "SELECT a1.* INTO `Sales` FROM `Orders` AS a1;",
      "select * into [Paradox 5.x;Database=/x;y=z/].[N.db] from [Order Details]",
      "CREATE TABLE `T`(`ID` INT,`NAME` TEXT(20),`P` DECIMAL(10,2));",
      "INSERT INTO `T` VALUES('7', 'O''Brien', NULL, -1.5e3, +2)", "DROP TABLE [a`b]"};
  for (const std::string& text : texts) {
    const std::string once = FormatStatement(ParseStatement(text));
    EXPECT_EQ(FormatStatement(ParseStatement(once)), once) << text;
  }
  EXPECT_EQ(FormatStatement(ParseStatement("insert into t values (+2, 'it''s', null)")),
            "INSERT INTO `t` VALUES (2, 'it''s', NULL)");
  DropTableStatement bad;
  bad.table.text = "a`]b";
  EXPECT_THROW(FormatStatement(bad), qv::Error);
}

TEST(Format, ReusedTreeReadsEachStatementAsAFreshOne) {
  // One tree read into again and again, as a connection does for a run of INSERTs: longer and
  // shorter value lists, texts that outgrow and undercut the earlier ones, NULLs, numbers, other
  // statements and faulty ones in between.
  const std::vector<std::string> texts{
      "INSERT INTO `T` VALUES('7', 'O''Brien', NULL, -1.5e3, +2)",
      "INSERT INTO `T` VALUES('a much longer text than the short string room holds, with '' inside', '')",
      "INSERT INTO `T` VALUES(NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, "
      "NULL, "
      "NULL, NULL, NULL, '18')",
      "INSERT INTO `T` VALUES('x')",
      "INSERT INTO `T` VALUES('unclosed)",
      "INSERT INTO `T` VALUES(-5, '2024-02-29 13:45:59', 'caf\xc3\xa9', 1.25)",
      "INSERT INTO `T` VALUES('1', 2 3)",
      "SELECT * FROM `T`",
      "INSERT INTO [U] VALUES ( 'p' , NULL , 'q' ) ;",
      "DROP TABLE `T`",
      "INSERT INTO `T` VALUES('b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k')",
      "INSERT INTO `T` VALUES()",
      "INSERT INTO `T` VALUES('z')",
      "INSERT INTO `T` VALUES(null, Null,NULL ,nULl\t)",
      "INSERT INTO `T` VALUES('Customer O''Neil 1234', 'two''''quotes at the end of eight''', "
      "'caf\xc3\xa9 au lait, cr\xc3\xa8me br\xc3\xbbl\xc3\xa9"
      "e', '0123456789abcdef', '01234567', '')",
      "INSERT INTO `T` VALUES(NULLX)"};
  Statement reused;
  int inserts = 0, faults = 0;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    Statement fresh;
    std::string freshError, reusedError;
    try {
      fresh = ParseStatement(text);
    } catch (const qv::Error& e) {
      freshError = e.description();
    }
    try {
      ParseStatement(text, reused);
    } catch (const qv::Error& e) {
      reusedError = e.description();
    }
    EXPECT_EQ(reusedError, freshError);
    if (!freshError.empty()) {
      ++faults;
      continue;
    }
    EXPECT_EQ(FormatStatement(reused), FormatStatement(fresh));
    if (const auto* f = std::get_if<InsertStatement>(&fresh)) {
      const auto* r = std::get_if<InsertStatement>(&reused);
      ASSERT_NE(r, nullptr);
      ++inserts;
      EXPECT_EQ(r->table.text, f->table.text);
      EXPECT_EQ(r->table.quote, f->table.quote);
      ASSERT_EQ(r->values.size(), f->values.size());
      EXPECT_EQ(r->row, f->row);  // NULL as NULL after a text in the same place, and the other way
      for (std::size_t i = 0; i < f->values.size(); ++i) {
        EXPECT_EQ(r->values[i].kind, f->values[i].kind) << i;
        EXPECT_EQ(r->text(i), f->text(i)) << i;
        EXPECT_EQ(r->values[i].offset, f->values[i].offset) << i;
      }
    }
  }
  EXPECT_EQ(inserts, 10);
  EXPECT_EQ(faults, 4);
}

// ---- Faults: the number, and the place named in the description ----

struct Fault {
  std::string text;
  int number;
  std::string near;  // the text at the fault's position; "" for the end of the statement
  int nth = 0;       // which occurrence of `near`
};

std::size_t Occurrence(const std::string& text, const std::string& needle, int nth) {
  std::size_t p = text.find(needle);
  while (nth-- > 0 && p != std::string::npos) p = text.find(needle, p + 1);
  return p;
}

TEST(Faults, NumberAndPosition) {
  using namespace errc;
  const std::vector<Fault> faults{
      {"", kInvalidStatement, ""},
      {"   ", kInvalidStatement, ""},
      {" ;", kInvalidStatement, ";"},
      {"UPDATE t SET a = 1", kInvalidStatement, "UPDATE"},
      {"DELETE FROM t", kInvalidStatement, "DELETE"},
      {"SELECTX * FROM t", kInvalidStatement, "SELECTX"},
      {"SELECT", kSelectSyntax, ""},
      {"SELECT a FROM t", kSelectSyntax, "FROM"},
      {"SELECT a.b FROM t", kSelectSyntax, "b FROM"},
      {"SELECT *, x FROM t", kSelectSyntax, ","},
      {"SELECT FROM t", kSelectSyntax, "FROM"},
      {"SELECT * t", kSelectSyntax, "t"},
      {"SELECT * FROM", kFromClause, ""},
      {"SELECT * FROM t WHERE a = 1", kTrailingCharacters, "WHERE"},
      {"SELECT * FROM t;;", kTrailingCharacters, ";", 1},
      {"SELECT * FROM t; DROP TABLE t", kTrailingCharacters, "DROP"},
      {"SELECT * FROM t AS", kFromClause, ""},
      {"SELECT * FROM t a1", kTrailingCharacters, "a1"},
      {"SELECT a2.* FROM t AS a1", kUnknownFieldName, "a2"},
      {"SELECT t2.* FROM t", kUnknownFieldName, "t2"},
      {"SELECT t.* FROM t AS a1", kUnknownFieldName, "t.*"},
      {"SELECT * FROM db.t", kFromClause, "."},
      {"SELECT * FROM [t", kFromClause, "["},
      {"SELECT * FROM `t", kFromClause, "`"},
      {"SELECT * FROM ``", kInvalidName, "`"},
      {"SELECT * FROM []", kInvalidName, "["},
      {"SELECT * FROM from", kFromClause, "from"},
      {"SELECT * FROM t AS as", kFromClause, "as"},
      {"SELECT * INTO FROM t", kSelectSyntax, "FROM"},
      {"SELECT * INTO x", kSelectSyntax, ""},
      {"SELECT * FROM 'x'", kFromClause, "'"},
      {"select * into [Paradox 5.x;Database=/d/].[X.db] from", kFromClause, ""},
      {"select * into [Paradox 7.x;Database=/d/].[X.db] from [T]", kIsamNotFound, "Paradox"},
      {"select * into [dBASE IV;Database=/d/].[X.db] from [T]", kIsamNotFound, "dBASE"},
      {"select * into [Paradox 5.x;Dir=/d/].[X.db] from [T]", kSelectSyntax, "Dir"},
      {"select * into [Paradox 5.x].[X.db] from [T]", kSelectSyntax, "["},
      {"select * into `Paradox 5.x;Database=/d/`.[X.db] from [T]", kSelectSyntax, "`"},
      {"select * into [Paradox 5.x;Database=].[X.db] from [T]", kSelectSyntax, "["},
      {"select * into [Paradox 5.x;Database=/d/]. from [T]", kSelectSyntax, "from"},
      {"select * into [Paradox 5.x;Database=/d/].[X.db].[Y] from [T]", kSelectSyntax, ".", 3},
      {"select * into [Paradox 5.x;Database=/d/]].[X.db] from [T]", kSelectSyntax, "]", 1},
      {"select * into [Paradox 5.x;Database=/d/].[../x.db] from [T]", kInvalidName, "[..", 0},
      {"select * into [Paradox 5.x;Database=/d/].[a\\b.db] from [T]", kInvalidName, "[a"},
      {"select * into [Paradox 5.x;Database=/d/].`/etc/x.db` from [T]", kInvalidName, "`"},
      {"select * into [Paradox 5.x;Database=/d/].[...db] from [T]", kInvalidName, "[..", 0},
      {"select * into [Paradox 5.x;Database=/d/].[.DB] from [T]", kInvalidName, "[.DB"},
      {"select * into [Paradox 5.x;Database=/d/].[x\ty.db] from [T]", kInvalidName, "[x"},
      // The engine's one rule (table_name.h): ".." anywhere and C1 controls too.
      {"select * into [Paradox 5.x;Database=/d/].[a..b.db] from [T]", kInvalidName, "[a"},
      {"select * into [Paradox 5.x;Database=/d/].[a\u0085b.db] from [T]", kInvalidName, "[a"},
      {"CREATE", kCreateTableSyntax, ""},
      {"CREATE TABLE", kCreateTableSyntax, ""},
      {"CREATE INDEX i ON t (a)", kCreateTableSyntax, "INDEX"},
      {"CREATE TABLE t", kCreateTableSyntax, ""},
      {"CREATE TABLE t a INT", kCreateTableSyntax, "a"},
      {"CREATE TABLE t ()", kFieldDefinition, ")"},
      {"CREATE TABLE t (a)", kFieldDefinition, ")"},
      {"CREATE TABLE t (a INT", kCreateTableSyntax, ""},
      {"CREATE TABLE t (a INT,)", kFieldDefinition, ")"},
      {"CREATE TABLE t (a INT b TEXT)", kCreateTableSyntax, "b"},
      {"CREATE TABLE t (a INT NOT NULL)", kCreateTableSyntax, "NOT"},
      {"CREATE TABLE t (a VARCHAR(10))", kInvalidFieldType, "VARCHAR"},
      {"CREATE TABLE t (a CHAR)", kInvalidFieldType, "CHAR"},
      {"CREATE TABLE t (a TEXT(0))", kFieldDefinition, "TEXT"},
      {"CREATE TABLE t (a TEXT(256))", kFieldDefinition, "TEXT"},
      {"CREATE TABLE t (a BINARY(256))", kFieldDefinition, "BINARY"},
      {"CREATE TABLE t (a TEXT(10,2))", kFieldDefinition, "TEXT"},
      {"CREATE TABLE t (a INT(4))", kFieldDefinition, "INT"},
      {"CREATE TABLE t (a MEMO(4))", kFieldDefinition, "MEMO"},
      {"CREATE TABLE t (a DECIMAL(0))", kFieldDefinition, "DECIMAL"},
      {"CREATE TABLE t (a DECIMAL(29))", kFieldDefinition, "DECIMAL"},
      {"CREATE TABLE t (a DECIMAL(5,6))", kFieldDefinition, "DECIMAL"},
      {"CREATE TABLE t (a DECIMAL(5,2,1))", kFieldDefinition, ",", 1},
      {"CREATE TABLE t (a TEXT(1.5))", kFieldDefinition, "1.5"},
      {"CREATE TABLE t (a TEXT(-1))", kFieldDefinition, "-"},
      {"CREATE TABLE t (a TEXT())", kFieldDefinition, ")"},
      {"CREATE TABLE t (a TEXT(10)", kCreateTableSyntax, ""},
      {"CREATE TABLE t (a TEXT(99999999999))", kFieldDefinition, "99999999999"},
      {"CREATE TABLE t (abc INT, ABC TEXT)", kDuplicateField, "ABC"},
      {"CREATE TABLE t (a `INT`)", kFieldDefinition, "`"},
      {"CREATE TABLE t (a INT) x", kTrailingCharacters, "x"},
      {"CREATE TABLE t (table INT)", kFieldDefinition, "table"},
      {"CREATE TABLE `T`);", kCreateTableSyntax, ")"},
      {"INSERT", kInsertSyntax, ""},
      {"INSERT INTO", kInsertSyntax, ""},
      {"INSERT t VALUES (1)", kInsertSyntax, "t"},
      {"INSERT INTO t (a) VALUES (1)", kInsertSyntax, "("},
      {"INSERT INTO t SELECT * FROM u", kInsertSyntax, "SELECT"},
      {"INSERT INTO t VALUES", kInsertSyntax, ""},
      {"INSERT INTO t VALUES 1", kInsertSyntax, "1"},
      {"INSERT INTO t VALUES ()", kInsertSyntax, ")"},
      {"INSERT INTO t VALUES (1,)", kInsertSyntax, ")"},
      {"INSERT INTO t VALUES (1 2)", kInsertSyntax, "2"},
      {"INSERT INTO t VALUES ('a)", kInsertSyntax, "'"},
      {"INSERT INTO t VALUES ('it''s)", kInsertSyntax, "'"},
      {"INSERT INTO t VALUES (\"a\")", kInsertSyntax, "\""},
      {"INSERT INTO t VALUES (#2020-01-01#)", kInsertSyntax, "#"},
      {"INSERT INTO t VALUES (a)", kInsertSyntax, "a)"},
      {"INSERT INTO t VALUES (TRUE)", kInsertSyntax, "TRUE"},
      {"INSERT INTO t VALUES (-)", kInsertSyntax, ")"},
      {"INSERT INTO t VALUES (- 'x')", kInsertSyntax, "'"},
      {"INSERT INTO t VALUES (--1)", kInsertSyntax, "-", 1},
      {"INSERT INTO t VALUES (1e)", kInsertSyntax, "e)"},
      {"INSERT INTO t VALUES (1e+)", kInsertSyntax, "e+"},
      {"INSERT INTO t VALUES (12abc)", kInsertSyntax, "12abc"},
      {"INSERT INTO t VALUES (1.2.3)", kInsertSyntax, "1.2.3"},
      {"INSERT INTO t VALUES (1 + 2)", kInsertSyntax, "+"},
      {"INSERT INTO `T` VALU)", kInsertSyntax, "VALU"},
      {"INSERT INTO t VALUES (1)) ", kTrailingCharacters, ")", 1},
      {"INSERT INTO t VALUES (NULL", kInsertSyntax, ""},
      // After a value in apostrophes the separator is read without a token: the same faults.
      {"INSERT INTO t VALUES ('a' 'b')", kInsertSyntax, "'b'"},
      {"INSERT INTO t VALUES ('a',)", kInsertSyntax, ")"},
      {"INSERT INTO t VALUES ('a' ; )", kInsertSyntax, ";"},
      {"INSERT INTO t VALUES ('a'", kInsertSyntax, ""},
      {"INSERT INTO t VALUES ('a', ", kInsertSyntax, ""},
      {"INSERT INTO t VALUES ('a')) ", kTrailingCharacters, ")", 1},
      {"INSERT INTO t VALUES ('a' NULL)", kInsertSyntax, "NULL"},
      {"INSERT INTO t VALUES (1); INSERT INTO t VALUES (2)", kTrailingCharacters, "INSERT", 1},
      {"DROP", kDropSyntax, ""},
      {"DROP TABLE", kDropSyntax, ""},
      {"DROP INDEX i", kDropSyntax, "INDEX"},
      {"DROP TABLE a b", kTrailingCharacters, "b"},
      {"DROP TABLE `a`b`;", kTrailingCharacters, "b"},
      {"DROP TABLE [a]b];", kTrailingCharacters, "b"},
      {"DROP TABLE t, u", kTrailingCharacters, ","},
      {"DROP TABLE table", kDropSyntax, "table"},
      {"DROP TABLE 1t", kDropSyntax, "1t"},
      {"DROP TABLE t$", kDropSyntax, "$"},
      {"SELECT * FROM t\x01", kFromClause, "\x01"},
      {"SELECT * FROM [t\xff]", kFromClause, "\xff"},
      {"DROP TABLE caf\xc3", kDropSyntax, "\xc3"},
      {"DROP TABLE `\xc0\xaf`", kDropSyntax, "\xc0"},
      {"INSERT INTO t VALUES ('\xed\xa0\x80')", kInsertSyntax, "\xed"},
      {"INSERT INTO t VALUES ('\xf4\x90\x80\x80')", kInsertSyntax, "\xf4"},
      {"INSERT INTO t VALUES ('abc\xe2\x82')", kInsertSyntax, "\xe2"},
      // NULL is read without a token too: the same faults, and a longer word is no NULL.
      {"INSERT INTO t VALUES (NULL 'b')", kInsertSyntax, "'b'"},
      {"INSERT INTO t VALUES (NULL,)", kInsertSyntax, ")"},
      {"INSERT INTO t VALUES (NULL ; )", kInsertSyntax, ";"},
      {"INSERT INTO t VALUES (NULLX)", kInsertSyntax, "NULLX"},
      {"INSERT INTO t VALUES (NULL_)", kInsertSyntax, "NULL_"},
      {"INSERT INTO t VALUES (NULL1)", kInsertSyntax, "NULL1"},
      {"INSERT INTO t VALUES (NUL)", kInsertSyntax, "NUL"},
      {"INSERT INTO t VALUES (NULL\xc3\xa9)", kInsertSyntax, "NULL"},
      {"INSERT INTO t VALUES (NULL\xc3)", kInsertSyntax, "\xc3"},
      {"INSERT INTO t VALUES (NULL 'unclosed)", kInsertSyntax, "'unclosed"},
      {"INSERT INTO t VALUES ('a', NU", kInsertSyntax, "NU"},
      // Long texts are searched eight bytes at a time: faults on either side of such a block.
      {"INSERT INTO t VALUES ('abcdefghijklmnop\xe2\x82')", kInsertSyntax, "\xe2"},
      {"INSERT INTO t VALUES ('abcdefgh\xffijklmnopqrstuvwxyz')", kInsertSyntax, "\xff"},
      {"INSERT INTO t VALUES ('abcdefghijklmnopqrstuvwxy)", kInsertSyntax, "'abc"},
      {"INSERT INTO t VALUES ('abcdefghijklmnop''qrstuvwxy)", kInsertSyntax, "'abc"},
  };
  for (const Fault& f : faults) {
    SCOPED_TRACE(f.text);
    std::size_t at = f.near.empty() ? f.text.size() : Occurrence(f.text, f.near, f.nth);
    ASSERT_NE(at, std::string::npos) << "bad test case";
    try {
      ParseStatement(f.text);
      ADD_FAILURE() << "accepted";
    } catch (const SyntaxError& e) {
      EXPECT_EQ(e.number(), f.number) << e.description();
      EXPECT_EQ(e.offset(), at) << e.description();
      EXPECT_EQ(e.character(), at + 1) << e.description();  // every case before the fault is ASCII
      const std::string position = f.near.empty()
                                       ? "at the end of the text (character " + std::to_string(at + 1) + ")"
                                       : "at character " + std::to_string(at + 1) + ", near '";
      EXPECT_NE(e.description().find(position), std::string::npos) << e.description();
      EXPECT_EQ(e.where(), "character " + std::to_string(at + 1));
    } catch (const std::exception& e) {
      ADD_FAILURE() << "not a SyntaxError: " << e.what();
    }
  }
}

TEST(Faults, DescriptionsSayWhatAndWhere) {
  auto describe = [](const std::string& text) {
    try {
      ParseStatement(text);
    } catch (const qv::Error& e) {
      return e.description();
    }
    return std::string("accepted");
  };
  EXPECT_EQ(
      describe("SELECT * FROM t WHERE a = 1"),
      "Syntax error: characters found after the end of the statement at character 17, near 'WHERE a = 1'");
  EXPECT_EQ(describe("CREATE TABLE t (a VARCHAR(10), b INT, c INT)"),
            "Syntax error in field definition: 'VARCHAR' is not a data type name at character 19, near "
            "'VARCHAR(10), b INT, ...'");
  EXPECT_EQ(describe("INSERT INTO t VALUES (1"),
            "Syntax error in INSERT INTO statement: expected ',' or ')' after a value at the end of the text "
            "(character 24)");
  EXPECT_EQ(describe("CREATE TABLE t (a TEXT(300))"),
            "Syntax error in field definition: Type TEXT: size 300 is outside 1 to 255 at character 19, near "
            "'TEXT(300))'");
  // Control characters are shown as blanks, bytes that are not UTF-8 as '?'.
  EXPECT_EQ(describe("DROP TABLE t x\ny\xff"),
            "Syntax error: characters found after the end of the statement at character 14, near 'x y?'");
}

TEST(Faults, PositionsCountCharactersNotBytes) {
  try {
    ParseStatement("DROP TABLE `Bücher` x");
    FAIL() << "accepted";
  } catch (const SyntaxError& e) {
    EXPECT_EQ(e.offset(), 21u);
    EXPECT_EQ(e.character(), 21u);
  }
  try {
    ParseStatement("INSERT INTO `日本` VALUES ('😀', 1 2)");
    FAIL() << "accepted";
  } catch (const SyntaxError& e) {
    // INSERT INTO `日本` VALUES ('😀', 1 ... the '2' is the 33rd character.
    EXPECT_EQ(e.character(), 33u);
    EXPECT_NE(e.description().find("near '2)'"), std::string::npos) << e.description();
  }
  // A fault in the middle of a long name is still located at the name's start.
  try {
    ParseStatement("SELECT * FROM [" + std::string(5000, 'x'));
    FAIL() << "accepted";
  } catch (const SyntaxError& e) {
    EXPECT_EQ(e.character(), 15u);
    EXPECT_LT(e.description().size(), 200u);  // the text near the fault is kept short
  }
}

}  // namespace
}  // namespace qv::sql
