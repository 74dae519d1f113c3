#include "operations/source_seam.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "shell/error_trap.h"
#include "shell/files.h"

namespace qv::ops::seam {

QString AccessConnectionString(const QString& file, const QString& password) {
  const bool ace = file.right(5).toLower() == QStringLiteral("accdb");
  return (ace ? QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=")
              : QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=")) +
         file + QStringLiteral(";JET OLEDB:Database Password=") + password;
}

QString ParadoxConnectionString(const QString& folder) {
  return QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=") + folder +
         QStringLiteral(";Dbq=") + folder + QStringLiteral(";CollatingSequence=ASCII;");
}

void AddTablesToParadoxListbox(shell::WindowSystem& windows, shell::TableList& list, const QString& folder) {
  shell::ErrorTrap trap(windows, QStringLiteral("Paradox.AddTablesToParadoxListbox"));
  trap.Step(100, [&] { list.Clear(); });
  if (folder.isEmpty()) return;
  QStringList folders{folder};
  // Breadth first, subfolders in name order; links to folders are not followed.
  trap.Step(108, [&] {
    for (qsizetype i = 0; i < folders.size(); ++i) {
      windows.Yield();
      const QFileInfoList subs =
          QDir(folders[i]).entryInfoList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
      for (const QFileInfo& sub : subs)
        if (!sub.isSymLink()) folders << sub.filePath();
    }
  });
  for (const QString& path : folders) {
    const QFileInfoList files = QDir(path).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& file : files) {
      const QString name = file.fileName();
      if (!name.endsWith(QStringLiteral(".db"), Qt::CaseInsensitive) || name.startsWith(QLatin1Char('~'))) continue;
      trap.Step(128, [&] { list.Add(name.toUpper().remove(QStringLiteral(".DB"))); });
    }
  }
}

bool AccessTableExists(sources::DatabaseObjects& objects, const QString& file, const QString& password,
                       const QString& name) {
  bool found = false;
  auto connection = objects.CreateConnection();
  if (!shell::FileExists(file)) return false;
  connection->Open(AccessConnectionString(file, password).toStdString());
  auto schema = connection->OpenSchema(sources::kSchemaTables);
  const QString wanted = name.toUpper();
  while (!schema->Eof()) {
    const Value& type = schema->Fields("TABLE_TYPE").Value();
    const Value& table = schema->Fields("TABLE_NAME").Value();
    if (std::holds_alternative<std::string>(type) && std::get<std::string>(type) == "TABLE" &&
        std::holds_alternative<std::string>(table) &&
        QString::fromStdString(std::get<std::string>(table)).toUpper() == wanted)
      found = true;
    schema->MoveNext();
  }
  schema->Close();
  connection->Close();
  return found;
}

}  // namespace qv::ops::seam
