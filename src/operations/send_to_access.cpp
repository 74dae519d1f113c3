// "Send Table/s To Access": each selected Paradox table, from the bottom of the list up, is read
// through a record set, created in Access column by column from the names of its fields' types,
// and filled row by row with one INSERT per row, values written as quoted text. The progress bar
// shows the share of rows begun; the handler yields to the window system per field and per row.
#include <algorithm>
#include <cmath>

#include "engine/core/error.h"
#include "operations/handlers.h"
#include "operations/transfer_connections.h"
#include "operations/list_box.h"
#include "operations/paradox_table_locator.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"
#include "operations/statements.h"
#include "operations/value_rendering.h"
#include "shell/error_trap.h"

namespace qv::ops {
namespace {

enum class Answer { kNone, kYes, kNo };

// The trap of this handler quotes the CREATE TABLE or INSERT text built or being built when a
// step fails. The text lives in UTF-8 and is handed to the trap only when a step fails, so the
// row loop does not convert every statement.
class StatementTrap {
 public:
  explicit StatementTrap(shell::WindowSystem& windows)
      : trap_(windows, QString::fromLatin1(kSendToAccessLocation), shell::ErrorTrap::Variant::kWithStatement) {}

  std::string statement;

  template <typename Body>
  void Step(int label, Body&& body) {
    trap_.Step(label, [&] { Quoting(body); });
  }
  template <typename Check>
  bool Test(int label, Check&& test) {
    return trap_.Test(label, [&] { return Quoting(test); });
  }
  template <typename T, typename Body>
  T Value(int label, T fallback, Body&& body) {
    return trap_.Value(label, fallback, [&] { return Quoting(body); });
  }

 private:
  template <typename Body>
  auto Quoting(Body& body) {
    try {
      return body();
    } catch (...) {
      trap_.SetStatement(QString::fromStdString(statement));
      throw;
    }
  }

