#include "sources/connection_actions.h"

#include "shell/error_trap.h"
#include "shell/files.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"

namespace qv::sources {

void CheckAccessInstalled(shell::WindowSystem& windows, DatabaseObjects& objects) {
  try {
    std::unique_ptr<Connection> cn;
    try {
      cn = objects.CreateConnection();
    } catch (...) {
      cn.reset();
    }
    if (!cn) shell::ShowOk(windows, QString::fromLatin1(kAccessNotInstalled));
  } catch (...) {
    // Ignored: the check never reports a failure of its own.
  }
}

void ConnectionActions::Next(shell::ConnectionPageContext& page) {
  shell::ErrorTrap trap(page.windows, QStringLiteral("Form1.PushButton2_Click"));
  trap.Step(100, [&] { page.pointer.SetPointer(shell::kPointerHourglass); });
  if (trap.Test(102, [&] { return ParadoxFolderHasTables(page.fields); }) &&
      trap.Test(104, [&] { return shell::FileExists(page.fields.accessFile()); })) {
    trap.Step(106, [&] {
      shell::TablePageParts parts = page.flow.UseTablePage();
      AddTablesToAccessListbox(parts.access_list, page.fields.accessFile(), page.fields, page.windows, objects_);
    });
    trap.Step(108, [&] { AddTablesToParadoxListbox(page.flow.UseTablePage().paradox_list, page.fields, page.windows); });
    trap.Step(110, [&] { page.flow.ShowTablePage(); });
    trap.Step(112, [&] { page.flow.HideConnectionPage(); });
  }
  trap.Step(114, [&] { page.pointer.SetPointer(shell::kPointerDefault); });
}

void ConnectionActions::TestConnection(shell::ConnectionPageContext& page) {
  shell::ErrorTrap trap(page.windows, QStringLiteral("Form1.PushButton3_Click"));
  trap.Step(102, [&] { page.pointer.SetPointer(shell::kPointerHourglass); });
  if (trap.Test(104, [&] { return ParadoxFolderHasTables(page.fields); }, shell::FailedTest::kCountsAsFalse)) {
    trap.Step(106, [&] { shell::ShowOk(page.windows, QStringLiteral("Connection successful.")); });
  } else {
    trap.Step(108, [&] { shell::ShowOk(page.windows, QStringLiteral("Could not connect.")); });
  }
  trap.Step(110, [&] { page.pointer.SetPointer(shell::kPointerDefault); });
}

void ConnectionActions::Run(shell::ErrorTrap& trap, shell::ConnectionPageContext& page) {
  if (trap.Test(136, [&] { return ParadoxFolderHasTables(page.fields); }) &&
      trap.Test(138, [&] { return shell::FileExists(page.fields.accessFile()); })) {
    trap.Step(140, [&] { Next(page); });
  }
  trap.Step(142, [&] { CheckAccessInstalled(page.windows, objects_); });
}

}  // namespace qv::sources
