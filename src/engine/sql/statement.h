// The statement tree: what the parser makes of one statement text. The forms are the ones the
// program sends and no others:
//   SELECT * FROM t
//   SELECT a1.* INTO new FROM old AS a1
//   SELECT * INTO [Paradox 5.x;Database=FOLDER].[NAME.db] FROM [TABLE]
//   CREATE TABLE t (column TYPE[(n[,m])], ...)
//   INSERT INTO t VALUES (literal, ...)
//   DROP TABLE t
//   ALTER TABLE t RENAME TO n [REPLACE]
// each with an optional final ';'. docs/formats/sql.md has the grammar.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "engine/core/value.h"

namespace qv::sql {

// A table, column or alias name, without its quote marks.
struct Name {
  std::string text;
  char quote = 0;          // 0 for a bare name, '`' or '[' for a quoted one
  std::size_t offset = 0;  // byte offset in the statement, for messages
};

// The external database of "[Paradox 5.x;Database=FOLDER]": the database type as written and the
// folder, verbatim (it may hold ';' and '='; everything after "Database=" belongs to it).
struct ExternalDatabase {
  std::string type;    // "Paradox 5.x", letter case as written
  std::string folder;  // as written
  int codePage = 0;    // "CodePage=NNN;" before "Database=": the new table's code page; 0 automatic
};

// The table a SELECT ... INTO writes: a table of the same database, or a table of an external
// Paradox folder. For the latter `name` is the table's file name as written ("NAME.db").
struct IntoTarget {
  Name name;
  std::optional<ExternalDatabase> external;

  // The Paradox table's name: `name` without a final ".db" (any letter case).
  std::string ExternalTableName() const;
};

struct SelectStatement {
  std::optional<Name> starQualifier;  // "a1" of "a1.*"; empty for a plain "*"
  std::optional<IntoTarget> into;
  Name from;
  std::optional<Name> alias;  // "a1" of "AS a1"
};

// One field of a CREATE TABLE, with the type name as written and the column it stands for.
struct ColumnDefinition {
  Name name;
  std::string typeName;                      // as written, e.g. "TEXT" or "decimal"
  std::vector<std::uint32_t> typeArguments;  // the numbers in parentheses, 0 to 2 of them
  qv::Column column;                         // name, type, size, precision and scale resolved
  std::size_t offset = 0;                    // byte offset of the type name
};

struct CreateTableStatement {
  Name table;
  std::vector<ColumnDefinition> columns;
};

// A value of the VALUES list: its kind and where it stands. Its text is in the statement's row.
struct Literal {
  enum class Kind { Null, Text, Integer, Real };
  Kind kind = Kind::Null;
  std::size_t offset = 0;
};

struct InsertStatement {
  Name table;
  std::vector<Literal> values;
  // One value per literal, in a row as the engines take it: NULL as NULL, every other literal
  // as its text (Text: with doubled apostrophes made single; Integer: optional '-' then digits,
  // a '+' dropped; Real: the number as written, with its sign, fraction and exponent). The
  // provider inserts this row as it stands, so a run of INSERTs copies no value a second time.
  qv::Row row;

  // The text of literal `i`; empty for NULL.
  const std::string& text(std::size_t i) const;
};

struct DropTableStatement {
  Name table;
};

// The table `table` takes the name `newName`. With REPLACE a table that already has that name is
// dropped in the same change; without it such a table makes the statement fail.
struct RenameTableStatement {
  Name table;
  Name newName;
  bool replace = false;
};

using Statement = std::variant<SelectStatement, CreateTableStatement, InsertStatement, DropTableStatement,
                               RenameTableStatement>;

}  // namespace qv::sql
