#include "sources/paradox_source.h"

#include <string>
#include <vector>

#include "shell/error_trap.h"
#include "sources/folder_scan.h"

namespace qv::sources {

QString ParadoxConnectionString(const shell::ConnectionFields& fields) {
  return ParadoxConnectionString(fields.paradoxFolder());
}

QString ParadoxConnectionString(const QString& folder) {
  return QStringLiteral(
             "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=") +
         folder + QStringLiteral(";Dbq=") + folder + QStringLiteral(";CollatingSequence=ASCII;");
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

QString ListedParadoxTable::path() const {
  return folder.endsWith(QLatin1Char('/')) ? folder + file : folder + QLatin1Char('/') + file;
}

QString ListedParadoxTable::providerName() const {
  const qsizetype dot = file.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? file : file.left(dot);
}

QString ListedParadoxTable::selectName() const {
  const QString base = providerName();
  return base.endsWith(QStringLiteral(".db"), Qt::CaseInsensitive) ? file : base;
}

QString SubfolderPrefix(const std::string& start, const std::string& path) {
  std::string relative = path.substr(start.size());
  while (!relative.empty() && relative.back() == '/') relative.pop_back();
  return QString::fromStdString(relative) + QLatin1Char('/');
}

std::vector<ListedParadoxTable> ScanParadoxTables(const QString& folder, const std::function<void()>& yield) {
  std::vector<ListedParadoxTable> out;
  if (folder.isEmpty()) return out;
  // The same collection the list filler walks: the start folder with one separator at its end,
  // then every subfolder the scan keeps.
  std::string start = folder.toStdString();
  if (start.back() != '/') start += '/';
  std::vector<std::string> folders{start};
  AddSubFolders(folders, true, yield);
  for (const std::string& path : folders) {
    for (const std::string& name : ListFiles(path, "*.db")) {
      if (name.front() == '~') continue;
      ListedParadoxTable table;
      table.file = QString::fromStdString(name);
      table.name = ParadoxTableName(table.file);
      table.folder = QString::fromStdString(path.size() > 1 ? path.substr(0, path.size() - 1) : path);
      table.in_start_folder = path == start;
      if (!table.in_start_folder) table.name = SubfolderPrefix(start, path) + table.name;
      out.push_back(std::move(table));
    }
  }
  return out;
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
      // A table of a subfolder is named with its folder, so that each entry names one file.
      if (path != folders.front())
        trap.Step(127, [&] { entry = SubfolderPrefix(folders.front(), path) + entry; });
      trap.Step(128, [&] { list.Add(entry); });
    }
  }
}

}  // namespace qv::sources
