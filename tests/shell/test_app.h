// One Qt application per test process, on the offscreen platform, with settings kept in a
// temporary folder so no test ever reads or writes the user's real settings.
#pragma once

#include <QGuiApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace qv::testing {

inline QGuiApplication& TestApp() {
  static int argc = 1;
  static char name[] = "shell_test";
  static char* argv[] = {name, nullptr};
  static QGuiApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    return new QGuiApplication(argc, argv);
  }();
  return *app;
}

// Points the user's settings at a fresh temporary folder for the life of the object.
class TemporarySettings {
 public:
  TemporarySettings() {
    TestApp();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
  }
  QString folder() const { return dir_.path(); }

 private:
  QTemporaryDir dir_;
};

}  // namespace qv::testing
