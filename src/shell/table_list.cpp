#include "shell/table_list.h"

#include "engine/core/error.h"
#include "shell/failure.h"

namespace qv::shell {

int SortedInsertRow(const QStringList& items, const QString& text) {
  return SortedInsertRow(
      static_cast<int>(items.size()), [&items](int i) { return items[i]; }, text);
}

int SortedInsertRow(int count, const std::function<QString(int)>& textAt, const QString& text) {
  int low = 0, high = count;  // the answer lies in [low, high]
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (QString::compare(text, textAt(mid), Qt::CaseInsensitive) < 0) {
      high = mid;
    } else {
      low = mid + 1;
    }
  }
  return low;
}

void FailListPosition(int row) {
  Fail(errc::kInvalidPropertyValue, QStringLiteral("Invalid list position %1.").arg(row));
}

void CheckProgressValue(int percent) {
  if (percent < 0 || percent > 100)
    Fail(errc::kInvalidPropertyValue, QStringLiteral("Invalid progress value %1.").arg(percent));
}

}  // namespace qv::shell
