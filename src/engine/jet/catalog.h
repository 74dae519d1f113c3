// The catalog: the rows of MSysObjects (whose definition is always on page 2). Each object has an
// id (its definition page in the low three bytes, for tables), a name, a type and flags. The
// schema rows answer what OpenSchema(20) gave through the Access providers.
// See docs/formats/jet.md, "Catalog".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::jet {

namespace object_type {
inline constexpr int kTable = 1;
inline constexpr int kOdbcLink = 4;
inline constexpr int kQuery = 5;
inline constexpr int kAccessLink = 6;
}  // namespace object_type

// MSysObjects.Flags bits that mark system objects.
inline constexpr std::uint32_t kSystemObjectFlags = 0x80000000u | 0x00000002u;

struct CatalogEntry {
  std::int32_t id = 0;
  std::int32_t parentId = 0;
  std::string name;
  int type = 0;  // MSysObjects.Type as stored (forms, reports, macros and modules
                 // have the high bit set: -32768, -32764, -32766, -32761)
  std::uint32_t flags = 0;
  std::string database;     // linked tables: the other file
  std::string foreignName;  // linked tables: the name there
  std::string connect;      // ODBC links

  std::uint32_t tablePage() const { return static_cast<std::uint32_t>(id) & 0x00ffffffu; }
  bool isTable() const { return type == object_type::kTable; }
  bool systemFlagged() const { return (flags & kSystemObjectFlags) != 0; }
};

// One row of the TABLES schema rowset.
struct SchemaTableRow {
  std::string tableName;
  std::string tableType;  // "TABLE", "SYSTEM TABLE", "LINK", "PASS-THROUGH", "VIEW"
};

// The schema type of a catalog entry, or nullopt for objects the rowset leaves out (forms,
// reports, action queries, ...). A table is a user table ("TABLE") only when it has no system
// flag and its name starts neither with "MSys" nor with "~" (Access' temporary and compact
// leftovers such as MSysCompactError and ~TMPCLP... tables are system tables).
std::optional<std::string> SchemaTypeOf(const CatalogEntry& e);

// True when `name` is a user table under the rule above.
bool IsUserTable(const CatalogEntry& e);

}  // namespace qv::jet
