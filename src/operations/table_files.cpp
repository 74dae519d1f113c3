#include "operations/table_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

#include "engine/paradox/table_name.h"
#include "shell/error_trap.h"
#include "shell/failure.h"

namespace qv::ops {
namespace {

// The stem and extension of a file name: everything before the last point, and the rest.
bool SplitName(const QString& file_name, QString& stem, QString& extension) {
  const qsizetype dot = file_name.lastIndexOf(QLatin1Char('.'));
  if (dot <= 0) return false;
  stem = file_name.left(dot);
  extension = file_name.mid(dot);
  return true;
}

QStringList MatchingFiles(const QString& folder, const QString& name, bool family, FileSystem& files) {
  QStringList out;
  std::vector<FolderEntry> entries;
  try {
    entries = files.Entries(QFile::encodeName(folder).toStdString());
  } catch (const Error&) {
    return out;  // a folder that cannot be read holds no table
  }
  const QDir dir(folder);
  for (const FolderEntry& entry : entries) {
    // Links that lead nowhere are names of the family too; folders never are.
    if (entry.folder) continue;
    QString stem, extension;
    if (!SplitName(QFile::decodeName(entry.name.c_str()), stem, extension)) continue;
    if (stem.compare(name, Qt::CaseInsensitive) != 0) continue;
    const bool is_table = extension.compare(QStringLiteral(".db"), Qt::CaseInsensitive) == 0;
    if (family ? IsFamilyExtension(extension) : is_table) out << dir.filePath(stem + extension);
  }
  out.sort();
  return out;
}

}  // namespace

bool IsFamilyExtension(const QString& extension) {
  return paradox::IsFamilyExtension(extension.toStdString());
}

QStringList TableFiles(const QString& folder, const QString& name, FileSystem& files) {
  return MatchingFiles(folder, name, false, files);
}

QStringList FamilyFiles(const QString& folder, const QString& name, FileSystem& files) {
  return MatchingFiles(folder, name, true, files);
}

void DeleteFileQuietly(shell::WindowSystem& windows, const QString& path) {
  windows.Yield();
  QFile::remove(path);
}

void DeleteFileOrFail(shell::WindowSystem& windows, const QString& path) {
  windows.Yield();
  QFile file(path);
  if (file.remove() || !QFileInfo::exists(path)) return;
  shell::Fail(errc::kPathFileAccess,
              QStringLiteral("Could not delete the file '%1': %2.").arg(path, file.errorString()));
}

bool RenameFile(shell::WindowSystem& windows, const QString& source_db, const QString& destination_db) {
  shell::ErrorTrap trap(windows, QString::fromLatin1(kRenameFileLocation));
  const QFileInfo source(source_db);
  const QFileInfo destination(destination_db);
  QString source_stem, source_ext, destination_stem, destination_ext;
  SplitName(source.fileName(), source_stem, source_ext);
  SplitName(destination.fileName(), destination_stem, destination_ext);

  QStringList sources;
  std::vector<QString> copies;
  bool copied = false;
  trap.Step(100, [&] {
    if (!source.isFile())
      shell::Fail(errc::kRuntimeFileNotFound, QStringLiteral("File not found: '%1'.").arg(source_db));
    sources = FamilyFiles(source.path(), source_stem);
    for (const QString& from : sources) {
      QString stem, extension;
      SplitName(QFileInfo(from).fileName(), stem, extension);
      const QString to = QDir(destination.path()).filePath(destination_stem + extension);
      if (QFileInfo::exists(to) && !QFile::remove(to)) {
        for (const QString& made : copies) QFile::remove(made);
        shell::Fail(errc::kPathFileAccess,
                    QStringLiteral("Could not replace the file '%1'; the table '%2' keeps its name.")
                        .arg(to, source_db));
      }
      QFile file(from);
      if (!file.copy(to)) {
        const QString why = file.errorString();
        for (const QString& made : copies) QFile::remove(made);
        shell::Fail(
            errc::kPathFileAccess,
            QStringLiteral("Could not copy '%1' to '%2': %3; the table keeps its name.").arg(from, to, why));
      }
      copies.push_back(to);
    }
    copied = true;
  });
  if (!copied) return false;
  trap.Step(102, [&] {
    for (const QString& from : sources) DeleteFileQuietly(windows, from);
  });
  return true;
}

}  // namespace qv::ops
