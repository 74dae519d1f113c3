// The files of Paradox tables in the Paradox folder, found by name without regard to letter case
// (Linux names respect case while the lists show Paradox names in upper case), and the two file
// procedures that deletion and renaming share.
//
// A table's family: NAME.DB with NAME.MB (memo and blob values), NAME.PX (primary index),
// NAME.VAL (validity checks), NAME.TV (view settings), NAME.Xnn/.Ynn and NAME.XGn/.YGn (secondary
// indexes), in any letter case.
#pragma once

#include <QString>
#include <QStringList>

#include "engine/core/file_system.h"
#include "shell/window_system.h"

namespace qv::ops {

inline constexpr char kRenameFileLocation[] = "Main.RenameFile";

// Whether an extension (with its point, any case) belongs to a table's family.
bool IsFamilyExtension(const QString& extension);

// Paths of the table files directly in `folder` whose name is `name` + ".db" in any letter case,
// in name order. Empty when the folder has none (or cannot be read).
QStringList TableFiles(const QString& folder, const QString& name, FileSystem& files = PosixFileSystem());

// Every family file of the table `name` directly in `folder`, the .DB among them, in name order
// (paradox::FamilyFiles).
QStringList FamilyFiles(const QString& folder, const QString& name, FileSystem& files = PosixFileSystem());

// Lets the window system handle pending events, then deletes the file. Every failure (missing,
// read-only, in use, bad path) is ignored without a message.
void DeleteFileQuietly(shell::WindowSystem& windows, const QString& path);

// Yields like DeleteFileQuietly, then deletes the file; a file that stays is a failure (qv::Error
// naming the file) for the caller's trap to report.
void DeleteFileOrFail(shell::WindowSystem& windows, const QString& path);

// Renames the Paradox table whose .DB is `source_db` so that its .DB becomes `destination_db`,
// moving the whole family with it: every family file is copied to the new name (keeping its
// extension), replacing files already there, and only when every copy succeeded are the old
// files deleted (DeleteFileQuietly). A failed copy removes the copies made so far and leaves the
// table as it was. Runs under its own trap, "Main.RenameFile": a failure is reported there
// (label 100 for the copies, 102 for the deletion) and the call returns normally. True when the
// table now lives under the new name.
bool RenameFile(shell::WindowSystem& windows, const QString& source_db, const QString& destination_db);

}  // namespace qv::ops
