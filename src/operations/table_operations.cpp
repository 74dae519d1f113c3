#include "operations/table_operations.h"

#include <QFileInfo>

#include "operations/handlers.h"

namespace qv::ops {

bool RefuseUnwritableAccess(shell::WindowSystem& windows, const QString& file) {
  const QFileInfo info(file);
  if (file.isEmpty() || !info.isFile()) return false;
  if (info.isWritable()) return false;
  shell::ShowOk(windows,
                QStringLiteral("The Access database '%1' can be read but not changed: %2. Nothing was done.")
                    .arg(file, QStringLiteral("the file is read-only")));
  return true;
}

void TableOperations::SendToParadox(shell::TablePageContext& page) {
  ops::SendToParadox(page, objects_);
}
void TableOperations::SendToAccess(shell::TablePageContext& page) {
  ops::SendToAccess(page, objects_);
}
void TableOperations::DeleteAccessTables(shell::TablePageContext& page) {
  ops::DeleteAccessTables(page, objects_);
}
void TableOperations::DeleteParadoxTables(shell::TablePageContext& page) {
  ops::DeleteParadoxTables(page);
}
void TableOperations::RenameAccessTable(shell::TablePageContext& page) {
  ops::RenameAccessTableClick(page, objects_);
}
void TableOperations::RenameParadoxTable(shell::TablePageContext& page) {
  ops::RenameParadoxTable(page, objects_);
}

}  // namespace qv::ops
