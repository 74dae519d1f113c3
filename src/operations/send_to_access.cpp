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
#include "operations/list_box.h"
#include "operations/paradox_table_locator.h"
#include "operations/run_summary.h"
#include "operations/statements.h"
#include "operations/table_replacement.h"
#include "operations/transfer_connections.h"
#include "operations/value_rendering.h"
#include "shell/error_trap.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"

namespace qv::ops {
namespace {

enum class Answer { kNone, kYes, kNo };

// The trap of this handler quotes the CREATE TABLE or INSERT text built or being built when a
// step fails. The text lives in UTF-8 and is handed to the trap only when a step fails, so the
// row loop does not convert every statement.
class StatementTrap {
 public:
  explicit StatementTrap(shell::WindowSystem& windows)
      : trap_(windows, QString::fromLatin1(kSendToAccessLocation),
              shell::ErrorTrap::Variant::kWithStatement) {}

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

// One run of the handler: its connections, the record set the tables are read through, and what
// the run has done so far. The members are declared in the order the handler needs them to end:
// the connections the locator opens on subfolders outlive the record set that reads through them.
class AccessTransfer {
 public:
  AccessTransfer(shell::TablePageContext& page, sources::DatabaseObjects& objects)
      : page_(page),
        objects_(objects),
        trap_(page.windows),
        windows_(page.windows),
        access_list_(page.page.access_list),
        paradox_list_(page.page.paradox_list),
        progress_(page.page.progress),
        paradox_tables_(page.fields.paradoxFolder(), page.windows),
        insert_(trap_.statement) {}

  void Run();

 private:
  // How the row loop of a table ended.
  struct Rows {
    long long failed = 0;      // rows left out
    bool give_up = false;      // the table is not sent
    bool save_failed = false;  // ended by a save that failed
  };
  enum class Saved { kYes, kNo, kWriteFailed };

  void SendTable(int i);
  Answer AskOverwrite(const QString& name);
  bool OpenSource(const QString& entry, const QString& name);
  bool CreateTable(const QString& written, int& field_count);
  Rows CopyRows(const QString& name, const QString& written, int field_count);
  bool BuildInsert(const std::string& prefix, int field_count, bool skip_rows);
  Saved SaveRow(bool skip_rows);
  shell::Reply AskAboutRow(const QString& name);
  bool ReplaceOldTable(const QString& written, const QString& name);
  void Abandon(const QString& entry, const QString& written, const QString& why);
  void Finish();

