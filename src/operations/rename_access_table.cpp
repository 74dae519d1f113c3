// "Rename Table" of the Access list, and RenameAccessTable, which does the work: the Access
// table is copied under the new name and the old one is dropped; a rename that replaces another
// table, or changes only the letter case, renames the table in one change of the database. The
// list then shows the new name in place of the old one.
#include "operations/handlers.h"
#include "operations/statements.h"
#include "shell/error_trap.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"

namespace qv::ops {
namespace {

void Run(sources::Connection& connection, const QString& statement) {
  connection.Execute(statement.toStdString());
}

}  // namespace

bool RenameAccessTable(shell::WindowSystem& windows, sources::DatabaseObjects& objects,
                       const QString& old_name, const QString& new_name, const QString& file,
                       const QString& password, const shell::ConnectionFields& fields) {
  // The same name: nothing to do, and the overwrite question must never offer to drop the table
  // that is being renamed.
  if (new_name == old_name) return false;
  const bool case_only = new_name.compare(old_name, Qt::CaseInsensitive) == 0;

  auto connection = sources::MakeConnection(objects);
  sources::Connection& db = Use(connection);
  db.Open(sources::AccessConnectionString(file, password, fields).toStdString());
  bool result = true;
  bool replace = false;
  if (!case_only && sources::AccessTableExists(file, password, new_name, fields, objects)) {
    if (shell::AskYesNo(windows,
                        QStringLiteral("Would you like to overwrite ") + new_name + QStringLiteral("?"),
                        QStringLiteral("Overwrite?"))) {
      replace = true;
    } else {
      result = false;
    }
  }
  if (result) {
    if (case_only || replace) {
      // The table takes its new name in one change of the database: the table it replaces is
      // dropped in the same change, so a failure or a crash leaves both tables as they were.
      // (A copy could not target a spelling that differs only in case while the old table
      // exists, and a copy after a drop would lose the replaced table if it failed.)
      QString statement = QStringLiteral("ALTER TABLE ") + QuoteName(old_name) +
                          QStringLiteral(" RENAME TO ") + QuoteName(new_name);
      if (replace) statement += QStringLiteral(" REPLACE");
      Run(db, statement);
    } else {
      Run(db, CopyTableStatement(old_name, new_name));
      Run(db, DropStatement(old_name));
    }
  }
  db.Close();
  return result;
}

void RenameAccessTableClick(shell::TablePageContext& page, sources::DatabaseObjects& objects) {
  shell::ErrorTrap trap(page.windows, QString::fromLatin1(kRenameAccessLocation));
  shell::TableList& list = page.page.access_list;

  if (trap.Test(100, [&] { return list.selectedCount() != 1; })) {
    trap.Step(
        130, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select just one table to rename.")); });
    return;
  }
  if (trap.Test(102, [&] { return list.currentRow() == -1; })) {
    trap.Step(128, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select a table to rename.")); });
    return;
  }
  if (RefuseUnwritableAccess(page.windows, page.fields.accessFile())) return;
  trap.Step(104, [&] { page.page.pointer.SetPointer(shell::kPointerHourglass); });
  QString old_name;
  int row = -1;
  const int count = trap.Value(106, 0, [&] { return list.count(); });
  for (int i = 0; i < count; ++i) {
    if (!trap.Test(108, [&] { return list.isSelected(i); })) continue;
    trap.Step(110, [&] { old_name = list.text(i); });
    trap.Step(112, [&] { row = i; });
  }
  QString answer;
  trap.Step(116, [&] {
    answer = shell::InputBox(
        page.windows,
        QStringLiteral("Enter new name of ") + list.text(list.currentRow()) + QStringLiteral(":"), old_name);
  });
  if (trap.Test(118, [&] { return !answer.isEmpty(); })) {
    bool renamed = false;
    trap.Step(120, [&] {
      renamed = RenameAccessTable(page.windows, objects, old_name, answer, page.fields.accessFile(),
                                  page.fields.accessPassword(), page.fields);
    });
    if (renamed) {
      trap.Step(122, [&] { list.RemoveAt(row); });
      trap.Step(124, [&] { list.Add(answer); });
    }
  }
  trap.Step(126, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
}

}  // namespace qv::ops
