// The window system of the command-line program. Message boxes become lines on standard error
// (error reports with their number), the questions the operations ask are answered from the
// command line or, on a terminal, by the user, and the run journal hears about each of them.
#pragma once

#include <QString>
#include <cstdio>
#include <functional>

#include "cli/run_journal.h"
#include "cli/terminal_page.h"
#include "shell/window_system.h"

namespace qv::cli {

// How "Would you like to overwrite NAME?" is answered.
enum class OverwritePolicy {
  kAsk,  // neither --overwrite nor --no-overwrite: asked on the terminal; No without one
  kYes,  // --overwrite
  kNo,   // --no-overwrite
};

class TerminalWindowSystem : public shell::WindowSystem {
 public:
  struct Options {
    OverwritePolicy overwrite = OverwritePolicy::kAsk;
    QString new_name;  // the answer to the input box (the new name of a renamed table)
    // Reads the answer to a question the user is asked on the terminal; empty when there is
    // no terminal to ask on. Tests give their own.
    std::function<std::optional<bool>(const QString& question)> ask;
  };

  TerminalWindowSystem(RunJournal& journal, ProgressLine& progress, std::FILE* err, Options options);

  shell::Reply ShowMessage(const shell::MessageRequest& request) override;
  QString AskText(const QString& prompt, const QString& title, const QString& default_answer) override;
  QString ChooseOpenFile(const QString& title, const QString& filter_list) override;
  QString ChooseFolder(const QString& title) override;
  void Yield() override {}

  // Prints "quorvella-cli: TEXT" on standard error, clearing the progress line first.
  void Note(const QString& text);
  // Messages that are not errors, questions or "Done." (for the command's own checks).
  const QStringList& notes() const { return notes_; }

 private:
  void PrintFailure(const shell::ReportedFailure& failure);

  RunJournal& journal_;
  ProgressLine& progress_;
  std::FILE* err_;
  Options options_;
  QStringList notes_;
};

// Asks a yes/no question on the controlling terminal (standard input and standard error must
// both be terminals); nothing when there is none.
std::optional<bool> AskOnTerminal(const QString& question);

}  // namespace qv::cli
