// A Paradox table name is a file name in the Paradox folder, never a path: a name that could
// reach outside the folder or that no file system takes is refused before anything is written.
#pragma once

#include <QString>

namespace qv::ops {

// Why `name` cannot name a Paradox table file ("it holds a path separator"), or the empty text
// when it can: the engine's one rule (engine/paradox/table_name.h).
QString ParadoxNameProblem(const QString& name);

// Throws qv::Error (3125, the engine's number for a name it cannot take) with a clear description
// when ParadoxNameProblem finds one.
void CheckParadoxName(const QString& name);

}  // namespace qv::ops
