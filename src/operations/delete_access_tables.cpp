// "Delete Table/s" of the Access list: every selected table is dropped, without a question, and
// taken out of the list. The database is opened before the selection is looked at.
//
// A drop reaches the disk when the next change is saved or when the connection closes. When a
// save fails, the database goes back to its last save, so a table already taken out of the list
// may still be there: the list is then filled afresh from the file, which shows what it holds.
#include "operations/handlers.h"
#include "operations/statements.h"
#include "shell/error_trap.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"

namespace qv::ops {

void DeleteAccessTables(shell::TablePageContext& page, sources::DatabaseObjects& objects) {
  shell::ErrorTrap trap(page.windows, QString::fromLatin1(kDeleteAccessLocation));
  shell::TableList& list = page.page.access_list;
  std::unique_ptr<sources::Connection> access;
  int removed = 0;                 // tables taken out of the list
  bool list_may_be_wrong = false;  // a failure came after one was

  if (list.currentRow() != -1 && RefuseUnwritableAccess(page.windows, page.fields.accessFile())) return;
  trap.Step(100, [&] { access = sources::MakeConnection(objects); });
  trap.Step(102, [&] { page.page.pointer.SetPointer(shell::kPointerHourglass); });
  trap.Step(104, [&] { Use(access).CursorLocation = sources::kUseServer; });
  trap.Step(106, [&] { Use(access).Mode = sources::kModeReadWrite; });
  trap.Step(108, [&] {
    Use(access).Open(
        sources::AccessConnectionString(page.fields.accessFile(), page.fields.accessPassword(), page.fields)
            .toStdString());
  });
  if (trap.Test(110, [&] { return list.currentRow() == -1; })) {
    trap.Step(122, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select a table to delete.")); });
  } else {
    // From the last position to the first, so the positions still to be visited stay valid.
    const int count = trap.Value(112, 0, [&] { return list.count(); });
    for (int i = count - 1; i >= 0; --i) {
      if (!trap.Test(114, [&] { return list.isSelected(i); })) continue;
      // A table the database did not drop stays in the list: the report says why.
      bool dropped = false;
      trap.Step(116, [&] {
        Use(access).Execute(DropStatementWithSemicolon(list.text(i)).toStdString());
        dropped = true;
      });
      if (dropped) {
        trap.Step(118, [&] { list.RemoveAt(i); });
        ++removed;
      } else if (removed > 0) {
        list_may_be_wrong = true;
      }
    }
  }
  trap.Step(124, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
  // The connection goes when the handler ends; closing it here is what its release does. The
  // close saves the drops, so its failure is reported like any step's.
  const int reports_before_close = trap.reportCount();
  trap.Step(124, [&] {
    if (access && access->IsOpen()) access->Close();
  });
  if (removed > 0 && trap.reportCount() > reports_before_close) list_may_be_wrong = true;
  if (list_may_be_wrong) {
    access.reset();
    sources::AddTablesToAccessListbox(list, page.fields.accessFile(), page.fields, page.windows, objects);
  }
}

}  // namespace qv::ops
