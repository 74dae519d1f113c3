// File checks and the program folder.
#pragma once

#include <QString>

namespace qv::shell {

// True when `path` names an existing file whose modification time can be read; false on any
// failure (missing file, folder, empty or unusable path). Never reports anything.
bool FileExists(const QString& path);

// The folder that holds the program file.
QString ProgramFolder();

// The folder that holds the program's own files (HAND-M.CUR, Samples, the skin): the program
// folder itself in a build, <prefix>/share/quorvella once installed (the program in <prefix>/bin).
QString ResourceFolder();

// Joins a folder and a relative path with the native separator. The folder text is used as it
// is; a trailing separator is not doubled, so a root folder gives "/x" and not "//x".
QString JoinPath(const QString& folder, const QString& relative);

}  // namespace qv::shell
