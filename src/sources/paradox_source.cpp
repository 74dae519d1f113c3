#include "sources/paradox_source.h"

#include <string>
#include <vector>

#include "shell/error_trap.h"
#include "sources/folder_scan.h"

namespace qv::sources {

QString ParadoxConnectionString(const shell::ConnectionFields& fields) {
  const QString folder = fields.paradoxFolder();
  return QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=") + folder +
         QStringLiteral(";Dbq=") + folder + QStringLiteral(";CollatingSequence=ASCII;");
}

bool ParadoxFolderHasTables(const shell::ConnectionFields& fields) {
  const QString folder = fields.paradoxFolder();
  if (folder.isEmpty()) return false;
  return !ListFiles(folder.toStdString(), "*.db").empty();
}

QString ParadoxTableName(const QString& fileName) {
  QString name = fileName.toUpper();
  name.remove(QStringLiteral(".DB"), Qt::CaseSensitive);
  return name;
}

void AddTablesToParadoxListbox(shell::TableList& list, const shell::ConnectionFields& fields,
                               shell::WindowSystem& windows) {
  shell::ErrorTrap trap(windows, QString::fromLatin1(kParadoxListLocation));
  QString folder;
  std::vector<std::string> folders;
  trap.Step(100, [&] { list.Clear(); });
  trap.Step(102, [&] { folder = fields.paradoxFolder(); });
  if (!trap.Test(104, [&] { return !folder.isEmpty(); })) return;
  // The start folder with one separator at its end (a root "/" keeps its single one).
  trap.Step(106, [&] {
    std::string start = folder.toStdString();
    if (start.back() != '/') start += '/';
    folders.push_back(std::move(start));
  });
  trap.Step(108, [&] { AddSubFolders(folders, true, [&] { windows.Yield(); }); });
  for (const std::string& path : folders) {
    std::vector<std::string> names;
    // ListFiles takes the folder with or without its final separator alike.
    trap.Step(114, [&] { names = ListFiles(path, "*.db"); });
    for (const std::string& name : names) {
      if (!trap.Test(118, [&] { return name.front() != '~'; })) continue;
      QString entry;
      trap.Step(120, [&] { entry = QString::fromStdString(path + name); });
      trap.Step(122, [&] { entry = QString::fromStdString(FileNameFromPath(entry.toStdString())); });
      trap.Step(124, [&] { entry = entry.toUpper(); });
      trap.Step(126, [&] { entry.remove(QStringLiteral(".DB"), Qt::CaseSensitive); });
      trap.Step(128, [&] { list.Add(entry); });
    }
  }
}

}  // namespace qv::sources
