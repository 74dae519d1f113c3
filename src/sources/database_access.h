// The database access interface the program talks to: a Connection and a Recordset with the
// property names and numbers of ActiveX Data Objects, so the handlers read as the operations are
// described (set CursorLocation and Mode, Open, Execute or open a record set, Close).
//
//   auto objects = qv::sources::DefaultObjects();
//   auto cn = objects.CreateConnection();          // "ADODB.Connection"
//   cn->CursorLocation = qv::sources::kUseClient;
//   cn->Open("Driver={Microsoft Paradox Driver (*.db )};...;Dbq=/data;...");
//   auto rs = objects.CreateRecordset();           // "ADODB.RecordSet"
//   rs->Open("SELECT * FROM `ORDERS`", *cn);
//   while (!rs->Eof()) { rs->Fields(0).Value(); ... rs->MoveNext(); }
//   rs->Close(); cn->Close();
//
// Behind a connection sits a provider of src/engine/providers chosen by the connection string:
// the Access provider (Jet 4.0 / ACE 12.0 strings) or the Paradox provider (the Paradox driver).
// Every failure is a qv::Error carrying a number and a description.
//
// "EOF" is a macro of <cstdio>, so the end test is spelled Eof().
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/core/row_reader.h"
#include "engine/core/value.h"

namespace qv::providers {
class Provider;
}

namespace qv::sources {

// ADO's numbers for the properties the program sets.
inline constexpr int kUseServer = 2;      // adUseServer
inline constexpr int kUseClient = 3;      // adUseClient
inline constexpr int kModeReadWrite = 3;  // adModeReadWrite
inline constexpr int kSchemaTables = 20;  // adSchemaTables

class Recordset;

class Connection {
 public:
  Connection();
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  // Set before Open. A record set opened on the connection takes its cursor location; a
  // client-side record set knows its row count.
  int CursorLocation = kUseServer;
  int Mode = 0;

  // Opens the database a connection string names. Throws qv::Error (3001 malformed string, 3706
  // unknown provider, 3024 missing file or folder, 3031 wrong password, 3343/3049 not a database
  // or damaged, 3705 when already open).
  void Open(std::string_view connectionString);
  // Runs one statement; a select's rows are discarded. Throws qv::Error.
  void Execute(std::string_view sql);
  // The table-schema rowset (only 20 is known): TABLE_CATALOG, TABLE_SCHEMA, TABLE_NAME,
  // TABLE_TYPE, one row per table-like object.
  std::unique_ptr<Recordset> OpenSchema(int schema);
  void Close();
  bool IsOpen() const { return provider_ != nullptr; }
  // What the statements run so far left out (providers::Provider::TakeNotes); empty when closed.
  std::vector<std::string> TakeNotes();

  // The provider behind an open connection (throws 3704 when closed).
  providers::Provider& provider();

 private:
  std::unique_ptr<providers::Provider> provider_;
};

// A view of one field of a record set's current row: valid until the record set moves on or
// closes, like ADO's Field (the row loop of a transfer takes ten million of them, so it copies
// nothing).
class Field {
 public:
  Field(const std::string& name, std::int16_t type, const qv::Value* value)
      : name_(&name), type_(type), value_(value) {}
  Field(std::string&& name, std::int16_t type,
        const qv::Value* value) = delete;  // the name must outlive the field
  const std::string& name() const { return *name_; }
  // The ADO data-type number (adVarWChar 202, adInteger 3, ...).
  std::int16_t Type() const { return type_; }
  // The current row's value; NULL as std::monostate. Throws 3021 when there is no current row.
  const qv::Value& Value() const;

 private:
  const std::string* name_;  // the column's name in the record set's source
  std::int16_t type_;
  const qv::Value* value_;  // points into the record set's current row; null at EOF
};

class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  // Runs a select on the connection and stands on its first row. Throws qv::Error.
  void Open(std::string_view sql, Connection& connection);
  // A record set over a stream of rows (the schema rowset); the record set owns the stream.
  void OpenReader(std::unique_ptr<qv::RowReader> rows, int cursorLocation);

  bool Eof() const;
  void MoveNext();
  int FieldCount() const;
  // By index from 0, or by name without regard to letter case. Throws 3265 when there is none.
  Field Fields(int index) const;
  Field Fields(std::string_view name) const;
  // The number of rows: known for a client-side record set (and for a server-side one whose
  // source knows it); -1 when unknown.
  std::int64_t RecordCount() const;
  void Close();
  bool IsOpen() const { return rows_ != nullptr; }

 private:
  void RequireOpen() const;

  std::unique_ptr<qv::RowReader> rows_;
  std::vector<std::int16_t> types_;
  std::vector<std::string>
      names_;  // the columns' names, kept from the open (a field is asked for millions of times)
  qv::Row row_;
  bool eof_ = true;
  int cursorLocation_ = kUseServer;
};

// Makes the two objects by their class names. A factory that cannot make an object returns
// nullptr (or throws); CheckAccessInstalled tests exactly that. Tests substitute factories that
// fail.
class DatabaseObjects {
 public:
  virtual ~DatabaseObjects() = default;
  // "ADODB.Connection" and "ADODB.RecordSet".
  virtual std::unique_ptr<Connection> CreateConnection();
  virtual std::unique_ptr<Recordset> CreateRecordset();
};

// The objects of our own providers; stateless, shared by the whole program.
DatabaseObjects& DefaultObjects();

// The ADO data-type number for an engine column (its own when the engine gave one).
std::int16_t AdoTypeOf(const qv::Column& column);

}  // namespace qv::sources
