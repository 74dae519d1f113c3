#include "operations/table_replacement.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "engine/core/error.h"
#include "operations/statements.h"
#include "operations/table_files.h"
#include "shell/failure.h"

namespace qv::ops {
namespace {

const QString kPrefix = QString::fromLatin1(kTemporaryTablePrefix);
const QString kMarkerExtension = QStringLiteral(".rpl");

// Writes a file's data (or a folder's entries) through to the disk; best effort.
void SyncPath(const QString& path, bool folder = false) {
  const int fd =
      ::open(QFile::encodeName(path).constData(), (folder ? O_RDONLY | O_DIRECTORY : O_RDONLY) | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

QString ExtensionOf(const QString& path) {
  const QString file = QFileInfo(path).fileName();
  const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : file.mid(dot);
}

bool SameExtension(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Carries out a written-down swap: see the header. Safe to run again after any interruption.
void RollForward(const QString& folder, const QString& marker) {
  QFile file(marker);
  if (!file.open(QIODevice::ReadOnly)) return;
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
  file.close();
  if (lines.size() < 2 || lines[0].isEmpty()) {
    QFile::remove(marker);
    return;
  }
  const QString name = lines[0];
  const QStringList extensions = lines[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
  const QString temporary = QFileInfo(marker).completeBaseName();
  const QDir dir(folder);
  // Old files the new table has nothing for (indexes, checks, a memo file the new table lacks).
  for (const QString& old : FamilyFiles(folder, name)) {
    bool kept = false;
    for (const QString& extension : extensions) kept = kept || SameExtension(ExtensionOf(old), extension);
    if (!kept) QFile::remove(old);
  }
  // The new files onto their names, the .DB last so that the table is whole when it is found.
  QStringList ordered;
  for (const QString& extension : extensions)
    if (!SameExtension(extension, QStringLiteral(".db"))) ordered << extension;
  for (const QString& extension : extensions)
    if (SameExtension(extension, QStringLiteral(".db"))) ordered << extension;
  for (const QString& extension : ordered) {
    const QString from = dir.filePath(temporary + extension);
    if (!QFileInfo::exists(from)) continue;  // moved already
    const QString to = dir.filePath(name + extension);
    for (const QString& old : FamilyFiles(folder, name))
      if (SameExtension(ExtensionOf(old), extension) && old != to) QFile::remove(old);
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
      shell::Fail(errc::kDiskIo, QStringLiteral("Could not rename '%1' to '%2'; the next run finishes the "
                                                "replacement of the table %3.")
                                     .arg(from, to, name));
  }
  SyncPath(folder, true);
  QFile::remove(marker);
  SyncPath(folder, true);
}

}  // namespace

bool IsTemporaryName(const QString& name) {
  return name.startsWith(kPrefix, Qt::CaseInsensitive);
}

QString TemporaryParadoxName(const QString& folder) {
  for (int n = 1;; ++n) {
    const QString name = kPrefix + QString::number(n);
    if (FamilyFiles(folder, name).isEmpty() &&
        !QFileInfo::exists(QDir(folder).filePath(name + kMarkerExtension)))
      return name;
  }
}

QString TemporaryAccessName(const QStringList& taken) {
  for (int n = 1;; ++n) {
    const QString name = kPrefix + QString::number(n);
    if (!taken.contains(name, Qt::CaseInsensitive)) return name;
  }
}

void ReplaceParadoxTable(const QString& folder, const QString& temporary, const QString& name) {
  const QStringList files = FamilyFiles(folder, temporary);
  QStringList extensions;
  bool has_table = false;
  for (const QString& path : files) {
    extensions << ExtensionOf(path);
    has_table = has_table || SameExtension(ExtensionOf(path), QStringLiteral(".db"));
    SyncPath(path);
  }
  if (!has_table) {
    for (const QString& path : files) QFile::remove(path);
    shell::Fail(errc::kFileNotFound,
                QStringLiteral("The new table for %1 was not written; the table %1 is unchanged.").arg(name));
  }
  // The marker makes the swap happen: before it is in place nothing of the old table changed.
  const QString marker = QDir(folder).filePath(temporary + kMarkerExtension);
  {
    QSaveFile out(marker);
    if (!out.open(QIODevice::WriteOnly) ||
        out.write(
            (name + QLatin1Char('\n') + extensions.join(QLatin1Char(' ')) + QLatin1Char('\n')).toUtf8()) <
            0 ||
        !out.commit()) {
      for (const QString& path : files) QFile::remove(path);
      shell::Fail(errc::kDiskIo, QStringLiteral("Could not write '%1': %2; the table %3 is unchanged.")
                                     .arg(marker, out.errorString(), name));
    }
  }
  SyncPath(folder, true);
  RollForward(folder, marker);
}

void CleanUpParadoxFolder(const QString& folder) {
  if (folder.isEmpty()) return;
  const QDir dir(folder);
  try {
    const QFileInfoList markers =
        dir.entryInfoList({QStringLiteral("~qvtemp*") + kMarkerExtension}, QDir::Files | QDir::Hidden);
    for (const QFileInfo& marker : markers) RollForward(folder, marker.filePath());
  } catch (...) {
    // Tried again by the next run.
  }
  const QFileInfoList entries =
      dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
  for (const QFileInfo& entry : entries) {
    const QString file = entry.fileName();
    if (!file.startsWith(QStringLiteral("~qv"), Qt::CaseInsensitive)) continue;
    const bool writer_leftover = file.endsWith(QStringLiteral("-tmp"), Qt::CaseInsensitive);
    // A temporary table whose marker is still there (a swap that could not finish) is kept for
    // the next run; without a marker it never replaced anything.
    const bool temporary_table =
        IsTemporaryName(file) && IsFamilyExtension(ExtensionOf(file)) &&
        !QFileInfo::exists(dir.filePath(entry.completeBaseName() + kMarkerExtension));
    const bool unfinished_marker =
        IsTemporaryName(file) && file.contains(QStringLiteral(".rpl."), Qt::CaseInsensitive);
    if (writer_leftover || temporary_table || unfinished_marker) QFile::remove(entry.filePath());
  }
}

QStringList AccessTableNames(sources::Connection& access) {
  QStringList names;
  auto rs = access.OpenSchema(sources::kSchemaTables);
  while (!rs->Eof()) {
    const Value& v = rs->Fields("TABLE_NAME").Value();
    if (const auto* text = std::get_if<std::string>(&v)) names << QString::fromStdString(*text);
    rs->MoveNext();
  }
  rs->Close();
  return names;
}

void DropTemporaryAccessTables(sources::Connection& access) {
  try {
    for (const QString& name : AccessTableNames(access)) {
      if (!IsTemporaryName(name)) continue;
      try {
        access.Execute(DropStatement(name).toStdString());
      } catch (...) {
      }
    }
  } catch (...) {
    // Tried again by the next run.
  }
}

QString ReplaceTableStatement(const QString& temporary, const QString& name) {
  return QStringLiteral("ALTER TABLE ") + QuoteName(temporary) + QStringLiteral(" RENAME TO ") +
         QuoteName(name) + QStringLiteral(" REPLACE");
}

}  // namespace qv::ops
