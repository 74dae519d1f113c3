// Quorvella: moves whole tables between an Access database and a folder of Paradox tables.
#include <QApplication>

#include "engine/core/secrets.h"
#include "operations/table_operations.h"
#include "pages/program.h"
#include "sources/connection_actions.h"

int main(int argc, char* argv[]) {
  // The connection page holds the database password (restored from the settings at start-up)
  // for the whole run: no core dump may carry it.
  qv::KeepSecretsOutOfCoreDumps();
  QApplication app(argc, argv);
  app.setOrganizationName(QStringLiteral("Kestrune"));
  app.setApplicationName(QStringLiteral("Quorvella"));
  // The installed .desktop file, so desktops match the window to its name and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("example.kestrune.Quorvella"));
  // The program ends when a page is closed, not when the last visible window goes away: while
  // "Next >" switches pages, neither may be visible for a moment.
  app.setQuitOnLastWindowClosed(false);

  // "Next >", "Test Connection" and the last steps of start-up run on our own providers, and so
  // do the table page's six operation buttons.
  qv::sources::ConnectionActions connection_actions;
  qv::ops::TableOperations table_operations;
  qv::pages::Program::Options options;
  options.connection_actions = &connection_actions;
  options.startup_jump = &connection_actions;
  options.table_operations = &table_operations;
  qv::pages::Program program(std::move(options));
  program.Start();
  if (program.ended()) return 0;
  return app.exec();
}
