#include "sources/access_source.h"

#include "engine/core/error.h"
#include "shell/error_trap.h"
#include "shell/failure.h"
#include "shell/files.h"

namespace qv::sources {
namespace {

QString Text(const qv::Value& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return QString::fromStdString(*s);
  return {};
}

}  // namespace

QString AccessConnectionString(const QString& file, const QString& password,
                               const shell::ConnectionFields& fields) {
  QString path = file;
  QString secret = password;
  if (file.isEmpty()) {
    path = fields.accessFile();
    secret = fields.accessPassword();
  }
  // The code page of Access 97 text, when the setting names one, goes before the password,
  // which always comes last.
  const QString code_page = fields.accessCodePage().trimmed();
  const QString extra = code_page.isEmpty() ? QString() : QStringLiteral(";Code Page=") + code_page;
  if (path.right(5).toLower() == QStringLiteral("accdb"))
    return QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=") + path + extra +
           QStringLiteral(";JET OLEDB:Database Password=") + secret;
  return QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=") + path + extra +
         QStringLiteral(";JET OLEDB:Database Password=") + secret;
}

std::unique_ptr<Connection> MakeConnection(DatabaseObjects& objects) {
  auto cn = objects.CreateConnection();
  if (!cn)
    throw Error(errc::kCannotCreateObject, "ActiveX component can't create object 'ADODB.Connection'.");
  return cn;
}

std::unique_ptr<Recordset> MakeRecordset(DatabaseObjects& objects) {
  auto rs = objects.CreateRecordset();
  if (!rs) throw Error(errc::kCannotCreateObject, "ActiveX component can't create object 'ADODB.RecordSet'.");
  return rs;
}

std::optional<QStringList> GetAccessTables(const QString& file, const shell::ConnectionFields& fields,
                                           shell::WindowSystem& windows, DatabaseObjects& objects) {
  auto cn = MakeConnection(objects);
  auto unused =
      MakeRecordset(objects);  // made as the listing always made it; the schema comes from the connection
  try {
    if (!shell::FileExists(file)) return std::nullopt;
    cn->Open(AccessConnectionString(QString(), QString(), fields).toStdString());
    auto rs = cn->OpenSchema(kSchemaTables);
    QStringList names;
    while (!rs->Eof()) {
      if (Text(rs->Fields("TABLE_TYPE").Value()) == QStringLiteral("TABLE"))
        names.append(Text(rs->Fields("TABLE_NAME").Value()));
      rs->MoveNext();
    }
    rs->Close();
    cn->Close();
    return names;
  } catch (...) {
    const shell::Failure f = shell::CurrentFailure();
    shell::ShowOk(windows, f.description + QStringLiteral(" (Error Number = ") + QString::number(f.number) +
                               QStringLiteral(")"));
    return std::nullopt;
  }
}

void AddTablesToAccessListbox(shell::TableList& list, const QString& file,
                              const shell::ConnectionFields& fields, shell::WindowSystem& windows,
                              DatabaseObjects& objects) {
  shell::ErrorTrap trap(windows, QString::fromLatin1(kAccessListLocation));
  std::optional<QStringList> tables;
  trap.Step(100, [&] { list.Clear(); });
  trap.Step(102, [&] { tables = GetAccessTables(file, fields, windows, objects); });
  if (trap.Test(104, [&] { return !tables.has_value(); })) {
    trap.Step(116, [&] { shell::ShowOk(windows, QStringLiteral("Unable to access the database")); });
  } else {
    trap.Step(106, [&] { list.Clear(); });
    for (const QString& name : *tables) {
      trap.Step(110, [&] { windows.Yield(); });
      trap.Step(112, [&] { list.Add(name); });
    }
  }
  trap.Step(118, [&] { tables.reset(); });
}

bool AccessTableExists(const QString& file, const QString& password, const QString& name,
                       const shell::ConnectionFields& fields, DatabaseObjects& objects) {
  auto cn = MakeConnection(objects);
  auto unused = MakeRecordset(objects);
  bool found = false;
  if (shell::FileExists(file)) {
    cn->Open(AccessConnectionString(file, password, fields).toStdString());
    auto rs = cn->OpenSchema(kSchemaTables);
    const QString wanted = name.toUpper();
    while (!rs->Eof()) {
      if (Text(rs->Fields("TABLE_TYPE").Value()) == QStringLiteral("TABLE") &&
          Text(rs->Fields("TABLE_NAME").Value()).toUpper() == wanted)
        found = true;
      rs->MoveNext();
    }
    rs->Close();
    cn->Close();
  }
  return found;
}

}  // namespace qv::sources
