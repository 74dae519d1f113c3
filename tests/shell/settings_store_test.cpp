#include "shell/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/core/error.h"
#include "test_app.h"

namespace qv::shell {
namespace {

const QString kFolder = QString::fromUtf8(kParadoxFolderKey);
const QString kFile = QString::fromUtf8(kAccessFileKey);
const QString kPassword = QString::fromUtf8(kAccessPasswordKey);

TEST(SettingsStore, LivesInTheTemporaryFolderUnderKestrune) {
  testing::TemporarySettings temp;
  const QString path = QSettingsStore::FilePath();
  EXPECT_TRUE(path.startsWith(temp.folder())) << path.toStdString();
  EXPECT_TRUE(QFileInfo(path).fileName().startsWith(QStringLiteral("Kestrune"))) << path.toStdString();
}

TEST(SettingsStore, MissingKeysReadAsEmptyAndReadingCreatesNothing) {
  testing::TemporarySettings temp;
  QSettingsStore store;
  EXPECT_EQ(store.Read(kFolder), QString());
  EXPECT_EQ(store.Read(kFile), QString());
  EXPECT_EQ(store.Read(kPassword), QString());
  EXPECT_FALSE(QFile::exists(QSettingsStore::FilePath()));
}

TEST(SettingsStore, TextsComeBackExactlyAsSaved) {
  testing::TemporarySettings temp;
  QSettingsStore store;
  const QString password = QStringLiteral(" p@ss, w\"o;r=d [x] \\ ümlaut ");
  store.Save(kPassword, password);
  store.Save(kFolder, QStringLiteral("/data/Paradox Tables/"));
  store.Save(kFile, QStringLiteral("true"));
  QSettingsStore fresh;
  EXPECT_EQ(fresh.Read(kPassword), password);
  EXPECT_EQ(fresh.Read(kFolder), QStringLiteral("/data/Paradox Tables/"));
  EXPECT_EQ(fresh.Read(kFile), QStringLiteral("true"));
  store.Save(kFile, QString());
  EXPECT_EQ(fresh.Read(kFile), QString());
}

TEST(SettingsStore, FileIsReadableByItsOwnerOnlyAndHoldsTheGroup) {
  testing::TemporarySettings temp;
  QSettingsStore store;
  store.Save(kPassword, QStringLiteral("secret"));
  const QString path = QSettingsStore::FilePath();
  ASSERT_TRUE(QFile::exists(path));
  EXPECT_EQ(QFile::permissions(path) & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
            QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  store.Save(kPassword, QStringLiteral("secret2"));
  EXPECT_EQ(QFile::permissions(path) & (QFileDevice::ReadGroup | QFileDevice::ReadOther |
                                        QFileDevice::WriteGroup | QFileDevice::WriteOther),
            QFileDevice::Permissions());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray content = file.readAll();
  EXPECT_TRUE(content.contains("[Quorvella]"));
  EXPECT_TRUE(content.contains("AccessPassword=secret2"));
}

TEST(SettingsStore, EveryReadGoesToTheStore) {
  testing::TemporarySettings temp;
  QSettingsStore first;
  QSettingsStore second;
  first.Save(kFolder, QStringLiteral("one"));
  EXPECT_EQ(second.Read(kFolder), QStringLiteral("one"));
  second.Save(kFolder, QStringLiteral("two"));
  EXPECT_EQ(first.Read(kFolder), QStringLiteral("two"));
}

TEST(SettingsStore, UnreadableStoreIsAFailureWithANumberAndTheFileName) {
  testing::TemporarySettings temp;
  // A folder where the settings file should be cannot be read as one.
  ASSERT_TRUE(QDir().mkpath(QSettingsStore::FilePath()));
  QSettingsStore store;
  try {
    store.Read(kFolder);
    FAIL() << "a read of an unreadable store succeeded";
  } catch (const qv::Error& e) {
    EXPECT_EQ(e.number(), 75);
    EXPECT_NE(e.description().find("Kestrune"), std::string::npos) << e.description();
  }
}

}  // namespace
}  // namespace qv::shell
