// TableList over a QListWidget and ProgressIndicator over a QProgressBar.
#pragma once

#include <QListWidget>
#include <QProgressBar>

#include "shell/table_list.h"

namespace qv::pages {

class WidgetTableList : public shell::TableList {
 public:
  explicit WidgetTableList(QListWidget* list) : list_(list) {}
  int count() const override { return list_->count(); }
  QString text(int row) const override;
  bool isSelected(int row) const override;
  void SetSelected(int row, bool selected) override;
  int selectedCount() const override;
  int currentRow() const override { return list_->currentRow(); }
  // Moves the focus mark only; the selection stays as it is.
  void SetCurrentRow(int row) override;
  void Add(const QString& text) override;
  // Removing the current item leaves the list without a current item.
  void RemoveAt(int row) override;
  void Clear() override { list_->clear(); }

 private:
  QListWidgetItem* Item(int row) const;
  QListWidget* list_;
};

class WidgetProgress : public shell::ProgressIndicator {
 public:
  explicit WidgetProgress(QProgressBar* bar) : bar_(bar) {}
  int value() const override { return bar_->value(); }
  void SetValue(int percent) override;

 private:
  QProgressBar* bar_;
};

}  // namespace qv::pages
