// The table page of the command-line program: its two lists, its progress bar and its pointer,
// without a window. They behave as the window's do (sorted lists with a selection and a current
// row, a 0-100 bar, the pointer number) and tell the run journal what the operation does with
// them; the progress bar is drawn on standard error when that is a terminal.
#pragma once

#include <cstdio>
#include <vector>

#include "cli/run_journal.h"
#include "shell/memory_table_list.h"
#include "shell/page_pointer.h"
#include "shell/table_list.h"

namespace qv::cli {

class TerminalList : public shell::MemoryTableList {
 public:
  // `journal` hears which tagged entry the operation reads and removes, and, when
  // `additions_count` is set, the entries it adds (the target list of the transfer into Access,
  // the list of a renamed table).
  TerminalList(RunJournal& journal, bool additions_count)
      : journal_(journal), additions_count_(additions_count) {}

  QString text(int row) const override;
  void Add(const QString& text) override;
  void RemoveAt(int row) override;
  void Clear() override;

  // Selects the first entry not yet selected whose text equals `name` ignoring case, tags it
  // with `tag` and makes it current when none is; false when there is none. The command's own
  // reads (this, texts()) tell the journal nothing.
  bool SelectFor(const QString& name, int tag, QString* listed);

 private:
  RunJournal& journal_;
  bool additions_count_;
};

// Draws "table k of n NAME [#####.....] 45% about 450 of 1000 rows" on one line of standard
// error, only when it is a terminal; nothing otherwise. The rows are the bar's share of the
// table's row count, when it is known.
class ProgressLine {
 public:
  explicit ProgressLine(std::FILE* out);
  bool enabled() const { return enabled_; }
  // `rows` is the table's row count, or -1 when unknown.
  void StartTable(int position, int total, const QString& name, qint64 rows = -1);
  void SetPercent(int percent);
  // Clears the line so that a message can be printed in its place.
  void Clear();

 private:
  void Draw();

  std::FILE* out_;
  bool enabled_ = false;
  bool shown_ = false;
  int position_ = 0;
  int total_ = 0;
  QString name_;
  qint64 rows_ = -1;
  int percent_ = -1;
};

class TerminalProgress : public shell::ProgressIndicator {
 public:
  explicit TerminalProgress(ProgressLine& line) : line_(line) {}
  int value() const override { return value_; }
  void SetValue(int percent) override;

 private:
  ProgressLine& line_;
  int value_ = 0;
};

// The pointer: its return to the arrow marks the end of the operation's work on tables.
class TerminalPointer : public shell::PagePointer {
 public:
  explicit TerminalPointer(RunJournal& journal) : journal_(journal) {}
  int pointer() const override { return pointer_; }
  void SetPointer(int pointer) override;

 private:
  RunJournal& journal_;
  int pointer_ = shell::kPointerDefault;
};

}  // namespace qv::cli
