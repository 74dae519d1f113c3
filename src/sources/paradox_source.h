// The Paradox folder source: the connection string of the folder named on the connection page,
// the folder check, and the Paradox list filler over the folder and all its subfolders.
#pragma once

#include <QString>

#include "shell/page_hooks.h"

namespace qv::sources {

inline constexpr char kParadoxListLocation[] = "Paradox.AddTablesToParadoxListbox";

// "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=F;Dbq=F;
// CollatingSequence=ASCII;" with the folder box's text, unchanged, as F.
QString ParadoxConnectionString(const shell::ConnectionFields& fields);

// True when the folder box is not empty and the folder directly holds a "*.db" file (names
// beginning with "~" count). No trap: a failure of the listing reaches the caller.
bool ParadoxFolderHasTables(const shell::ConnectionFields& fields);

// The listed name of a table file: upper-cased, every ".DB" removed.
QString ParadoxTableName(const QString& fileName);

// Clears `list` and fills it with the tables of the folder and of all its subfolders, breadth-
// first, in the order found (no "~" files), under its own error trap. Yields to the window
// system throughout the subfolder scan.
void AddTablesToParadoxListbox(shell::TableList& list, const shell::ConnectionFields& fields,
                               shell::WindowSystem& windows);

}  // namespace qv::sources
