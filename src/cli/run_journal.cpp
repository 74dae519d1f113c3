#include "cli/run_journal.h"

namespace qv::cli {

int RunJournal::AddTable(const QString& name) {
  TableRecord record;
  record.name = name;
  tables_.push_back(record);
  return static_cast<int>(tables_.size()) - 1;
}

void RunJournal::Begin(int tag) {
  if (tag < 0 || tag >= static_cast<int>(tables_.size()) || tag == current_) return;
  current_ = tag;
  TableRecord& table = tables_[static_cast<std::size_t>(tag)];
  if (!table.begun) {
    table.begun = true;
    ++begun_;
    if (on_begin) on_begin(begun_, table);
  }
}

void RunJournal::End() {
  current_ = -1;
}

void RunJournal::Error(const shell::ReportedFailure& failure) {
  if (current_ >= 0) {
    tables_[static_cast<std::size_t>(current_)].errors.push_back(failure);
  } else {
    run_errors_.push_back(failure);
  }
}

void RunJournal::Skipped() {
  if (current_ >= 0) tables_[static_cast<std::size_t>(current_)].skipped = true;
}

void RunJournal::Cut(const QString& target) {
  if (current_ >= 0) tables_[static_cast<std::size_t>(current_)].target = target;
}

void RunJournal::WrittenAs(const QString& listed, const QString& target) {
  for (TableRecord& table : tables_)
    if (table.listed.compare(listed, Qt::CaseInsensitive) == 0) table.target = target;
}

void RunJournal::AddedToTarget() {
  if (current_ >= 0) tables_[static_cast<std::size_t>(current_)].added = true;
}

void RunJournal::Removed(int tag) {
  if (tag >= 0 && tag < static_cast<int>(tables_.size()))
    tables_[static_cast<std::size_t>(tag)].removed = true;
}

void RunJournal::Listed(const QString& entry) {
  for (TableRecord& table : tables_)
    if (table.removed && table.listed.compare(entry, Qt::CaseInsensitive) == 0) table.removed = false;
}

const TableRecord* RunJournal::current() const {
  return current_ >= 0 ? &tables_[static_cast<std::size_t>(current_)] : nullptr;
}

Outcome RunJournal::OutcomeOf(const TableRecord& table, Evidence evidence) const {
  if (table.listed.isEmpty()) return Outcome::kNotFound;
  if (!table.errors.empty()) return Outcome::kFailed;
  if (table.skipped) return Outcome::kSkipped;
  if (!table.begun) return Outcome::kFailed;  // the run never reached it
  if (not_saved_) return Outcome::kFailed;
  switch (evidence) {
    case Evidence::kNone:
      return Outcome::kDone;
    case Evidence::kAddedToTarget:
      return table.added ? Outcome::kDone : Outcome::kFailed;
    case Evidence::kRemovedFromSource:
      return table.removed ? Outcome::kDone : Outcome::kFailed;
    case Evidence::kRenamed:
      return table.removed && table.added ? Outcome::kDone : Outcome::kFailed;
  }
  return Outcome::kFailed;
}

bool RunJournal::AllDone(Evidence evidence) const {
  if (!run_errors_.empty()) return false;
  for (const TableRecord& table : tables_)
    if (OutcomeOf(table, evidence) != Outcome::kDone) return false;
  return true;
}

}  // namespace qv::cli