  shell::TablePageContext& page_;
  sources::DatabaseObjects& objects_;
  StatementTrap trap_;
  shell::WindowSystem& windows_;
  shell::TableList& access_list_;
  shell::TableList& paradox_list_;
  shell::ProgressIndicator& progress_;
  std::unique_ptr<sources::Connection> access_;
  std::unique_ptr<sources::Connection> paradox_;
  ParadoxTableLocator paradox_tables_;
  std::unique_ptr<sources::Recordset> records_;
  QStringList created_tables_;  // the tables this run created (the only ones it may take away)
  RunSummary summary_;
  bool stopped_ = false;
  InsertStatement insert_;
};

void AccessTransfer::Run() {
  trap_.Step(100, [&] { access_ = sources::MakeConnection(objects_); });
  trap_.Step(102, [&] { paradox_ = sources::MakeConnection(objects_); });
  trap_.Step(104, [&] { records_ = sources::MakeRecordset(objects_); });
  if (trap_.Test(108, [&] { return paradox_list_.currentRow() == -1; })) {
    trap_.Step(272, [&] { shell::ShowOk(windows_, QStringLiteral("Please select a table to send.")); });
    return;
  }
  if (RefuseUnwritableAccess(windows_, page_.fields.accessFile())) return;
  OpenTransferConnections(trap_, page_, paradox_, access_);  // steps 110 to 120
  // What an interrupted earlier run left behind goes first.
  if (access_ && access_->IsOpen()) DropTemporaryAccessTables(*access_);

  const int count = trap_.Value(122, 0, [&] { return paradox_list_.count(); });
  for (int i = count - 1; i >= 0; --i) {
    if (trap_.Test(124, [&] { return !paradox_list_.isSelected(i); })) continue;
    SendTable(i);
  }
  Finish();
}

// The selected entry `i` of the Paradox list, from the question about a table of its name in
// Access to its place in the Access list.
void AccessTransfer::SendTable(int i) {
  summary_.Selected();
  QString entry;
  QString name;
  // A table of a subfolder is listed with its folder ("archive/ORDERLOG"); in Access it is
  // named by its own name.
  trap_.Step(126, [&] {
    entry = paradox_list_.text(i);
    name = entry.section(QLatin1Char('/'), -1);
  });
  if (stopped_) {
    summary_.NotSent(entry, QStringLiteral("the run was stopped"));
    return;
  }
  // Every table starts clean: no record set left open, no statement of another table.
  trap_.statement.clear();
  if (records_ && records_->IsOpen()) records_->Close();
  const Answer answer = AskOverwrite(name);
  if (answer == Answer::kNo) {
    summary_.NotSent(entry, QStringLiteral("the overwrite was declined"));
    return;
  }
  // A table that replaces another is written under a temporary name and takes the old one's
  // place only when it is complete (step 138); until then the old table stays as it was.
  QString written = name;
  if (answer == Answer::kYes) {
    written = QString::fromLatin1(kTemporaryTablePrefix);
    trap_.Step(136, [&] { written = TemporaryAccessName(AccessTableNames(Use(access_))); });
  }
  // A table whose select or CREATE TABLE failed is left after the report: its rows would
  // otherwise go into whatever table of that name the database holds.
  if (!OpenSource(entry, name)) {
    summary_.NotSent(entry, trap_.lastFailure().description);
    return;
  }
  int field_count = 0;
  if (!CreateTable(written, field_count)) {
    trap_.Step(254, [&] { records_->Close(); });
    summary_.NotSent(entry, trap_.lastFailure().description);
    return;
  }
  created_tables_ << written;

  const Rows rows = CopyRows(name, written, field_count);
  trap_.Step(252, [&] { progress_.SetValue(0); });
  trap_.Step(254, [&] { records_->Close(); });
  if (rows.give_up) {
    Abandon(entry, written,
            stopped_ ? QStringLiteral("the run was stopped at a row that could not be copied")
            : !rows.save_failed && rows.failed > 0 ? QStringLiteral("a row could not be copied")
                                                   : trap_.lastFailure().description);
    return;
  }
  if (answer == Answer::kYes) {
    if (!ReplaceOldTable(written, name)) {
      Abandon(entry, written, trap_.lastFailure().description);
      return;
    }
    trap_.Step(140, [&] { RemoveFromListbox(access_list_, name); });
  }
  trap_.Step(256, [&] { access_list_.Add(name); });
  summary_.Sent();
  if (rows.failed > 0) summary_.SentWithout(entry, rows.failed);
}

// Steps 128 to 132: kYes or kNo when Access holds a table of that name, kNone otherwise.
Answer AccessTransfer::AskOverwrite(const QString& name) {
  Answer answer = Answer::kNone;
  if (trap_.Test(128, [&] { return IsInListbox(access_list_, name); })) {
    trap_.Step(130, [&] {
      answer = shell::AskYesNo(windows_,
                               QStringLiteral("Would you like to overwrite ") + name + QStringLiteral("?"),
                               QStringLiteral("Overwrite?"))
                   ? Answer::kYes
                   : Answer::kNo;
    });
  } else {
    trap_.Step(132, [&] { answer = Answer::kNone; });
  }
  return answer;
}

// Step 142: the select on the table. The table is read where the list found it: a table of a
// subfolder through a connection on that subfolder. One found nowhere is looked up in the folder
// itself, which reports it.
bool AccessTransfer::OpenSource(const QString& entry, const QString& name) {
  bool opened = false;
  trap_.Step(142, [&] {
    const auto table = paradox_tables_.Find(entry);
    sources::Connection& source =
        table ? paradox_tables_.ConnectionFor(*table, Use(paradox_), objects_) : Use(paradox_);
    Use(records_).Open(SelectAllStatement(table ? table->selectName() : name).toStdString(), source);
    if (table) paradox_tables_.MarkHandled(*table);
    opened = true;
  });
  return opened;
}

// Steps 144 to 204: the CREATE TABLE built column by column from the names of the fields' types,
// yielding per field, then run. Gives whether the table was created, and the number of fields.
bool AccessTransfer::CreateTable(const QString& written, int& field_count) {
  trap_.Step(144, [&] { trap_.statement = CreatePrefix(written); });
  trap_.Step(146, [&] { field_count = records_->FieldCount(); });
  for (int j = 0; j < field_count; ++j) {
    std::string field_name;
    std::int16_t type = 0;
    trap_.Step(148, [&] { windows_.Yield(); });
    trap_.Step(150, [&] { field_name = records_->Fields(j).name(); });
    trap_.Step(152, [&] { type = records_->Fields(j).Type(); });
    trap_.Step(154, [&] { trap_.statement += ColumnDefinition(field_name, type); });
  }
  trap_.Step(198, [&] {
    if (!trap_.statement.empty()) trap_.statement.pop_back();
  });
  trap_.Step(200, [&] { trap_.statement += ");"; });
  bool created = false;
  trap_.Step(204, [&] {
    Use(access_).Execute(trap_.statement);
    created = true;
  });
  return created;
}

// Steps 212 to 248: one INSERT per row. The first row that fails is reported with its statement,
// and the user chooses: skip the table's other failing rows (counted, not reported), skip the
// table, or stop the run. Every row the record set yields is copied; the count read before the
// first row only scales the progress bar.
AccessTransfer::Rows AccessTransfer::CopyRows(const QString& name, const QString& written, int field_count) {
  const std::int64_t row_count = trap_.Value(212, std::int64_t{0}, [&] { return records_->RecordCount(); });
  std::string prefix;
  trap_.Step(214, [&] { prefix = InsertPrefix(written); });
  Rows rows;
  bool skip_rows = false;
  for (std::int64_t k = 0; !records_->Eof(); ++k) {
    trap_.Step(216, [&] { windows_.Yield(); });
    trap_.Step(218, [&] { progress_.SetValue(PercentBegun(k, row_count)); });
    bool row_ok = BuildInsert(prefix, field_count, skip_rows);
    if (row_ok) {
      const Saved saved = SaveRow(skip_rows);
      // A failed save lost the rows since the last one and leaves the database refusing
      // changes: reported once, it ends this table instead of failing each row that follows.
      if (saved == Saved::kWriteFailed) {
        rows.give_up = rows.save_failed = true;
        break;
      }
      row_ok = saved == Saved::kYes;
    }
    if (!row_ok) {
      ++rows.failed;
      if (!skip_rows) {
        const shell::Reply reply = AskAboutRow(name);
        if (reply == shell::Reply::kSkipRows) {
          skip_rows = true;
        } else {
          rows.give_up = true;
          stopped_ = reply == shell::Reply::kStop;
          break;
        }
      }
    }
    bool moved = false;
    trap_.Step(248, [&] {
      records_->MoveNext();
      moved = true;
    });
    if (!moved) {  // a record set that cannot move on would repeat the row for ever
      rows.give_up = true;
      break;
    }
  }
  return rows;
}

// Steps 220 to 240: the INSERT of the current row, yielding per field. Gives false when a value
// could not be read; once the user chose to skip failing rows, that is not reported.
bool AccessTransfer::BuildInsert(const std::string& prefix, int field_count, bool skip_rows) {
  trap_.Step(220, [&] { insert_.Start(prefix); });
  bool row_ok = true;
  for (int j = 0; j < field_count && row_ok; ++j) {
    trap_.Step(224, [&] { windows_.Yield(); });
    if (skip_rows) {
      try {
        insert_.AddField(records_->Fields(j).Value());
      } catch (...) {
        row_ok = false;
      }
    } else {
      row_ok = false;
      trap_.Step(226, [&] {
        insert_.AddField(records_->Fields(j).Value());
        row_ok = true;
      });
    }
  }
  if (row_ok) trap_.Step(240, [&] { insert_.Finish(); });
  return row_ok;
}

// Step 246: the INSERT run. Once the user chose to skip failing rows, a row refused is counted
// without a report; a failed save is reported either way.
AccessTransfer::Saved AccessTransfer::SaveRow(bool skip_rows) {
  if (skip_rows) {
    std::optional<Error> save_failure;
    bool row_ok = true;
    try {
      Use(access_).Execute(trap_.statement);
    } catch (const Error& e) {
      row_ok = false;
      if (IsWriteFailure(e)) save_failure = e;
    } catch (...) {
      row_ok = false;
    }
    if (save_failure) {
      trap_.Step(246, [&] { throw *save_failure; });
      return Saved::kWriteFailed;
    }
    return row_ok ? Saved::kYes : Saved::kNo;
  }
  bool row_ok = false;
  bool write_failed = false;
  trap_.Step(246, [&] {
    try {
      Use(access_).Execute(trap_.statement);
    } catch (const Error& e) {
      write_failed = IsWriteFailure(e);
      throw;
    }
    row_ok = true;
  });
  if (write_failed) return Saved::kWriteFailed;
  return row_ok ? Saved::kYes : Saved::kNo;
}

// Step 247: what to do about the first row of a table that could not be copied.
shell::Reply AccessTransfer::AskAboutRow(const QString& name) {
  shell::Reply reply = shell::Reply::kStop;
  trap_.Step(247, [&] {
    reply = windows_.ShowMessage({QStringLiteral("A row of ") + name +
                                      QStringLiteral(" could not be copied.\n\nSkip Rows: copy the other "
                                                     "rows and leave out each row that fails.\nSkip Table: "
                                                     "do not send ") +
                                      name + QStringLiteral(".\nStop: send no more tables."),
                                  QStringLiteral("Row not copied"), shell::Buttons::kSkipRowsSkipTableStop,
                                  shell::Icon::kNone});
  });
  return reply;
}

// Step 138: the complete table takes the old one's place in one change of the database.
bool AccessTransfer::ReplaceOldTable(const QString& written, const QString& name) {
  bool replaced = false;
  trap_.Step(138, [&] {
    Use(access_).Execute(ReplaceTableStatement(written, name).toStdString());
    replaced = true;
  });
  return replaced;
}

// Takes away what this run wrote of a table that is not sent.
void AccessTransfer::Abandon(const QString& entry, const QString& written, const QString& why) {
  try {
    if (created_tables_.contains(written)) Use(access_).Execute(DropStatement(written).toStdString());
  } catch (...) {
    // The next run drops a temporary table; a new table that stays is named in the summary.
  }
  summary_.NotSent(entry, why);
}

// Steps 266 to 272: the pointer, the connections closed and the closing message.
void AccessTransfer::Finish() {
  trap_.Step(266, [&] { page_.page.pointer.SetPointer(shell::kPointerDefault); });
  // Closing saves what the last rows changed: a failure there means the tables counted as sent
  // may not be in the file, and the closing message must not say "Done.".
  bool saved = false;
  trap_.Step(268, [&] {
    Use(access_).Close();
    saved = true;
  });
  if (!saved)
    summary_.NotSaved(QStringLiteral("The Access database could not be saved: ") +
                      ReasonLine(trap_.lastFailure().description) + QStringLiteral("."));
  trap_.Step(270, [&] { Use(paradox_).Close(); });
  trap_.Step(272, [&] { shell::ShowOk(windows_, summary_.Text()); });
}

}  // namespace

void SendToAccess(shell::TablePageContext& page, sources::DatabaseObjects& objects) {
  AccessTransfer(page, objects).Run();
}

}  // namespace qv::ops
