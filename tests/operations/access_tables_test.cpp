// The Access side: "Send Table/s To Access", deletion and renaming of Access tables, on copies of
// real Access files and Paradox tables written by the Paradox engine.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <csignal>

#include "engine/core/value_text.h"
#include "operations/handlers.h"
#include "operations/table_replacement.h"
#include "shell/app_title.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"
#include "test_support.h"

namespace qv::ops {
namespace {

using testing::TestPage;

const QString kEmptyMdb =
    QStringLiteral("access/jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb");

class AccessTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page.fields.folder = paradox_dir.path();
    page.fields.file = testing::CopyInto(testing::CorpusFile(kEmptyMdb), access_dir.path());
  }
  // Rows of an Access table as text cells ("<NULL>" for NULL), through the interface.
  std::vector<std::vector<std::string>> AccessCells(const QString& table) {
    sources::Connection cn;
    cn.Open(testing::AccessString(page.fields.file));
    sources::Recordset rs;
    rs.Open(("SELECT * FROM `" + table + "`").toStdString(), cn);
    std::vector<std::vector<std::string>> out;
    for (; !rs.Eof(); rs.MoveNext()) {
      std::vector<std::string> row;
      for (int j = 0; j < rs.FieldCount(); ++j)
        row.push_back(FormatValueText(rs.Fields(j).Value()).value_or("<NULL>"));
      out.push_back(row);
    }
    return out;
  }
  bool AccessHas(const QString& table) {
    return sources::AccessTableExists(page.fields.file, QString(), table, page.fields, objects);
  }

  QTemporaryDir access_dir;
  QTemporaryDir paradox_dir;
  TestPage page;
  sources::DatabaseObjects& objects = sources::DefaultObjects();
};

const std::vector<Column> kPeople{
    {"ID", ColumnType::Int32}, {"NAME", ColumnType::Text, 40}, {"NOTES", ColumnType::Memo}};

TEST_F(AccessTablesTest, SendWithoutCurrentItemOnlyAsksForASelection) {
  TestPage::Fill(page.paradox, {"A", "B"}, {});
  SendToAccess(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"Please select a table to send."});
  EXPECT_EQ(page.messageTitles(), QStringList{shell::AppTitle()});
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
  page.windows.Clear();
  page.paradox.SetCurrentRow(0);  // a current item without a selection: nothing is sent, and said so
  SendToAccess(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"No table was selected; nothing was sent."});
}

TEST_F(AccessTablesTest, AFailedCreateIsReportedWithItsStatementAndItsRowsAreNotTried) {
  testing::WriteParadoxTable(paradox_dir.path(), "BAD", {{"a`b", ColumnType::Int32}}, {{std::int64_t{1}}});
  TestPage::Fill(page.paradox, {"BAD"}, {"BAD"});
  SendToAccess(page.context, objects);
  const auto reports = page.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].location, "Form2.PushButton4_Click");
  EXPECT_EQ(reports[0].label, 204);
  // The field name holds a backquote, so it stands in brackets and stays one name.
  EXPECT_EQ(reports[0].statement, "CREATE TABLE `BAD`([a`b] INT);");
  EXPECT_EQ(page.access.count(), 0);
  EXPECT_TRUE(page.progress.history().empty());
}

// A table that fails does not break the ones after it: each starts with a clean record set and
// statement text, and the end names what was not sent.
TEST_F(AccessTablesTest, OneFailedTableDoesNotBreakTheNextOnes) {
  testing::WriteParadoxTable(paradox_dir.path(), "BAD", {{"a`b", ColumnType::Int32}}, {{std::int64_t{1}}});
  testing::WriteParadoxTable(paradox_dir.path(), "GOOD", kPeople,
                             {{std::int64_t{1}, std::string("a"), Value{}}});
  TestPage::Fill(page.paradox, {"AMISSING", "BAD", "GOOD"}, {"AMISSING", "BAD", "GOOD"});
  SendToAccess(page.context, objects);
  const auto reports = page.reports();
  ASSERT_EQ(reports.size(), 2u);
  EXPECT_EQ(reports[0].label, 204);
  EXPECT_EQ(reports[1].label, 142);
  EXPECT_EQ(reports[1].statement, "");  // not the statement of BAD
  EXPECT_EQ(page.access.texts(), QStringList{"GOOD"});
  EXPECT_EQ(AccessCells("GOOD").size(), 1u);
  const QStringList end = page.messageTexts().back().split('\n');
  ASSERT_EQ(end.size(), 3);
  EXPECT_EQ(end[0], "Tables sent: 1 of 3.");
  EXPECT_TRUE(end[1].startsWith("BAD: not sent: ")) << end[1].toStdString();
  EXPECT_TRUE(end[2].startsWith("AMISSING: not sent: ")) << end[2].toStdString();
}

