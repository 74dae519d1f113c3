// CREATE TABLE: a new, empty user table without indexes, in one WriteOperation:
//  - checks first (nothing is written when one fails): the name is a valid Access object name
//    (3125), no table, query or other object of the Tables container has it without regard to
//    case or the same key in the catalog's name index (3010), column names are valid (3125) and unique
//    without regard to case (3191), the column types and sizes can be laid out (3251/3001) (a definition
//    longer than a page goes on continuation pages, table_definition_writer.h), and the index keys of the new
//    catalog rows can be formed (3251: a name with a character whose place in the sort order is not known,
//    see index_key.h);
//  - the catalog and access rows go into the room of deleted ones first (PlaceSystemRow);
//  - a TDEF page and a data page (owner 0) holding the table's usage-map rows: pages used, free
//    space and, in ACE files, one pair per long-value column;
//  - the MSysObjects row Access writes for a table (Id = TDEF page, ParentId = the Tables
//    container, Owner = the database owner, Type 1, Flags 0, both dates now), the MSysACEs rows
//    the table inherits from the Tables container, and the entries of both tables' indexes;
//  - the connection's catalog is read again, so the table is listed and readable at once.
// Read-only files (and encrypted ones opened without their page cipher) are refused by
// FileWriter::Attach.
// Facts and decisions: docs/formats/jet-writing.md, "Creating a table".
#pragma once

#include <string>
#include <vector>

#include "engine/core/value.h"
#include "engine/jet/database.h"
#include "engine/jet/write/file_writer.h"
#include "engine/jet/write/table_definition_writer.h"

namespace qv::jet {

void CreateTable(Database& db, const std::string& name, const std::vector<qv::Column>& columns);

// Throws 3125 naming `what` ("table", "field") when `name` is not a valid Access object name:
// empty, longer than 64 characters, starting with a space, or holding . ! ` [ ] or a control
// character (also invalid UTF-8).
void CheckAccessName(const std::string& name, const char* what);

// Puts an encoded row of system table `t` on one of its data pages (the last with room, or a new
// one listed in its maps) and raises its row count; inside the caller's WriteOperation.
RowPointer PlaceCatalogRow(FileWriter& w, const TableDefinition& t, const Bytes& row);

// The database's default collation as page 0 gives it (u16 at 0x6e, version byte at 0x71; Jet3:
// u16 at 0x3a, the Jet3 order over the code page text is read in).
SortOrder DatabaseSortOrder(const DatabaseHeader& header);

// `a` and `b` equal without regard to letter case (ASCII and Latin-1 letters), as Access
// compares object names.
bool SameNameIgnoringCase(const std::string& a, const std::string& b);

}  // namespace qv::jet
