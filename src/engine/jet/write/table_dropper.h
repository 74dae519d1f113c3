// DROP TABLE: removes a user table with everything that belongs to it, in one WriteOperation:
//  - its catalog row (MSysObjects) and that row's entries in both catalog indexes;
//  - its access-control rows (MSysACEs) and their index entries;
//  - its pages, each zeroed and marked free in the global map: the definition pages, the data
//    pages its map lists, its long-value pages (an LVAL page is freed only when every row on it
//    belongs to this table), its index pages, and the bitmap pages of its reference maps; its
//    usage-map rows are deleted from the pages that hold them.
// Index entries are found by the row they name, so no key is computed. Refused before anything is
// written: a missing table (3376), a system or linked table (3251), a table in a relationship
// (3303). Index entries are removed through the whole index tree (index_writer.h). Table names compare without
// regard to case, as Access compares them. See docs/formats/jet-writing.md, "Dropping a table".
#pragma once

#include <string>

#include "engine/jet/database.h"

namespace qv::jet {

void DropTable(Database& db, const std::string& name);

}  // namespace qv::jet