// 200 rows the database refuses (dates before the year 100) give one report and one question;
// "Skip Rows" copies the others and the end counts the rows left out; "Skip Table" and "Stop"
// keep the table that was to be overwritten exactly as it was, with nothing temporary left.
TEST_F(AccessTablesTest, FailingRowsAreReportedOnceAndTheUserChooses) {
  const std::vector<Column> columns{{"ID", ColumnType::Int32}, {"WHEN", ColumnType::DateTime}};
  std::vector<Row> rows;
  for (int k = 0; k < 203; ++k) {
    Timestamp t;
    t.year = k < 3 ? 2001 : 50;
    t.month = 1;
    t.day = 2;
    rows.push_back({std::int64_t{k}, t});
  }
  testing::WriteParadoxTable(paradox_dir.path(), "DATES", columns, rows);
  testing::WriteParadoxTable(paradox_dir.path(), "OTHER", kPeople,
                             {{std::int64_t{1}, std::string("a"), Value{}}});
  TestPage::Fill(page.paradox, {"DATES", "OTHER"}, {"DATES", "OTHER"});
  page.windows.QueueReply(shell::Reply::kSkipRows);
  SendToAccess(page.context, objects);
  ASSERT_EQ(page.reports().size(), 1u);
  EXPECT_EQ(page.reports()[0].label, 246);
  const auto questions = page.windows.messages();
  int asked = 0;
  for (const auto& m : questions) asked += m.buttons == shell::Buttons::kSkipRowsSkipTableStop ? 1 : 0;
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(AccessCells("DATES").size(), 3u);
  EXPECT_EQ(page.messageTexts().back(),
            "Tables sent: 2 of 2.\nDATES: incomplete, sent without 200 rows that could not be copied.");

  for (const shell::Reply choice : {shell::Reply::kSkipTable, shell::Reply::kStop}) {
    page.windows.Clear();
    TestPage::Fill(page.access, {"DATES", "OTHER"}, {});
    page.windows.QueueReply(shell::Reply::kYes);  // overwrite OTHER (the lower entry goes first)
    page.windows.QueueReply(shell::Reply::kYes);  // overwrite DATES
    page.windows.QueueReply(choice);
    TestPage::Fill(page.paradox, {"DATES", "OTHER"}, {"DATES", "OTHER"});
    // OTHER goes first and is replaced; then DATES fails at its first bad row.
    SendToAccess(page.context, objects);
    EXPECT_EQ(AccessCells("DATES").size(), 3u)
        << page.messageTexts().join("|").toStdString();  // the table from before
    // Every object of the catalog, hidden ones too: nothing temporary is left.
    sources::Connection cn;
    cn.Open(testing::AccessString(page.fields.file));
    const QStringList left = AccessTableNames(cn);
    EXPECT_EQ(left.filter("~").size(), 0) << left.join(",").toStdString();
    EXPECT_TRUE(page.messageTexts().back().startsWith("Tables sent: 1 of 2.\nDATES: not sent: "))
        << page.messageTexts().back().toStdString();
  }
}

TEST_F(AccessTablesTest, ASelectThatFailsIsReportedAndTheNextTableFollows) {
  TestPage::Fill(page.paradox, {"MISSING"}, {"MISSING"});
  SendToAccess(page.context, objects);
  const auto reports = page.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].label, 142);
  EXPECT_EQ(reports[0].statement, "");  // no statement built yet
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
}

TEST_F(AccessTablesTest, FourRowsMoveTheBarAndEveryValueArrives) {
  testing::WriteParadoxTable(paradox_dir.path(), "PEOPLE", kPeople,
                             {{Value{}, std::string("O'Brien"), std::string("it's 'quoted'")},
                              {std::int64_t{2}, std::string(), Value{}},
                              {std::int64_t{3}, std::string("x"), Value{}},
                              {std::int64_t{4}, Value{}, std::string("last")}});
  testing::WriteParadoxTable(paradox_dir.path(), "EMPTY", kPeople, {});
  TestPage::Fill(page.paradox, {"EMPTY", "PEOPLE"}, {"EMPTY", "PEOPLE"});
  SendToAccess(page.context, objects);
  EXPECT_TRUE(page.reports().empty()) << page.reports()[0].description.toStdString();
  EXPECT_EQ(page.messageTexts(), QStringList{"Done."});
  EXPECT_EQ(page.progress.history(), (std::vector<int>{25, 50, 75, 100, 0, 0}));
  EXPECT_EQ(page.access.texts(), (QStringList{"EMPTY", "PEOPLE"}));
  using Cells = std::vector<std::vector<std::string>>;
  EXPECT_EQ(AccessCells("PEOPLE"), (Cells{{"<NULL>", "O'Brien", "it's 'quoted'"},
                                          {"2", "<NULL>", "<NULL>"},
                                          {"3", "x", "<NULL>"},
                                          {"4", "<NULL>", "last"}}));
  EXPECT_TRUE(AccessCells("EMPTY").empty());
}

