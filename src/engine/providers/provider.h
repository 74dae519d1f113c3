// The providers run statements against one database: the Access provider over a database file
// (the jet engine, plus copies into Paradox tables through the Paradox engine) and the Paradox
// provider over a folder of Paradox tables. The database access interface (src/sources) opens one
// per connection, chosen by the connection string.
//
// Statement forms are those of src/engine/sql/statement.h. What a provider cannot do yet it
// refuses with qv::Error 3251 (errc::kNotSupported) naming the statement; it never pretends.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/row_reader.h"

namespace qv::providers {

// One row of the table-schema rowset.
struct SchemaRow {
  std::string tableName;
  std::string tableType;  // "TABLE", "SYSTEM TABLE", "VIEW", "LINK", ...
};

class Provider {
 public:
  virtual ~Provider() = default;
  // Every table-like object, in the database's own order.
  virtual std::vector<SchemaRow> SchemaTables() = 0;
  // Runs a select that returns rows (SELECT * FROM t, with or without alias); any other
  // statement throws kNotSupported. Syntax faults throw the parser's errors.
  virtual std::unique_ptr<qv::RowReader> Query(std::string_view sql) = 0;
  // Runs any statement; a plain select is run and its rows discarded.
  virtual void Execute(std::string_view sql) = 0;
  // Ends the connection's work: changes waiting in memory are written.
  virtual void Close() {}
  // What the statements run so far left out and why, for the user (a copy into Paradox names the
  // columns a Paradox table cannot hold), one line each; the lines are handed over once.
  virtual std::vector<std::string> TakeNotes() { return {}; }
};

// Opens the database a connection string names. Throws qv::Error: 3001 malformed string, 3706
// unknown provider or driver, and the engine's errors for the database (3024 missing file or
// folder, 3031 wrong password, 3343 not a database, 3049 damaged).
std::unique_ptr<Provider> OpenProvider(std::string_view connectionString);

// The schema rows as a stream with the columns TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME and
// TABLE_TYPE (the first two always NULL, as for a file database).
std::unique_ptr<qv::RowReader> SchemaRowReader(std::vector<SchemaRow> rows);

}  // namespace qv::providers
