// Writes PNG pictures of both pages at 96 dpi: connection-page.png and table-page.png.
// Usage: qv-screenshots [OUTPUT_FOLDER]   (default: screenshots/ in the current folder)
// Runs on Qt's offscreen platform unless another is asked for, with settings in a temporary
// folder and a scripted window system, so it never touches the user's settings or opens a dialog.
#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>

#include "pages/program.h"
#include "shell/settings_store.h"
#include "support/scripted_window_system.h"

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QStandardPaths::setTestModeEnabled(true);
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
  if (!QDir().mkpath(out)) {
    std::fprintf(stderr, "cannot make %s\n", qPrintable(out));
    return 1;
  }

  QTemporaryDir settings_dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings_dir.path());
  qv::shell::QSettingsStore settings;
  settings.Save(QString::fromUtf8(qv::shell::kParadoxFolderKey), QStringLiteral("/srv/data/paradox"));
  settings.Save(QString::fromUtf8(qv::shell::kAccessFileKey), QStringLiteral("/srv/data/shop.mdb"));
  settings.Save(QString::fromUtf8(qv::shell::kAccessPasswordKey), QStringLiteral("secret"));

  qv::shell::ScriptedWindowSystem windows;
  qv::pages::Program::Options options;
  options.windows = &windows;
  options.settings = &settings;
  options.program_folder = QCoreApplication::applicationDirPath();
  options.random = [] { return 0.5; };
  options.open_url = [](const QString&) { return true; };
  qv::pages::Program program(options);
  program.Start();
  QCoreApplication::processEvents();

  bool ok = program.connectionPage().grab().save(out + QStringLiteral("/connection-page.png"), "PNG");

  qv::shell::TablePageParts parts = program.UseTablePage();
  for (const char* name : {"Customers", "Order Details", "orders", "Employees", "Products", "Shippers"}) {
    parts.access_list.Add(QString::fromLatin1(name));
  }
  for (const char* name : {"CUSTOMER", "ORDERS", "PARTS", "VENDORS", "STOCK"}) {
    parts.paradox_list.Add(QString::fromLatin1(name));
  }
  parts.access_list.SetSelected(1, true);
  parts.progress.SetValue(40);
  program.ShowTablePage();
  program.HideConnectionPage();
  QCoreApplication::processEvents();
  ok = program.tablePage().grab().save(out + QStringLiteral("/table-page.png"), "PNG") && ok;
  if (!ok) {
    std::fprintf(stderr, "cannot write the pictures to %s\n", qPrintable(out));
    return 1;
  }
  std::printf("wrote %s/connection-page.png and %s/table-page.png\n", qPrintable(out), qPrintable(out));
  return 0;
}
