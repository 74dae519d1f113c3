#include "shell/memory_table_list.h"

namespace qv::shell {

void MemoryTableList::CheckRow(int row) const {
  if (row < 0 || row >= count()) FailListPosition(row);
}

QString MemoryTableList::text(int row) const {
  CheckRow(row);
  return items_[static_cast<std::size_t>(row)].text;
}

bool MemoryTableList::isSelected(int row) const {
  CheckRow(row);
  return items_[static_cast<std::size_t>(row)].selected;
}

void MemoryTableList::SetSelected(int row, bool selected) {
  CheckRow(row);
  items_[static_cast<std::size_t>(row)].selected = selected;
}

int MemoryTableList::selectedCount() const {
  int n = 0;
  for (const Item& item : items_) n += item.selected ? 1 : 0;
  return n;
}

void MemoryTableList::SetCurrentRow(int row) {
  if (row != -1) CheckRow(row);
  current_ = row;
}

QStringList MemoryTableList::texts() const {
  QStringList out;
  for (const Item& item : items_) out << item.text;
  return out;
}

int MemoryTableList::tagAt(int row) const {
  CheckRow(row);
  return items_[static_cast<std::size_t>(row)].tag;
}

void MemoryTableList::SetTag(int row, int tag) {
  CheckRow(row);
  items_[static_cast<std::size_t>(row)].tag = tag;
}

void MemoryTableList::Add(const QString& text) {
  const int row = SortedInsertRow(
      count(), [this](int i) { return items_[static_cast<std::size_t>(i)].text; }, text);
  items_.insert(items_.begin() + row, Item{text, false, -1});
  if (current_ >= row) ++current_;
}

void MemoryTableList::RemoveAt(int row) {
  CheckRow(row);
  items_.erase(items_.begin() + row);
  if (current_ == row) {
    current_ = -1;
  } else if (current_ > row) {
    --current_;
  }
}

void MemoryTableList::Clear() {
  items_.clear();
  current_ = -1;
}

}  // namespace qv::shell