// The list names the file Orders.DB.db ORDERS (every ".DB" removed); the select must still open
// that file, not look for Orders.DB.
TEST_F(AccessTablesTest, ATableFileNamedWithTwoDbEndingsIsSent) {
  testing::WriteParadoxTable(paradox_dir.path(), "ORDERS", kPeople,
                             {{std::int64_t{7}, std::string("a"), Value{}}});
  ASSERT_TRUE(QFile::rename(QDir(paradox_dir.path()).filePath("ORDERS.DB"),
                            QDir(paradox_dir.path()).filePath("Orders.DB.db")));
  sources::AddTablesToParadoxListbox(page.paradox, page.fields, page.windows);
  ASSERT_EQ(page.paradox.texts(), QStringList{"ORDERS"});
  page.paradox.SetSelected(0, true);
  page.paradox.SetCurrentRow(0);
  SendToAccess(page.context, objects);
  EXPECT_TRUE(page.reports().empty()) << page.reports()[0].description.toStdString();
  EXPECT_EQ(page.access.texts(), QStringList{"ORDERS"});
  EXPECT_EQ(AccessCells("ORDERS"), (std::vector<std::vector<std::string>>{{"7", "a", "<NULL>"}}));
}

// Tables whose names are in other scripts (a Paradox table's name is its file name, which may
// hold any character) are sent under those names (as the list shows them: in capitals), and one
// replaces an Access table whose name differs from it only in the case of a non-ASCII letter.
TEST_F(AccessTablesTest, TablesNamedInOtherScriptsAreSent) {
  {
    sources::Connection cn;
    cn.Open(testing::AccessString(page.fields.file));
    cn.Execute(
        "CREATE TABLE [V\xc3\xbd"
        "daje] (a LONG)");
  }
  const QStringList names{QStringLiteral("V\u00fddaje"), QStringLiteral("\u0916\u0930\u094d\u091a"),
                          QStringLiteral("\u30ab\u30ca")};
  for (const QString& name : names)
    testing::WriteParadoxTable(paradox_dir.path(), name.toStdString(), kPeople,
                               {{std::int64_t{5}, std::string("x"), Value{}}});
  sources::AddTablesToParadoxListbox(page.paradox, page.fields, page.windows);
  const QStringList listed{QStringLiteral("V\u00ddDAJE"), QStringLiteral("\u0916\u0930\u094d\u091a"),
                           QStringLiteral("\u30ab\u30ca")};
  ASSERT_EQ(page.paradox.texts(), listed);
  for (int i = 0; i < page.paradox.count(); ++i) page.paradox.SetSelected(i, true);
  page.paradox.SetCurrentRow(0);
  TestPage::Fill(page.access, {QStringLiteral("V\u00fddaje")}, {});
  page.windows.QueueReply(shell::Reply::kYes);
  SendToAccess(page.context, objects);
  ASSERT_TRUE(page.reports().empty()) << page.reports()[0].description.toStdString();
  EXPECT_EQ(page.messageTexts().front(), QStringLiteral("Would you like to overwrite V\u00ddDAJE?"));
  EXPECT_EQ(page.access.texts(), listed);
  for (const QString& name : names) {
    EXPECT_TRUE(AccessHas(name)) << name.toStdString();
    EXPECT_EQ(AccessCells(name), (std::vector<std::vector<std::string>>{{"5", "x", "<NULL>"}}))
        << name.toStdString();
  }
}

