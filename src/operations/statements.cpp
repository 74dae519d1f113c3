#include "operations/statements.h"

#include <QDir>
#include <array>
#include <utility>

#include "operations/value_rendering.h"
#include "sources/datatype.h"

namespace qv::ops {
namespace {
const QString kBackquote = QStringLiteral("`");
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
         QStringLiteral("Database=") + FolderPart(folder) + QStringLiteral("].[") + target +
         QStringLiteral(".db] from [") + source + QStringLiteral("]");
}

QString DropStatement(const QString& name) { return QStringLiteral("DROP TABLE ") + kBackquote + name + kBackquote; }

QString DropStatementWithSemicolon(const QString& name) { return DropStatement(name) + QStringLiteral(";"); }

QString SelectAllStatement(const QString& name) {
  return QStringLiteral("SELECT * FROM ") + kBackquote + name + kBackquote;
}

QString CopyTableStatement(const QString& old_name, const QString& new_name) {
  return QStringLiteral("SELECT a1.* INTO ") + kBackquote + new_name + kBackquote + QStringLiteral(" FROM ") +
         kBackquote + old_name + kBackquote + QStringLiteral(" AS a1;");
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

void InsertStatement::Start(const std::string& prefix) { text_ = prefix; }

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
  return "INSERT INTO `" + table_name.toStdString() + "` VALUES('";
}

}  // namespace qv::ops
