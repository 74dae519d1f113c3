// What operations see of the table page: its two table lists, its progress bar and its pointer.
// The pages implement these over Qt widgets; MemoryTableList keeps a list without a window (the
// command-line program's lists build on it).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace qv::shell {

// A list of table names kept sorted without regard to case, with extended multiple selection
// and a current row (-1 when there is none). Positions count from 0.
class TableList {
 public:
  virtual ~TableList() = default;
  virtual int count() const = 0;
  virtual QString text(int row) const = 0;
  virtual bool isSelected(int row) const = 0;
  virtual void SetSelected(int row, bool selected) = 0;
  virtual int selectedCount() const = 0;
  virtual int currentRow() const = 0;
  virtual void SetCurrentRow(int row) = 0;
  // The new item takes its sorted place; an item equal to others (ignoring case) goes after them.
  virtual void Add(const QString& text) = 0;
  virtual void RemoveAt(int row) = 0;
  virtual void Clear() = 0;
};

// Where a new item goes in a list sorted without regard to case: after every item that does not
// sort after it.
int SortedInsertRow(const QStringList& items, const QString& text);
// The same over a list of `count` items read through `textAt`, without copying them: a binary
// search, so filling a list of n names costs n log n comparisons, not n squared.
int SortedInsertRow(int count, const std::function<QString(int)>& textAt, const QString& text);

// A list position out of range: error 380, "Invalid list position n.", as the list controls give it.
[[noreturn]] void FailListPosition(int row);

// The progress bar, 0 to 100.
class ProgressIndicator {
 public:
  virtual ~ProgressIndicator() = default;
  virtual int value() const = 0;
  virtual void SetValue(int percent) = 0;
};

// Fails with error 380, "Invalid progress value n.", for a value outside 0 to 100.
void CheckProgressValue(int percent);

}  // namespace qv::shell
