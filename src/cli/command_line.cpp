#include "cli/command_line.h"

namespace qv::cli {
namespace {

const QStringList kCommands{QStringLiteral("tables"), QStringLiteral("to-paradox"),
                            QStringLiteral("to-access"), QStringLiteral("delete"), QStringLiteral("rename")};

const char kPasswordHelp[] =
    "Password of the Access database (never on the command line):\n"
    "  --password-file FILE  the first line of FILE (\"-\": of standard input)\n"
    "  --ask-password        ask on the terminal, without echo\n"
    "  QUORVELLA_PASSWORD    this environment variable, when neither option is given\n";

const char kOutcomeHelp[] =
    "Errors go to standard error with their number. A summary at the end gives each table's\n"
    "outcome: done, failed, skipped or not found. Exit status: 0 when every table went through,\n"
    "1 when some did not, 2 for a wrong command line.\n";

// Which options each subcommand takes.
bool Takes(const QString& command, const QString& option) {
  if (option == QStringLiteral("--help")) return true;
  // Every command may open an Access database.
  if (option == QStringLiteral("--password-file") || option == QStringLiteral("--ask-password")) return true;
  if (option == QStringLiteral("--json")) return command == QStringLiteral("tables");
  if (option == QStringLiteral("--all"))
    return command == QStringLiteral("to-paradox") || command == QStringLiteral("to-access") ||
           command == QStringLiteral("delete");
  if (option == QStringLiteral("--overwrite") || option == QStringLiteral("--no-overwrite"))
    return command == QStringLiteral("to-paradox") || command == QStringLiteral("to-access") ||
           command == QStringLiteral("rename");
  return false;
}

bool Fail(UsageError* error, const QString& message, const QString& command) {
  if (error != nullptr) *error = UsageError{message, command};
  return false;
}

bool CheckOperands(const CommandLine& line, UsageError* error) {
  const QString& c = line.command;
  const qsizetype n = line.operands.size();
  if (c == QStringLiteral("tables")) {
    if (n != 1) return Fail(error, QStringLiteral("tables takes one ACCESS_FILE or PARADOX_FOLDER"), c);
    return true;
  }
  if (c == QStringLiteral("rename")) {
    if (n != 3)
      return Fail(error, QStringLiteral("rename takes ACCESS_FILE|PARADOX_FOLDER OLD_NAME NEW_NAME"), c);
    if (line.operands[2].isEmpty()) return Fail(error, QStringLiteral("the new name is empty"), c);
    return true;
  }
  const qsizetype places = c == QStringLiteral("delete") ? 1 : 2;
  if (n < places) return Fail(error, QStringLiteral("%1 needs more operands").arg(c), c);
  const qsizetype tables = n - places;
  if (line.all && tables > 0) return Fail(error, QStringLiteral("give table names or --all, not both"), c);
  if (!line.all && tables == 0) return Fail(error, QStringLiteral("name the tables, or give --all"), c);
  return true;
}

// An option after the subcommand (`arg`, at position `i`, which moves past a value given as the
// next argument). False, with `error` set, for an option that is wrong here.
bool ApplyOption(const QString& arg, const QStringList& arguments, qsizetype& i, CommandLine& line,
                 bool& overwrite_given, UsageError* error) {
  if (!arg.startsWith(QStringLiteral("--")))
    return Fail(error, QStringLiteral("unknown option '%1'").arg(arg), line.command);
  QString option = arg;
  QString value;
  bool has_value = false;
  if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
    option = arg.left(eq);
    value = arg.mid(eq + 1);
    has_value = true;
  }
  if (option == QStringLiteral("--password"))
    return Fail(error,
                QStringLiteral("a password is never taken from the command line; use --password-file, "
                               "--ask-password or QUORVELLA_PASSWORD"),
                line.command);
  if (!Takes(line.command, option))
    return Fail(error, QStringLiteral("%1 does not take the option '%2'").arg(line.command, option),
                line.command);
  if (option == QStringLiteral("--password-file")) {
    if (!has_value) {
      if (i + 1 >= arguments.size())
        return Fail(error, QStringLiteral("--password-file needs a file"), line.command);
      value = arguments[++i];
    }
    line.password_file = value;
    return true;
  }
  if (has_value)
    return Fail(error, QStringLiteral("the option '%1' takes no value").arg(option), line.command);
  if (option == QStringLiteral("--help")) line.help = true;
  if (option == QStringLiteral("--ask-password")) line.ask_password = true;
  if (option == QStringLiteral("--json")) line.json = true;
  if (option == QStringLiteral("--all")) line.all = true;
  if (option == QStringLiteral("--overwrite") || option == QStringLiteral("--no-overwrite")) {
    const OverwritePolicy policy =
        option == QStringLiteral("--overwrite") ? OverwritePolicy::kYes : OverwritePolicy::kNo;
    if (overwrite_given && policy != line.overwrite)
      return Fail(error, QStringLiteral("give --overwrite or --no-overwrite, not both"), line.command);
    overwrite_given = true;
    line.overwrite = policy;
  }
  return true;
}

// The general help or the version, asked for in place of a subcommand.
std::optional<CommandLine> HelpOrVersion(const QStringList& arguments) {
  if (arguments.isEmpty()) return std::nullopt;
  CommandLine line;
  const QString& first = arguments[0];
  if (first == QStringLiteral("--help") || first == QStringLiteral("-h") || first == QStringLiteral("help")) {
    line.help = true;
    if (first == QStringLiteral("help") && arguments.size() > 1) line.command = arguments[1];
    return line;
  }
  if (first == QStringLiteral("--version")) {
    line.version = true;
    return line;
  }
  return std::nullopt;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const QStringList& arguments, UsageError* error) {
  if (std::optional<CommandLine> asked = HelpOrVersion(arguments)) return asked;
  if (arguments.isEmpty()) {
    Fail(error, QStringLiteral("no command given"), QString());
    return std::nullopt;
  }
  CommandLine line;
  line.command = arguments[0];
  if (!kCommands.contains(line.command)) {
    Fail(error, QStringLiteral("unknown command '%1'").arg(line.command), QString());
    return std::nullopt;
  }
  bool options_end = false;
  bool overwrite_given = false;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (options_end || arg == QStringLiteral("-") || !arg.startsWith(QLatin1Char('-'))) {
      line.operands << arg;
    } else if (arg == QStringLiteral("-h")) {
      line.help = true;
    } else if (arg == QStringLiteral("--")) {
      options_end = true;
    } else if (!ApplyOption(arg, arguments, i, line, overwrite_given, error)) {
      return std::nullopt;
    }
  }
  if (line.help) return line;
  if (!line.password_file.isEmpty() && line.ask_password) {
    Fail(error, QStringLiteral("give --password-file or --ask-password, not both"), line.command);
    return std::nullopt;
  }
  if (!CheckOperands(line, error)) return std::nullopt;
  return line;
}

