// What one run of an operation did to each table the command named, as the operation itself
// reports it through the terminal's lists, pointer and window system: which entry it was working
// on (it reads the entry's text), which error reports came while it was, whether the user's
// answer skipped it, and what it changed in the lists (an entry added to the target list, the
// entry taken out of its own). The summary and the exit status are read from here.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "shell/window_system.h"

namespace qv::cli {

// The change in the lists by which an operation shows that a table went through. The transfer
// into Paradox changes no list per table (its list is filled afresh at the end), so there only
// the absence of errors counts.
enum class Evidence { kNone, kAddedToTarget, kRemovedFromSource, kRenamed };

enum class Outcome { kDone, kFailed, kSkipped, kNotFound };

struct TableRecord {
  QString name;    // as the command line gave it, or as listed for --all
  QString listed;  // the list entry it selected (empty when none matched)
  QString target;  // the name written when it differs from the entry's (the 8-character cut)
  bool begun = false;
  bool skipped = false;  // the overwrite question was answered No
  bool added = false;
  bool removed = false;
  std::vector<shell::ReportedFailure> errors;
};

class RunJournal {
 public:
  // A table the command named; the result is its tag for the list entry it selects.
  int AddTable(const QString& name);
  std::vector<TableRecord>& tables() { return tables_; }
  const std::vector<TableRecord>& tables() const { return tables_; }
  // Failures outside any table: connections, list fillers, closing.
  const std::vector<shell::ReportedFailure>& runErrors() const { return run_errors_; }

  // The operation read the entry of table `tag`: what follows concerns that table.
  void Begin(int tag);
  // The operation's work on single tables is over (its pointer went back to the arrow, a list
  // is being filled afresh, or it said "Done.").
  void End();
  void Error(const shell::ReportedFailure& failure);
  void Skipped();
  void Cut(const QString& target);
  // The closing message named another target for the table listed as `listed` (a name that cut
  // alike with one written earlier in the run took the next free name).
  void WrittenAs(const QString& listed, const QString& target);
  void AddedToTarget();
  void Removed(int tag);
  // The source list, filled afresh from its place, shows `entry`: a table taken out of it earlier
  // is there after all (its deletion was not saved), so it no longer counts as removed.
  void Listed(const QString& entry);
  // The closing message said the database could not be saved: the tables this run wrote into it
  // may not be there, so none of them counts as done.
  void NotSaved() { not_saved_ = true; }
  bool notSaved() const { return not_saved_; }

  // The table currently being worked on, or nullptr.
  const TableRecord* current() const;
  int begunCount() const { return begun_; }

  Outcome OutcomeOf(const TableRecord& table, Evidence evidence) const;
  // True when every table went through and nothing failed outside them.
  bool AllDone(Evidence evidence) const;

  // Called when a table begins: its position among the tables begun (from 1), and the record.
  std::function<void(int position, const TableRecord& table)> on_begin;

 private:
  std::vector<TableRecord> tables_;
  std::vector<shell::ReportedFailure> run_errors_;
  int current_ = -1;
  int begun_ = 0;
  bool not_saved_ = false;
};

}  // namespace qv::cli
