#include "pages/widget_table_list.h"

namespace qv::pages {
QListWidgetItem* WidgetTableList::Item(int row) const {
  QListWidgetItem* item = (row >= 0 && row < list_->count()) ? list_->item(row) : nullptr;
  if (item == nullptr) {
    shell::FailListPosition(row);
  }
  return item;
}

QString WidgetTableList::text(int row) const {
  return Item(row)->text();
}

bool WidgetTableList::isSelected(int row) const {
  return Item(row)->isSelected();
}

void WidgetTableList::SetSelected(int row, bool selected) {
  Item(row)->setSelected(selected);
}

int WidgetTableList::selectedCount() const {
  return static_cast<int>(list_->selectedItems().size());
}

void WidgetTableList::SetCurrentRow(int row) {
  if (row == -1) {
    list_->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    return;
  }
  list_->setCurrentItem(Item(row), QItemSelectionModel::NoUpdate);
}

void WidgetTableList::Add(const QString& text) {
  const int row = shell::SortedInsertRow(
      list_->count(), [this](int i) { return list_->item(i)->text(); }, text);
  list_->insertItem(row, text);
}

void WidgetTableList::RemoveAt(int row) {
  Item(row);  // checks the position
  const bool was_current = list_->currentRow() == row;
  delete list_->takeItem(row);
  if (was_current) SetCurrentRow(-1);
}

void WidgetProgress::SetValue(int percent) {
  shell::CheckProgressValue(percent);
  bar_->setValue(percent);
}

}  // namespace qv::pages
