// The Access side: "Send Table/s To Access", deletion and renaming of Access tables, on copies of
// real Access files and Paradox tables written by the Paradox engine.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "engine/core/value_text.h"
#include "operations/handlers.h"
#include "sources/access_source.h"
#include "sources/paradox_source.h"
#include "shell/app_title.h"
#include "sources/database_access.h"
#include "test_support.h"

namespace qv::ops {
namespace {

using testing::TestPage;

const QString kEmptyMdb = QStringLiteral("access/jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb");

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
      for (int j = 0; j < rs.FieldCount(); ++j) row.push_back(FormatValueText(rs.Fields(j).Value()).value_or("<NULL>"));
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

const std::vector<Column> kPeople{{"ID", ColumnType::Int32}, {"NAME", ColumnType::Text, 40}, {"NOTES", ColumnType::Memo}};

TEST_F(AccessTablesTest, SendWithoutCurrentItemOnlyAsksForASelection) {
  TestPage::Fill(page.paradox, {"A", "B"}, {});
  SendToAccess(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"Please select a table to send."});
  EXPECT_EQ(page.messageTitles(), QStringList{shell::AppTitle()});
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
  page.windows.Clear();
  page.paradox.SetCurrentRow(0);  // a current item without a selection: nothing, no message
  SendToAccess(page.context, objects);
  EXPECT_TRUE(page.windows.messages().empty());
}

TEST_F(AccessTablesTest, AFailedCreateIsReportedWithItsStatementAndItsRowsAreNotTried) {
  testing::WriteParadoxTable(paradox_dir.path(), "BAD", {{"a`b", ColumnType::Int32}}, {{std::int64_t{1}}});
  TestPage::Fill(page.paradox, {"BAD"}, {"BAD"});
  SendToAccess(page.context, objects);
  const auto reports = page.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].location, "Form2.PushButton4_Click");
  EXPECT_EQ(reports[0].label, 204);
  EXPECT_EQ(reports[0].statement, "CREATE TABLE `BAD`(`a`b` INT);");
  EXPECT_EQ(page.access.count(), 0);
  EXPECT_TRUE(page.progress.history().empty());
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
  EXPECT_TRUE(page.windows.messages().empty());  // this direction ends without a message
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
  testing::WriteParadoxTable(paradox_dir.path(), "ORDERS", kPeople, {{std::int64_t{7}, std::string("a"), Value{}}});
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

TEST_F(AccessTablesTest, OverwriteInAnotherCaseYesAndNo) {
  testing::WriteParadoxTable(paradox_dir.path(), "ORDERS", kPeople, {{std::int64_t{1}, std::string("a"), Value{}}});
  TestPage::Fill(page.paradox, {"ORDERS"}, {"ORDERS"});
  SendToAccess(page.context, objects);
  ASSERT_TRUE(page.reports().empty());
  TestPage::Fill(page.access, {"Orders"}, {});

  page.windows.QueueReply(shell::Reply::kNo);
  SendToAccess(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"Would you like to overwrite ORDERS?"});
  EXPECT_EQ(page.messageTitles(), QStringList{"Overwrite?"});
  EXPECT_EQ(page.access.texts(), QStringList{"Orders"});

  page.windows.Clear();
  page.windows.QueueReply(shell::Reply::kYes);
  SendToAccess(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(page.access.texts(), QStringList{"ORDERS"});
  EXPECT_EQ(AccessCells("ORDERS").size(), 1u);
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
    testing::WriteParadoxTable(paradox_dir.path(), name, kPeople, {{std::int64_t{1}, std::string("a"), Value{}}});
  TestPage::Fill(page.paradox, {"A", "B", "C"}, {"A", "B", "C"});
  SendToAccess(page.context, objects);
  ASSERT_EQ(page.access.texts(), (QStringList{"A", "B", "C"}));
  TestPage::Fill(page.access, {"A", "B", "C"}, {"B"});
  DeleteAccessTables(page.context, objects);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(page.access.texts(), (QStringList{"A", "C"}));
  EXPECT_TRUE(AccessHas("A"));
  EXPECT_FALSE(AccessHas("B"));
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
  EXPECT_EQ(page.messageTexts(), (QStringList{"Please select just one table to rename.",
                                              "Please select just one table to rename.",
                                              "Please select a table to rename."}));
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
}

TEST_F(AccessTablesTest, RenameWithOverwriteNoAndYes) {
  testing::WriteParadoxTable(paradox_dir.path(), "ORDERS", kPeople, {{std::int64_t{1}, std::string("o"), Value{}}});
  testing::WriteParadoxTable(paradox_dir.path(), "SALES", kPeople, {{std::int64_t{2}, std::string("s"), Value{}}});
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
