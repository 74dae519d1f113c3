#include "cli/terminal_page.h"

#include <unistd.h>

#include "shell/failure.h"

namespace qv::cli {
namespace {
constexpr int kInvalidArgument = 380;  // "Invalid property value", as a list box gives it
constexpr int kBarWidth = 24;
}  // namespace

void TerminalList::CheckRow(int row) const {
  if (row < 0 || row >= count()) shell::Fail(kInvalidArgument, QStringLiteral("Invalid list position %1.").arg(row));
}

QString TerminalList::text(int row) const {
  CheckRow(row);
  const Item& item = items_[static_cast<std::size_t>(row)];
  if (item.tag >= 0) journal_.Begin(item.tag);
  return item.text;
}

bool TerminalList::isSelected(int row) const {
  CheckRow(row);
  return items_[static_cast<std::size_t>(row)].selected;
}

void TerminalList::SetSelected(int row, bool selected) {
  CheckRow(row);
  items_[static_cast<std::size_t>(row)].selected = selected;
}

int TerminalList::selectedCount() const {
  int n = 0;
  for (const Item& item : items_) n += item.selected ? 1 : 0;
  return n;
}

void TerminalList::SetCurrentRow(int row) {
  if (row != -1) CheckRow(row);
  current_ = row;
}

void TerminalList::Add(const QString& text) {
  const int row = shell::SortedInsertRow(
      count(), [this](int i) { return items_[static_cast<std::size_t>(i)].text; }, text);
  items_.insert(items_.begin() + row, Item{text, false, -1});
  if (current_ >= row) ++current_;
  if (additions_count_) journal_.AddedToTarget();
}

void TerminalList::RemoveAt(int row) {
  CheckRow(row);
  if (items_[static_cast<std::size_t>(row)].tag >= 0) journal_.Removed(items_[static_cast<std::size_t>(row)].tag);
  items_.erase(items_.begin() + row);
  if (current_ == row) {
    current_ = -1;
  } else if (current_ > row) {
    --current_;
  }
}

void TerminalList::Clear() {
  // A list filled afresh: the work on single tables is over.
  journal_.End();
  items_.clear();
  current_ = -1;
}

QStringList TerminalList::texts() const {
  QStringList out;
  for (const Item& item : items_) out << item.text;
  return out;
}

bool TerminalList::SelectFor(const QString& name, int tag, QString* listed) {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    Item& item = items_[i];
    if (item.selected || item.text.compare(name, Qt::CaseInsensitive) != 0) continue;
    item.selected = true;
    item.tag = tag;
    if (current_ == -1) current_ = static_cast<int>(i);
    if (listed != nullptr) *listed = item.text;
    return true;
  }
  return false;
}

ProgressLine::ProgressLine(std::FILE* out) : out_(out), enabled_(out != nullptr && isatty(fileno(out)) != 0) {}

void ProgressLine::StartTable(int position, int total, const QString& name, qint64 rows) {
  position_ = position;
  total_ = total;
  name_ = name;
  rows_ = rows;
  percent_ = -1;
  Draw();
}

void ProgressLine::SetPercent(int percent) {
  if (percent == percent_) return;
  percent_ = percent;
  Draw();
}

void ProgressLine::Draw() {
  if (!enabled_) return;
  QString line = QStringLiteral("table %1 of %2  %3").arg(position_).arg(total_).arg(name_);
  if (percent_ >= 0) {
    const int filled = percent_ * kBarWidth / 100;
    line += QStringLiteral("  [") + QString(filled, QLatin1Char('#')) + QString(kBarWidth - filled, QLatin1Char('.')) +
            QStringLiteral("] ") + QString::number(percent_) + QLatin1Char('%');
    if (rows_ > 0)
      line += QStringLiteral("  about %1 of %2 rows").arg(rows_ * percent_ / 100).arg(rows_);
  }
  std::fprintf(out_, "\r\033[K%s", line.toLocal8Bit().constData());
  std::fflush(out_);
  shown_ = true;
}

void ProgressLine::Clear() {
  if (!enabled_ || !shown_) return;
  std::fprintf(out_, "\r\033[K");
  std::fflush(out_);
  shown_ = false;
}

void TerminalProgress::SetValue(int percent) {
  if (percent < 0 || percent > 100)
    shell::Fail(kInvalidArgument, QStringLiteral("Invalid progress value %1.").arg(percent));
  value_ = percent;
  // The bar goes back to 0 once a table is done; the line keeps the last share shown.
  if (percent > 0) line_.SetPercent(percent);
}

void TerminalPointer::SetPointer(int pointer) {
  pointer_ = pointer;
  if (pointer == shell::kPointerDefault) journal_.End();
}

}  // namespace qv::cli
