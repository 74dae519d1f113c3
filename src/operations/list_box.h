// The two list procedures both transfer directions share: whether a list holds a table name, and
// taking a name's entries out of a list. Both compare names once lower-cased, as table names on
// both sides compare without regard to letter case.
#pragma once

#include <QString>

#include "shell/table_list.h"

namespace qv::ops {

// True when at least one entry equals `name` once both are lower-cased; false for an empty list.
bool IsInListbox(const shell::TableList& list, const QString& name);

// Removes every entry that IsInListbox would match; a list without one is left unchanged.
void RemoveFromListbox(shell::TableList& list, const QString& name);

}  // namespace qv::ops
