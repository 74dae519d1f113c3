#include "operations/list_box.h"

namespace qv::ops {

bool IsInListbox(const shell::TableList& list, const QString& name) {
  const QString wanted = name.toLower();
  for (int row = 0; row < list.count(); ++row)
    if (list.text(row).toLower() == wanted) return true;
  return false;
}

void RemoveFromListbox(shell::TableList& list, const QString& name) {
  const QString wanted = name.toLower();
  // From the end, so the positions still to be looked at stay valid while entries go.
  for (int row = list.count() - 1; row >= 0; --row)
    if (list.text(row).toLower() == wanted) list.RemoveAt(row);
}

}  // namespace qv::ops
