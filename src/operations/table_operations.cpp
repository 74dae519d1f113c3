#include "operations/table_operations.h"

#include "operations/handlers.h"

namespace qv::ops {

void TableOperations::SendToParadox(shell::TablePageContext& page) { ops::SendToParadox(page, objects_); }
void TableOperations::SendToAccess(shell::TablePageContext& page) { ops::SendToAccess(page, objects_); }
void TableOperations::DeleteAccessTables(shell::TablePageContext& page) { ops::DeleteAccessTables(page, objects_); }
void TableOperations::DeleteParadoxTables(shell::TablePageContext& page) { ops::DeleteParadoxTables(page); }
void TableOperations::RenameAccessTable(shell::TablePageContext& page) { ops::RenameAccessTableClick(page, objects_); }
void TableOperations::RenameParadoxTable(shell::TablePageContext& page) { ops::RenameParadoxTable(page, objects_); }

}  // namespace qv::ops