TEST_F(AccessTablesTest, OverwriteInAnotherCaseYesAndNo) {
  testing::WriteParadoxTable(paradox_dir.path(), "ORDERS", kPeople,
                             {{std::int64_t{1}, std::string("a"), Value{}}});
  TestPage::Fill(page.paradox, {"ORDERS"}, {"ORDERS"});
  SendToAccess(page.context, objects);
  ASSERT_TRUE(page.reports().empty());
  TestPage::Fill(page.access, {"Orders"}, {});

  page.windows.Clear();
  page.windows.QueueReply(shell::Reply::kNo);
  SendToAccess(page.context, objects);
  EXPECT_EQ(page.messageTexts(),
            (QStringList{"Would you like to overwrite ORDERS?",
                         "Tables sent: 0 of 1.\nORDERS: not sent: the overwrite was declined."}));
  EXPECT_EQ(page.messageTitles().front(), "Overwrite?");
  EXPECT_EQ(page.access.texts(), QStringList{"Orders"});

  page.windows.Clear();
  page.windows.QueueReply(shell::Reply::kYes);
  SendToAccess(page.context, objects);
  EXPECT_TRUE(page.reports().empty())
      << page.reports()[0].label << page.reports()[0].description.toStdString();
  EXPECT_EQ(page.access.texts(), QStringList{"ORDERS"});
  EXPECT_EQ(AccessCells("ORDERS").size(), 1u);
}

// An Access 97 file takes a send, a rename and a deletion like any other: text goes in in the
// file's code page (1252), and a row holding a character that code page lacks is reported, with
// the character, and left out.
TEST_F(AccessTablesTest, AnAccess97FileTakesSendRenameAndDelete) {
  page.fields.file = testing::CopyInto(
      testing::CorpusFile("access/jackcess/src/test/data/V1997/testV1997.mdb"), access_dir.path());
  testing::WriteParadoxTable(paradox_dir.path(), "A", kPeople,
                             {{std::int64_t{1}, std::string("Zo\xc3\xab"),
                               std::string("\xc3\xbc"
                                           "ber")},
                              {std::int64_t{2}, std::string("\xce\xa9mega"), Value{}},  // Ω: not in 1252
                              {std::int64_t{3}, std::string("x"), Value{}}});
  TestPage::Fill(page.paradox, {"A"}, {"A"});
  page.windows.QueueReply(shell::Reply::kSkipRows);
  SendToAccess(page.context, objects);
  ASSERT_EQ(page.reports().size(), 1u) << page.messageTexts().join("|").toStdString();
  EXPECT_EQ(page.reports()[0].label, 246);
  EXPECT_NE(page.reports()[0].description.indexOf("U+03A9"), -1)
      << page.reports()[0].description.toStdString();
  using Cells = std::vector<std::vector<std::string>>;
  EXPECT_EQ(AccessCells("A"), (Cells{{"1", "Zo\xc3\xab",
                                      "\xc3\xbc"
                                      "ber"},
                                     {"3", "x", "<NULL>"}}));
  // the bytes of code page 1252, as Access 97 keeps its text
  QFile f(page.fields.file);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_NE(f.readAll().indexOf(QByteArray("Zo\xeb")), -1);
  f.close();
  // Sent again over itself: the overwrite (a new table, then the old one replaced) works too.
  page.windows.Clear();
  TestPage::Fill(page.access, {"A", "Table1", "Table3"}, {});
  page.windows.QueueReply(shell::Reply::kYes);       // overwrite A
  page.windows.QueueReply(shell::Reply::kSkipRows);  // the Ω row again
  SendToAccess(page.context, objects);
  EXPECT_EQ(AccessCells("A"), (Cells{{"1", "Zo\xc3\xab",
                                      "\xc3\xbc"
                                      "ber"},
                                     {"3", "x", "<NULL>"}}))
      << page.messageTexts().join("|").toStdString();
  {
    sources::Connection all;
    all.Open(testing::AccessString(page.fields.file));
    EXPECT_EQ(AccessTableNames(all).filter("~").size(), 0);
  }

  TestPage::Fill(page.access, {"A", "Table1", "Table3"}, {"Table1"});
  page.windows.QueueText(QStringLiteral("Renamed"));
  RenameAccessTableClick(page.context, objects);
  TestPage::Fill(page.access, {"A", "Renamed", "Table3"}, {"Table3"});
  DeleteAccessTables(page.context, objects);
  sources::Connection cn;
  cn.Open(testing::AccessString(page.fields.file));
  const QStringList left = AccessTableNames(cn);
  EXPECT_TRUE(left.contains("Renamed") && left.contains("A")) << left.join(",").toStdString();
  EXPECT_FALSE(left.contains("Table1") || left.contains("Table3")) << left.join(",").toStdString();
  EXPECT_EQ(AccessCells("Renamed").size(), 2u);
}

