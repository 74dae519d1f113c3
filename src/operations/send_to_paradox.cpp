// "Send Table/s To Paradox": each selected Access table, from the bottom of the list up, is copied
// into the Paradox folder by one statement the Access engine runs, after the user accepted a name
// cut to 8 characters and the replacement of a Paradox table of the same name. The Paradox list
// is then filled afresh and the run ends with "Done.", or with a summary of the tables that were
// not sent and why (run_summary.h).
//
// A table that replaces one of the same name is written under a temporary name first and takes
// the old one's place only when it is complete (table_replacement.h); a failed copy leaves the old
// table as it was. Two tables whose names are alike after the cut to 8 characters both arrive: the
// later one takes the next free name of the form "Employ~1", and the summary says so.
#include "operations/handlers.h"
#include "operations/list_box.h"
#include "operations/paradox_name.h"
#include "operations/run_summary.h"
#include "operations/statements.h"
#include "operations/table_files.h"
#include "operations/table_replacement.h"
#include "operations/transfer_connections.h"
#include "shell/error_trap.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"

namespace qv::ops {
namespace {
enum class Answer { kNone, kYes, kNo };
constexpr int kMaxParadoxName = 8;

// The first name of the form "Employ~1", "Emplo~12", ... that no table written in this run, no
// table file of the folder and no entry of the Paradox list has.
QString NextFreeShortName(const QString& target, const QStringList& written, const QString& folder,
                          const shell::TableList& list) {
  for (int n = 1;; ++n) {
    const QString tail = QStringLiteral("~") + QString::number(n);
    const QString name = target.left(kMaxParadoxName - tail.size()) + tail;
    if (!written.contains(name, Qt::CaseInsensitive) && TableFiles(folder, name).isEmpty() &&
        !IsInListbox(list, name))
      return name;
  }
}

// Where a table goes: the Paradox name it is written under and whether it replaces a table of
// that name (kNo when the user declined the shortened name or the overwrite, with the reason).
struct Target {
  QString name;
  Answer answer = Answer::kNone;
  QString why_not;
};

// Steps 128 to 144: the name cut to 8 characters if the user accepts it, then the question about
// a Paradox table of that name. A name this run already wrote is never replaced, nor asked about:
// the table takes the next free short name, and the summary says so.
Target ChooseTarget(shell::ErrorTrap& trap, shell::TablePageContext& page, const QString& source,
                    const QStringList& written, const QString& folder, RunSummary& summary) {
  shell::TableList& paradox_list = page.page.paradox_list;
  Target target;
  trap.Step(128, [&] { target.name = source; });
  if (trap.Test(130, [&] { return target.name.size() > kMaxParadoxName; })) {
    bool yes = false;
    trap.Step(132, [&] {
      yes = shell::AskYesNo(page.windows,
                            source.toUpper() +
                                QStringLiteral(" is more than 8 characters. It will be trimmed into ") +
                                target.name.left(kMaxParadoxName).toUpper() + QStringLiteral(". Continue?"),
                            QStringLiteral("Continue?"));
    });
    if (yes) {
      trap.Step(134, [&] { target.name = target.name.left(kMaxParadoxName); });
    } else {
      trap.Step(136, [&] { target.answer = Answer::kNo; });
      target.why_not = QStringLiteral("the shortened name was declined");
    }
  }
  if (target.answer != Answer::kNo && written.contains(target.name, Qt::CaseInsensitive)) {
    const QString taken = target.name;
    target.name = NextFreeShortName(target.name, written, folder, paradox_list);
    summary.Note(source + QStringLiteral(": written as ") + target.name + QStringLiteral(" (") + taken +
                 QStringLiteral(" was written earlier in this run)."));
  } else if (target.answer != Answer::kNo) {
    if (trap.Test(140, [&] { return IsInListbox(paradox_list, target.name); })) {
      trap.Step(142, [&] {
        target.answer = shell::AskYesNo(page.windows,
                                        QStringLiteral("Would you like to overwrite ") + target.name +
                                            QStringLiteral("?"),
                                        QStringLiteral("Overwrite?"))
                            ? Answer::kYes
                            : Answer::kNo;
      });
    } else {
      trap.Step(144, [&] { target.answer = Answer::kNone; });
    }
  }
  if (target.answer == Answer::kNo && target.why_not.isEmpty())
    target.why_not = QStringLiteral("the overwrite was declined");
  return target;
}

// Steps 170, 150 and 152: the copy by one statement of the Access engine and, for a table that
// replaces another, the swap of the complete table into the old one's place. A table that
// replaces another is written under a temporary name first. The name becomes a file name in the
// Paradox folder: one that could reach outside it is refused before the statement runs. Returns
// whether the table arrived.
bool CopyTable(shell::ErrorTrap& trap, shell::TablePageContext& page,
               const std::unique_ptr<sources::Connection>& access, const QString& folder,
               const QString& source, const Target& target, RunSummary& summary) {
  const QString written_name = target.answer == Answer::kYes ? TemporaryParadoxName(folder) : target.name;
  bool copied = false;
  trap.Step(170, [&] {
    CheckParadoxName(target.name);
    Use(access).TakeNotes();  // notes of an earlier copy that failed belong to no table sent
    Use(access).Execute(
        CopyToParadoxStatement(folder, written_name, source, page.fields.paradoxCodePage()).toStdString());
    copied = true;
    // Columns a Paradox table cannot hold went without their values: the closing message says so.
    for (const std::string& note : Use(access).TakeNotes()) summary.Note(QString::fromStdString(note));
  });
  if (copied && target.answer == Answer::kYes) {
    copied = false;
    trap.Step(150, [&] {
      ReplaceParadoxTable(folder, written_name, target.name);
      copied = true;
    });
    if (copied) trap.Step(152, [&] { RemoveFromListbox(page.page.paradox_list, target.name); });
  }
  return copied;
}
}  // namespace

void SendToParadox(shell::TablePageContext& page, sources::DatabaseObjects& objects) {
  shell::ErrorTrap trap(page.windows, QString::fromLatin1(kSendToParadoxLocation));
  shell::TableList& access_list = page.page.access_list;
  shell::TableList& paradox_list = page.page.paradox_list;
  std::unique_ptr<sources::Connection> access;
  std::unique_ptr<sources::Connection> paradox;

  trap.Step(100, [&] { access = sources::MakeConnection(objects); });
  trap.Step(102, [&] { paradox = sources::MakeConnection(objects); });
  if (trap.Test(108, [&] { return access_list.currentRow() == -1; })) {
    trap.Step(192, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select a table to send.")); });
    return;
  }
  OpenTransferConnections(trap, page, paradox, access);  // steps 110 to 120
  const QString folder = page.fields.paradoxFolder();
  // What an interrupted earlier run left half done is finished or undone before anything new.
  CleanUpParadoxFolder(folder);
  RunSummary summary;
  QStringList written;  // the names this run wrote, so that a later table never replaces one

  const int count = trap.Value(122, 0, [&] { return access_list.count(); });
  for (int i = count - 1; i >= 0; --i) {
    if (trap.Test(124, [&] { return !access_list.isSelected(i); })) continue;
    QString source;
    summary.Selected();
    trap.Step(126, [&] { source = access_list.text(i); });
    const Target target = ChooseTarget(trap, page, source, written, folder, summary);
    if (target.answer == Answer::kNo) {
      summary.NotSent(source, target.why_not);
      continue;
    }
    if (CopyTable(trap, page, access, folder, source, target, summary)) {
      summary.Sent();
      written << target.name;
    } else {
      summary.NotSent(source, trap.lastFailure().description);
    }
  }

  trap.Step(176, [&] { sources::AddTablesToParadoxListbox(paradox_list, page.fields, page.windows); });
  trap.Step(184, [&] { shell::ShowOk(page.windows, summary.Text()); });
  trap.Step(186, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
  trap.Step(188, [&] { Use(access).Close(); });
  trap.Step(190, [&] { Use(paradox).Close(); });
}

}  // namespace qv::ops
