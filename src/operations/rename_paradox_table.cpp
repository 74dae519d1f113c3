// "Rename Table" of the Paradox list: the table's files take the new name in the folder the list
// found the table in (the Paradox folder or one of its subfolders), the whole family together (.DB with its
// .MB, indexes and the rest), so memo and blob values stay with their table. The new name must be a plain
// file name; a table already under that name is replaced only when the user says so, as on the Access side.
#include <QDir>
#include <QFile>
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
namespace {

// The folder part with which the list shows a table of a subfolder ("archive/" of
// "archive/ORDERLOG"); empty for a table of the folder itself.
QString ListedFolderPart(const QString& listed) {
  return listed.left(listed.lastIndexOf(QLatin1Char('/')) + 1);
}

// Step 120 of the handler, the renaming of one listed table's files, in its phases: the new name,
// the table's files, the folder settled and the overwrite question, the copy under a temporary
// name, and the swap that gives the copy the new name.
class TableRename {
 public:
  TableRename(shell::TablePageContext& page, QString old_name, QString answer)
      : page_(page),
        old_name_(std::move(old_name)),
        prefix_(ListedFolderPart(old_name_)),
        answer_(std::move(answer)) {}

  void Run() {
    if (!TakeNewName()) return;
    FindFiles();
    if (!SettleFolderAndAsk()) return;
    const QString temporary = CopyUnderTemporaryName();
    const QStringList old_files_now = FamilyFiles(folder_, stem_);
    try {
      ReplaceParadoxTable(folder_, temporary, answer_);
    } catch (...) {
      replaced_ = false;
      throw;
    }
    renamed_ = true;
    // Where only the letter case changes the old files were the replaced ones.
    if (!case_only_)
      for (const QString& file : old_files_now) DeleteFileQuietly(page_.windows, file);
  }

  bool renamed() const { return renamed_; }
  bool replaced() const { return replaced_; }
  // The new name as the list shows it.
  QString listed() const { return prefix_ + answer_; }

 private:
  // The new name, checked; false when nothing changes (the table stays as it is).
  bool TakeNewName() {
    // A table of a subfolder is listed with its folder; the new name may keep that folder part,
    // and the table stays in its folder.
    if (!prefix_.isEmpty() && answer_.startsWith(prefix_, Qt::CaseInsensitive))
      answer_ = answer_.mid(prefix_.size());
    CheckParadoxName(answer_);
    return prefix_ + answer_ != old_name_;
  }

  // The folder the list found the table in (one listed from a subfolder is renamed in that
  // subfolder) and the stem of its .DB.
  void FindFiles() {
    ParadoxTableLocator tables(page_.fields.paradoxFolder(), page_.windows);
    const auto table = tables.Find(old_name_);
    const QStringList old_files = table ? TableFiles(table->folder, table->providerName()) : QStringList();
    if (old_files.isEmpty())
      shell::Fail(errc::kRuntimeFileNotFound,
                  QStringLiteral("The table %1 has no file in the folder '%2' or its subfolders, so it keeps "
                                 "its name.")
                      .arg(old_name_, page_.fields.paradoxFolder()));
    folder_ = table->folder;
    stem_ = QFileInfo(old_files.front()).completeBaseName();
    case_only_ = listed().compare(old_name_, Qt::CaseInsensitive) == 0;
  }

  // Settles what an interrupted earlier run left half done in the folder, then asks before a
  // table of the new name is replaced; false when the user keeps it.
  bool SettleFolderAndAsk() {
    CleanUpParadoxFolder(folder_);
    if (case_only_ || TableFiles(folder_, answer_).isEmpty()) return true;
    if (!shell::AskYesNo(page_.windows,
                         QStringLiteral("Would you like to overwrite ") + answer_ + QStringLiteral("?"),
                         QStringLiteral("Overwrite?")))
      return false;
    replaced_ = true;
    return true;
  }

  // The table's files are copied under a temporary name, and the copy then takes the new name in
  // one written-down swap (table_replacement.h), replacing a table of that name only then; the
  // old files go last. A failure or a crash on the way leaves the old table, and the table that
  // was to be replaced, as they were.
  QString CopyUnderTemporaryName() {
    const QString temporary = TemporaryParadoxName(folder_);
    QStringList copies;
    for (const QString& from : FamilyFiles(folder_, stem_)) {
      const QString to = QDir(folder_).filePath(temporary + QLatin1Char('.') + QFileInfo(from).suffix());
      if (!QFile::copy(from, to)) {
        for (const QString& made : copies) QFile::remove(made);
        replaced_ = false;
        shell::Fail(errc::kPathFileAccess,
                    QStringLiteral("Could not copy '%1' to '%2'; the table %3 keeps its name.")
                        .arg(from, to, old_name_));
      }
      copies << to;
    }
    return temporary;
  }

  shell::TablePageContext& page_;
  const QString old_name_;
  const QString prefix_;
  QString answer_;
  QString folder_;
  QString stem_;
  bool case_only_ = false;
  bool renamed_ = false;
  bool replaced_ = false;
};

// Steps 114 to 128 for the selected item `i`: the new name asked for, the files renamed, and the
// list brought up to date.
void RenameListedTable(shell::ErrorTrap& trap, shell::TablePageContext& page, int i) {
  shell::TableList& list = page.page.paradox_list;
  QString old_name;
  QString answer;
  trap.Step(114, [&] { old_name = list.text(i); });
  trap.Step(116, [&] {
    answer = shell::InputBox(page.windows,
                             QStringLiteral("Enter new name of ") + old_name + QStringLiteral(":"), old_name);
  });
  if (!trap.Test(118, [&] { return !answer.isEmpty(); })) return;
  TableRename rename(page, old_name, answer);
  trap.Step(120, [&] { rename.Run(); });
  if (!rename.renamed() && !rename.replaced()) return;
  if (rename.renamed()) trap.Step(124, [&] { list.RemoveAt(i); });
  if (rename.replaced()) trap.Step(124, [&] { RemoveFromListbox(list, rename.listed()); });
  if (rename.renamed()) trap.Step(126, [&] { list.Add(rename.listed()); });
  trap.Step(128, [&] {
    if (list.count() > 0) list.SetCurrentRow(0);
  });
}

}  // namespace

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
      RenameListedTable(trap, page, i);
      break;  // one table is selected; the rest of the walk would find nothing
    }
  }
  trap.Step(136, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
}

}  // namespace qv::ops
