// Deleting and renaming Paradox tables in real temporary folders of tables written by the
// Paradox engine, with the dialogs answered by the scripted window system.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "operations/handlers.h"
#include "shell/app_title.h"
#include "test_support.h"

namespace qv::ops {
namespace {

using testing::TestPage;

const std::vector<Column> kColumns{{"ID", ColumnType::Int32}, {"NOTES", ColumnType::Memo}};

std::vector<Row> RowsOf(const std::string& tag) {
  return {{std::int64_t{1}, std::string(300, 'm') + tag}, {std::int64_t{2}, Value{}}, {std::int64_t{3}, tag}};
}

class ParadoxTablesTest : public ::testing::Test {
 protected:
  void SetUp() override { page.fields.folder = dir.path(); }
  void Write(const std::string& name) {
    testing::WriteParadoxTable(dir.path(), name, kColumns, RowsOf(name));
  }
  QString Path(const QString& file) const { return QDir(dir.path()).filePath(file); }
  QStringList Files() const { return testing::FileNames(dir.path()); }

  QTemporaryDir dir;
  TestPage page;
  sources::DatabaseObjects& objects = sources::DefaultObjects();
};

TEST_F(ParadoxTablesTest, DeletionTakesOnlyTheSelectedTables) {
  Write("A");
  Write("B");
  Write("orders");
  // The rest of the family, in any letter case; files of other names stay.
  for (const char* extra :
       {"orders.px", "ORDERS.VAL", "Orders.X02", "orders.Y02", "ORDERS.TV", "B.PX", "ORDERSX.PX", "A.txt"}) {
    QFile f(QDir(dir.path()).filePath(QString::fromLatin1(extra)));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  TestPage::Fill(page.paradox, {"A", "B", "ORDERS"}, {"B", "ORDERS"});
  DeleteParadoxTables(page.context);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(page.paradox.texts(), QStringList{"A"});
  // Each deleted table goes with its whole family.
  EXPECT_EQ(Files(), (QStringList{"A.DB", "A.MB", "A.txt", "ORDERSX.PX"}));
  EXPECT_EQ(testing::ReadParadoxTable(dir.path(), "A").size(), 3u);
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
}

TEST_F(ParadoxTablesTest, DeletionOfAllAndOfNone) {
  Write("A");
  Write("B");
  TestPage::Fill(page.paradox, {"A", "B"}, {});
  DeleteParadoxTables(page.context);
  EXPECT_EQ(page.messageTexts(), QStringList{"Please select a table to delete."});
  EXPECT_EQ(page.messageTitles(), QStringList{shell::AppTitle()});
  EXPECT_EQ(page.paradox.count(), 2);

  page.windows.Clear();
  TestPage::Fill(page.paradox, {"A", "B"}, {"A", "B"});
  DeleteParadoxTables(page.context);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(page.paradox.count(), 0);
  EXPECT_TRUE(Files().isEmpty());
}

TEST_F(ParadoxTablesTest, ATableFoundNowhereStaysListed) {
  Write("A");
  TestPage::Fill(page.paradox, {"A", "GONE"}, {"GONE"});
  DeleteParadoxTables(page.context);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(page.paradox.texts(), (QStringList{"A", "GONE"}));
  EXPECT_EQ(Files(), (QStringList{"A.DB", "A.MB"}));
}

TEST_F(ParadoxTablesTest, ANewTableUnderADeletedNameDropsTheLeftovers) {
  Write("B");
  TestPage::Fill(page.paradox, {"B"}, {"B"});
  DeleteParadoxTables(page.context);
  ASSERT_TRUE(Files().isEmpty());
  QFile stale(QDir(dir.path()).filePath("B.MB"));  // a memo file left by another program
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.close();
  testing::WriteParadoxTable(dir.path(), "B", {{"N", ColumnType::Int32}}, {{std::int64_t{5}}});
  EXPECT_EQ(Files(), QStringList{"B.DB"});
}

TEST_F(ParadoxTablesTest, RenameMessagesForWrongSelections) {
  Write("A");
  Write("B");
  TestPage::Fill(page.paradox, {"A", "B"}, {"A", "B"});
  page.paradox.SetCurrentRow(-1);
  RenameParadoxTable(page.context, objects);
  page.paradox.SetCurrentRow(0);
  RenameParadoxTable(page.context, objects);
  TestPage::Fill(page.paradox, {"A", "B"}, {});
  page.paradox.SetCurrentRow(1);
  RenameParadoxTable(page.context, objects);
  EXPECT_EQ(page.messageTexts(),
            (QStringList{"Please select a table to rename.", "Please select just one table to rename.",
                         "Please select just one table to rename."}));
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(Files(), (QStringList{"A.DB", "A.MB", "B.DB", "B.MB"}));
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
}

TEST_F(ParadoxTablesTest, RenameMovesTheWholeTableWithItsMemos) {
  Write("orders");
  TestPage::Fill(page.paradox, {"A", "ORDERS"}, {"ORDERS"});
  page.windows.QueueText(QStringLiteral("Sales"));
  RenameParadoxTable(page.context, objects);
  ASSERT_EQ(page.windows.calls().front().prompt, "Enter new name of ORDERS:");
  EXPECT_EQ(page.windows.calls().front().default_answer, "ORDERS");
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(Files(), (QStringList{"Sales.DB", "Sales.MB"}));
  EXPECT_EQ(testing::ReadParadoxTable(dir.path(), "Sales"), RowsOf("orders"));
  EXPECT_EQ(page.paradox.texts(), (QStringList{"A", "Sales"}));
  EXPECT_EQ(page.paradox.currentRow(), 0);
}

TEST_F(ParadoxTablesTest, RenameOntoAnExistingTableAsksFirst) {
  Write("ORDERS");
  Write("SALES");
  TestPage::Fill(page.paradox, {"ORDERS", "SALES"}, {"ORDERS"});
  page.windows.QueueText(QStringLiteral("Sales"));
  page.windows.QueueReply(shell::Reply::kNo);
  RenameParadoxTable(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"Would you like to overwrite Sales?"});
  EXPECT_EQ(page.messageTitles(), QStringList{"Overwrite?"});
  EXPECT_EQ(page.paradox.texts(), (QStringList{"ORDERS", "SALES"}));
  EXPECT_EQ(testing::ReadParadoxTable(dir.path(), "SALES"), RowsOf("SALES"));

  page.windows.Clear();
  page.windows.QueueText(QStringLiteral("Sales"));
  page.windows.QueueReply(shell::Reply::kYes);
  RenameParadoxTable(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(Files(), (QStringList{"Sales.DB", "Sales.MB"}));
  EXPECT_EQ(testing::ReadParadoxTable(dir.path(), "Sales"), RowsOf("ORDERS"));
  EXPECT_EQ(page.paradox.texts(), QStringList{"Sales"});
}

TEST_F(ParadoxTablesTest, RenameToTheSameNameOrAnotherCaseKeepsTheTable) {
  Write("ORDERS");
  TestPage::Fill(page.paradox, {"ORDERS"}, {"ORDERS"});
  page.windows.QueueText(QStringLiteral("ORDERS"));
  RenameParadoxTable(page.context, objects);
  EXPECT_EQ(Files(), (QStringList{"ORDERS.DB", "ORDERS.MB"}));
  EXPECT_EQ(page.paradox.texts(), QStringList{"ORDERS"});

  page.paradox.SetSelected(0, true);
  page.paradox.SetCurrentRow(0);
  page.windows.QueueText(QStringLiteral("Orders"));
  RenameParadoxTable(page.context, objects);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(Files(), (QStringList{"Orders.DB", "Orders.MB"}));
  EXPECT_EQ(testing::ReadParadoxTable(dir.path(), "Orders"), RowsOf("ORDERS"));
  EXPECT_EQ(page.paradox.texts(), QStringList{"Orders"});
}

TEST_F(ParadoxTablesTest, RenameRefusesPathsAndCancelChangesNothing) {
  Write("ORDERS");
  QDir(dir.path()).mkdir("sub");
  page.fields.folder = Path("sub");
  testing::WriteParadoxTable(Path("sub"), "T", kColumns, RowsOf("t"));
  TestPage::Fill(page.paradox, {"T"}, {"T"});
  page.windows.QueueText(QStringLiteral("../ORDERS"));
  RenameParadoxTable(page.context, objects);
  const auto reports = page.reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].location, "Form2.PushButton7_Click");
  EXPECT_EQ(reports[0].label, 120);
  EXPECT_TRUE(reports[0].description.contains("is not a valid name for a Paradox table"));
  EXPECT_EQ(testing::ReadParadoxTable(dir.path(), "ORDERS"), RowsOf("ORDERS"));
  EXPECT_EQ(page.paradox.texts(), QStringList{"T"});

  page.windows.Clear();
  RenameParadoxTable(page.context, objects);  // cancel: the input box gives the empty text
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(testing::FileNames(Path("sub")), (QStringList{"T.DB", "T.MB"}));
}

}  // namespace
}  // namespace qv::ops
