// TableList and ProgressIndicator without widgets, for tests of operations and of the shell.
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

 private:
  struct Item {
    QString text;
    bool selected = false;
  };
  void CheckRow(int row) const;

  std::vector<Item> items_;
  int current_ = -1;
};

class MemoryProgress : public ProgressIndicator {
 public:
  int value() const override { return value_; }
  void SetValue(int percent) override;
  // Every value set, in order.
  const std::vector<int>& history() const { return history_; }

 private:
  int value_ = 0;
  std::vector<int> history_;
};

}  // namespace qv::shell
