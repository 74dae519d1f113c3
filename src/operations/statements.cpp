#include "operations/statements.h"

#include <QDir>
#include <array>
#include <utility>

#include "operations/value_rendering.h"
#include "shell/failure.h"
#include "sources/datatype.h"

namespace qv::ops {

QString QuoteName(const QString& name, bool bracket_first) {
  const bool backquote_ok = !name.contains(QLatin1Char('`'));
  const bool bracket_ok = !name.contains(QLatin1Char(']'));
  if (bracket_first ? bracket_ok : !backquote_ok && bracket_ok)
    return QLatin1Char('[') + name + QLatin1Char(']');
  if (backquote_ok) return QLatin1Char('`') + name + QLatin1Char('`');
  shell::Fail(errc::kInvalidName,
              QStringLiteral("'%1' is not a valid name: it holds both '`' and ']', so no statement "
                             "can name it.")
                  .arg(name));
}

QString FolderPart(const QString& folder) {
  QString part = folder + QDir::separator();
  part.replace(QStringLiteral(":\\\\"), QStringLiteral(":\\"));
  // The same rule for the root of a file system with forward separators: "/" gives "/", not "//".
  if (part == QStringLiteral("//")) part = QStringLiteral("/");
  return part;
}

QString CopyToParadoxStatement(const QString& folder, const QString& target, const QString& source,
                               const QString& code_page) {
  const QString page = code_page.trimmed();
  return QStringLiteral("select * into [Paradox 5.x;") +
         (page.isEmpty() ? QString() : QStringLiteral("CodePage=") + page + QStringLiteral(";")) +
         QStringLiteral("Database=") + FolderPart(folder) + QStringLiteral("].") +
         QuoteName(target + QStringLiteral(".db"), true) + QStringLiteral(" from ") + QuoteName(source, true);
}

QString DropStatement(const QString& name) {
  return QStringLiteral("DROP TABLE ") + QuoteName(name);
}

QString DropStatementWithSemicolon(const QString& name) {
  return DropStatement(name) + QStringLiteral(";");
}

QString SelectAllStatement(const QString& name) {
  return QStringLiteral("SELECT * FROM ") + QuoteName(name);
}

QString CopyTableStatement(const QString& old_name, const QString& new_name) {
  return QStringLiteral("SELECT a1.* INTO ") + QuoteName(new_name) + QStringLiteral(" FROM ") +
         QuoteName(old_name) + QStringLiteral(" AS a1;");
}

std::string_view ColumnSuffix(std::int16_t ado_type) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kTests{{
      {"adlongvarbinary", "` OLEOBJECT,"},
      {"longvar", "` MEMO,"},
      {"char", "` TEXT,"},
      {"decimal", "` DECIMAL,"},
      {"single", "` INT,"},
      {"int", "` INT,"},
      {"numeric", "` INT,"},
      {"date", "` DATETIME,"},
      {"timestamp", "` DATETIME,"},
      {"double", "` FLOAT,"},
  }};
  std::string name = sources::DataTypeName(ado_type).value_or(std::string());
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  for (const auto& [piece, suffix] : kTests)
    if (name.find(piece) != std::string::npos) return suffix;
  return "` TEXT,";
}

void InsertStatement::Start(const std::string& prefix) {
  text_ = prefix;
}

void InsertStatement::AddValue(const std::optional<std::string>& rendered) {
  if (!rendered) {
    text_.pop_back();  // the opening apostrophe
    text_ += "NULL, '";
    return;
  }
  text_.reserve(text_.size() + rendered->size() + 4);
  for (char c : *rendered) {
    text_ += c;
    if (c == '\'') text_ += '\'';
  }
  text_ += "', '";
}

void InsertStatement::AddField(const Value& value) {
  if (!AppendRenderedValue(value, text_, "', '")) {
    text_.pop_back();  // the opening apostrophe
    text_ += "NULL, '";
  }
}

void InsertStatement::Finish() {
  text_.resize(text_.size() >= 3 ? text_.size() - 3 : 0);
  text_ += ')';
}

std::string InsertPrefix(const QString& table_name) {
  return "INSERT INTO " + QuoteName(table_name).toStdString() + " VALUES('";
}

std::string CreatePrefix(const QString& table_name) {
  return "CREATE TABLE " + QuoteName(table_name).toStdString() + "(";
}

std::string ColumnDefinition(const std::string& field_name, std::int16_t ado_type) {
  const std::string_view suffix = ColumnSuffix(ado_type);  // "` TYPE,"
  if (field_name.find('`') == std::string::npos) return "`" + field_name + std::string(suffix);
  // The suffix without its closing backquote, after the name in brackets (or refused).
  return QuoteName(QString::fromStdString(field_name)).toStdString() + std::string(suffix.substr(1));
}

}  // namespace qv::ops
