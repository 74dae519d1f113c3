#include "cli/terminal_window_system.h"

#include <unistd.h>

#include <QRegularExpression>
#include <cstdio>
#include <iostream>
#include <string>

namespace qv::cli {
namespace {

constexpr int kStatementShown = 300;  // characters of a failing statement printed

const QString kOverwriteTitle = QStringLiteral("Overwrite?");
const QString kContinueTitle = QStringLiteral("Continue?");

// The name a "NAME is more than 8 characters. It will be trimmed into CUT. Continue?" question
// proposes, as the message spells it (upper case).
QString ProposedCut(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral(" It will be trimmed into (.*)\\. Continue\\?$"));
  const auto match = pattern.match(text);
  return match.hasMatch() ? match.captured(1) : QString();
}

// "DESCRIPTION (Error Number = N)", the short message of the Access listing.
std::optional<shell::ReportedFailure> ShortMessageFailure(const QString& text) {
  static const QRegularExpression pattern(QStringLiteral("^(.*) \\(Error Number = (-?\\d+)\\)$"),
                                          QRegularExpression::DotMatchesEverythingOption);
  const auto match = pattern.match(text);
  if (!match.hasMatch()) return std::nullopt;
  shell::ReportedFailure failure;
  failure.number = match.captured(2).toInt();
  failure.description = match.captured(1);
  return failure;
}

}  // namespace

TerminalWindowSystem::TerminalWindowSystem(RunJournal& journal, ProgressLine& progress, std::FILE* err,
                                           Options options)
    : journal_(journal), progress_(progress), err_(err), options_(std::move(options)) {}

void TerminalWindowSystem::Note(const QString& text) {
  progress_.Clear();
  std::fprintf(err_, "quorvella-cli: %s\n", text.toLocal8Bit().constData());
  std::fflush(err_);
}

void TerminalWindowSystem::PrintFailure(const shell::ReportedFailure& failure) {
  QString line = QStringLiteral("error %1: %2").arg(failure.number).arg(failure.description);
  if (const TableRecord* current = journal_.current())
    line += QStringLiteral(" [table %1]").arg(current->listed);
  if (!failure.location.isEmpty())
    line += QStringLiteral(" [%1, step %2]").arg(failure.location).arg(failure.label);
  Note(line);
  // The transfer into Access quotes the statement it was building or running last, which may
  // belong to the table before; it is shown only when it is this table's.
  const TableRecord* table = journal_.current();
  if (failure.statement && table != nullptr &&
      failure.statement->contains(QLatin1Char('`') + table->listed + QLatin1Char('`'))) {
    QString statement = *failure.statement;
    if (statement.size() > kStatementShown)
      statement = statement.left(kStatementShown) + QStringLiteral("...");
    Note(QStringLiteral("  statement: ") + statement);
  }
}

shell::Reply TerminalWindowSystem::ShowMessage(const shell::MessageRequest& request) {
  if (request.buttons == shell::Buttons::kYesNo) {
    if (request.title == kContinueTitle) {
      // The name is cut to 8 characters, as the window's Yes does; the summary names the cut.
      const QString cut = ProposedCut(request.text);
      if (const TableRecord* table = journal_.current(); table != nullptr && !cut.isEmpty())
        journal_.Cut(table->listed.left(cut.size()));
      return shell::Reply::kYes;
    }
    if (request.title == kOverwriteTitle) {
      bool yes = false;
      switch (options_.overwrite) {
        case OverwritePolicy::kYes:
          yes = true;
          break;
        case OverwritePolicy::kNo:
          yes = false;
          break;
        case OverwritePolicy::kAsk: {
          progress_.Clear();
          const std::optional<bool> answer = options_.ask ? options_.ask(request.text) : std::nullopt;
          if (!answer) Note(request.text + QStringLiteral(" No (give --overwrite to replace it)"));
          yes = answer.value_or(false);
          break;
        }
      }
      if (!yes) journal_.Skipped();
      return yes ? shell::Reply::kYes : shell::Reply::kNo;
    }
    // A question this program does not know how to answer from the command line: the careful
    // answer, said aloud.
    Note(request.text + QStringLiteral(" No"));
    return shell::Reply::kNo;
  }

  if (request.buttons == shell::Buttons::kSkipRowsSkipTableStop) {
    // A row the database refused: without a person to ask, the table is left out whole (a table
    // it was to replace stays as it was) and the run goes on with the next one.
    Note(QStringLiteral("  the table is left out: a row could not be copied"));
    return shell::Reply::kSkipTable;
  }

  std::optional<shell::ReportedFailure> failure = request.failure;
  if (!failure) failure = ShortMessageFailure(request.text);
  if (failure) {
    PrintFailure(*failure);
    journal_.Error(*failure);
    return shell::Reply::kOk;
  }
  if (request.text == QStringLiteral("Done.")) {
    journal_.End();
    return shell::Reply::kOk;
  }
  // The closing summary names the tables written under another name than the cut one.
  static const QRegularExpression kWrittenAs(QStringLiteral("^(.+): written as (\\S+) \\("));
  for (const QString& line : request.text.split(QLatin1Char('\n'))) {
    if (const auto m = kWrittenAs.match(line); m.hasMatch()) journal_.WrittenAs(m.captured(1), m.captured(2));
    // A failed closing save of the Access database (the transfer into Access says so there).
    if (line.startsWith(QStringLiteral("The Access database could not be saved: "))) journal_.NotSaved();
  }
  notes_ << request.text;
  Note(request.text);
  return shell::Reply::kOk;
}

QString TerminalWindowSystem::AskText(const QString&, const QString&, const QString&) {
  return options_.new_name;
}

QString TerminalWindowSystem::ChooseOpenFile(const QString&, const QString&) {
  return {};
}

QString TerminalWindowSystem::ChooseFolder(const QString&) {
  return {};
}

std::optional<bool> AskOnTerminal(const QString& question) {
  if (isatty(STDIN_FILENO) == 0 || isatty(STDERR_FILENO) == 0) return std::nullopt;
  for (;;) {
    std::fprintf(stderr, "%s [y/n] ", question.toLocal8Bit().constData());
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    const QString answer = QString::fromLocal8Bit(line).trimmed().toLower();
    if (answer == QStringLiteral("y") || answer == QStringLiteral("yes")) return true;
    if (answer == QStringLiteral("n") || answer == QStringLiteral("no")) return false;
  }
}

}  // namespace qv::cli
