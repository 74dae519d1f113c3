// quorvella-cli: moves whole tables between an Access database and a folder of Paradox tables
// from the command line, through the same operations as the window program.
#include <QCoreApplication>
#include <cstdio>

#include "cli/command_line.h"
#include "cli/commands.h"

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  app.setOrganizationName(QStringLiteral("Kestrune"));
  app.setApplicationName(QStringLiteral("Quorvella"));
  app.setApplicationVersion(QStringLiteral(QV_VERSION));

  QStringList arguments = QCoreApplication::arguments();
  arguments.removeFirst();
  qv::cli::UsageError error;
  const std::optional<qv::cli::CommandLine> line = qv::cli::ParseCommandLine(arguments, &error);
  if (!line) {
    std::fprintf(stderr, "quorvella-cli: %s\n", error.message.toLocal8Bit().constData());
    const QString help = error.command.isEmpty()
                             ? QStringLiteral("quorvella-cli --help")
                             : QStringLiteral("quorvella-cli %1 --help").arg(error.command);
    std::fprintf(stderr, "Try '%s'.\n", help.toLocal8Bit().constData());
    return qv::cli::kExitUsage;
  }
  if (line->version) {
    std::printf("quorvella-cli %s\n", QV_VERSION);
    return qv::cli::kExitDone;
  }
  if (line->help) {
    std::fputs(qv::cli::HelpText(line->command).toLocal8Bit().constData(), stdout);
    return qv::cli::kExitDone;
  }
  return qv::cli::RunCommand(*line);
}
