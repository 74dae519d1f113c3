// The Paradox provider: the folder of the connection string is the database and each .DB file
// directly in it is a table (subfolders are other databases). It reads tables and drops them;
// the program sends it nothing else.
#include <filesystem>
#include <string>
#include <variant>

#include "engine/core/error.h"
#include "engine/paradox/paradox_folder.h"
#include "engine/providers/open_providers.h"
#include "engine/sql/parser.h"

namespace qv::providers {
namespace {

class ParadoxProvider final : public Provider {
 public:
  explicit ParadoxProvider(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::vector<SchemaRow> SchemaTables() override {
    return FolderErrorsAsErrors([&] {
      std::vector<SchemaRow> out;
      for (auto& name : folder_.ListTables()) out.push_back({name, "TABLE"});
      return out;
    });
  }

  std::unique_ptr<qv::RowReader> Query(std::string_view sql) override {
    return FolderErrorsAsErrors([&] { return RunQuery(sql); });
  }

  void Execute(std::string_view sql) override {
    FolderErrorsAsErrors([&] { RunStatement(sql); });
  }

 private:
  std::unique_ptr<qv::RowReader> RunQuery(std::string_view sql) {
    const qv::sql::Statement statement = qv::sql::ParseStatement(sql);
    const auto* select = std::get_if<qv::sql::SelectStatement>(&statement);
    if (select == nullptr || select->into)
      throw Error(errc::kNotSupported, "This statement returns no rows: " + StatementExcerpt(sql),
                  folder_.path().string());
    return folder_.OpenTable(select->from.text);
  }

  void RunStatement(std::string_view sql) {
    const qv::sql::Statement statement = qv::sql::ParseStatement(sql);
    if (const auto* drop = std::get_if<qv::sql::DropTableStatement>(&statement)) {
      folder_.DropTable(drop->table.text);
      return;
    }
    if (const auto* select = std::get_if<qv::sql::SelectStatement>(&statement); select && !select->into) {
      auto rows = folder_.OpenTable(select->from.text);
      qv::Row row;
      while (rows->Next(row)) {
      }
      return;
    }
    throw Error(errc::kNotSupported,
                "The Paradox folder '" + folder_.path().string() +
                    "' takes only SELECT * FROM and DROP TABLE; nothing was written. Statement: " +
                    StatementExcerpt(sql),
                folder_.path().string());
  }

  qv::paradox::ParadoxFolder folder_;
};

}  // namespace

std::unique_ptr<Provider> OpenParadoxProvider(const qv::sql::ConnectionString& cs) {
  return std::make_unique<ParadoxProvider>(std::filesystem::path(cs.dataSource));
}

}  // namespace qv::providers
