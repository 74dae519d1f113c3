// "Rename Table" of the Paradox list: the table's files take the new name in the folder the list
// found the table in (the Paradox folder or one of its subfolders), the whole family together (.DB with its
// .MB, indexes and the rest), so memo and blob values stay with their table. The new name must be a plain
// file name; a table already under that name is replaced only when the user says so, as on the Access side.
#include <QDir>
#include <QFileInfo>

#include "operations/handlers.h"
#include "operations/list_box.h"
#include "operations/paradox_name.h"
#include "operations/paradox_table_locator.h"
#include "operations/statements.h"
#include "operations/table_files.h"
#include "operations/table_replacement.h"
#include "shell/error_trap.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"

namespace qv::ops {

void RenameParadoxTable(shell::TablePageContext& page, sources::DatabaseObjects& objects) {
  shell::ErrorTrap trap(page.windows, QString::fromLatin1(kRenameParadoxLocation));
  shell::TableList& list = page.page.paradox_list;
  std::unique_ptr<sources::Connection> paradox;

  trap.Step(100, [&] { paradox = sources::MakeConnection(objects); });
  trap.Step(102, [&] { page.page.pointer.SetPointer(shell::kPointerHourglass); });
  trap.Step(104, [&] { Use(paradox).Open(sources::ParadoxConnectionString(page.fields).toStdString()); });
  if (trap.Test(106, [&] { return list.currentRow() == -1; })) {
    trap.Step(134, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select a table to rename.")); });
  } else if (trap.Test(108, [&] { return list.selectedCount() != 1; })) {
    trap.Step(
        132, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select just one table to rename.")); });
  } else {
    const int count = trap.Value(110, 0, [&] { return list.count(); });
    for (int i = count - 1; i >= 0; --i) {
      if (!trap.Test(112, [&] { return list.isSelected(i); })) continue;
      QString old_name;
      QString answer;
      trap.Step(114, [&] { old_name = list.text(i); });
      trap.Step(116, [&] {
        answer = shell::InputBox(
            page.windows, QStringLiteral("Enter new name of ") + old_name + QStringLiteral(":"), old_name);
      });
      if (trap.Test(118, [&] { return !answer.isEmpty(); })) {
        bool renamed = false;
        bool replaced = false;
        trap.Step(120, [&] {
          // A table of a subfolder is listed with its folder ("archive/ORDERLOG"); the new name
          // may keep that folder part, and the table stays in its folder.
          const QString prefix = old_name.left(old_name.lastIndexOf(QLatin1Char('/')) + 1);
          if (!prefix.isEmpty() && answer.startsWith(prefix, Qt::CaseInsensitive))
            answer = answer.mid(prefix.size());
          CheckParadoxName(answer);
          if (prefix + answer == old_name) return;  // nothing changes; the table stays as it is
          // The table keeps its folder: one listed from a subfolder is renamed in that subfolder.
          ParadoxTableLocator tables(page.fields.paradoxFolder(), page.windows);
          const auto table = tables.Find(old_name);
          const QStringList old_files =
              table ? TableFiles(table->folder, table->providerName()) : QStringList();
          if (old_files.isEmpty())
            shell::Fail(
                errc::kRuntimeFileNotFound,
                QStringLiteral("The table %1 has no file in the folder '%2' or its subfolders, so it keeps "
                               "its name.")
                    .arg(old_name, page.fields.paradoxFolder()));
          const QString folder = table->folder;
          const QString source = old_files.front();
          const bool case_only = (prefix + answer).compare(old_name, Qt::CaseInsensitive) == 0;
          // What an interrupted earlier run left half done in this folder is settled first.
          CleanUpParadoxFolder(folder);
          if (!case_only && !TableFiles(folder, answer).isEmpty()) {
            if (!shell::AskYesNo(
                    page.windows,
                    QStringLiteral("Would you like to overwrite ") + answer + QStringLiteral("?"),
                    QStringLiteral("Overwrite?")))
              return;
            replaced = true;
          }
          // The table's files are copied under a temporary name, and the copy then takes the
          // new name in one written-down swap (table_replacement.h), replacing a table of that
          // name only then; the old files go last. A failure or a crash on the way leaves the old
          // table, and the table that was to be replaced, as they were.
          const QString stem = QFileInfo(source).completeBaseName();
          const QString temporary = TemporaryParadoxName(folder);
          QStringList copies;
          for (const QString& from : FamilyFiles(folder, stem)) {
            const QString to = QDir(folder).filePath(temporary + QLatin1Char('.') + QFileInfo(from).suffix());
            if (!QFile::copy(from, to)) {
              for (const QString& made : copies) QFile::remove(made);
              replaced = false;
              shell::Fail(errc::kPathFileAccess,
                          QStringLiteral("Could not copy '%1' to '%2'; the table %3 keeps its name.")
                              .arg(from, to, old_name));
            }
            copies << to;
          }
          const QStringList old_files_now = FamilyFiles(folder, stem);
          try {
            ReplaceParadoxTable(folder, temporary, answer);
          } catch (...) {
            replaced = false;
            throw;
          }
          renamed = true;
          // Where only the letter case changes the old files were the replaced ones.
          if (!case_only)
            for (const QString& file : old_files_now) DeleteFileQuietly(page.windows, file);
        });
        const QString listed = old_name.left(old_name.lastIndexOf(QLatin1Char('/')) + 1) + answer;
        if (renamed || replaced) {
          if (renamed) trap.Step(124, [&] { list.RemoveAt(i); });
          if (replaced) trap.Step(124, [&] { RemoveFromListbox(list, listed); });
          if (renamed) trap.Step(126, [&] { list.Add(listed); });
          trap.Step(128, [&] {
            if (list.count() > 0) list.SetCurrentRow(0);
          });
        }
      }
      break;  // one table is selected; the rest of the walk would find nothing
    }
  }
  trap.Step(136, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
}

}  // namespace qv::ops
