// The sample data the "Load Sample/Example Database" buttons point at: a copy, in the user's data
// folder, of the samples that come with the program. Working on the samples (sending tables into
// them, deleting, renaming) then changes the copy and never the installed originals.
#pragma once

#include <QString>

namespace qv::shell {

// The user's data folder of the program (~/.local/share/Kestrune/Quorvella on Linux), where the
// sample copy lives. Fails (qv::Error 75) when the platform names none.
QString UserDataFolder();

// Makes sure `copy` holds the samples of `originals` and returns `copy`. Runs on every use, so a
// copy that is missing, or a table of it that is gone, is made again from the originals: a table
// (a .db file with its .mb, indexes and other files of its name) or a database file is copied
// whole when its main file is missing from the copy, replacing any leftovers of that name; other
// files are copied when missing. Files the user changed stay as they are. A copied file is
// readable and writable by its owner whatever the originals' permissions. When `originals` does
// not exist nothing is copied. A file that cannot be copied is a failure (qv::Error 75) naming it.
QString RefreshSampleCopy(const QString& originals, const QString& copy);

// The samples folder the buttons use: RefreshSampleCopy of `program_folder`/Samples into
// `data_folder`/Samples (`data_folder` empty: UserDataFolder()).
QString UserSamplesFolder(const QString& program_folder, const QString& data_folder = QString());

}  // namespace qv::shell
