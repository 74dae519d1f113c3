#include "engine/sql/parser.h"

#include <array>
#include <charconv>

#include "engine/core/error.h"
#include "engine/core/text_codec.h"
#include "engine/paradox/table_name.h"
#include "engine/sql/ddl_types.h"
#include "engine/sql/lexer.h"
#include "engine/sql/syntax_error.h"

namespace qv::sql {

namespace {

constexpr std::array<std::string_view, 10> kReservedWords{"SELECT", "FROM",   "INTO",   "AS",   "CREATE",
                                                          "TABLE",  "INSERT", "VALUES", "DROP", "NULL"};

constexpr std::string_view kExternalDatabaseType = "Paradox 5.x";
constexpr std::string_view kDatabaseKey = "Database=";
constexpr std::string_view kCodePageKey = "CodePage=";

bool IsReserved(std::string_view word) {
  for (std::string_view r : kReservedWords) {
    if (NamesEqual(r, word)) return true;
  }
  return false;
}

class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text), lexer_(text) {}

  Statement Parse() {
    SetContext(errc::kInvalidStatement, "Invalid statement");
    Advance();
    return ParseAny();
  }

  // An INSERT INTO is read into the one `out` holds, reusing its room.
  void ParseInto(Statement& out) {
    SetContext(errc::kInvalidStatement, "Invalid statement");
    auto* insert = std::get_if<InsertStatement>(&out);
    // A run of INSERTs: the words INSERT, INTO and VALUES and the '(' are passed without tokens
    // when they are there; anything else is read as a token, as Parse() reads it, with the same
    // errors.
    if (insert != nullptr && lexer_.NextKeyword("INSERT")) {
      ParseInsertInto(*insert, true);
      return;
    }
    Advance();
    if (insert != nullptr && IsKeyword("INSERT")) {
      ParseInsertInto(*insert);
      return;
    }
    out = ParseAny();
  }

 private:
  Statement ParseAny() {
    if (IsKeyword("SELECT")) return ParseSelect();
    if (IsKeyword("CREATE")) return ParseCreateTable();
    if (IsKeyword("INSERT")) return ParseInsert();
    if (IsKeyword("DROP")) return ParseDropTable();
    if (IsKeyword("ALTER")) return ParseRenameTable();
    if (token_.kind == TokenKind::End) Fail("the statement is empty");
    Fail("expected SELECT, CREATE TABLE, INSERT INTO, DROP TABLE or ALTER TABLE");
  }

  void SetContext(int number, std::string_view context) {
    number_ = number;
    context_ = context;
    lexer_.SetContext(number, context);
  }

  void Advance() { token_ = lexer_.Next(); }

  [[noreturn]] void Fail(std::string_view problem) const { Fail(number_, problem, token_.offset); }
  [[noreturn]] void Fail(int number, std::string_view problem, std::size_t offset) const {
    throw SyntaxError(number, context_, problem, text_, offset);
  }
  [[noreturn]] void Fail(int number, std::string_view context, std::string_view problem,
                         std::size_t offset) const {
    throw SyntaxError(number, context, problem, text_, offset);
  }

  bool IsKeyword(std::string_view keyword) const {
    return token_.kind == TokenKind::Word && NamesEqual(token_.text, keyword);
  }

  void ExpectKeyword(std::string_view keyword) {
    if (!IsKeyword(keyword)) Fail("expected " + std::string(keyword));
    Advance();
  }

  void Expect(TokenKind kind, std::string_view problem) {
    if (token_.kind != kind) Fail(problem);
    Advance();
  }

  // `advance`: the token after the name is read (else the lexer stands right after the name, and
  // the current token is left without its text).
  Name ParseName(std::string_view what, bool advance = true) {
    Name name;
    name.offset = token_.offset;
    if (token_.kind == TokenKind::QuotedName) {
      if (token_.text.empty()) Fail(errc::kInvalidName, "the name in quotes is empty", token_.offset);
      name.quote = token_.quote;
    } else if (token_.kind == TokenKind::Word) {
      if (IsReserved(token_.text)) {
        Fail("expected " + std::string(what) + " ('" + token_.text +
             "' is a reserved word; put such a name in brackets or backquotes)");
      }
    } else {
      Fail("expected " + std::string(what));
    }
    name.text = std::move(token_.text);
    if (advance) Advance();
    return name;
  }

