#include "sources/database_access.h"

#include <string>

#include "engine/core/error.h"
#include "engine/providers/provider.h"
#include "engine/sql/parser.h"

namespace qv::sources {

// --- Connection ---

Connection::Connection() = default;
Connection::~Connection() = default;

void Connection::Open(std::string_view connectionString) {
  if (provider_) throw Error(errc::kObjectOpen, "Operation is not allowed when the connection is open.");
  provider_ = providers::OpenProvider(connectionString);
}

providers::Provider& Connection::provider() {
  if (!provider_) throw Error(errc::kObjectClosed, "Operation is not allowed when the connection is closed.");
  return *provider_;
}

void Connection::Execute(std::string_view sql) {
  provider().Execute(sql);
}

std::vector<std::string> Connection::TakeNotes() {
  return provider_ ? provider_->TakeNotes() : std::vector<std::string>{};
}

std::unique_ptr<Recordset> Connection::OpenSchema(int schema) {
  auto& p = provider();
  if (schema != kSchemaTables)
    throw Error(errc::kNotSupported, "The schema query " + std::to_string(schema) + " is not supported.");
  auto rs = std::make_unique<Recordset>();
  rs->OpenReader(providers::SchemaRowReader(p.SchemaTables()), kUseClient);
  return rs;
}

void Connection::Close() {
  if (!provider_) throw Error(errc::kObjectClosed, "Operation is not allowed when the connection is closed.");
  auto provider = std::move(provider_);  // closed even when writing the last changes fails
  provider->Close();
}

// --- Field ---

const qv::Value& Field::Value() const {
  if (value_ == nullptr)
    throw Error(errc::kNoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
  return *value_;
}

// --- Recordset ---

Recordset::Recordset() = default;
Recordset::~Recordset() = default;

void Recordset::Open(std::string_view sql, Connection& connection) {
  if (rows_) throw Error(errc::kObjectOpen, "Operation is not allowed when the record set is open.");
  const int location = connection.CursorLocation;
  OpenReader(connection.provider().Query(sql), location);
}

void Recordset::OpenReader(std::unique_ptr<qv::RowReader> rows, int cursorLocation) {
  if (rows_) throw Error(errc::kObjectOpen, "Operation is not allowed when the record set is open.");
  types_.clear();
  names_.clear();
  for (const auto& c : rows->columns()) {
    types_.push_back(AdoTypeOf(c));
    names_.push_back(c.name);
  }
  rows_ = std::move(rows);
  cursorLocation_ = cursorLocation;
  eof_ = !rows_->Next(row_);
}

void Recordset::RequireOpen() const {
  if (!rows_) throw Error(errc::kObjectClosed, "Operation is not allowed when the record set is closed.");
}

bool Recordset::Eof() const {
  RequireOpen();
  return eof_;
}

void Recordset::MoveNext() {
  RequireOpen();
  if (eof_)
    throw Error(errc::kNoCurrentRecord, "Either BOF or EOF is True, or the current record has been deleted.");
  eof_ = !rows_->Next(row_);
}

int Recordset::FieldCount() const {
  RequireOpen();
  return static_cast<int>(types_.size());
}

Field Recordset::Fields(int index) const {
  RequireOpen();
  if (index < 0 || static_cast<std::size_t>(index) >= types_.size())
    throw Error(errc::kFieldNotFound,
                "Item cannot be found in the collection: field " + std::to_string(index) + ".");
  const auto i = static_cast<std::size_t>(index);
  return Field(names_[i], types_[i], eof_ || i >= row_.size() ? nullptr : &row_[i]);
}

Field Recordset::Fields(std::string_view name) const {
  RequireOpen();
  const auto& columns = rows_->columns();
  for (std::size_t i = 0; i < columns.size(); ++i)
    if (qv::sql::NamesEqual(columns[i].name, name)) return Fields(static_cast<int>(i));
  throw Error(errc::kFieldNotFound,
              "Item cannot be found in the collection: field '" + std::string(name) + "'.");
}

std::int64_t Recordset::RecordCount() const {
  RequireOpen();
  // A server-side cursor does not know how many rows are coming unless its source says so; the
  // readers of both engines know it from the table header, and the count is what they report.
  const std::int64_t n = rows_->rowCount();
  return n < 0 ? -1 : n;
}

void Recordset::Close() {
  RequireOpen();
  rows_.reset();
  row_.clear();
  types_.clear();
  eof_ = true;
}

// --- objects ---

std::unique_ptr<Connection> DatabaseObjects::CreateConnection() {
  return std::make_unique<Connection>();
}
std::unique_ptr<Recordset> DatabaseObjects::CreateRecordset() {
  return std::make_unique<Recordset>();
}

DatabaseObjects& DefaultObjects() {
  static DatabaseObjects objects;  // stateless
  return objects;
}

std::int16_t AdoTypeOf(const qv::Column& column) {
  if (column.adoType != 0) return static_cast<std::int16_t>(column.adoType);
  switch (column.type) {
    case ColumnType::Boolean:
      return 11;
    case ColumnType::Byte:
      return 17;
    case ColumnType::Int16:
      return 2;
    case ColumnType::Int32:
      return 3;
    case ColumnType::Int64:
      return 20;
    case ColumnType::Single:
      return 4;
    case ColumnType::Double:
      return 5;
    case ColumnType::Currency:
      return 6;
    case ColumnType::Decimal:
      return 131;
    case ColumnType::DateTime:
      return 7;
    case ColumnType::Date:
      return 133;
    case ColumnType::Time:
      return 134;
    case ColumnType::Text:
      return 202;
    case ColumnType::Memo:
      return 203;
    case ColumnType::Binary:
      return 204;
    case ColumnType::LongBinary:
      return 205;
    case ColumnType::Guid:
      return 72;
  }
  return 0;
}

}  // namespace qv::sources
