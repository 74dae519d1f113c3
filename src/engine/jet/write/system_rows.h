// Reading the rows of a system table (MSysObjects, MSysACEs, MSysRelationships) as the write side
// needs them: the slot each row's index entries name, where its bytes are stored (another page
// for an overflow row), and its values. Long values (the catalog's property blobs) are not decoded:
// their values are NULL, and the row keeps each long-value field as stored (its 12-byte header and
// inline data or pointer), so that dropping a table can delete the catalog row's long values.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "engine/core/value.h"
#include "engine/jet/data_page.h"
#include "engine/jet/file_registry.h"
#include "engine/jet/table_definition.h"

namespace qv::jet {

// The catalog's containers (Tables, Databases, Relationships, ...): rows of this type whose
// parent is the root id.
inline constexpr int kContainerType = 3;
inline constexpr std::int32_t kRootContainerId = 0x0f000000;

struct SystemRow {
  RowPointer slot;    // the row as index entries name it
  RowPointer stored;  // where its bytes are (the target of an overflow slot)
  qv::Row values;
  // Column position -> the field of a non-NULL long-value column as stored.
  std::map<std::size_t, Bytes> longFields;
};

// Every live row of `t`, in page order.
std::vector<SystemRow> ReadSystemRows(SharedFile& f, const TableDefinition& t);
// The definition page of the table `name` as the catalog on the pages names it now, whatever a
// connection's catalog list says: the exact name first, then without regard to (ASCII) letter
// case, as Database::FindTable finds names. 0 when there is no such table.
std::uint32_t CurrentTablePage(SharedFile& f, const std::string& name);
// The position of the column `name` of system table `t`; throws kCorrupt when it lacks it.
std::size_t SystemColumn(const TableDefinition& t, const char* name);
// A system row's value as a number (0 for NULL) or as text (empty for NULL).
std::int64_t IntOf(const qv::Value& v);
std::string TextOf(const qv::Value& v);

}  // namespace qv::jet