  // ';' at most once, then nothing.
  void ParseEnd() {
    SetContext(errc::kTrailingCharacters, "Syntax error");
    if (token_.kind == TokenKind::Semicolon) Advance();
    if (token_.kind != TokenKind::End) Fail("characters found after the end of the statement");
  }

  Statement ParseSelect() {
    SetContext(errc::kSelectSyntax, "Syntax error in SELECT statement");
    Advance();
    SelectStatement s;
    if (token_.kind == TokenKind::Star) {
      Advance();
    } else if (token_.kind == TokenKind::QuotedName ||
               (token_.kind == TokenKind::Word && !IsReserved(token_.text))) {
      s.starQualifier = ParseName("a table name");
      Expect(TokenKind::Dot, "expected '.*' after the table name; only all fields can be selected");
      Expect(TokenKind::Star, "expected '*'; only all fields can be selected");
    } else {
      Fail("expected '*' or a table name followed by '.*'");
    }

    if (IsKeyword("INTO")) {
      Advance();
      s.into = ParseIntoTarget();
    }
    if (!IsKeyword("FROM")) Fail("expected FROM");
    // The token after FROM is read in the FROM clause's context.
    SetContext(errc::kFromClause, "Syntax error in FROM clause");
    Advance();
    s.from = ParseName("a table name");
    if (token_.kind == TokenKind::Dot) Fail("a table of another database cannot be read here");
    if (IsKeyword("AS")) {
      Advance();
      s.alias = ParseName("an alias name");
    }
    if (s.starQualifier) {
      const Name& expected = s.alias ? *s.alias : s.from;
      if (!NamesEqual(s.starQualifier->text, expected.text)) {
        Fail(errc::kUnknownFieldName, "Unknown field reference",
             "'" + s.starQualifier->text + ".*' names no table of the FROM clause (expected '" +
                 expected.text + ".*')",
             s.starQualifier->offset);
      }
    }
    ParseEnd();
    return s;
  }

