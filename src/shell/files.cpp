#include "shell/files.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace qv::shell {

bool FileExists(const QString& path) {
  if (path.isEmpty()) return false;
  const QFileInfo info(path);
  if (!info.exists() || info.isDir()) return false;
  return info.lastModified().isValid();
}

QString ProgramFolder() {
  return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

QString ResourceFolder() {
  const QString program = QCoreApplication::applicationDirPath();
  const QDir installed(program + QStringLiteral("/../share/quorvella"));
  if (installed.exists()) return QDir::toNativeSeparators(installed.canonicalPath());
  return QDir::toNativeSeparators(program);
}

QString JoinPath(const QString& folder, const QString& relative) {
  const QString rel = QDir::toNativeSeparators(relative);
  if (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QDir::separator())) return folder + rel;
  return folder + QDir::separator() + rel;
}

}  // namespace qv::shell
