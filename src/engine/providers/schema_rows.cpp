#include <utility>

#include "engine/providers/provider.h"

namespace qv::providers {
namespace {

class SchemaRows final : public qv::RowReader {
 public:
  explicit SchemaRows(std::vector<SchemaRow> rows) : rows_(std::move(rows)) {
    for (const char* name : {"TABLE_CATALOG", "TABLE_SCHEMA", "TABLE_NAME", "TABLE_TYPE"}) {
      qv::Column c;
      c.name = name;
      c.type = qv::ColumnType::Text;
      c.size = 255;
      c.adoType = 202;  // adVarWChar, as the schema rowset reports its text columns
      columns_.push_back(std::move(c));
    }
  }
  const std::vector<qv::Column>& columns() const override { return columns_; }
  std::int64_t rowCount() const override { return static_cast<std::int64_t>(rows_.size()); }
  bool Next(qv::Row& row) override {
    if (next_ >= rows_.size()) return false;
    row.assign({std::monostate{}, std::monostate{}, rows_[next_].tableName, rows_[next_].tableType});
    ++next_;
    return true;
  }

 private:
  std::vector<SchemaRow> rows_;
  std::vector<qv::Column> columns_;
  std::size_t next_ = 0;
};

}  // namespace

std::unique_ptr<qv::RowReader> SchemaRowReader(std::vector<SchemaRow> rows) {
  return std::make_unique<SchemaRows>(std::move(rows));
}

}  // namespace qv::providers
