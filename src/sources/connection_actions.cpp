#include "sources/connection_actions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "engine/jet/write/database_creator.h"
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

namespace {

// Whether "Next >" can use the folder: an existing folder, with tables or without (tables can be
// sent into an empty one). Otherwise says why, in one message.
bool FolderUsable(shell::ConnectionPageContext& page) {
  const QString folder = page.fields.paradoxFolder();
  if (folder.isEmpty()) {
    shell::ShowOk(page.windows, QStringLiteral("Please enter the Paradox folder."));
    return false;
  }
  if (!QFileInfo(folder).isDir()) {
    shell::ShowOk(page.windows, QStringLiteral("The Paradox folder '%1' does not exist.").arg(folder));
    return false;
  }
  return true;
}

// Whether "Next >" can use the Access file: an existing file, or a new, empty database made on
// the user's word where the named .mdb or .accdb does not exist yet. Otherwise says why.
bool AccessFileReady(shell::ConnectionPageContext& page) {
  const QString file = page.fields.accessFile();
  if (shell::FileExists(file)) return true;
  if (file.isEmpty()) {
    shell::ShowOk(page.windows, QStringLiteral("Please enter the Access database file."));
    return false;
  }
  const QFileInfo info(file);
  const QString suffix = info.suffix().toLower();
  const bool known = suffix == QStringLiteral("mdb") || suffix == QStringLiteral("accdb");
  if (info.exists() || !known || !info.absoluteDir().exists()) {
    shell::ShowOk(page.windows, QStringLiteral("The Access database '%1' does not exist.").arg(file));
    return false;
  }
  if (!shell::AskYesNo(
          page.windows,
          QStringLiteral("The Access database '%1' does not exist. Create a new, empty database there?")
              .arg(file),
          QStringLiteral("Create?")))
    return false;
  // Access 2000 for .mdb, Access 2007 for .accdb.
  qv::jet::CreateDatabase(QFile::encodeName(file).toStdString(), suffix == QStringLiteral("mdb")
                                                                     ? qv::jet::DatabaseFormat::Jet4
                                                                     : qv::jet::DatabaseFormat::Ace2007);
  return true;
}

}  // namespace

void ConnectionActions::Next(shell::ConnectionPageContext& page) {
  shell::ErrorTrap trap(page.windows, QStringLiteral("Form1.PushButton2_Click"));
  trap.Step(100, [&] { page.pointer.SetPointer(shell::kPointerHourglass); });
  if (trap.Test(102, [&] { return FolderUsable(page); }) &&
      trap.Test(104, [&] { return AccessFileReady(page); })) {
    trap.Step(106, [&] {
      shell::TablePageParts parts = page.flow.UseTablePage();
      AddTablesToAccessListbox(parts.access_list, page.fields.accessFile(), page.fields, page.windows,
                               objects_);
    });
    trap.Step(108, [&] {
      AddTablesToParadoxListbox(page.flow.UseTablePage().paradox_list, page.fields, page.windows);
    });
    trap.Step(110, [&] { page.flow.ShowTablePage(); });
    trap.Step(112, [&] { page.flow.HideConnectionPage(); });
  }
  trap.Step(114, [&] { page.pointer.SetPointer(shell::kPointerDefault); });
}

void ConnectionActions::TestConnection(shell::ConnectionPageContext& page) {
  shell::ErrorTrap trap(page.windows, QStringLiteral("Form1.PushButton3_Click"));
  trap.Step(102, [&] { page.pointer.SetPointer(shell::kPointerHourglass); });
  if (trap.Test(
          104, [&] { return ParadoxFolderHasTables(page.fields); }, shell::FailedTest::kCountsAsFalse)) {
    // The folder is good; an Access file named beside it must open too (with its password).
    QString access_problem;
    if (shell::FileExists(page.fields.accessFile())) {
      try {
        auto cn = MakeConnection(objects_);
        cn->Open(AccessConnectionString(QString(), QString(), page.fields).toStdString());
        cn->Close();
      } catch (...) {
        access_problem = shell::CurrentFailure().description;
      }
    }
    if (access_problem.isEmpty()) {
      trap.Step(106, [&] { shell::ShowOk(page.windows, QStringLiteral("Connection successful.")); });
    } else {
      trap.Step(108, [&] {
        shell::ShowOk(page.windows,
                      QStringLiteral("Could not connect to the Access database: ") + access_problem);
      });
    }
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
