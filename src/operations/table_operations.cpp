#include "operations/table_operations.h"

#include <QFile>
#include <QFileInfo>

#include "operations/handlers.h"

namespace qv::ops {

bool RefuseUnwritableAccess(shell::WindowSystem& windows, const QString& file) {
  const QFileInfo info(file);
  if (file.isEmpty() || !info.isFile()) return false;
  QString why;
  QFile f(file);
  // Byte 0x14 of the first page is the engine version: 0 for Jet 3, the format of Access 97.
  if (f.open(QIODevice::ReadOnly)) {
    const QByteArray head = f.read(0x15);
    if (head.size() == 0x15 && head.at(0x14) == 0 && head.mid(4, 15) == QByteArray("Standard Jet DB"))
      why = QStringLiteral("it is an Access 97 database, which this program reads but does not write");
  }
  if (why.isEmpty() && !info.isWritable()) why = QStringLiteral("the file is read-only");
  if (why.isEmpty()) return false;
  shell::ShowOk(windows, QStringLiteral("The Access database '%1' can be read but not changed: %2. Nothing was done.")
                             .arg(file, why));
  return true;
}

void TableOperations::SendToParadox(shell::TablePageContext& page) { ops::SendToParadox(page, objects_); }
void TableOperations::SendToAccess(shell::TablePageContext& page) { ops::SendToAccess(page, objects_); }
void TableOperations::DeleteAccessTables(shell::TablePageContext& page) { ops::DeleteAccessTables(page, objects_); }
void TableOperations::DeleteParadoxTables(shell::TablePageContext& page) { ops::DeleteParadoxTables(page); }
void TableOperations::RenameAccessTable(shell::TablePageContext& page) { ops::RenameAccessTableClick(page, objects_); }
void TableOperations::RenameParadoxTable(shell::TablePageContext& page) { ops::RenameParadoxTable(page, objects_); }

}  // namespace qv::ops
