// What one run of a transfer did to each selected table, and the one message that ends the run:
// "Done." when every selected table went through whole and nothing else needs telling, otherwise
// a short summary, for example
//
//   Tables sent: 1 of 3.
//   ORDERS: not sent: the overwrite was declined.
//   CUSTOMERS: not sent: 'x' is not a valid name ...
//   ITEMS: sent without 200 rows that could not be copied.
//   EmployeeTerritories: written as Employ~1 (Employee was taken in this run).
#pragma once

#include <QString>
#include <QStringList>

namespace qv::ops {

class RunSummary {
 public:
  // A selected table the run handled (counted whether or not it was sent).
  void Selected() { ++selected_; }
  void Sent() { ++sent_; }
  // A selected table that was not sent, and why (one line; only the first line of `reason`).
  void NotSent(const QString& name, const QString& reason);
  // A table that was sent but without `rows` rows that failed.
  void SentWithout(const QString& name, long long rows);
  // Anything else the user must be told about a table that was sent (a name changed, ...).
  void Note(const QString& line) { lines_ << line; }
  // The closing save failed: `line` says why, and the count no longer claims the tables as sent
  // (those written since the last save that held are not in the file).
  void NotSaved(const QString& line) {
    lines_ << line;
    not_saved_ = true;
  }

  bool complete() const { return selected_ > 0 && sent_ == selected_ && lines_.isEmpty(); }
  // "Done." or the summary.
  QString Text() const;

 private:
  int selected_ = 0;
  int sent_ = 0;
  bool not_saved_ = false;
  QStringList lines_;
};

// The first line of a failure's description, without its final point, for a summary line.
QString ReasonLine(const QString& description);

}  // namespace qv::ops
