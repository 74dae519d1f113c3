// quorvella-cli runs the window's operations: on the same corpus tables it must write the same
// tables as the operations driven the way the table page drives them (compared value by value,
// with the same field names and types), and its summary, error lines and exit status must say
// what the operations reported, also when some tables fail.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "../operations/test_support.h"
#include "engine/core/value_text.h"
#include "engine/jet/write/database_creator.h"
#include "operations/handlers.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"

namespace qv::cli {
namespace {

using ops::testing::CorpusFile;
using ops::testing::TestPage;

const QString kCli = QStringLiteral(QV_BINARY_DIR "/bin/quorvella-cli");

struct CliRun {
  int status = -1;
  QString out;
  QString err;
};

// `file_size_kib`, when set, is the largest file the program may write (its own saves fail past it).
CliRun Cli(const QStringList& arguments,
           const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment(),
           int file_size_kib = 0) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.setStandardInputFile(QProcess::nullDevice());
  if (file_size_kib > 0) {
    process.start(QStringLiteral("bash"),
                  QStringList{QStringLiteral("-c"),
                              QStringLiteral("ulimit -f %1; trap '' XFSZ; exec \"$@\"").arg(file_size_kib),
                              QStringLiteral("bash"), kCli} +
                      arguments);
  } else {
    process.start(kCli, arguments);
  }
  CliRun run;
  if (!process.waitForFinished(300000) || process.exitStatus() != QProcess::NormalExit) return run;
  run.status = process.exitCode();
  run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

// A table as the database access interface gives it: each field's name and ADO type, then every
// row's cells in the engines' text form.
struct Dump {
  std::vector<std::pair<std::string, int>> fields;
  std::vector<std::vector<std::string>> rows;
  bool operator==(const Dump&) const = default;
};

Dump Read(const std::string& connection_string, const QString& table) {
  sources::Connection cn;
  cn.CursorLocation = sources::kUseClient;
  cn.Open(connection_string);
  sources::Recordset rs;
  rs.Open(("SELECT * FROM `" + table + "`").toStdString(), cn);
  Dump dump;
  for (int j = 0; j < rs.FieldCount(); ++j)
    dump.fields.emplace_back(rs.Fields(j).name(), rs.Fields(j).Type());
  for (; !rs.Eof(); rs.MoveNext()) {
    std::vector<std::string> row;
    for (int j = 0; j < rs.FieldCount(); ++j)
      row.push_back(FormatValueText(rs.Fields(j).Value()).value_or("<NULL>"));
    dump.rows.push_back(row);
  }
  rs.Close();
  cn.Close();
  return dump;
}

QStringList UserTables(const std::string& connection_string) {
  sources::Connection cn;
  cn.Open(connection_string);
  auto rs = cn.OpenSchema(sources::kSchemaTables);
  QStringList names;
  for (; !rs->Eof(); rs->MoveNext())
    if (FormatValueText(rs->Fields("TABLE_TYPE").Value()) == "TABLE")
      names << QString::fromStdString(FormatValueText(rs->Fields("TABLE_NAME").Value()).value_or(""));
  names.sort(Qt::CaseInsensitive);
  return names;
}

QStringList ParadoxTables(const QString& folder) {
  QStringList names;
  for (const QString& file : QDir(folder).entryList({QStringLiteral("*.db")}, QDir::Files))
    names << file.left(file.size() - 3);
  names.sort(Qt::CaseInsensitive);
  return names;
}

void CopyFolderFiles(const QString& from, const QString& to) {
  QDir().mkpath(to);
  for (const QString& file : QDir(from).entryList(QDir::Files))
    ASSERT_TRUE(QFile::copy(QDir(from).filePath(file), QDir(to).filePath(file))) << file.toStdString();
}

TEST(CliTest, SendsTheSameTablesAsTheWindowBothWays) {
  QTemporaryDir work;
  const QString root = work.path();

  // Access to Paradox: a plain Jet 4 file, and an ACE file with a database password (given to
  // the command in a file, to the window in its box).
  struct Source {
    QString file;
    QString password;
  };
  const std::vector<Source> sources{
      {CorpusFile(QStringLiteral("access/jackcess/src/test/data/V2000/testV2000.mdb")), QString()},
      {CorpusFile(QStringLiteral("access/mdb-reader/test/password/data/V2010_with-password.accdb")),
       QStringLiteral("password")}};
  int n = 0;
  for (const Source& source : sources) {
    SCOPED_TRACE(source.file.toStdString());
    const QString in = root + QStringLiteral("/in%1").arg(++n);
    QDir().mkpath(in);
    const QString file = ops::testing::CopyInto(source.file, in);
    const std::string access =
        sources::AccessConnectionString(file, source.password, ops::testing::Fields()).toStdString();
    const QStringList tables = UserTables(access);
    ASSERT_FALSE(tables.isEmpty());

    const QString by_window = root + QStringLiteral("/window%1").arg(n);
    QDir().mkpath(by_window);
    TestPage page;
    page.fields.folder = by_window;
    page.fields.file = file;
    page.fields.password = source.password;
    TestPage::Fill(page.access, tables, tables);
    ops::SendToParadox(page.context, sources::DefaultObjects());
    ASSERT_TRUE(page.reports().empty());

    const QString by_cli = root + QStringLiteral("/cli%1/made/here").arg(n);  // made by the command
    const QString password_file = root + QStringLiteral("/password");
    QFile pw(password_file);
    ASSERT_TRUE(pw.open(QIODevice::WriteOnly | QIODevice::Truncate));
    pw.write(source.password.toUtf8() + "\n");
    pw.close();
    const CliRun run = Cli({QStringLiteral("to-paradox"), QStringLiteral("--password-file"), password_file,
                            file, by_cli, QStringLiteral("--all")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString() << run.out.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();

    ASSERT_EQ(ParadoxTables(by_cli), ParadoxTables(by_window));
    for (const QString& table : ParadoxTables(by_window)) {
      SCOPED_TRACE(table.toStdString());
      const Dump window = Read(ops::testing::ParadoxString(by_window), table);
      EXPECT_FALSE(window.fields.empty());
      EXPECT_EQ(Read(ops::testing::ParadoxString(by_cli), table), window);
    }
  }

  // Paradox to Access: every table of a folder of real Paradox tables (keyed, memos, money,
  // dates, code pages), into a new database the command creates and one made for the window.
  const QString folder = root + QStringLiteral("/paradox");
  CopyFolderFiles(CorpusFile(QStringLiteral("paradox/paradoxdriver/db")), folder);
  const QString window_db = root + QStringLiteral("/window.mdb");
  jet::CreateDatabase(QFile::encodeName(window_db).toStdString(), jet::DatabaseFormat::Jet4);
  TestPage page;
  page.fields.folder = folder;
  page.fields.file = window_db;
  sources::AddTablesToParadoxListbox(page.paradox, page.fields, page.windows);
  const QStringList listed = page.paradox.texts();
  ASSERT_GE(listed.size(), 8);
  TestPage::Fill(page.paradox, listed, listed);
  ops::SendToAccess(page.context, sources::DefaultObjects());
  ASSERT_TRUE(page.reports().empty());

  const QString cli_db = root + QStringLiteral("/cli.mdb");
  const CliRun run = Cli({QStringLiteral("to-access"), folder, cli_db, QStringLiteral("--all")});
  ASSERT_EQ(run.status, 0) << run.err.toStdString() << run.out.toStdString();
  for (const QString& table : listed)
    EXPECT_TRUE(run.out.contains(QStringLiteral("  %1: done\n").arg(table)));
  ASSERT_EQ(UserTables(ops::testing::AccessString(cli_db)),
            UserTables(ops::testing::AccessString(window_db)));
  for (const QString& table : listed) {
    SCOPED_TRACE(table.toStdString());
    const Dump window = Read(ops::testing::AccessString(window_db), table);
    EXPECT_FALSE(window.rows.empty());
    EXPECT_EQ(Read(ops::testing::AccessString(cli_db), table), window);
  }

  // The listing is the window's: the same names in the same order.
  const CliRun tables = Cli({QStringLiteral("tables"), folder});
  EXPECT_EQ(tables.status, 0);
  EXPECT_EQ(tables.out, listed.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

TEST(CliTest, ARunWhereSomeTablesFailSaysWhichWithTheirNumbersAndExitsOne) {
  QTemporaryDir work;
  const QString root = work.path();
  // A Paradox folder with two tables whose names cut to the same 8 characters, a good one, and a
  // file that only calls itself a table.
  const QString folder = root + QStringLiteral("/paradox");
  QDir().mkpath(folder);
  const QString contacts = CorpusFile(QStringLiteral("paradox/paradoxdriver/db/CONTACTS.DB"));
  ASSERT_TRUE(QFile::copy(contacts, folder + QStringLiteral("/CONTACTSA.DB")));
  ASSERT_TRUE(QFile::copy(contacts, folder + QStringLiteral("/CONTACTSB.DB")));
  ASSERT_TRUE(QFile::copy(CorpusFile(QStringLiteral("paradox/paradoxdriver/db/DECIMAL.DB")),
                          folder + QStringLiteral("/DECIMAL.DB")));
  QFile broken(folder + QStringLiteral("/BROKEN.DB"));
  ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
  broken.write(QByteArray(3000, '\x5a'));
  broken.close();

  // Into Access: the broken table fails (its select is reported), the rest go through, and a
  // name nobody has is not found.
  const QString db = root + QStringLiteral("/shop.accdb");
  CliRun run =
      Cli({QStringLiteral("to-access"), folder, db, QStringLiteral("CONTACTSA"), QStringLiteral("contactsb"),
           QStringLiteral("BROKEN"), QStringLiteral("DECIMAL"), QStringLiteral("NOSUCH")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.contains(QStringLiteral("  CONTACTSA: done\n"))) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains(QStringLiteral("  CONTACTSB: done\n"))) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains(QStringLiteral("  DECIMAL: done\n"))) << run.out.toStdString();
  EXPECT_TRUE(run.out.contains(QRegularExpression(QStringLiteral("  BROKEN: failed \\(error \\d+\\)\n"))))
      << run.out.toStdString();
  EXPECT_TRUE(run.out.contains(QStringLiteral("  NOSUCH: not found\n")));
  EXPECT_TRUE(
      run.out.endsWith(QStringLiteral("to-access: 5 tables: 3 done, 1 failed, 0 skipped, 1 not found\n")))
      << run.out.toStdString();
  EXPECT_TRUE(run.err.contains(QRegularExpression(QStringLiteral(
      "quorvella-cli: error \\d+: [^\n]+ \\[table BROKEN\\] \\[Form2.PushButton4_Click, step 142\\]\n"))))
      << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(
      QStringLiteral("quorvella-cli: error 3376: Table 'NOSUCH' does not exist in '%1'.\n").arg(folder)));
  EXPECT_EQ(
      UserTables(ops::testing::AccessString(db)),
      (QStringList{QStringLiteral("CONTACTSA"), QStringLiteral("CONTACTSB"), QStringLiteral("DECIMAL")}));

  // Back into Paradox: both long names cut to CONTACTS; the one handled second takes the next
  // free name, as in the window, and the summary says so. DECIMAL exists and is skipped under
  // --no-overwrite.
  run = Cli(
      {QStringLiteral("to-paradox"), QStringLiteral("--no-overwrite"), db, folder, QStringLiteral("--all")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.contains(QStringLiteral("  CONTACTSA -> CONTAC~1: done\n")) ||
              run.out.contains(QStringLiteral("  CONTACTSB -> CONTAC~1: done\n")))
      << run.out.toStdString();
  EXPECT_TRUE(run.out.contains(QStringLiteral("  DECIMAL: skipped (not overwritten)\n")))
      << run.out.toStdString();
  EXPECT_TRUE(
      run.out.endsWith(QStringLiteral("to-paradox: 3 tables: 2 done, 0 failed, 1 skipped, 0 not found\n")))
      << run.out.toStdString();
  EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/CONTAC~1.DB")).isFile());
  EXPECT_TRUE(QFileInfo(folder + QStringLiteral("/CONTACTS.DB")).isFile());

  // Delete and rename report the same way: a table that is not there does not count as done.
  run = Cli({QStringLiteral("delete"), folder, QStringLiteral("CONTACTS"), QStringLiteral("GONE")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.contains(QStringLiteral("  CONTACTS: done\n")));
  EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/CONTACTS.DB")));
  run = Cli({QStringLiteral("rename"), db, QStringLiteral("decimal"), QStringLiteral("Numbers")});
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_EQ(
      UserTables(ops::testing::AccessString(db)),
      (QStringList{QStringLiteral("CONTACTSA"), QStringLiteral("CONTACTSB"), QStringLiteral("Numbers")}));
  run = Cli({QStringLiteral("rename"), QStringLiteral("--no-overwrite"), db, QStringLiteral("Numbers"),
             QStringLiteral("contactsa")});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.contains(QStringLiteral("  Numbers: skipped (not overwritten)\n")))
      << run.out.toStdString();

  // The closing save fails (the file may not grow by the rows a large table adds): the table is
  // not counted as done, the summary says the database could not be saved, nothing is claimed.
  const QString big = root + QStringLiteral("/big");
  QDir().mkpath(big);
  for (const char* ext : {".DB", ".PX"})
    ASSERT_TRUE(
        QFile::copy(CorpusFile(QStringLiteral("paradox/paradoxdriver/areas/ZIPCODES") + QLatin1String(ext)),
                    big + QStringLiteral("/ZIPCODES") + QLatin1String(ext)));
  const int limit_kib = static_cast<int>(QFileInfo(db).size() / 1024 + 64);
  run = Cli({QStringLiteral("to-access"), big, db, QStringLiteral("ZIPCODES")},
            QProcessEnvironment::systemEnvironment(), limit_kib);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.contains(QStringLiteral("  ZIPCODES: failed (the database could not be saved)\n")))
      << run.out.toStdString() << run.err.toStdString();
  EXPECT_TRUE(run.err.contains(QStringLiteral("Tables written: 1 of 1, but the database could not be saved")))
      << run.err.toStdString();
  EXPECT_FALSE(UserTables(ops::testing::AccessString(db)).contains(QStringLiteral("ZIPCODES")));
  // The same for a deletion: its save needs a journal larger than 4 KiB, so the table stays in
  // the file and is not counted as deleted.
  run = Cli({QStringLiteral("delete"), db, QStringLiteral("Numbers")},
            QProcessEnvironment::systemEnvironment(), 4);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.contains(QStringLiteral("  Numbers: failed (nothing changed)\n")))
      << run.out.toStdString() << run.err.toStdString();
  EXPECT_TRUE(UserTables(ops::testing::AccessString(db)).contains(QStringLiteral("Numbers")));

  // A database the command cannot open: the listing's error with its number, nothing done.
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(QStringLiteral("QUORVELLA_PASSWORD"), QStringLiteral("not it"));
  run = Cli({QStringLiteral("tables"),
             CorpusFile(QStringLiteral("access/mdb-reader/test/password/data/V2000_with-password.mdb"))},
            environment);
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.isEmpty());
  EXPECT_TRUE(run.err.contains(QStringLiteral("error 3031: "))) << run.err.toStdString();
  environment.insert(QStringLiteral("QUORVELLA_PASSWORD"), QStringLiteral("password"));
  run = Cli({QStringLiteral("tables"), QStringLiteral("--json"),
             CorpusFile(QStringLiteral("access/mdb-reader/test/password/data/V2000_with-password.mdb"))},
            environment);
  EXPECT_EQ(run.status, 0) << run.err.toStdString();
  EXPECT_TRUE(run.out.startsWith(QStringLiteral("[\""))) << run.out.toStdString();

  // Wrong command lines: status 2, and a password is never taken from the command line.
  for (const QStringList& arguments :
       {QStringList{}, QStringList{QStringLiteral("move")},
        QStringList{QStringLiteral("to-access"), folder, db},
        QStringList{QStringLiteral("to-access"), folder, db, QStringLiteral("--all"), QStringLiteral("X")},
        QStringList{QStringLiteral("tables"), QStringLiteral("--password=secret"), db},
        QStringList{QStringLiteral("tables"), QStringLiteral("--json=yes"), db},
        QStringList{QStringLiteral("tables"), db, QStringLiteral("--password-file")},
        QStringList{QStringLiteral("tables"), QStringLiteral("-x"), db},
        QStringList{QStringLiteral("to-paradox"), QStringLiteral("--overwrite"),
                    QStringLiteral("--no-overwrite"), db, folder, QStringLiteral("--all")},
        QStringList{QStringLiteral("delete"), QStringLiteral("--overwrite"), db, QStringLiteral("X")}}) {
    run = Cli(arguments);
    EXPECT_EQ(run.status, 2) << arguments.join(QLatin1Char(' ')).toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("--help"))) << run.err.toStdString();
  }
  for (const QString& command :
       {QStringLiteral("tables"), QStringLiteral("to-paradox"), QStringLiteral("to-access"),
        QStringLiteral("delete"), QStringLiteral("rename")}) {
    run = Cli({command, QStringLiteral("--help")});
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: quorvella-cli ") + command))
        << run.out.toStdString();
  }
}

}  // namespace
}  // namespace qv::cli
