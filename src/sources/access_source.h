// The Access database source: the connection string of the Access file named on the connection
// page, its user tables, the Access list filler and the table test.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "shell/page_hooks.h"
#include "sources/database_access.h"

namespace qv::sources {

inline constexpr char kAccessListLocation[] = "Access.AddTablesToAccessListbox";

// "Provider=Microsoft.ACE.OLEDB.12.0;..." when the lower-cased last five characters of the file
// are "accdb", else "PROVIDER=Microsoft.Jet.OLEDB.4.0;..."; the password part is always there.
// With an empty `file` the file and password come from the connection page's boxes.
QString AccessConnectionString(const QString& file, const QString& password,
                               const shell::ConnectionFields& fields);

// The connection and record-set objects, or qv::Error 429 when the factory makes none.
std::unique_ptr<Connection> MakeConnection(DatabaseObjects& objects);
std::unique_ptr<Recordset> MakeRecordset(DatabaseObjects& objects);

// The user tables (TABLE_TYPE exactly "TABLE") in schema order, or nothing when the file does not
// exist or cannot be read; in the latter case the short message "DESCRIPTION (Error Number = N)"
// is shown first. Failures while making the objects reach the caller.
std::optional<QStringList> GetAccessTables(const QString& file, const shell::ConnectionFields& fields,
                                           shell::WindowSystem& windows, DatabaseObjects& objects);

// Fills `list` with the tables of the database, under its own error trap; "Unable to access the
// database" when there are none to be had.
void AddTablesToAccessListbox(shell::TableList& list, const QString& file,
                              const shell::ConnectionFields& fields, shell::WindowSystem& windows,
                              DatabaseObjects& objects);

// True when the database holds a user table called `name` (letter case ignored). No trap.
bool AccessTableExists(const QString& file, const QString& password, const QString& name,
                       const shell::ConnectionFields& fields, DatabaseObjects& objects);

}  // namespace qv::sources
