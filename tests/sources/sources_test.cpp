// The Access and Paradox sources and the connection page's actions, driven with the scripted
// window system, memory lists and real files (corpus files read in place, folders made here).
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>

#include "shell/memory_table_list.h"
#include "sources/access_source.h"
#include "sources/connection_actions.h"
#include "sources/paradox_source.h"
#include "support/memory_page.h"
#include "support/scripted_window_system.h"

using namespace qv;
using namespace qv::sources;

namespace {

const QString kAccess = QStringLiteral(QV_SHARED_DIR "/corpus/access/");

struct Fields : shell::ConnectionFields {
  QString folder, file, password, accessPage;
  QString paradoxFolder() const override { return folder; }
  QString accessFile() const override { return file; }
  QString accessPassword() const override { return password; }
  QString accessCodePage() const override { return accessPage; }
};

struct Flow : shell::PageFlow {
  shell::MemoryTableList access, paradox;
  shell::MemoryProgress progress;
  shell::MemoryPointer pointer;
  int uses = 0;
  bool tableShown = false, connectionHidden = false;
  shell::TablePageParts UseTablePage() override {
    ++uses;
    return {access, paradox, progress, pointer};
  }
  void ShowTablePage() override { tableShown = true; }
  void HideTablePage() override { tableShown = false; }
  void ShowConnectionPage() override { connectionHidden = false; }
  void HideConnectionPage() override { connectionHidden = true; }
};

// A factory that makes nothing, as when the database layer is missing.
struct NoObjects : DatabaseObjects {
  std::unique_ptr<Connection> CreateConnection() override { return nullptr; }
  std::unique_ptr<Recordset> CreateRecordset() override { return nullptr; }
};
struct ThrowingObjects : DatabaseObjects {
  std::unique_ptr<Connection> CreateConnection() override { throw std::runtime_error("no layer"); }
};

void Touch(const QString& path) {
  QDir().mkpath(QFileInfo(path).path());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("x");
}

QStringList MdbTables(const QString& file) {
  QStringList out;
  FILE* p = popen(("mdb-tables -1 '" + file.toStdString() + "'").c_str(), "r");
  char line[1024];
  while (p && fgets(line, sizeof line, p)) out << QString::fromUtf8(line).trimmed();
  if (p) pclose(p);
  out.removeAll(QString());
  return out;
}

QStringList Texts(const std::vector<shell::MessageRequest>& messages) {
  QStringList out;
  for (auto& m : messages) out << m.text;
  return out;
}

QStringList Sorted(QStringList l) {
  std::sort(l.begin(), l.end(),
            [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  return l;
}

}  // namespace

TEST(ConnectionStrings, AsTheProgramWritesThem) {
  Fields f;
  f.file = QStringLiteral("/data/Box.mdb");
  f.password = QStringLiteral("pw;x");
  EXPECT_EQ(AccessConnectionString("/d/Shop.ACCDB", "", f),
            "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.ACCDB;JET OLEDB:Database Password=");
  EXPECT_EQ(AccessConnectionString("/d/shop.mdb", "s", f),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/d/shop.mdb;JET OLEDB:Database Password=s");
  EXPECT_TRUE(AccessConnectionString("/d/shop", "", f).startsWith("PROVIDER=Microsoft.Jet.OLEDB.4.0;"));
  EXPECT_TRUE(
      AccessConnectionString("/d/shop.accdb ", "", f).startsWith("PROVIDER=Microsoft.Jet.OLEDB.4.0;"));
  // An empty file takes file and password from the page, whatever password was passed.
  EXPECT_EQ(AccessConnectionString("", "ignored", f),
            "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/data/Box.mdb;JET OLEDB:Database Password=pw;x");
  // The code page of Access 97 text, when set, goes before the password; the reader then takes
  // the text of charsetGBK.mdb (whose header says 1252) as the Chinese it is.
  f.accessPage = QStringLiteral("936");
  EXPECT_EQ(
      AccessConnectionString("/d/shop.mdb", "s", f),
      "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/d/shop.mdb;Code Page=936;JET OLEDB:Database Password=s");
  QTemporaryDir dir;
  const QString gbk = dir.filePath("gbk.mdb");
  ASSERT_TRUE(QFile::copy(kAccess + "ucanaccess/src/test/resources/testdbs/charsetGBK.mdb", gbk));
  for (const QString& page : {QString(), QStringLiteral("936")}) {
    f.accessPage = page;
    Connection cn;
    cn.Open(AccessConnectionString(gbk, "", f).toStdString());
    auto schema = cn.OpenSchema(kSchemaTables);
    std::string table;
    for (; !schema->Eof(); schema->MoveNext())
      if (std::get<std::string>(schema->Fields("TABLE_TYPE").Value()) == "TABLE")
        table = std::get<std::string>(schema->Fields("TABLE_NAME").Value());
    Recordset rs;
    rs.Open("SELECT * FROM [" + table + "]", cn);
    std::string text;
    for (int i = 0; i < rs.FieldCount(); ++i)
      if (const auto* s = std::get_if<std::string>(&rs.Fields(i).Value())) text += *s;
    const bool chinese =
        QString::fromStdString(text).contains(QRegularExpression(QStringLiteral("[\\x{4e00}-\\x{9fff}]")));
    EXPECT_EQ(chinese, !page.isEmpty()) << text;
  }
  f.accessPage.clear();
  f.folder = QStringLiteral("/data/px/");
  EXPECT_EQ(ParadoxConnectionString(f),
            "Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox "
            "5.X;DefaultDir=/data/px/;Dbq=/data/px/;"
            "CollatingSequence=ASCII;");
}

TEST(ParadoxSource, FolderCheckAndListing) {
  QTemporaryDir dir;
  const QString root = dir.path();
  Touch(root + "/orders.db");
  Touch(root + "/Orders.DB.db");
  Touch(root + "/a.dbx");
  Touch(root + "/~temp.db");
  Touch(root + "/.hidden.db");
  Touch(root + "/one/two/deep.db");
  Touch(root + "/one/orders.DB");  // the same name in a subfolder is listed again
  Fields f;
  EXPECT_FALSE(ParadoxFolderHasTables(f));
  f.folder = root;
  EXPECT_TRUE(ParadoxFolderHasTables(f));
  shell::ScriptedWindowSystem windows;
  shell::MemoryTableList list;
  list.Add(QStringLiteral("STALE"));
  AddTablesToParadoxListbox(list, f, windows);
  // Tables of subfolders carry their folder, so each entry names one file.
  EXPECT_EQ(list.texts(), Sorted({"ORDERS", "ORDERS", ".HIDDEN", "one/two/DEEP", "one/ORDERS"}));
  EXPECT_TRUE(windows.messages().empty());
  EXPECT_GT(windows.yieldCount(), 0);
  f.folder = root + "/";  // a final separator finds the same tables
  AddTablesToParadoxListbox(list, f, windows);
  EXPECT_EQ(list.count(), 5);

  QTemporaryDir onlyTemp;
  Touch(onlyTemp.path() + "/~temp.db");
  f.folder = onlyTemp.path();
  EXPECT_TRUE(ParadoxFolderHasTables(f));  // "~" files pass the check ...
  AddTablesToParadoxListbox(list, f, windows);
  EXPECT_EQ(list.count(), 0);  // ... but are no tables

  // A folder that is not there: the check is false; the filler reports step 108, list empty.
  f.folder = root + "/nothere";
  EXPECT_FALSE(ParadoxFolderHasTables(f));
  AddTablesToParadoxListbox(list, f, windows);
  EXPECT_EQ(list.count(), 0);
  ASSERT_EQ(windows.messages().size(), 1u);
  EXPECT_TRUE(windows.messages()[0].text.contains("Paradox.AddTablesToParadoxListbox at line 108"));
  EXPECT_EQ(windows.messages()[0].title, "Application Error");
  // An empty folder box: nothing, no message.
  windows.Clear();
  f.folder.clear();
  AddTablesToParadoxListbox(list, f, windows);
  EXPECT_EQ(list.count(), 0);
  EXPECT_TRUE(windows.messages().empty());
}

TEST(AccessSource, ListsUserTablesLikeMdbtools) {
  Fields f;
  f.file = kAccess + "jackcess/src/test/data/V2000/testV2000.mdb";
  shell::ScriptedWindowSystem windows;
  shell::MemoryTableList list;
  AddTablesToAccessListbox(list, f.file, f, windows, DefaultObjects());
  EXPECT_EQ(list.texts(), Sorted(MdbTables(f.file)));
  EXPECT_TRUE(windows.messages().empty());
  EXPECT_EQ(windows.yieldCount(), list.count());
  EXPECT_TRUE(AccessTableExists(f.file, "", "TABLE1", f, DefaultObjects()));
  EXPECT_FALSE(AccessTableExists(f.file, "", "MSysObjects", f, DefaultObjects()));  // a system table
  EXPECT_FALSE(AccessTableExists(f.file + ".gone", "", "TABLE1", f, DefaultObjects()));

  // Only system tables: an empty list and no message.
  f.file = kAccess + "jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb";
  AddTablesToAccessListbox(list, f.file, f, windows, DefaultObjects());
  EXPECT_EQ(list.count(), 0);
  EXPECT_TRUE(windows.messages().empty());
}

TEST(AccessSource, FailuresShowTheirMessages) {
  Fields f;
  shell::ScriptedWindowSystem windows;
  shell::MemoryTableList list;
  list.Add(QStringLiteral("OLD"));
  // Wrong password: the error with its number, then "Unable to access the database".
  f.file = kAccess + "mdb-reader/test/password/data/V2003_with-password.mdb";
  f.password = QStringLiteral("nope");
  AddTablesToAccessListbox(list, f.file, f, windows, DefaultObjects());
  QStringList texts = Texts(windows.messages());
  ASSERT_EQ(texts.size(), 2);
  EXPECT_TRUE(texts[0].endsWith(" (Error Number = 3031)")) << texts[0].toStdString();
  EXPECT_EQ(texts[1], "Unable to access the database");
  EXPECT_EQ(windows.messages()[0].icon, shell::Icon::kNone);
  EXPECT_EQ(list.count(), 0);
  // The right password lists the tables.
  windows.Clear();
  f.password = QStringLiteral("password");
  AddTablesToAccessListbox(list, f.file, f, windows, DefaultObjects());
  EXPECT_GT(list.count(), 0);
  EXPECT_TRUE(windows.messages().empty());
  // A missing file: only "Unable to access the database".
  f.file = QStringLiteral("/nonexistent/shop.mdb");
  AddTablesToAccessListbox(list, f.file, f, windows, DefaultObjects());
  EXPECT_EQ(Texts(windows.messages()), QStringList{"Unable to access the database"});
  // A file that is no database: its error, then the same.
  windows.Clear();
  QTemporaryDir dir;
  f.file = dir.path() + "/fake.mdb";
  Touch(f.file);
  AddTablesToAccessListbox(list, f.file, f, windows, DefaultObjects());
  texts = Texts(windows.messages());
  ASSERT_EQ(texts.size(), 2);
  EXPECT_TRUE(texts[0].contains("(Error Number = 3")) << texts[0].toStdString();
  // Objects that cannot be made: the filler's own error report, at the listing step.
  windows.Clear();
  NoObjects none;
  AddTablesToAccessListbox(list, f.file, f, windows, none);
  texts = Texts(windows.messages());
  ASSERT_GE(texts.size(), 1);
  EXPECT_TRUE(texts[0].contains("Access.AddTablesToAccessListbox at line 102"));
}

TEST(ConnectionActions, NextAndTestConnection) {
  QTemporaryDir dir;
  Touch(dir.path() + "/px/orders.db");
  Fields f;
  f.folder = dir.path() + "/px";
  f.file = kAccess + "jackcess/src/test/data/V2000/testV2000.mdb";
  shell::ScriptedWindowSystem windows;
  shell::MemoryPointer pointer;
  Flow flow;
  shell::ConnectionPageContext page{windows, f, pointer, flow};
  ConnectionActions actions;

  actions.TestConnection(page);
  EXPECT_EQ(Texts(windows.messages()), QStringList{"Connection successful."});
  EXPECT_EQ(pointer.pointer(), shell::kPointerDefault);

  windows.Clear();
  actions.Next(page);
  EXPECT_TRUE(flow.tableShown);
  EXPECT_TRUE(flow.connectionHidden);
  EXPECT_EQ(flow.paradox.texts(), QStringList{"ORDERS"});
  EXPECT_EQ(flow.access.count(), MdbTables(f.file).size());
  EXPECT_TRUE(windows.messages().empty());

  // A folder without tables: "Could not connect.", but "Next >" takes it (tables can be sent
  // into it).
  Flow flow2;
  shell::ConnectionPageContext page2{windows, f, pointer, flow2};
  f.folder = dir.path();
  actions.TestConnection(page2);
  EXPECT_EQ(Texts(windows.messages()), QStringList{"Could not connect."});
  windows.Clear();
  actions.Next(page2);
  EXPECT_TRUE(flow2.tableShown);
  EXPECT_TRUE(windows.messages().empty());
  EXPECT_EQ(pointer.pointer(), shell::kPointerDefault);
  // A missing Access file: the offer to create it, declined.
  Flow flow3;
  shell::ConnectionPageContext page3{windows, f, pointer, flow3};
  f.folder = dir.path() + "/px";
  f.file = dir.path() + "/missing.mdb";
  actions.Next(page3);
  EXPECT_EQ(flow3.uses, 0);
  EXPECT_EQ(Texts(windows.messages()), QStringList{"The Access database '" + f.file +
                                                   "' does not exist. Create a new, empty database there?"});
}

TEST(ConnectionActions, CheckAccessInstalledSpeaksOnlyWhenNoObjectResults) {
  shell::ScriptedWindowSystem windows;
  CheckAccessInstalled(windows, DefaultObjects());
  EXPECT_TRUE(windows.messages().empty());
  NoObjects none;
  CheckAccessInstalled(windows, none);
  ThrowingObjects throwing;
  CheckAccessInstalled(windows, throwing);
  const auto messages = windows.messages();
  ASSERT_EQ(messages.size(), 2u);
  for (const auto& m : messages) {
    EXPECT_EQ(m.text, QString::fromLatin1(kAccessNotInstalled));
    EXPECT_EQ(m.buttons, shell::Buttons::kOk);
    EXPECT_EQ(m.icon, shell::Icon::kNone);
  }
}
