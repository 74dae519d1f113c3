#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "engine/paradox/paradox_folder.h"
#include "shell/error_report.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"

namespace qv::ops::testing {

void TestPage::Fill(shell::MemoryTableList& list, const QStringList& names, const QStringList& selected) {
  list.Clear();
  for (const QString& name : names) list.Add(name);
  int current = -1;
  for (int row = 0; row < list.count(); ++row) {
    if (selected.contains(list.text(row))) {
      list.SetSelected(row, true);
      if (current == -1) current = row;
    }
  }
  list.SetCurrentRow(current);
}

std::vector<Report> TestPage::reports() const {
  std::vector<Report> out;
  static const QRegularExpression kShape(
      QStringLiteral(
          "^(.*)\r\nin Tessaline2016/11/03\\.(\\S+) at line (\\d+)\r\rPlease email[^\r]*(?:\r\rsql: (.*))?$"),
      QRegularExpression::DotMatchesEverythingOption);
  for (const auto& m : windows.messages()) {
    if (m.title != QString::fromLatin1(shell::kErrorReportTitle)) continue;
    const auto match = kShape.match(m.text);
    Report r;
    if (match.hasMatch()) {
      r.description = match.captured(1);
      r.location = match.captured(2);
      r.label = match.captured(3).toInt();
      r.statement = match.captured(4);
    } else {
      r.description = m.text;
    }
    out.push_back(r);
  }
  return out;
}

QStringList TestPage::messageTexts() const {
  QStringList out;
  for (const auto& m : windows.messages())
    if (m.title != QString::fromLatin1(shell::kErrorReportTitle)) out << m.text;
  return out;
}

QStringList TestPage::messageTitles() const {
  QStringList out;
  for (const auto& m : windows.messages())
    if (m.title != QString::fromLatin1(shell::kErrorReportTitle)) out << m.title;
  return out;
}

QString CorpusFile(const QString& relative) {
  return QDir(QStringLiteral(QV_SHARED_DIR "/corpus")).filePath(relative);
}

std::string AccessString(const QString& file) {
  Fields fields;
  return sources::AccessConnectionString(file, QString(), fields).toStdString();
}

std::string ParadoxString(const QString& folder) {
  Fields fields;
  fields.folder = folder;
  return sources::ParadoxConnectionString(fields).toStdString();
}

QString CopyInto(const QString& file, const QString& folder) {
  const QString to = QDir(folder).filePath(QFileInfo(file).fileName());
  QFile::remove(to);
  if (!QFile::copy(file, to)) throw std::runtime_error("cannot copy " + file.toStdString());
  QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  return to;
}

void WriteParadoxTable(const QString& folder, const std::string& name, const std::vector<Column>& columns,
                       const std::vector<Row>& rows) {
  paradox::ParadoxFolder db(folder.toStdString());
  auto writer = db.CreateTable(name, columns);
  for (const Row& row : rows) writer->Append(row);
  writer->Close();
}

std::vector<Row> ReadParadoxTable(const QString& folder, const std::string& name) {
  paradox::ParadoxFolder db(folder.toStdString());
  auto reader = db.OpenTable(name);
  std::vector<Row> rows;
  Row row;
  while (reader->Next(row)) rows.push_back(row);
  return rows;
}

QStringList FileNames(const QString& folder) {
  return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

}  // namespace qv::ops::testing
