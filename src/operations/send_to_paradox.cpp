// "Send Table/s To Paradox": each selected Access table, from the bottom of the list up, is copied
// into the Paradox folder by one statement the Access engine runs, after the user accepted a name
// cut to 8 characters and the replacement of a Paradox table of the same name. The Paradox list
// is then filled afresh and "Done." shown.
#include "operations/handlers.h"
#include "operations/transfer_connections.h"
#include "operations/list_box.h"
#include "operations/paradox_name.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"
#include "operations/statements.h"
#include "shell/error_trap.h"

namespace qv::ops {
namespace {
enum class Answer { kNone, kYes, kNo };
constexpr int kMaxParadoxName = 8;
}  // namespace

void SendToParadox(shell::TablePageContext& page, sources::DatabaseObjects& objects) {
  shell::ErrorTrap trap(page.windows, QString::fromLatin1(kSendToParadoxLocation));
  shell::TableList& access_list = page.page.access_list;
  shell::TableList& paradox_list = page.page.paradox_list;
  std::unique_ptr<sources::Connection> access;
  std::unique_ptr<sources::Connection> paradox;
  QStringList left_out;  // what the copies left out, one line each

  trap.Step(100, [&] { access = sources::MakeConnection(objects); });
  trap.Step(102, [&] { paradox = sources::MakeConnection(objects); });
  if (trap.Test(108, [&] { return access_list.currentRow() == -1; })) {
    trap.Step(192, [&] { shell::ShowOk(page.windows, QStringLiteral("Please select a table to send.")); });
    return;
  }
  OpenTransferConnections(trap, page, paradox, access);  // steps 110 to 120

  const int count = trap.Value(122, 0, [&] { return access_list.count(); });
  for (int i = count - 1; i >= 0; --i) {
    if (trap.Test(124, [&] { return !access_list.isSelected(i); })) continue;
    QString source;
    QString target;
    Answer answer = Answer::kNone;
    trap.Step(126, [&] { source = access_list.text(i); });
    trap.Step(128, [&] { target = source; });
    if (trap.Test(130, [&] { return target.size() > kMaxParadoxName; })) {
      bool yes = false;
      trap.Step(132, [&] {
        yes = shell::AskYesNo(page.windows,
                              source.toUpper() + QStringLiteral(" is more than 8 characters. It will be trimmed into ") +
                                  target.left(kMaxParadoxName).toUpper() + QStringLiteral(". Continue?"),
                              QStringLiteral("Continue?"));
      });
      if (yes) {
        trap.Step(134, [&] { target = target.left(kMaxParadoxName); });
      } else {
        trap.Step(136, [&] { answer = Answer::kNo; });
      }
    }
    if (answer != Answer::kNo) {
      if (trap.Test(140, [&] { return IsInListbox(paradox_list, target); })) {
        trap.Step(142, [&] {
          answer = shell::AskYesNo(page.windows, QStringLiteral("Would you like to overwrite ") + target + QStringLiteral("?"),
                                   QStringLiteral("Overwrite?"))
                       ? Answer::kYes
                       : Answer::kNo;
        });
      } else {
        trap.Step(144, [&] { answer = Answer::kNone; });
      }
    }
    if (answer == Answer::kNo) continue;
    if (answer == Answer::kYes) {
      trap.Step(150, [&] { Use(paradox).Execute(DropStatement(target).toStdString()); });
      trap.Step(152, [&] { RemoveFromListbox(paradox_list, target); });
    }
    // The name becomes a file name in the Paradox folder: one that could reach outside it is
    // refused before the statement runs.
    trap.Step(170, [&] {
      CheckParadoxName(target);
      Use(access).Execute(
          CopyToParadoxStatement(page.fields.paradoxFolder(), target, source, page.fields.paradoxCodePage()).toStdString());
      for (const std::string& note : Use(access).TakeNotes()) left_out << QString::fromStdString(note);
    });
  }

  trap.Step(176, [&] { sources::AddTablesToParadoxListbox(paradox_list, page.fields, page.windows); });
  // Columns a Paradox table cannot hold went without their values: the closing message says so.
  trap.Step(184, [&] {
    shell::ShowOk(page.windows, left_out.isEmpty() ? QStringLiteral("Done.")
                                                   : QStringLiteral("Done.\n\n") + left_out.join(QStringLiteral("\n")));
  });
  trap.Step(186, [&] { page.page.pointer.SetPointer(shell::kPointerDefault); });
  trap.Step(188, [&] { Use(access).Close(); });
  trap.Step(190, [&] { Use(paradox).Close(); });
}

}  // namespace qv::ops
