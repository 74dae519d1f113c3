// A TableList kept in memory, without widgets: the command-line program's lists build on it, and
// tests of operations and of the shell use it as it is.
#pragma once

#include <vector>

#include "shell/table_list.h"

namespace qv::shell {

class MemoryTableList : public TableList {
 public:
  int count() const override { return static_cast<int>(items_.size()); }
  QString text(int row) const override;
  bool isSelected(int row) const override;
  void SetSelected(int row, bool selected) override;
  int selectedCount() const override;
  int currentRow() const override { return current_; }
  void SetCurrentRow(int row) override;
  void Add(const QString& text) override;
  void RemoveAt(int row) override;
  void Clear() override;

  QStringList texts() const;

 protected:
  // A number the owner attaches to an entry (-1 when none); it moves with the entry.
  int tagAt(int row) const;
  void SetTag(int row, int tag);

 private:
  struct Item {
    QString text;
    bool selected = false;
    int tag = -1;
  };
  void CheckRow(int row) const;

  std::vector<Item> items_;
  int current_ = -1;
};

}  // namespace qv::shell
