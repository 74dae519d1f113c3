#include "operations/table_replacement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <optional>
#include <span>
#include <vector>

#include "engine/core/error.h"
#include "operations/statements.h"
#include "operations/table_files.h"
#include "shell/failure.h"

namespace qv::ops {
namespace {

const QString kPrefix = QString::fromLatin1(kTemporaryTablePrefix);
const QString kMarkerExtension = QStringLiteral(".rpl");

std::string Native(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

QString ExtensionOf(const QString& path) {
  const QString file = QFileInfo(path).fileName();
  const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? QString() : file.mid(dot);
}

bool SameExtension(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Deletes the file; a failure is left for the next run.
void RemoveQuietly(FileSystem& files, const QString& path) {
  try {
    files.Remove(Native(path));
  } catch (const Error&) {
  }
}

// The bytes of the marker, or nothing when it cannot be read.
std::optional<QByteArray> ReadMarker(FileSystem& files, const QString& marker) {
  try {
    const auto file = files.Open(Native(marker), OpenMode::kRead);
    QByteArray bytes(static_cast<qsizetype>(file->Size()), '\0');
    bytes.resize(static_cast<qsizetype>(
        file->ReadAt(0, std::span(reinterpret_cast<std::uint8_t*>(bytes.data()), bytes.size()))));
    return bytes;
  } catch (const Error&) {
    return std::nullopt;
  }
}

// The entries of the folder; none when it cannot be read.
std::vector<FolderEntry> EntriesOrNone(FileSystem& files, const QString& folder) {
  try {
    return files.Entries(Native(folder));
  } catch (const Error&) {
    return {};
  }
}

// Writes the marker under a name of its own, syncs it and only then gives it its name, so that a
// marker found is always whole.
void WriteMarker(FileSystem& files, const QString& marker, const QByteArray& text) {
  const std::string path = Native(marker);
  const std::string unfinished = path + ".new";
  try {
    {
      const auto file = files.Open(unfinished, OpenMode::kOpenOrCreate);
      file->Truncate(0);
      file->WriteAt(0, std::span(reinterpret_cast<const std::uint8_t*>(text.constData()), text.size()));
      file->Sync();
    }
    files.Rename(unfinished, path);
  } catch (const Error&) {
    RemoveQuietly(files, QFile::decodeName(unfinished.c_str()));
    throw;
  }
}

// Makes the folder's entries last on the disk; a failure leaves the rest to the next run.
void SyncFolder(FileSystem& files, const QString& folder, const QString& name) {
  try {
    files.SyncFolder(Native(folder));
  } catch (const Error& e) {
    shell::Fail(e.number(), QStringLiteral("%1; the next run finishes the replacement of the table %2.")
                                .arg(QString::fromStdString(e.description()), name));
  }
}

// Carries out a written-down swap: see the header. Safe to run again after any interruption.
void RollForward(FileSystem& files, const QString& folder, const QString& marker) {
  const std::optional<QByteArray> text = ReadMarker(files, marker);
  if (!text) return;
  const QStringList lines = QString::fromUtf8(*text).split(QLatin1Char('\n'));
  if (lines.size() < 2 || lines[0].isEmpty()) {
    RemoveQuietly(files, marker);
    return;
  }
  const QString name = lines[0];
  const QStringList extensions = lines[1].split(QLatin1Char(' '), Qt::SkipEmptyParts);
  const QString temporary = QFileInfo(marker).completeBaseName();
  const QDir dir(folder);
  // Old files the new table has nothing for (indexes, checks, a memo file the new table lacks).
  for (const QString& old : FamilyFiles(folder, name, files)) {
    bool kept = false;
    for (const QString& extension : extensions) kept = kept || SameExtension(ExtensionOf(old), extension);
    if (!kept) RemoveQuietly(files, old);
  }
  // The new files onto their names, the .DB last so that the table is whole when it is found.
  QStringList ordered;
  for (const QString& extension : extensions)
    if (!SameExtension(extension, QStringLiteral(".db"))) ordered << extension;
  for (const QString& extension : extensions)
    if (SameExtension(extension, QStringLiteral(".db"))) ordered << extension;
  for (const QString& extension : ordered) {
    const QString from = dir.filePath(temporary + extension);
    if (!files.Exists(Native(from))) continue;  // moved already
    const QString to = dir.filePath(name + extension);
    for (const QString& old : FamilyFiles(folder, name, files))
      if (SameExtension(ExtensionOf(old), extension) && old != to) RemoveQuietly(files, old);
    try {
      files.Rename(Native(from), Native(to));
    } catch (const Error& e) {
      shell::Fail(e.number(), QStringLiteral("Could not rename '%1' to '%2'; the next run finishes the "
                                             "replacement of the table %3.")
                                  .arg(from, to, name));
    }
  }
  SyncFolder(files, folder, name);
  RemoveQuietly(files, marker);
  SyncFolder(files, folder, name);
}

}  // namespace

bool IsTemporaryName(const QString& name) {
  return name.startsWith(kPrefix, Qt::CaseInsensitive);
}

QString TemporaryParadoxName(const QString& folder, FileSystem& files) {
  for (int n = 1;; ++n) {
    const QString name = kPrefix + QString::number(n);
    if (FamilyFiles(folder, name, files).isEmpty() &&
        !files.Exists(Native(QDir(folder).filePath(name + kMarkerExtension))))
      return name;
  }
}

QString TemporaryAccessName(const QStringList& taken) {
  for (int n = 1;; ++n) {
    const QString name = kPrefix + QString::number(n);
    if (!taken.contains(name, Qt::CaseInsensitive)) return name;
  }
}

void ReplaceParadoxTable(const QString& folder, const QString& temporary, const QString& name,
                         FileSystem& files) {
  const QStringList written = FamilyFiles(folder, temporary, files);
  QStringList extensions;
  bool has_table = false;
  for (const QString& path : written) {
    extensions << ExtensionOf(path);
    has_table = has_table || SameExtension(ExtensionOf(path), QStringLiteral(".db"));
  }
  const auto give_up = [&](int number, const QString& why) {
    for (const QString& path : written) RemoveQuietly(files, path);
    shell::Fail(number, why);
  };
  if (!has_table)
    give_up(errc::kFileNotFound,
            QStringLiteral("The new table for %1 was not written; the table %1 is unchanged.").arg(name));
  // The marker makes the swap happen: before it is in place nothing of the old table changed,
  // and it is put in place only once every file of the new table is on the disk.
  const QString marker = QDir(folder).filePath(temporary + kMarkerExtension);
  try {
    for (const QString& path : written) files.Open(Native(path), OpenMode::kRead)->Sync();
  } catch (const Error& e) {
    give_up(e.number(), QStringLiteral("The new table for %1 could not be written to the disk: %2; the table "
                                       "%1 is unchanged.")
                            .arg(name, QString::fromStdString(e.description())));
  }
  try {
    WriteMarker(files, marker,
                (name + QLatin1Char('\n') + extensions.join(QLatin1Char(' ')) + QLatin1Char('\n')).toUtf8());
  } catch (const Error& e) {
    give_up(e.number(), QStringLiteral("Could not write '%1': %2; the table %3 is unchanged.")
                            .arg(marker, QString::fromStdString(e.description()), name));
  }
  SyncFolder(files, folder, name);
  RollForward(files, folder, marker);
}

void CleanUpParadoxFolder(const QString& folder, FileSystem& files) {
  if (folder.isEmpty()) return;
  const QDir dir(folder);
  try {
    for (const FolderEntry& entry : EntriesOrNone(files, folder)) {
      const QString file = QFile::decodeName(entry.name.c_str());
      if (!entry.folder && IsTemporaryName(file) && file.endsWith(kMarkerExtension, Qt::CaseInsensitive))
        RollForward(files, folder, dir.filePath(file));
    }
  } catch (...) {
    // Tried again by the next run.
  }
  for (const FolderEntry& entry : EntriesOrNone(files, folder)) {
    if (entry.folder) continue;
    const QString file = QFile::decodeName(entry.name.c_str());
    if (!file.startsWith(QStringLiteral("~qv"), Qt::CaseInsensitive)) continue;
    const bool writer_leftover = file.endsWith(QStringLiteral("-tmp"), Qt::CaseInsensitive);
    // A temporary table whose marker is still there (a swap that could not finish) is kept for
    // the next run; without a marker it never replaced anything.
    const QString stem = file.left(file.lastIndexOf(QLatin1Char('.')));
    const bool temporary_table = IsTemporaryName(file) && IsFamilyExtension(ExtensionOf(file)) &&
                                 !files.Exists(Native(dir.filePath(stem + kMarkerExtension)));
    const bool unfinished_marker =
        IsTemporaryName(file) && file.contains(QStringLiteral(".rpl."), Qt::CaseInsensitive);
    if (writer_leftover || temporary_table || unfinished_marker) RemoveQuietly(files, dir.filePath(file));
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
