#include "shell/settings_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QtDebug>

#include "shell/failure.h"
#include "shell/product.h"

namespace qv::shell {
namespace {

constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

QSettings OpenStore() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QString::fromUtf8(kSettingsOrganisation));
}

QString StatusText(QSettings::Status status) {
  return status == QSettings::FormatError ? QStringLiteral("is damaged") : QStringLiteral("cannot be read");
}

// QSettings replaces its file through a temporary copy that takes over the permissions of the
// existing file; creating the file empty with owner-only rights before the first save keeps the
// password from ever being readable by others.
void EnsureOwnerOnlyFile(const QString& path) {
  QFile file(path);
  if (!file.exists()) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) file.close();
  }
  if (file.exists() && file.permissions() != kOwnerOnly) file.setPermissions(kOwnerOnly);
}

}  // namespace

QString QSettingsStore::FilePath() {
  return OpenStore().fileName();
}

QString QSettingsStore::Read(const QString& key) {
  QSettings settings = OpenStore();
  if (settings.status() != QSettings::NoError) {
    Fail(
        errc::kPathFileAccess,
        QStringLiteral("The settings file '%1' %2.").arg(settings.fileName(), StatusText(settings.status())));
  }
  settings.beginGroup(QString::fromUtf8(kSettingsGroup));
  return settings.value(key, QString()).toString();
}

void QSettingsStore::Save(const QString& key, const QString& text) {
  const QString path = FilePath();
  EnsureOwnerOnlyFile(path);
  QSettings settings = OpenStore();
  settings.beginGroup(QString::fromUtf8(kSettingsGroup));
  settings.setValue(key, text);
  settings.endGroup();
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    qWarning().noquote()
        << QStringLiteral("Quorvella: the setting %1 could not be saved to '%2'.").arg(key, path);
  }
  // Belt and braces for a file made by someone else or an older copy of the program.
  if (QFile::exists(path) && QFile::permissions(path) != kOwnerOnly) QFile::setPermissions(path, kOwnerOnly);
}

}  // namespace qv::shell
