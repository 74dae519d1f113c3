#include "shell/user_samples.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

#include "shell/failure.h"
#include "shell/files.h"
#include "shell/product.h"

namespace qv::shell {
namespace {

// The main file of a table or a database; the other files of its name belong to it.
bool IsMainFile(const QString& name) {
  const QString suffix = QFileInfo(name).suffix().toLower();
  return suffix == QStringLiteral("db") || suffix == QStringLiteral("mdb") ||
         suffix == QStringLiteral("accdb");
}

// Files of one name in one folder: "ORDERS" with ORDERS.DB, ORDERS.MB, ORDERS.PX.
struct Family {
  QStringList files;  // paths relative to the originals' folder
  QString main;       // the relative path of the main file, or empty
};

void CopyOne(const QString& from, const QString& to) {
  QDir().mkpath(QFileInfo(to).absolutePath());
  if (QFileInfo::exists(to) && !QFile::remove(to))
    Fail(errc::kPathFileAccess,
         QStringLiteral("The sample file '%1' could not be replaced.").arg(QDir::toNativeSeparators(to)));
  QFile source(from);
  if (!source.copy(to))
    Fail(errc::kPathFileAccess,
         QStringLiteral("The sample file '%1' could not be copied to '%2': %3")
             .arg(QDir::toNativeSeparators(from), QDir::toNativeSeparators(to), source.errorString()));
  QFile::setPermissions(
      to, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

}  // namespace

QString UserDataFolder() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (folder.isEmpty())
    Fail(errc::kPathFileAccess, QStringLiteral("There is no data folder for the program's sample copy."));
  return QDir::toNativeSeparators(folder);
}

QString RefreshSampleCopy(const QString& originals, const QString& copy) {
  const QDir source(originals);
  if (!source.exists()) return copy;
  QHash<QString, Family> families;  // by relative folder and lower-cased name without extension
  QStringList order;
  QDirIterator it(originals, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QFileInfo info(path);
    if (info.fileName().startsWith(QLatin1Char('.'))) continue;  // the build's stamp and the like
    const QString relative = source.relativeFilePath(path);
    const QString key = QFileInfo(relative).path() + QLatin1Char('/') + info.completeBaseName().toLower();
    if (!families.contains(key)) order << key;
    Family& family = families[key];
    family.files << relative;
    if (IsMainFile(relative)) family.main = relative;
  }
  order.sort();
  const QDir target(copy);
  for (const QString& key : order) {
    const Family& family = families[key];
    const bool whole = !family.main.isEmpty() && !QFileInfo::exists(target.filePath(family.main));
    for (const QString& relative : family.files) {
      if (whole || !QFileInfo::exists(target.filePath(relative)))
        CopyOne(source.filePath(relative), target.filePath(relative));
    }
  }
  return copy;
}

QString UserSamplesFolder(const QString& program_folder, const QString& data_folder) {
  const QString folder = data_folder.isEmpty() ? UserDataFolder() : data_folder;
  const QString samples = QString::fromUtf8(kSamplesFolder);
  return RefreshSampleCopy(JoinPath(program_folder, samples), JoinPath(folder, samples));
}

}  // namespace qv::shell
