// The procedures of the data sources that the operations call: connection strings, the Paradox
// list filler and the Access table test. They belong to the sources layer; until it offers them,
// these stand in for them with the same behaviour, and the operations call only these names.
#pragma once

#include <QString>

#include "shell/table_list.h"
#include "shell/window_system.h"
#include "sources/database_access.h"

namespace qv::ops::seam {

// "Provider=Microsoft.ACE.OLEDB.12.0;..." for a name ending in "accdb" (any case), the Jet 4.0
// string otherwise; the password part is always present.
QString AccessConnectionString(const QString& file, const QString& password);

// The Paradox driver's string with the folder, unchanged, as DefaultDir and Dbq.
QString ParadoxConnectionString(const QString& folder);

// Fills `list` with the table names of `folder` and its subfolders (upper case, ".DB" removed,
// "~" files left out); its own trap "Paradox.AddTablesToParadoxListbox".
void AddTablesToParadoxListbox(shell::WindowSystem& windows, shell::TableList& list, const QString& folder);

// True when the database holds a user table named `name` without regard to case. No trap.
bool AccessTableExists(sources::DatabaseObjects& objects, const QString& file, const QString& password,
                       const QString& name);

}  // namespace qv::ops::seam
