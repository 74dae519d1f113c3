// "Send Table/s To Access": each selected Paradox table, from the bottom of the list up, is read
// through a record set, created in Access column by column from the names of its fields' types,
// and filled row by row with one INSERT per row, values written as quoted text. The progress bar
// shows the share of rows begun; the handler yields to the window system per field and per row.
// A table that replaces one of the same name is written under a temporary name and takes its place
// only when complete (table_replacement.h). The first row of a table that fails asks whether to
// skip the failing rows, the table or the rest of the run; the run ends with "Done." or with a
// summary of what was not sent (run_summary.h).
#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/core/error.h"
#include "operations/handlers.h"
#include "operations/transfer_connections.h"
#include "operations/list_box.h"
#include "operations/paradox_table_locator.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"
#include "operations/statements.h"
#include "operations/value_rendering.h"
#include "operations/run_summary.h"
#include "operations/table_replacement.h"
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

  const shell::Failure& lastFailure() const { return trap_.lastFailure(); }

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
  if (RefuseUnwritableAccess(windows, page.fields.accessFile())) return;
  OpenTransferConnections(trap, page, paradox, access);  // steps 110 to 120
  QStringList created_tables;  // the tables this run created (the only ones it may take away)
  const auto created_table = [&](const QString& table) { return created_tables.contains(table); };

  // What an interrupted earlier run left behind goes first.
  if (access && access->IsOpen()) DropTemporaryAccessTables(*access);
  RunSummary summary;
  bool stopped = false;

  InsertStatement insert(trap.statement);
  const int count = trap.Value(122, 0, [&] { return paradox_list.count(); });
  for (int i = count - 1; i >= 0; --i) {
    if (trap.Test(124, [&] { return !paradox_list.isSelected(i); })) continue;
    summary.Selected();
    QString entry;
    QString name;
    Answer answer = Answer::kNone;
    // A table of a subfolder is listed with its folder ("archive/ORDERLOG"); in Access it is
    // named by its own name.
    trap.Step(126, [&] {
      entry = paradox_list.text(i);
      name = entry.section(QLatin1Char('/'), -1);
    });
    if (stopped) {
      summary.NotSent(entry, QStringLiteral("the run was stopped"));
      continue;
    }
    // Every table starts clean: no record set left open, no statement of another table.
    trap.statement.clear();
    if (records && records->IsOpen()) records->Close();
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
    if (answer == Answer::kNo) {
      summary.NotSent(entry, QStringLiteral("the overwrite was declined"));
      continue;
    }
    // A table that replaces another is written under a temporary name and takes the old one's
    // place only when it is complete (step 138); until then the old table stays as it was.
    QString written = name;
    if (answer == Answer::kYes) {
      written = QString::fromLatin1(kTemporaryTablePrefix);
      trap.Step(136, [&] { written = TemporaryAccessName(AccessTableNames(Use(access))); });
    }
    // Takes away what this run wrote of a table that is not sent.
    const auto abandon = [&](const QString& why) {
      try {
        if (created_table(written)) Use(access).Execute(DropStatement(written).toStdString());
      } catch (...) {
        // The next run drops a temporary table; a new table that stays is named in the summary.
      }
      summary.NotSent(entry, why);
    };

    // A table whose select or CREATE TABLE failed is left after the report: its rows would
    // otherwise go into whatever table of that name the database holds.
    bool opened = false;
    // The table is read where the list found it: a table of a subfolder through a connection on
    // that subfolder. One found nowhere is looked up in the folder itself, which reports it.
    trap.Step(142, [&] {
      const auto table = paradox_tables.Find(entry);
      sources::Connection& source =
          table ? paradox_tables.ConnectionFor(*table, Use(paradox), objects) : Use(paradox);
      Use(records).Open(SelectAllStatement(table ? table->selectName() : name).toStdString(), source);
      if (table) paradox_tables.MarkHandled(*table);
      opened = true;
    });
    if (!opened) {
      summary.NotSent(entry, trap.lastFailure().description);
      continue;
    }

    int field_count = 0;
    trap.Step(144, [&] { trap.statement = CreatePrefix(written); });
    trap.Step(146, [&] { field_count = records->FieldCount(); });
    for (int j = 0; j < field_count; ++j) {
      std::string field_name;
      std::int16_t type = 0;
      trap.Step(148, [&] { windows.Yield(); });
      trap.Step(150, [&] { field_name = records->Fields(j).name(); });
      trap.Step(152, [&] { type = records->Fields(j).Type(); });
      trap.Step(154, [&] { trap.statement += ColumnDefinition(field_name, type); });
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
      summary.NotSent(entry, trap.lastFailure().description);
      continue;
    }
    created_tables << written;

    const std::int64_t row_count = trap.Value(212, std::int64_t{0}, [&] { return records->RecordCount(); });
    std::string prefix;
    trap.Step(214, [&] { prefix = InsertPrefix(written); });
    // The first row that fails is reported with its statement, and the user chooses: skip the
    // table's other failing rows (counted, not reported), skip the table, or stop the run.
    long long failed_rows = 0;
    bool skip_rows = false;
    bool give_up = false;
    bool save_failed = false;
    // Every row the record set yields is copied; the count read before the first row only
    // scales the progress bar.
    for (std::int64_t k = 0; !records->Eof(); ++k) {
      trap.Step(216, [&] { windows.Yield(); });
      trap.Step(218, [&] { progress.SetValue(PercentBegun(k, row_count)); });
      trap.Step(220, [&] { insert.Start(prefix); });
      bool row_ok = true;
      for (int j = 0; j < field_count && row_ok; ++j) {
        trap.Step(224, [&] { windows.Yield(); });
        if (skip_rows) {
          try {
            insert.AddField(records->Fields(j).Value());
          } catch (...) {
            row_ok = false;
          }
        } else {
          row_ok = false;
          trap.Step(226, [&] {
            insert.AddField(records->Fields(j).Value());
            row_ok = true;
          });
        }
      }
      if (row_ok) trap.Step(240, [&] { insert.Finish(); });
      // A failed save lost the rows since the last one and leaves the database refusing changes:
      // reported once, it ends this table instead of failing each row that follows.
      bool write_failed = false;
      if (row_ok && skip_rows) {
        std::optional<Error> save_failure;
        try {
          Use(access).Execute(trap.statement);
        } catch (const Error& e) {
          row_ok = false;
          if (IsWriteFailure(e)) save_failure = e;
        } catch (...) {
          row_ok = false;
        }
        if (save_failure) {
          write_failed = true;
          trap.Step(246, [&] { throw *save_failure; });
        }
      } else if (row_ok) {
        row_ok = false;
        trap.Step(246, [&] {
          try {
            Use(access).Execute(trap.statement);
          } catch (const Error& e) {
            write_failed = IsWriteFailure(e);
            throw;
          }
          row_ok = true;
        });
      }
      if (write_failed) {
        give_up = save_failed = true;
        break;
      }
      if (!row_ok) {
        ++failed_rows;
        if (!skip_rows) {
          shell::Reply reply = shell::Reply::kStop;
          trap.Step(247, [&] {
            reply = windows.ShowMessage({QStringLiteral("A row of ") + name +
                                             QStringLiteral(" could not be copied.\n\nSkip Rows: copy the other "
                                                            "rows and leave out each row that fails.\nSkip Table: "
                                                            "do not send ") +
                                             name + QStringLiteral(".\nStop: send no more tables."),
                                         QStringLiteral("Row not copied"), shell::Buttons::kSkipRowsSkipTableStop,
                                         shell::Icon::kNone});
          });
          if (reply == shell::Reply::kSkipRows) {
            skip_rows = true;
          } else {
            give_up = true;
            stopped = reply == shell::Reply::kStop;
            break;
          }
        }
      }
      bool moved = false;
      trap.Step(248, [&] {
        records->MoveNext();
        moved = true;
      });
      if (!moved) {  // a record set that cannot move on would repeat the row for ever
        give_up = true;
        break;
      }
    }
    trap.Step(252, [&] { progress.SetValue(0); });
    trap.Step(254, [&] { records->Close(); });
    if (give_up) {
      abandon(stopped           ? QStringLiteral("the run was stopped at a row that could not be copied")
              : !save_failed && failed_rows > 0 ? QStringLiteral("a row could not be copied")
                                                : trap.lastFailure().description);
      continue;
    }
    if (answer == Answer::kYes) {
      // The complete table takes the old one's place in one change of the database.
      bool replaced = false;
      trap.Step(138, [&] {
        Use(access).Execute(ReplaceTableStatement(written, name).toStdString());
        replaced = true;
      });
      if (!replaced) {
        abandon(trap.lastFailure().description);
        continue;
      }
      trap.Step(140, [&] { RemoveFromListbox(access_list, name); });
    }
    trap.Step(256, [&] { access_list.Add(name); });
    summary.Sent();
    if (failed_rows > 0) summary.SentWithout(entry, failed_rows);
  }

  trap.Step(266, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
  // Closing saves what the last rows changed: a failure there means the tables counted as sent
  // may not be in the file, and the closing message must not say "Done.".
  bool saved = false;
  trap.Step(268, [&] {
    Use(access).Close();
    saved = true;
  });
  if (!saved)
    summary.Note(QStringLiteral("The Access database could not be saved: ") +
                 ReasonLine(trap.lastFailure().description) + QStringLiteral("."));
  trap.Step(270, [&] { Use(paradox).Close(); });
  trap.Step(272, [&] { shell::ShowOk(windows, summary.Text()); });
}

}  // namespace qv::ops
