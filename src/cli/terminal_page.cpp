#include "cli/terminal_page.h"

#include <unistd.h>

namespace qv::cli {
namespace {
constexpr int kBarWidth = 24;
}  // namespace

QString TerminalList::text(int row) const {
  const int tag = tagAt(row);
  if (tag >= 0) journal_.Begin(tag);
  return MemoryTableList::text(row);
}

void TerminalList::Add(const QString& text) {
  MemoryTableList::Add(text);
  if (additions_count_) {
    journal_.AddedToTarget();
  } else {
    journal_.Listed(text);
  }
}

void TerminalList::RemoveAt(int row) {
  const int tag = tagAt(row);
  if (tag >= 0) journal_.Removed(tag);
  MemoryTableList::RemoveAt(row);
}

void TerminalList::Clear() {
  // A list filled afresh: the work on single tables is over.
  journal_.End();
  MemoryTableList::Clear();
}

bool TerminalList::SelectFor(const QString& name, int tag, QString* listed) {
  for (int row = 0; row < count(); ++row) {
    const QString entry = MemoryTableList::text(row);
    if (isSelected(row) || entry.compare(name, Qt::CaseInsensitive) != 0) continue;
    SetSelected(row, true);
    SetTag(row, tag);
    if (currentRow() == -1) SetCurrentRow(row);
    if (listed != nullptr) *listed = entry;
    return true;
  }
  return false;
}

ProgressLine::ProgressLine(std::FILE* out)
    : out_(out), enabled_(out != nullptr && isatty(fileno(out)) != 0) {}

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
    line += QStringLiteral("  [") + QString(filled, QLatin1Char('#')) +
            QString(kBarWidth - filled, QLatin1Char('.')) + QStringLiteral("] ") + QString::number(percent_) +
            QLatin1Char('%');
    if (rows_ > 0) line += QStringLiteral("  about %1 of %2 rows").arg(rows_ * percent_ / 100).arg(rows_);
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
  shell::CheckProgressValue(percent);
  value_ = percent;
  // The bar goes back to 0 once a table is done; the line keeps the last share shown.
  if (percent > 0) line_.SetPercent(percent);
}

void TerminalPointer::SetPointer(int pointer) {
  pointer_ = pointer;
  if (pointer == shell::kPointerDefault) journal_.End();
}

}  // namespace qv::cli
