#include "shell/startup.h"

#include <QFile>
#include <QFileInfo>

#include "shell/app_title.h"
#include "shell/error_trap.h"
#include "shell/failure.h"
#include "shell/files.h"
#include "shell/product.h"

namespace qv::shell {

void ApplySkin(StartupPage& page, const QString& program_folder) {
  const QString path = JoinPath(program_folder, QString::fromUtf8(kSkinFile));
  // Only an ordinary file counts; on this platform a file named with a leading dot would be the
  // hidden kind, which "o.cjs" never is.
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) return;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Fail(errc::kPathFileAccess, QStringLiteral("The skin file '%1' cannot be read.").arg(path));
  }
  const QString style_sheet = QString::fromUtf8(file.readAll());
  page.ApplyFaceColors();
  page.ApplyStyleSheet(style_sheet);
}

void RunStartup(StartupPage& page, StartupServices& services, StartupJump* jump,
                ConnectionPageContext* context) {
  ErrorTrap trap(services.windows, QString::fromUtf8(kStartupLocation));
  trap.Step(100, [&] { ApplySkin(page, services.program_folder); });
  trap.Step(104, [&] { MaybeOpenHomePage(services.random, services.open_url); });
  trap.Step(108, [&] {
    page.SetCaption(QString::fromUtf8(kProductName));
    page.SetProductIcon();
    SetAppTitle();
  });
  const QString cursor_file = JoinPath(services.program_folder, QString::fromUtf8(kHandCursorFile));
  if (trap.Test(126, [&] { return FileExists(cursor_file); })) {
    trap.Step(128, [&] { page.LoadCustomPointer(cursor_file); });
  }
  trap.Step(130,
            [&] { page.SetParadoxFolderText(services.settings.Read(QString::fromUtf8(kParadoxFolderKey))); });
  trap.Step(132, [&] { page.SetAccessFileText(services.settings.Read(QString::fromUtf8(kAccessFileKey))); });
  trap.Step(134, [&] {
    page.SetAccessPasswordText(services.settings.Read(QString::fromUtf8(kAccessPasswordKey)));
  });
  if (jump != nullptr && context != nullptr) jump->Run(trap, *context);
}

}  // namespace qv::shell
