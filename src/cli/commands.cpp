#include "cli/commands.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <cstdio>
#include <optional>

#include "cli/password.h"
#include "cli/run_journal.h"
#include "cli/terminal_page.h"
#include "cli/terminal_window_system.h"
#include "engine/core/error.h"
#include "engine/jet/write/database_creator.h"
#include "engine/paradox/table_reader.h"
#include "operations/table_operations.h"
#include "shell/failure.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"

namespace qv::cli {
namespace {

enum class Operation { kToParadox, kToAccess, kDeleteAccess, kDeleteParadox, kRenameAccess, kRenameParadox };

struct Fields : shell::ConnectionFields {
  QString folder, file, password;
  QString paradoxFolder() const override { return folder; }
  QString accessFile() const override { return file; }
  QString accessPassword() const override { return password; }
};

void PrintError(const QString& text) {
  std::fprintf(stderr, "quorvella-cli: %s\n", text.toLocal8Bit().constData());
}

void PrintOut(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stdout);
}

// The password, from where the command line says; nothing read yet means none.
QString Password(const CommandLine& line) {
  if (!line.password_file.isEmpty()) return ReadPasswordFile(line.password_file);
  if (line.ask_password) {
    const std::optional<QString> answer =
        AskPasswordWithoutEcho(QStringLiteral("Password of the Access database: "));
    if (!answer)
      shell::Fail(errc::kPathFileAccess,
                  QStringLiteral("There is no terminal to ask the password on; use --password-file."));
    return *answer;
  }
  return qEnvironmentVariable(kPasswordVariable);
}

bool IsParadoxFolder(const QString& path) {
  return QFileInfo(path).isDir();
}

// A missing Access file named by to-access is created empty, its format from its name.
void CreateAccessFile(const QString& file) {
  const QString suffix = QFileInfo(file).suffix().toLower();
  const jet::DatabaseFormat format =
      suffix == QStringLiteral("accdb") ? jet::DatabaseFormat::Ace2007 : jet::DatabaseFormat::Jet4;
  jet::CreateDatabase(QFile::encodeName(file).toStdString(), format);
}

// The row count in the header of the first listed Paradox table of that name, or -1.
qint64 RowCount(const std::vector<sources::ListedParadoxTable>& tables, const QString& name) {
  for (const sources::ListedParadoxTable& table : tables) {
    if (table.name.compare(name, Qt::CaseInsensitive) != 0) continue;
    try {
      return paradox::TableReader(QFile::encodeName(table.path()).toStdString()).rowCount();
    } catch (...) {
      return -1;  // the transfer reports what is wrong with the table
    }
  }
  return -1;
}

const char* OutcomeWord(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return "done";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kSkipped:
      return "skipped";
    case Outcome::kNotFound:
      return "not found";
  }
  return "failed";
}

// One line per table, then the counts.
void PrintSummary(const QString& command, const RunJournal& journal, Evidence evidence) {
  int counts[4] = {0, 0, 0, 0};
  QString text;
  for (const TableRecord& table : journal.tables()) {
    const Outcome outcome = journal.OutcomeOf(table, evidence);
    ++counts[static_cast<int>(outcome)];
    QString name = table.listed.isEmpty() ? table.name : table.listed;
    if (!table.target.isEmpty() && table.target != table.listed)
      name += QStringLiteral(" -> ") + table.target;
    QString line = QStringLiteral("  %1: %2").arg(name, QString::fromLatin1(OutcomeWord(outcome)));
    if (outcome == Outcome::kFailed && !table.errors.empty()) {
      QStringList numbers;
      for (const shell::ReportedFailure& f : table.errors)
        if (!numbers.contains(QString::number(f.number))) numbers << QString::number(f.number);
      line += QStringLiteral(" (error %1)").arg(numbers.join(QStringLiteral(", ")));
    } else if (outcome == Outcome::kFailed && !table.begun) {
      line += QStringLiteral(" (not reached)");
    } else if (outcome == Outcome::kFailed && journal.notSaved()) {
      line += QStringLiteral(" (the database could not be saved)");
    } else if (outcome == Outcome::kFailed) {
      line += QStringLiteral(" (nothing changed)");
    } else if (outcome == Outcome::kSkipped) {
      line += QStringLiteral(" (not overwritten)");
    }
    text += line + QLatin1Char('\n');
  }
  const int total = static_cast<int>(journal.tables().size());
  text += QStringLiteral("%1: %2 %3: %4 done, %5 failed, %6 skipped, %7 not found")
              .arg(command)
              .arg(total)
              .arg(total == 1 ? QStringLiteral("table") : QStringLiteral("tables"))
              .arg(counts[static_cast<int>(Outcome::kDone)])
              .arg(counts[static_cast<int>(Outcome::kFailed)])
              .arg(counts[static_cast<int>(Outcome::kSkipped)])
              .arg(counts[static_cast<int>(Outcome::kNotFound)]);
  if (!journal.runErrors().empty())
    text += QStringLiteral("; %1 error(s) outside the tables").arg(journal.runErrors().size());
  text += QStringLiteral("\n");
  PrintOut(text);
  std::fflush(stdout);
}