  IntoTarget ParseIntoTarget() {
    IntoTarget target;
    target.name = ParseName("a table name");
    if (token_.kind != TokenKind::Dot) return target;

    // "[Paradox 5.x;Database=FOLDER].[NAME.db]": the first name is the external database.
    const Name database = target.name;
    Advance();
    target.name = ParseName("a table name after the database");
    const std::size_t semicolon = database.text.find(';');
    if (database.quote != '[' || semicolon == std::string::npos) {
      Fail(number_, "expected a database as [Paradox 5.x;Database=FOLDER] before '.'", database.offset);
    }
    ExternalDatabase external;
    external.type = database.text.substr(0, semicolon);
    std::string_view rest = std::string_view(database.text).substr(semicolon + 1);
    // An optional "CodePage=NNN;" before "Database=" fixes the new table's code page.
    if (rest.size() >= kCodePageKey.size() && NamesEqual(rest.substr(0, kCodePageKey.size()), kCodePageKey)) {
      const std::size_t at = database.offset + 1 + semicolon + 1;
      const std::size_t end = rest.find(';');
      const std::string_view digits =
          rest.substr(kCodePageKey.size(),
                      end == std::string_view::npos ? std::string_view::npos : end - kCodePageKey.size());
      int number = 0;
      const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
      if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || number <= 0 ||
          end == std::string_view::npos)
        Fail(number_, "expected a code page number and ';' after 'CodePage='", at);
      external.codePage = number;
      rest = rest.substr(end + 1);
    }
    if (rest.size() < kDatabaseKey.size() || !NamesEqual(rest.substr(0, kDatabaseKey.size()), kDatabaseKey)) {
      Fail(number_, "expected 'Database=' after the database type", database.offset + 1 + semicolon + 1);
    }
    // The folder is everything after "Database=": the program never escapes it, so a ';' or '='
    // inside belongs to the folder.
    external.folder = std::string(rest.substr(kDatabaseKey.size()));
    if (!NamesEqual(external.type, kExternalDatabaseType)) {
      Fail(errc::kIsamNotFound,
           "the database type '" + external.type + "' is not available; only 'Paradox 5.x' is",
           database.offset + 1);
    }
    if (external.folder.empty()) Fail(number_, "the database names no folder", database.offset);
    target.external = std::move(external);
    CheckFileName(target);
    return target;
  }

  // The Paradox table becomes a file in the folder, so its name must be a plain file name
  // (engine/paradox/table_name.h), so nothing is written outside the folder.
  void CheckFileName(const IntoTarget& target) const {
    const std::string& n = target.name.text;
    std::string problem = paradox::TableNameProblem(n);
    if (problem.empty()) problem = paradox::TableNameProblem(target.ExternalTableName());
    if (!problem.empty()) {
      Fail(
          errc::kInvalidName,
          "the Paradox table name '" + TextNear(n, 0, 40) + "' " + problem + "; it must be a plain file name",
          target.name.offset);
    }
  }

  Statement ParseCreateTable() {
    SetContext(errc::kCreateTableSyntax, "Syntax error in CREATE TABLE statement");
    Advance();
    ExpectKeyword("TABLE");
    CreateTableStatement s;
    s.table = ParseName("a table name");
    if (token_.kind != TokenKind::LeftParen) Fail("expected '(' and the field definitions");
    for (;;) {
      SetContext(errc::kFieldDefinition, "Syntax error in field definition");
      Advance();  // past '(' or ','
      ColumnDefinition column = ParseColumnDefinition();
      for (const ColumnDefinition& earlier : s.columns) {
        if (NamesEqual(earlier.name.text, column.name.text)) {
          Fail(errc::kDuplicateField, "the field '" + column.name.text + "' is defined twice",
               column.name.offset);
        }
      }
      s.columns.push_back(std::move(column));
      SetContext(errc::kCreateTableSyntax, "Syntax error in CREATE TABLE statement");
      if (token_.kind == TokenKind::Comma) continue;
      Expect(TokenKind::RightParen, "expected ',' or ')' after a field definition");
      break;
    }
    ParseEnd();
    return s;
  }

  ColumnDefinition ParseColumnDefinition() {
    ColumnDefinition c;
    c.name = ParseName("a field name");
    if (token_.kind != TokenKind::Word) Fail("expected a data type after the field name");
    c.typeName = token_.text;
    c.offset = token_.offset;
    Advance();
    if (token_.kind == TokenKind::LeftParen) {
      Advance();
      c.typeArguments.push_back(ParseTypeNumber());
      if (token_.kind == TokenKind::Comma) {
        Advance();
        c.typeArguments.push_back(ParseTypeNumber());
      }
      Expect(TokenKind::RightParen, "expected ')' after the size of the data type");
    }
    try {
      c.column = ColumnForTypeName(c.typeName, c.typeArguments);
    } catch (const qv::Error& e) {
      Fail(e.number(), e.description(), c.offset);
    }
    c.column.name = c.name.text;
    return c;
  }

  std::uint32_t ParseTypeNumber() {
    if (token_.kind != TokenKind::Number) Fail("expected a whole number");
    std::uint32_t value = 0;
    for (char ch : token_.text) {
      if (ch < '0' || ch > '9') Fail("expected a whole number");
      value = value * 10 + static_cast<std::uint32_t>(ch - '0');
      if (value > 1000000) Fail("the number is too large for a size");
    }
    Advance();
    return value;
  }

  Statement ParseInsert() {
    InsertStatement s;
    ParseInsertInto(s);
    return s;
  }

  // `s` may hold the values of an earlier statement: its literals are overwritten in place, so
  // their strings keep their room, and the ones left over are dropped at the end.
  //
  // `quick`: the lexer stands right after the word INSERT, which has no token (ParseInto); the
  // words and marks up to the values are then passed without tokens where they are as expected,
  // and read as tokens (with the same errors) where they are not. Otherwise the current token is
  // INSERT.
  void ParseInsertInto(InsertStatement& s, bool quick = false) {
    SetContext(errc::kInsertSyntax, "Syntax error in INSERT INTO statement");
    if (quick && lexer_.NextKeyword("INTO")) {
      Advance();
    } else {
      Advance();
      ExpectKeyword("INTO");
    }
    // The name; the quick way, the word after it is looked at before a token is read.
    bool named = quick && (token_.kind == TokenKind::QuotedName || token_.kind == TokenKind::Word);
    s.table = ParseName("a table name", !named);
    bool open = false;  // the '(' passed without a token
    if (named) {
      if (lexer_.NextKeyword("VALUES")) {
        open = lexer_.NextPunctuation('(');
        if (!open) Advance();
      } else {
        Advance();
        named = false;
      }
    }
    if (!named) {
      if (token_.kind == TokenKind::LeftParen) {
        Fail("a list of field names is not accepted; give one value per field, in field order");
      }
      ExpectKeyword("VALUES");
    }
    if (!open && token_.kind != TokenKind::LeftParen) Fail("expected '(' and the values");
    if (s.values.capacity() < 16) {
      s.values.reserve(16);
      s.row.reserve(16);
    }
    // Here the current token is '(' or ',' and the lexer stands right after it: a text literal
    // (the usual value) is read straight into its place in the row, and so is NULL; anything
    // else as a token. After either a ',' or ')' is taken without a token too; anything else is
    // read as a token and refused as before.
    std::size_t count = 0;
    for (;;) {
      if (count == s.values.size()) {
        s.values.emplace_back();
        s.row.emplace_back();
      }
      Literal& v = s.values[count];
      std::string& text = ClearedText(s.row[count]);
      bool read = false;
      if (lexer_.NextText(text, v.offset)) {
        v.kind = Literal::Kind::Text;
        read = true;
      } else if (lexer_.NextNull(v.offset)) {
        v.kind = Literal::Kind::Null;
        s.row[count].emplace<std::monostate>();
        read = true;
      }
      if (read) {
        ++count;
        const char separator = lexer_.NextListSeparator();
        if (separator == ',') continue;
        Advance();
        if (separator == ')') break;
      } else {
        Advance();
        ParseLiteral(v, s.row[count++]);
        if (token_.kind == TokenKind::Comma) continue;
      }
      Expect(TokenKind::RightParen, "expected ',' or ')' after a value");
      break;
    }
    s.values.resize(count);
    s.row.resize(count);
    ParseEnd();
  }

  // `cell` as a text, emptied; a text keeps its room from the statement before.
  static std::string& ClearedText(Value& cell) {
    if (auto* text = std::get_if<std::string>(&cell)) {
      text->clear();
      return *text;
    }
    return cell.emplace<std::string>();
  }

  // Into `v` and `cell`, which holds an empty text (ClearedText).
  void ParseLiteral(Literal& v, Value& cell) {
    v.kind = Literal::Kind::Null;
    v.offset = token_.offset;
    std::string& text = std::get<std::string>(cell);
    if (token_.kind == TokenKind::Text) {
      v.kind = Literal::Kind::Text;
      text = std::move(token_.text);
      Advance();
      return;
    }
    if (IsKeyword("NULL")) {
      cell.emplace<std::monostate>();
      Advance();
      return;
    }
    bool negative = false;
    if (token_.kind == TokenKind::Plus || token_.kind == TokenKind::Minus) {
      negative = token_.kind == TokenKind::Minus;
      Advance();
      if (token_.kind != TokenKind::Number) Fail("expected a number after the sign");
    }
    if (token_.kind != TokenKind::Number) Fail("expected a value: text in apostrophes, a number or NULL");
    const bool whole = token_.text.find_first_not_of("0123456789") == std::string::npos;
    v.kind = whole ? Literal::Kind::Integer : Literal::Kind::Real;
    if (negative) text += '-';
    text += token_.text;
    Advance();
  }

  Statement ParseDropTable() {
    SetContext(errc::kDropSyntax, "Syntax error in DROP TABLE statement");
    Advance();
    ExpectKeyword("TABLE");
    DropTableStatement s;
    s.table = ParseName("a table name");
    ParseEnd();
    return s;
  }

  Statement ParseRenameTable() {
    SetContext(errc::kInvalidStatement, "Syntax error in ALTER TABLE statement");
    Advance();
    ExpectKeyword("TABLE");
    RenameTableStatement s;
    s.table = ParseName("a table name");
    ExpectKeyword("RENAME");
    ExpectKeyword("TO");
    s.newName = ParseName("the new table name");
    if (IsKeyword("REPLACE")) {
      s.replace = true;
      Advance();
    }
    ParseEnd();
    return s;
  }

  std::string_view text_;
  Lexer lexer_;
  Token token_;
  int number_ = errc::kInvalidStatement;
  std::string_view context_;
};

