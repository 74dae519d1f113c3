// DROP TABLE: removes a user table with everything that belongs to it, in one WriteOperation:
//  - its catalog row (MSysObjects) and that row's entries in both catalog indexes;
//  - its access-control rows (MSysACEs) and their index entries;
//  - its pages, each zeroed and marked free in the global map: the definition pages, the data
//    pages its map lists, the LVAL rows of its long values and of its catalog row's (the
//    properties Access keeps in LvProp), its index pages, and the bitmap pages of its reference
//    maps; an LVAL page is freed when every live row on it goes (and leaves the catalog's
//    long-value page maps in ACE files), otherwise only those rows are deleted; its usage-map rows
//    are deleted from the pages that hold them.
// Index entries are found by the row they name, so no key is computed, and removed at whatever
// depth the index tree has (index_writer.h). Refused before anything is written: a missing table
// (3376), a system or linked table (3251), a table in a relationship (3303), and damaged catalog
// index trees (3049). Table names compare without
// regard to case, as Access compares them. See docs/formats/jet-writing.md, "Dropping a table".
#pragma once

#include <string>

#include "engine/jet/database.h"

namespace qv::jet {

void DropTable(Database& db, const std::string& name);

// Gives the user table `from` (exact name first, else without regard to case) the name `to` by
// rewriting its catalog row (MSysObjects) and that row's index entries; the table's pages, id,
// access rows and properties stay as they are. With `replace`, a user table that already has the
// name `to` (ignoring case) is dropped in the same change (DropTable), so a crash leaves either
// both tables as they were or the renamed one alone. Refused before anything is written: an
// invalid name (3125), a missing table (3376), a name another object has (3010), a table in a
// relationship (3303). One WriteOperation. See docs/formats/jet-writing.md, "Renaming a table".
void RenameTable(Database& db, const std::string& from, const std::string& to, bool replace);

}  // namespace qv::jet