  shell::ErrorTrap trap_;
};

int PercentBegun(std::int64_t row_index, std::int64_t row_count) {
  if (row_count <= 0) return 100;
  const double percent = static_cast<double>(row_index + 1) / static_cast<double>(row_count) * 100.0;
  return static_cast<int>(std::min(100.0, std::nearbyint(percent)));
}

}  // namespace

void SendToAccess(shell::TablePageContext& page, sources::DatabaseObjects& objects) {
  StatementTrap trap(page.windows);
  shell::WindowSystem& windows = page.windows;
  shell::TableList& access_list = page.page.access_list;
  shell::TableList& paradox_list = page.page.paradox_list;
  shell::ProgressIndicator& progress = page.page.progress;
  std::unique_ptr<sources::Connection> access;
  std::unique_ptr<sources::Connection> paradox;
  // Declared before the record set, so connections it opens on subfolders outlive it.
  ParadoxTableLocator paradox_tables(page.fields.paradoxFolder(), windows);
  std::unique_ptr<sources::Recordset> records;

  trap.Step(100, [&] { access = sources::MakeConnection(objects); });
  trap.Step(102, [&] { paradox = sources::MakeConnection(objects); });
  trap.Step(104, [&] { records = sources::MakeRecordset(objects); });
  if (trap.Test(108, [&] { return paradox_list.currentRow() == -1; })) {
    trap.Step(272, [&] { shell::ShowOk(windows, QStringLiteral("Please select a table to send.")); });
    return;
  }
  OpenTransferConnections(trap, page, paradox, access);  // steps 110 to 120

  InsertStatement insert(trap.statement);
  const int count = trap.Value(122, 0, [&] { return paradox_list.count(); });
  for (int i = count - 1; i >= 0; --i) {
    if (trap.Test(124, [&] { return !paradox_list.isSelected(i); })) continue;
    QString name;
    Answer answer = Answer::kNone;
    trap.Step(126, [&] { name = paradox_list.text(i); });
    if (trap.Test(128, [&] { return IsInListbox(access_list, name); })) {
      trap.Step(130, [&] {
        answer = shell::AskYesNo(windows, QStringLiteral("Would you like to overwrite ") + name + QStringLiteral("?"),
                                 QStringLiteral("Overwrite?"))
                     ? Answer::kYes
                     : Answer::kNo;
      });
    } else {
      trap.Step(132, [&] { answer = Answer::kNone; });
    }
    if (answer == Answer::kNo) continue;
    if (answer == Answer::kYes) {
      // The entry goes only with the table; a refused drop is reported and the CREATE TABLE
      // that follows fails on the table still there.
      bool dropped = false;
      trap.Step(138, [&] {
        Use(access).Execute(DropStatement(name).toStdString());
        dropped = true;
      });
      if (dropped) trap.Step(140, [&] { RemoveFromListbox(access_list, name); });
    }

    // A table whose select or CREATE TABLE failed is left after the report: its rows would
    // otherwise go into whatever table of that name the database holds.
    bool opened = false;
    // The table is read where the list found it: a table of a subfolder through a connection on
    // that subfolder. One found nowhere is looked up in the folder itself, which reports it.
    trap.Step(142, [&] {
      const auto table = paradox_tables.Find(name);
      sources::Connection& source =
          table ? paradox_tables.ConnectionFor(*table, Use(paradox), objects) : Use(paradox);
      Use(records).Open(SelectAllStatement(table ? table->selectName() : name).toStdString(), source);
      if (table) paradox_tables.MarkHandled(*table);
      opened = true;
    });
    if (!opened) continue;

    const std::string table = name.toStdString();
    int field_count = 0;
    trap.Step(144, [&] { trap.statement = "CREATE TABLE `" + table + "`("; });
    trap.Step(146, [&] { field_count = records->FieldCount(); });
    for (int j = 0; j < field_count; ++j) {
      std::string field_name;
      std::int16_t type = 0;
      trap.Step(148, [&] { windows.Yield(); });
      trap.Step(150, [&] { field_name = records->Fields(j).name(); });
      trap.Step(152, [&] { type = records->Fields(j).Type(); });
      trap.Step(154, [&] { trap.statement += "`" + field_name + std::string(ColumnSuffix(type)); });
    }
    trap.Step(198, [&] {
      if (!trap.statement.empty()) trap.statement.pop_back();
    });
    trap.Step(200, [&] { trap.statement += ");"; });
    bool created = false;
    trap.Step(204, [&] {
      Use(access).Execute(trap.statement);
      created = true;
    });
    if (!created) {
      trap.Step(254, [&] { records->Close(); });
      continue;
    }

    const std::int64_t row_count = trap.Value(212, std::int64_t{0}, [&] { return records->RecordCount(); });
    const std::string prefix = InsertPrefix(name);
    // Every row the record set yields is copied; the count read before the first row only
    // scales the progress bar.
    for (std::int64_t k = 0; !records->Eof(); ++k) {
      trap.Step(216, [&] { windows.Yield(); });
      trap.Step(218, [&] { progress.SetValue(PercentBegun(k, row_count)); });
      trap.Step(220, [&] { insert.Start(prefix); });
      for (int j = 0; j < field_count; ++j) {
        trap.Step(224, [&] { windows.Yield(); });
        trap.Step(226, [&] { insert.AddField(records->Fields(j).Value()); });
      }
      trap.Step(240, [&] { insert.Finish(); });
      // A failed save lost the rows since the last one and leaves the database refusing changes:
      // reported once, it ends this table's rows instead of failing each one that follows.
      bool write_failed = false;
      trap.Step(246, [&] {
        try {
          Use(access).Execute(trap.statement);
        } catch (const Error& e) {
          write_failed = IsWriteFailure(e);
          throw;
        }
      });
      if (write_failed) break;
      bool moved = false;
      trap.Step(248, [&] {
        records->MoveNext();
        moved = true;
      });
      if (!moved) break;  // a record set that cannot move on would repeat the row for ever
    }
    trap.Step(252, [&] { progress.SetValue(0); });
    trap.Step(254, [&] { records->Close(); });
    trap.Step(256, [&] { access_list.Add(name); });
  }

  trap.Step(266, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
  trap.Step(268, [&] { Use(access).Close(); });
  trap.Step(270, [&] { Use(paradox).Close(); });
}

}  // namespace qv::ops
