// The statement texts the table operations send. Table and field names stand between backquotes;
// values are written as quoted text with apostrophes doubled, or as NULL.
//
//   copy:   select * into [Paradox 5.x;Database=FOLDER/].[NAME.db] from [TABLE]
//   create: CREATE TABLE `T`(`ID` INT,`NAME` TEXT,`NOTES` MEMO);
//   insert: INSERT INTO `T` VALUES('7', 'O''Brien', NULL)
#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/core/value.h"

namespace qv::ops {

// A table or field name as the statements write it: between backquotes, or between brackets when
// it holds a backquote; a name holding both a backquote and a closing bracket cannot be written
// and is refused (qv::Error 3125). The brackets' form (`bracket_first`) prefers brackets and
// falls back to backquotes the same way.
QString QuoteName(const QString& name, bool bracket_first = false);

// The folder as the copy statement names it: the folder text with one separator appended, where
// a separator doubled right after a drive or the root ("C:\\", "//") is written once.
QString FolderPart(const QString& folder);

// "select * into [Paradox 5.x;Database=" + folder part + "].[" + target + ".db] from [" + source + "]"
// With a code page (the text of the ParadoxCodePage setting, a number), "CodePage=" + it + ";"
// comes before "Database=" and fixes the new table's code page; empty: the copy chooses.
QString CopyToParadoxStatement(const QString& folder, const QString& target, const QString& source,
                               const QString& code_page = QString());

// "DROP TABLE `name`" (the transfers and the renaming) and "DROP TABLE `name`;" (deletion).
QString DropStatement(const QString& name);
QString DropStatementWithSemicolon(const QString& name);

// "SELECT * FROM `name`"
QString SelectAllStatement(const QString& name);

// "SELECT a1.* INTO `new` FROM `old` AS a1;"
QString CopyTableStatement(const QString& old_name, const QString& new_name);

// The column suffix the transfer into Access chooses from a field's ADO type number: the first of
// adlongvarbinary, longvar, char, decimal, single, int, numeric, date, timestamp, double found in
// the lower-cased type name, else TEXT. For example "` INT,".
std::string_view ColumnSuffix(std::int16_t ado_type);

// Builds one INSERT text value by value, the way the statement is written: after the opening
// "VALUES('" each value adds its text and "', '", or takes back the apostrophe and adds "NULL, '";
// Finish() drops the last three characters and closes the parenthesis.
class InsertStatement {
 public:
  // Builds into `text`, which the caller owns (the handler's statement text).
  explicit InsertStatement(std::string& text) : text_(text) {}
  // `prefix` is "INSERT INTO `" + table name + "` VALUES('" in UTF-8.
  void Start(const std::string& prefix);
  void AddValue(const std::optional<std::string>& rendered);
  // AddValue(RenderValue(value)) written straight into the text.
  void AddField(const Value& value);
  void Finish();
  const std::string& text() const { return text_; }

 private:
  std::string& text_;
};

// "INSERT INTO `" + name + "` VALUES('"
std::string InsertPrefix(const QString& table_name);

// "CREATE TABLE `" + name + "`("
std::string CreatePrefix(const QString& table_name);
// One column definition: "`NAME` INT," (brackets for a name that holds a backquote).
std::string ColumnDefinition(const std::string& field_name, std::int16_t ado_type);

}  // namespace qv::ops