QString HelpText(const QString& command) {
  QString text;
  if (command == QStringLiteral("tables")) {
    text = QStringLiteral(
        "Usage: quorvella-cli tables [--json] ACCESS_FILE|PARADOX_FOLDER\n"
        "\n"
        "Lists the user tables of an Access database (.mdb, .accdb) or of a folder of Paradox\n"
        "tables and its subfolders, one name a line, sorted as the window lists them.\n"
        "  --json   one JSON array of the names instead\n");
    text += QLatin1Char('\n') + QString::fromUtf8(kPasswordHelp);
    text += QStringLiteral(
        "\nExit status: 0 when the tables could be listed, 1 when not, 2 for a wrong command line.\n");
    return text;
  }
  if (command == QStringLiteral("to-paradox")) {
    text = QStringLiteral(
        "Usage: quorvella-cli to-paradox [OPTIONS] ACCESS_FILE FOLDER TABLE...|--all\n"
        "\n"
        "Copies Access tables into the folder as Paradox 5 tables (the folder is made when\n"
        "missing). A name longer than 8 characters is cut to its first 8. A Paradox table of the\n"
        "same name is replaced only when allowed:\n"
        "  --overwrite      replace it\n"
        "  --no-overwrite   leave it and skip the table\n"
        "  (neither)        ask on the terminal; without one, skip the table\n"
        "  --all            every table of the database\n");
  } else if (command == QStringLiteral("to-access")) {
    text = QStringLiteral(
        "Usage: quorvella-cli to-access [OPTIONS] FOLDER ACCESS_FILE TABLE...|--all\n"
        "\n"
        "Copies Paradox tables of the folder (and its subfolders) into the Access database, column\n"
        "by column and row by row. A missing database is created, its format by its name: .mdb\n"
        "Access 2000, .accdb Access 2007. An Access table of the same name is replaced only when\n"
        "allowed:\n"
        "  --overwrite      replace it\n"
        "  --no-overwrite   leave it and skip the table\n"
        "  (neither)        ask on the terminal; without one, skip the table\n"
        "  --all            every table the folder lists\n"
        "On a terminal, standard error shows the table and a bar of its rows.\n");
  } else if (command == QStringLiteral("delete")) {
    text = QStringLiteral(
        "Usage: quorvella-cli delete [OPTIONS] ACCESS_FILE|PARADOX_FOLDER TABLE...|--all\n"
        "\n"
        "Deletes the named tables from the Access database or the Paradox folder, without a\n"
        "question, as the window's \"Delete Table/s\" does.\n"
        "  --all   every table\n");
  } else if (command == QStringLiteral("rename")) {
    text = QStringLiteral(
        "Usage: quorvella-cli rename [OPTIONS] ACCESS_FILE|PARADOX_FOLDER OLD_NAME NEW_NAME\n"
        "\n"
        "Gives a table a new name, in the Access database or in the Paradox folder (the table's\n"
        "files with it). A table that already has the new name is replaced only when allowed:\n"
        "  --overwrite      replace it\n"
        "  --no-overwrite   leave both as they are\n"
        "  (neither)        ask on the terminal; without one, leave both\n");
  } else {
    return QStringLiteral(
        "Usage: quorvella-cli COMMAND [OPTIONS] OPERANDS\n"
        "\n"
        "Moves whole tables between a Microsoft Access database (.mdb, .accdb) and a folder of\n"
        "Paradox tables, as the Quorvella window does, from scripts and without a display.\n"
        "\n"
        "Commands:\n"
        "  tables      ACCESS_FILE|PARADOX_FOLDER              list the tables\n"
        "  to-paradox  ACCESS_FILE FOLDER TABLE...|--all        Access tables into Paradox tables\n"
        "  to-access   FOLDER ACCESS_FILE TABLE...|--all        Paradox tables into Access tables\n"
        "  delete      ACCESS_FILE|PARADOX_FOLDER TABLE...|--all  delete tables\n"
        "  rename      ACCESS_FILE|PARADOX_FOLDER OLD NEW       rename a table\n"
        "\n"
        "quorvella-cli COMMAND --help tells more of each. See also quorvella-cli(1).\n");
  }
  text += QLatin1Char('\n') + QString::fromUtf8(kPasswordHelp) + QLatin1Char('\n') +
          QString::fromUtf8(kOutcomeHelp);
  return text;
}

}  // namespace qv::cli