int ListTables(const CommandLine& line) {
  const QString place = line.operands[0];
  RunJournal journal;
  ProgressLine progress(nullptr);
  TerminalWindowSystem windows(journal, progress, stderr, {});
  TerminalList list(journal, false);
  Fields fields;
  if (IsParadoxFolder(place)) {
    fields.folder = place;
    sources::AddTablesToParadoxListbox(list, fields, windows);
  } else {
    if (!QFileInfo(place).isFile()) {
      PrintError(QStringLiteral("error %1: Could not find file '%2'.").arg(errc::kFileNotFound).arg(place));
      return kExitSomeNot;
    }
    fields.file = place;
    fields.password = Password(line);
    sources::AddTablesToAccessListbox(list, place, fields, windows, sources::DefaultObjects());
  }
  if (!journal.runErrors().empty() || !windows.notes().isEmpty()) return kExitSomeNot;
  if (line.json) {
    QJsonArray names;
    for (const QString& name : list.texts()) names.append(name);
    PrintOut(QString::fromUtf8(QJsonDocument(names).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
  } else {
    for (const QString& name : list.texts()) PrintOut(name + QLatin1Char('\n'));
  }
  return kExitDone;
}

// Where the tables of an operation come from and go to: the places it uses, the list its tables
// are named from, and what shows that a table was done.
struct Route {
  bool access_used = true;
  bool paradox_used = true;
  TerminalList* source = nullptr;
  QStringList tables;
  Evidence evidence = Evidence::kNone;
};

Route RouteOf(const CommandLine& line, Operation operation, Fields& fields, TerminalList& access_list,
              TerminalList& paradox_list) {
  Route route;
  switch (operation) {
    case Operation::kToParadox:
      fields.file = line.operands[0];
      fields.folder = line.operands[1];
      route.source = &access_list;
      route.tables = line.operands.mid(2);
      break;
    case Operation::kToAccess:
      fields.folder = line.operands[0];
      fields.file = line.operands[1];
      route.source = &paradox_list;
      route.tables = line.operands.mid(2);
      route.evidence = Evidence::kAddedToTarget;
      break;
    case Operation::kDeleteAccess:
    case Operation::kDeleteParadox:
    case Operation::kRenameAccess:
    case Operation::kRenameParadox: {
      const bool access = operation == Operation::kDeleteAccess || operation == Operation::kRenameAccess;
      (access ? fields.file : fields.folder) = line.operands[0];
      route.access_used = access;
      route.paradox_used = !access;
      route.source = access ? &access_list : &paradox_list;
      const bool rename = operation == Operation::kRenameAccess || operation == Operation::kRenameParadox;
      route.tables = rename ? QStringList{line.operands[1]} : line.operands.mid(1);
      route.evidence = rename ? Evidence::kRenamed : Evidence::kRemovedFromSource;
      break;
    }
  }
  return route;
}

// The places must be there: a missing source is a failure of the run; an Access database or a
// Paradox folder to write into is made, once the source is known to be there. Gives the exit
// code of a run that cannot go on, or nothing.
std::optional<int> PreparePlaces(const CommandLine& line, Operation operation, const Route& route,
                                 Fields& fields, TerminalWindowSystem& windows) {
  const bool writes_access = operation == Operation::kToAccess;
  const bool writes_paradox = operation == Operation::kToParadox;
  if (route.access_used) fields.password = Password(line);
  if (route.access_used && !writes_access && !QFileInfo(fields.file).exists()) {
    PrintError(
        QStringLiteral("error %1: Could not find file '%2'.").arg(errc::kFileNotFound).arg(fields.file));
    return kExitSomeNot;
  }
  if (route.paradox_used && !writes_paradox && !QFileInfo(fields.folder).isDir()) {
    PrintError(QStringLiteral("error %1: Could not find the folder '%2'.")
                   .arg(errc::kFileNotFound)
                   .arg(fields.folder));
    return kExitSomeNot;
  }
  if (writes_access && !QFileInfo(fields.file).exists()) {
    const QString suffix = QFileInfo(fields.file).suffix().toLower();
    if (suffix != QStringLiteral("mdb") && suffix != QStringLiteral("accdb")) {
      PrintError(QStringLiteral("a new Access database needs a name ending in .mdb or .accdb: '%1'")
                     .arg(fields.file));
      return kExitUsage;
    }
    CreateAccessFile(fields.file);
    windows.Note(QStringLiteral("created the Access database '%1'").arg(fields.file));
  }
  if (writes_paradox && !QFileInfo(fields.folder).isDir() && !QDir().mkpath(fields.folder)) {
    PrintError(QStringLiteral("error %1: The folder '%2' could not be made.")
                   .arg(errc::kPathFileAccess)
                   .arg(fields.folder));
    return kExitSomeNot;
  }
  return std::nullopt;
}

// The lists, as "Next >" fills them. A list that cannot be filled ends the run: no table of it
// can be named. Gives whether both lists the operation uses were filled.
bool FillLists(const Route& route, const Fields& fields, TerminalList& access_list,
               TerminalList& paradox_list, TerminalWindowSystem& windows, const RunJournal& journal) {
  if (route.access_used) {
    sources::AddTablesToAccessListbox(access_list, fields.file, fields, windows, sources::DefaultObjects());
    if (!journal.runErrors().empty() || !windows.notes().isEmpty()) return false;
  }
  if (route.paradox_used) {
    sources::AddTablesToParadoxListbox(paradox_list, fields, windows);
    if (!journal.runErrors().empty()) return false;
  }
  return true;
}

// Selects the named tables (every listed one for --all) in the source list, each recorded in the
// journal; a name the list lacks is noted. Gives the number selected.
int SelectTables(const CommandLine& line, const Route& route, const Fields& fields,
                 const TerminalList& access_list, TerminalWindowSystem& windows, RunJournal& journal) {
  const QStringList tables = line.all ? route.source->texts() : route.tables;
  for (const QString& name : tables) {
    const int tag = journal.AddTable(name);
    QString listed;
    if (route.source->SelectFor(name, tag, &listed)) {
      journal.tables()[static_cast<std::size_t>(tag)].listed = listed;
    } else {
      windows.Note(QStringLiteral("error %1: Table '%2' does not exist in '%3'.")
                       .arg(errc::kNoSuchTable)
                       .arg(name, route.source == &access_list ? fields.file : fields.folder));
    }
  }
  return route.source->selectedCount();
}

void RunHandler(Operation operation, shell::TablePageContext& page) {
  ops::TableOperations operations;
  switch (operation) {
    case Operation::kToParadox:
      operations.SendToParadox(page);
      break;
    case Operation::kToAccess:
      operations.SendToAccess(page);
      break;
    case Operation::kDeleteAccess:
      operations.DeleteAccessTables(page);
      break;
    case Operation::kDeleteParadox:
      operations.DeleteParadoxTables(page);
      break;
    case Operation::kRenameAccess:
      operations.RenameAccessTable(page);
      break;
    case Operation::kRenameParadox:
      operations.RenameParadoxTable(page);
      break;
  }
}

int RunOperation(const CommandLine& line, Operation operation) {
  RunJournal journal;
  ProgressLine progress(stderr);
  TerminalWindowSystem::Options window_options;
  window_options.overwrite = line.overwrite;
  window_options.ask = AskOnTerminal;
  if (operation == Operation::kRenameAccess || operation == Operation::kRenameParadox)
    window_options.new_name = line.operands[2];
  TerminalWindowSystem windows(journal, progress, stderr, window_options);
  TerminalList access_list(journal,
                           operation == Operation::kToAccess || operation == Operation::kRenameAccess);
  TerminalList paradox_list(journal, operation == Operation::kRenameParadox);
  TerminalProgress bar(progress);
  TerminalPointer pointer(journal);
  Fields fields;
  shell::TablePageContext page{windows, fields, {access_list, paradox_list, bar, pointer}};

  const Route route = RouteOf(line, operation, fields, access_list, paradox_list);
  if (const std::optional<int> code = PreparePlaces(line, operation, route, fields, windows)) return *code;
  if (!FillLists(route, fields, access_list, paradox_list, windows, journal)) return kExitSomeNot;
  const int selected = SelectTables(line, route, fields, access_list, windows, journal);
  // The row counts the progress line shows while a Paradox table is sent, from the tables'
  // headers; only read when there is a terminal to show them on.
  std::vector<sources::ListedParadoxTable> paradox_tables;
  if (progress.enabled() && operation == Operation::kToAccess) {
    try {
      paradox_tables = sources::ScanParadoxTables(fields.folder, [] {});
    } catch (...) {
      paradox_tables.clear();  // the progress line goes without row counts
    }
  }
  journal.on_begin = [&](int position, const TableRecord& table) {
    progress.StartTable(position, selected, table.listed, RowCount(paradox_tables, table.listed));
  };

  if (selected > 0) RunHandler(operation, page);
  progress.Clear();
  PrintSummary(line.command, journal, route.evidence);
  return journal.AllDone(route.evidence) ? kExitDone : kExitSomeNot;
}

}  // namespace

int RunCommand(const CommandLine& line) {
  try {
    if (line.command == QStringLiteral("tables")) return ListTables(line);
    if (line.command == QStringLiteral("to-paradox")) return RunOperation(line, Operation::kToParadox);
    if (line.command == QStringLiteral("to-access")) return RunOperation(line, Operation::kToAccess);
    const bool paradox = IsParadoxFolder(line.operands[0]);
    if (line.command == QStringLiteral("delete"))
      return RunOperation(line, paradox ? Operation::kDeleteParadox : Operation::kDeleteAccess);
    if (line.command == QStringLiteral("rename"))
      return RunOperation(line, paradox ? Operation::kRenameParadox : Operation::kRenameAccess);
  } catch (...) {
    // Failures of the command's own steps (the password file, a new database): the operations
    // report their own.
    const shell::Failure failure = shell::CurrentFailure();
    PrintError(QStringLiteral("error %1: %2").arg(failure.number).arg(failure.description));
    return kExitSomeNot;
  }
  return kExitUsage;
}

}  // namespace qv::cli
