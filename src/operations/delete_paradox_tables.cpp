// "Delete Table/s" of the Paradox list: every selected table's file is deleted from the Paradox
// folder, without a question. A table whose file could not be deleted is reported and stays in
// the list; a table whose file is not in the folder itself (one listed from a subfolder) is left
// alone, in the folder and in the list. Other files of the table (.MB, indexes) stay; a later
// table written under the same name removes them first.
#include "operations/handlers.h"
#include "operations/table_files.h"
#include "shell/error_trap.h"

namespace qv::ops {
void DeleteParadoxTables(shell::TablePageContext& page) {
  shell::ErrorTrap trap(page.windows, QString::fromLatin1(kDeleteParadoxLocation));
  shell::TableList& list = page.page.paradox_list;

  trap.Step(100, [&] { page.page.pointer.SetPointer(shell::kPointerHourglass); });
  if (trap.Test(102, [&] { return list.currentRow() == -1; })) {
    trap.Step(126, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select a table to delete.")); });
  } else {
    const int count = trap.Value(104, 0, [&] { return list.count(); });
    for (int i = count - 1; i >= 0; --i) {
      if (!trap.Test(106, [&] { return list.isSelected(i); })) continue;
      QString name;
      trap.Step(106, [&] { name = list.text(i); });
      const QString folder = page.fields.paradoxFolder();
      // The table's file in every letter case of its name and of ".db" (a case-respecting file
      // system may hold more than one); the item goes only when none of them is left.
      QStringList files;
      trap.Step(108, [&] { files = TableFiles(folder, name); });
      if (files.isEmpty()) continue;
      bool deleted = false;
      trap.Step(112, [&] {
        for (const QString& file : files) DeleteFileOrFail(page.windows, file);
        deleted = true;
      });
      if (deleted) trap.Step(114, [&] { list.RemoveAt(i); });
    }
  }
  trap.Step(128, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
}

}  // namespace qv::ops
