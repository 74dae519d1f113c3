// Quorvella: moves whole tables between an Access database and a folder of Paradox tables.
#include <QApplication>

#include "operations/table_operations.h"
#include "pages/program.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  app.setOrganizationName(QStringLiteral("Kestrune"));
  app.setApplicationName(QStringLiteral("Quorvella"));
  // The program ends when a page is closed, not when the last visible window goes away: while
  // "Next >" switches pages, neither may be visible for a moment.
  app.setQuitOnLastWindowClosed(false);

  qv::ops::TableOperations table_operations;
  qv::pages::Program::Options options;
  options.table_operations = &table_operations;
  qv::pages::Program program(options);
  program.Start();
  if (program.ended()) return 0;
  return app.exec();
}