std::string QuoteName(const std::string& name) {
  if (name.find('`') == std::string::npos) return "`" + name + "`";
  if (name.find(']') == std::string::npos) return "[" + name + "]";
  throw qv::Error(errc::kInvalidName, "The name '" + name + "' holds both '`' and ']' and cannot be written");
}

std::string QuoteText(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}

struct Formatter {
  std::string operator()(const SelectStatement& s) const {
    std::string out = "SELECT ";
    out += s.starQualifier ? QuoteName(s.starQualifier->text) + ".*" : "*";
    if (s.into) {
      out += " INTO ";
      if (s.into->external) {
        const std::string database =
            s.into->external->type +
            (s.into->external->codePage ? ";CodePage=" + std::to_string(s.into->external->codePage) : "") +
            ";Database=" + s.into->external->folder;
        if (database.find(']') != std::string::npos) {
          throw qv::Error(errc::kInvalidName,
                          "The folder '" + s.into->external->folder + "' holds ']' and cannot be written");
        }
        out += "[" + database + "].";
      }
      out += QuoteName(s.into->name.text);
    }
    out += " FROM " + QuoteName(s.from.text);
    if (s.alias) out += " AS " + QuoteName(s.alias->text);
    return out;
  }
  std::string operator()(const CreateTableStatement& s) const {
    std::string out = "CREATE TABLE " + QuoteName(s.table.text) + " (";
    for (std::size_t i = 0; i < s.columns.size(); ++i) {
      const ColumnDefinition& c = s.columns[i];
      if (i) out += ", ";
      out += QuoteName(c.name.text) + " " + c.typeName;
      if (!c.typeArguments.empty()) {
        // Appended piece by piece: "(" + std::to_string(...) trips a false -Wrestrict of GCC 12 at -O3.
        out += '(';
        out += std::to_string(c.typeArguments[0]);
        if (c.typeArguments.size() > 1) {
          out += ',';
          out += std::to_string(c.typeArguments[1]);
        }
        out += ')';
      }
    }
    return out + ")";
  }
  std::string operator()(const InsertStatement& s) const {
    std::string out = "INSERT INTO " + QuoteName(s.table.text) + " VALUES (";
    for (std::size_t i = 0; i < s.values.size(); ++i) {
      const Literal& v = s.values[i];
      if (i) out += ", ";
      out += v.kind == Literal::Kind::Null   ? "NULL"
             : v.kind == Literal::Kind::Text ? QuoteText(s.text(i))
                                             : s.text(i);
    }
    return out + ")";
  }
  std::string operator()(const DropTableStatement& s) const {
    return "DROP TABLE " + QuoteName(s.table.text);
  }
  std::string operator()(const RenameTableStatement& s) const {
    return "ALTER TABLE " + QuoteName(s.table.text) + " RENAME TO " + QuoteName(s.newName.text) +
           (s.replace ? " REPLACE" : "");
  }
};

}  // namespace

const std::string& InsertStatement::text(std::size_t i) const {
  static const std::string kNone;
  const auto* text = std::get_if<std::string>(&row.at(i));
  return text != nullptr ? *text : kNone;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  return qv::EqualIgnoringLetterCase(a, b);
}

std::string IntoTarget::ExternalTableName() const {
  const std::string& n = name.text;
  if (n.size() >= 3 && NamesEqual(std::string_view(n).substr(n.size() - 3), ".db"))
    return n.substr(0, n.size() - 3);
  return n;
}

Statement ParseStatement(std::string_view text) {
  return Parser(text).Parse();
}

void ParseStatement(std::string_view text, Statement& out) {
  Parser(text).ParseInto(out);
}

std::string FormatStatement(const Statement& statement) {
  return std::visit(Formatter{}, statement);
}

}  // namespace qv::sql
