// A program with both pages on Qt's offscreen platform, a scripted window system and settings in
// a temporary folder: GUI tests never open a real dialog, a browser or the user's settings.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <memory>

#include "pages/program.h"
#include "shell/settings_store.h"
#include "support/scripted_window_system.h"

namespace qv::testing {

inline QApplication& GuiApp() {
  static int argc = 1;
  static char name[] = "pages_test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    auto* a = new QApplication(argc, argv);
    a->setQuitOnLastWindowClosed(false);
    return a;
  }();
  return *app;
}

// The folder the build puts the program and HAND-M.CUR in.
inline QString BuiltProgramFolder() {
  return QStringLiteral(QV_BINARY_DIR "/bin");
}

class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GuiApp();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir_.path());
    options_.windows = &windows_;
    options_.settings = &settings_;
    options_.program_folder = BuiltProgramFolder();
    options_.data_folder = data_dir_.path();  // the sample copy goes here, not to the user's folder
    options_.random = [] { return 0.5; };
    options_.open_url = [this](const QString& address) {
      opened_ << address;
      return true;
    };
  }
  void TearDown() override {
    program_.reset();
    QCoreApplication::processEvents();
  }

  pages::Program& Start() {
    program_ = std::make_unique<pages::Program>(options_);
    program_->Start();
    QCoreApplication::processEvents();
    return *program_;
  }
  pages::ConnectionPage& form1() { return program_->connectionPage(); }
  pages::TablePage& form2() { return program_->tablePage(); }

  QString Stored(const char* key) { return settings_.Read(QString::fromUtf8(key)); }
  void Store(const char* key, const QString& text) { settings_.Save(QString::fromUtf8(key), text); }

  QTemporaryDir settings_dir_;
  QTemporaryDir data_dir_;
  shell::ScriptedWindowSystem windows_;
  shell::QSettingsStore settings_;
  pages::Program::Options options_;
  QStringList opened_;
  std::unique_ptr<pages::Program> program_;
};

}  // namespace qv::testing