TEST_F(AccessTablesTest, DeletionWithoutCurrentItemAndWithAMissingDatabase) {
  TestPage::Fill(page.access, {"A", "B", "C"}, {});
  DeleteAccessTables(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"Please select a table to delete."});
  EXPECT_EQ(page.access.count(), 3);

  page.windows.Clear();
  page.fields.file = QDir(access_dir.path()).filePath("missing.mdb");
  TestPage::Fill(page.access, {"A", "B", "C"}, {"A", "C"});
  DeleteAccessTables(page.context, objects);
  std::vector<int> labels;
  for (const auto& r : page.reports()) labels.push_back(r.label);
  EXPECT_EQ(labels, (std::vector<int>{108, 116, 116}));
  EXPECT_EQ(page.reports()[0].location, "Form2.PushButton1_Click");
  // Nothing was dropped, so every table stays listed.
  EXPECT_EQ(page.access.texts(), (QStringList{"A", "B", "C"}));
}

TEST_F(AccessTablesTest, DeletionDropsOnlyTheSelectedTables) {
  for (const char* name : {"A", "B", "C"})
    testing::WriteParadoxTable(paradox_dir.path(), name, kPeople,
                               {{std::int64_t{1}, std::string("a"), Value{}}});
  TestPage::Fill(page.paradox, {"A", "B", "C"}, {"A", "B", "C"});
  SendToAccess(page.context, objects);
  ASSERT_EQ(page.access.texts(), (QStringList{"A", "B", "C"}));
  TestPage::Fill(page.access, {"A", "B", "C"}, {"B"});
  page.windows.Clear();
  DeleteAccessTables(page.context, objects);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(page.access.texts(), (QStringList{"A", "C"}));
  EXPECT_TRUE(AccessHas("A"));
  EXPECT_FALSE(AccessHas("B"));
  EXPECT_TRUE(AccessHas("C"));

  // The saves fail (no file may grow past 4 KiB, and a save's journal is larger): C is dropped
  // and taken out of the list, the drop of A fails saving it, and the close fails too. The
  // database is as it was, and so is the list, filled afresh from it.
  TestPage::Fill(page.access, {"A", "C"}, {"A", "C"});
  page.windows.Clear();
  rlimit old_limit{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old_limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  DeleteAccessTables(page.context, objects);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(page.reports().empty());
  EXPECT_EQ(page.access.texts(), (QStringList{"A", "C"})) << page.messageTexts().join("|").toStdString();
  EXPECT_TRUE(AccessHas("A"));
  EXPECT_TRUE(AccessHas("C"));
}

TEST_F(AccessTablesTest, RenameMessagesForWrongSelections) {
  TestPage::Fill(page.access, {"A", "B"}, {"A", "B"});
  RenameAccessTableClick(page.context, objects);
  TestPage::Fill(page.access, {"A", "B"}, {});
  page.access.SetCurrentRow(0);
  RenameAccessTableClick(page.context, objects);
  TestPage::Fill(page.access, {"A", "B"}, {"B"});
  page.access.SetCurrentRow(-1);
  RenameAccessTableClick(page.context, objects);
  EXPECT_EQ(page.messageTexts(),
            (QStringList{"Please select just one table to rename.", "Please select just one table to rename.",
                         "Please select a table to rename."}));
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
}

TEST_F(AccessTablesTest, RenameWithOverwriteNoAndYes) {
  testing::WriteParadoxTable(paradox_dir.path(), "ORDERS", kPeople,
                             {{std::int64_t{1}, std::string("o"), Value{}}});
  testing::WriteParadoxTable(paradox_dir.path(), "SALES", kPeople,
                             {{std::int64_t{2}, std::string("s"), Value{}}});
  TestPage::Fill(page.paradox, {"ORDERS", "SALES"}, {"ORDERS", "SALES"});
  SendToAccess(page.context, objects);
  ASSERT_TRUE(page.reports().empty());
  TestPage::Fill(page.access, {"ORDERS", "SALES"}, {"ORDERS"});

  page.windows.Clear();
  page.windows.QueueText(QStringLiteral("Sales"));
  page.windows.QueueReply(shell::Reply::kNo);
  RenameAccessTableClick(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"Would you like to overwrite Sales?"});
  EXPECT_EQ(page.access.texts(), (QStringList{"ORDERS", "SALES"}));
  EXPECT_EQ(AccessCells("SALES")[0][1], "s");

  page.windows.Clear();
  page.windows.QueueText(QStringLiteral("Sales"));
  page.windows.QueueReply(shell::Reply::kYes);
  RenameAccessTableClick(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_FALSE(AccessHas("ORDERS"));
  EXPECT_EQ(AccessCells("Sales")[0][1], "o");
  EXPECT_EQ(page.access.texts(), (QStringList{"SALES", "Sales"}));  // until the next refresh
}

}  // namespace
}  // namespace qv::ops
