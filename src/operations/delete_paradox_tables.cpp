// "Delete Table/s" of the Paradox list: every selected table's file is deleted, without a
// question, from the folder the list found it in (the Paradox folder or one of its subfolders,
// paradox_table_locator.h). A table whose file could not be deleted is reported and stays in
// the list; one whose file is gone already is left in the list. The whole family goes with the
// .DB (.MB, .PX, .Xnn/.Ynn, .VAL, .TV and the rest, in any letter case): left behind, an index or
// a check file would be taken for part of the next table of that name.
#include "operations/handlers.h"
#include "operations/paradox_table_locator.h"
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
    ParadoxTableLocator tables(page.fields.paradoxFolder(), page.windows);
    for (int i = count - 1; i >= 0; --i) {
      if (!trap.Test(106, [&] { return list.isSelected(i); })) continue;
      QString name;
      trap.Step(106, [&] { name = list.text(i); });
      // The table's file where the list found it (the folder itself or a subfolder), in every
      // letter case of its name and of ".db" (a case-respecting file system may hold more than
      // one); the item goes only when none of them is left.
      QStringList files;
      trap.Step(108, [&] {
        const auto table = tables.Find(name);
        if (!table) return;
        tables.MarkHandled(*table);
        // The .DB files first: once they are gone the table is gone, whatever else stays.
        files = TableFiles(table->folder, table->providerName());
        for (const QString& file : FamilyFiles(table->folder, table->providerName()))
          if (!files.contains(file)) files << file;
      });
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
