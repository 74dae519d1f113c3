// Replacing a table without ever being left with neither the old nor the new one.
//
// A table that is to replace another is first written whole under a temporary name ("~qvtemp"
// and a number; names beginning with "~" are never listed). Only then does it take the old one's
// place:
//  - Access: "ALTER TABLE `~qvtemp1` RENAME TO `name` REPLACE" drops the old table and renames
//    the new one in one journaled change of the database file.
//  - Paradox: a table is a family of files, which no file system replaces at once, so the swap
//    is written down first. When every file of the temporary table is on disk, a marker file
//    "~qvtempN.rpl" is written (synced, then renamed into place) that names the table to replace
//    and the extensions of the new table's files. From then on the swap only goes forward: the
//    old files the new table has no counterpart for are deleted, each new file is renamed onto
//    its final name (the .DB last), and the marker is deleted. A run interrupted at any point is
//    finished by the next run (CleanUpParadoxFolder): with a marker it goes forward, without one
//    the temporary files are deleted and the old table was never touched.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/core/file_system.h"
#include "sources/database_access.h"

namespace qv::ops {

inline constexpr char kTemporaryTablePrefix[] = "~qvtemp";

// Whether a table or file name is one of the temporary names (letter case ignored).
bool IsTemporaryName(const QString& name);

// "~qvtemp" + the smallest number >= 1 for which the folder has no file of that stem.
QString TemporaryParadoxName(const QString& folder, FileSystem& files = PosixFileSystem());
// "~qvtemp" + the smallest number >= 1 that no name of `taken` has (letter case ignored).
QString TemporaryAccessName(const QStringList& taken);

// The Paradox table `temporary` (complete, in `folder`) takes the place of the table `name` there,
// which need not exist. Throws qv::Error when the swap cannot be started (the old table is then as
// it was and the temporary table is deleted) or cannot be finished (the next run finishes it).
// Every file of the new table, the marker and the folder are synced before the swap goes on; a
// failed sync is a failure like any other.
void ReplaceParadoxTable(const QString& folder, const QString& temporary, const QString& name,
                         FileSystem& files = PosixFileSystem());

// Finishes or undoes what an interrupted run left in `folder` (see the file comment), and deletes
// the temporary files the Paradox table writer leaves when it is killed ("~qv...-NAME.db-tmp").
// Never fails: what cannot be cleaned now is tried again by the next run.
void CleanUpParadoxFolder(const QString& folder, FileSystem& files = PosixFileSystem());

// The names of the user tables and other objects the Access connection lists.
QStringList AccessTableNames(sources::Connection& access);
// Drops every temporary table an interrupted run left in the Access database; failures are
// ignored (the next run tries again).
void DropTemporaryAccessTables(sources::Connection& access);

// "ALTER TABLE `temporary` RENAME TO `name` REPLACE", names quoted as every statement quotes them.
QString ReplaceTableStatement(const QString& temporary, const QString& name);

}  // namespace qv::ops
