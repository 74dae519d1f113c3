// The Paradox folder source: the connection string of the folder named on the connection page,
// the folder check, and the Paradox list filler over the folder and all its subfolders.
#pragma once

#include <QString>
#include <functional>
#include <vector>

#include "shell/page_hooks.h"

namespace qv::sources {

inline constexpr char kParadoxListLocation[] = "Paradox.AddTablesToParadoxListbox";

// "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=F;Dbq=F;
// CollatingSequence=ASCII;" with the folder box's text, unchanged, as F.
QString ParadoxConnectionString(const shell::ConnectionFields& fields);

// The same text for any folder: the connection string of a subfolder, whose tables the list also
// shows, names that subfolder as the database.
QString ParadoxConnectionString(const QString& folder);

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

// A table file that the list filler lists, with the folder the scan found it in.
// The part a table of a subfolder carries before its name in the list: the subfolder's path below
// the start folder (`start` ends with its separator) and "/", for example "archive/".
QString SubfolderPrefix(const std::string& start, const std::string& path);

struct ListedParadoxTable {
  // As listed: the file name upper-cased, every ".DB" removed; for a table of a subfolder, with
  // the subfolder's path below the start folder before it ("archive/ORDERLOG").
  QString name;
  QString folder;  // the folder as the scan formed it, without a final separator (a root keeps "/")
  QString file;    // the bare file name, letter case as on disk
  bool in_start_folder = false;  // found directly in the folder box's folder

  QString path() const;
  // The name by which the Paradox provider of `folder` opens the table: the file name without
  // its final extension.
  QString providerName() const;
  // The name a SELECT gives the Paradox provider to open exactly this file. The provider takes a
  // table name with or without a final ".db" and drops one such ending before it adds its own,
  // so a file whose name still ends in ".db" without its extension (Orders.DB.db) is named
  // whole; any other file by providerName().
  QString selectName() const;
};

// Every table that AddTablesToParadoxListbox lists for `folder`, in the same order (the folder
// itself first, then its subfolders breadth-first), with where it lives. No trap: a failure of
// the scan throws. `yield` runs as the list filler's scan yields.
std::vector<ListedParadoxTable> ScanParadoxTables(const QString& folder, const std::function<void()>& yield);

}  // namespace qv::sources
