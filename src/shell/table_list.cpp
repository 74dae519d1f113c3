#include "shell/table_list.h"

#include <algorithm>

namespace qv::shell {

int SortedInsertRow(const QStringList& items, const QString& text) {
  const auto at = std::upper_bound(items.begin(), items.end(), text, [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  return static_cast<int>(at - items.begin());
}

}  // namespace qv::shell
