// The files of Paradox tables in a folder, reached through the file layer: a table's .DB, the
// whole family of files that goes with it (docs/formats/paradox.md, "Family of files"), and the
// temporary files the table writer leaves behind when it is stopped. Names are compared without
// regard to letter case; `tableName` may carry its ".db".
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/file_system.h"

namespace qv::paradox {

// `tableName` without a trailing ".db" (any letter case).
std::string TableBaseName(const std::string& tableName);

// The table's .DB in `folder`: a regular file, reached through links when there are any (a link
// that dangles or loops, a folder or a device is no table). The exact name wins over one that
// differs in letter case.
std::optional<std::filesystem::path> FindTableFile(const std::filesystem::path& folder,
                                                   const std::string& tableName,
                                                   FileSystem& files = PosixFileSystem());

// Every name of the table's family in `folder` (.DB .MB .PX .VAL .TV .Xnn .Ynn .XGn .YGn), links
// that lead nowhere among them; folders are left out. None when the folder cannot be read.
std::vector<std::filesystem::path> FamilyFiles(const std::filesystem::path& folder,
                                               const std::string& tableName,
                                               FileSystem& files = PosixFileSystem());

// Deletes every file of the table's family, the .DB first so that a failure leaves the table
// whole. Throws kNoSuchTable when there is no .DB, kFileInUse when a file cannot be deleted.
void DropTableFiles(const std::filesystem::path& folder, const std::string& tableName,
                    FileSystem& files = PosixFileSystem());

// Removes the temporary files that table writers which stopped (killed, crashed, a power cut)
// left in `folder`; called whenever the folder is written. Failures are left for the next time.
void RemoveStaleTempFiles(const std::filesystem::path& folder, FileSystem& files = PosixFileSystem());

}  // namespace qv::paradox
