// Tables that the Paradox list shows from subfolders of the Paradox folder: sending them to
// Access, deleting and renaming them act on the table where the list found it, never on another
// table of the same name. The lists are filled by the real list filler, the dialogs answered by
// the scripted window system.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "engine/core/value_text.h"
#include "operations/handlers.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"
#include "test_support.h"

namespace qv::ops {
namespace {

using testing::TestPage;

const QString kEmptyMdb =
    QStringLiteral("access/jackcess/src/main/resources/com/healthmarketscience/jackcess/empty.mdb");
const std::vector<Column> kColumns{
    {"ID", ColumnType::Int32}, {"TAG", ColumnType::Text, 20}, {"NOTES", ColumnType::Memo}};

std::vector<Row> RowsOf(const std::string& tag, int n) {
  std::vector<Row> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({std::int64_t{i}, tag, std::string(200 + i, 'm') + tag});
  return rows;
}

class SubfolderTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page.fields.folder = dir.path();
    page.fields.file = testing::CopyInto(testing::CorpusFile(kEmptyMdb), access_dir.path());
    QDir(dir.path()).mkpath("archive/old");
  }
  QString Sub(const QString& relative) const { return QDir(dir.path()).filePath(relative); }
  void Write(const QString& folder, const std::string& file_name, const std::string& tag, int rows) {
    testing::WriteParadoxTable(folder, file_name, kColumns, RowsOf(tag, rows));
  }
  // Fills the Paradox list as "Next >" does and selects the entries at `rows`.
  void ListAndSelect(const std::vector<int>& rows) {
    sources::AddTablesToParadoxListbox(page.paradox, page.fields, page.windows);
    for (int row : rows) page.paradox.SetSelected(row, true);
    page.paradox.SetCurrentRow(rows.empty() ? -1 : rows.front());
    page.windows.Clear();
  }
  // The TAG of every row of an Access table.
  QStringList AccessTags(const QString& table) {
    sources::Connection cn;
    cn.Open(testing::AccessString(page.fields.file));
    sources::Recordset rs;
    rs.Open(("SELECT * FROM `" + table + "`").toStdString(), cn);
    QStringList tags;
    for (; !rs.Eof(); rs.MoveNext())
      tags << QString::fromStdString(FormatValueText(rs.Fields(1).Value()).value_or("<NULL>"));
    return tags;
  }
  std::string FirstTag(const QString& folder, const std::string& table) {
    return std::get<std::string>(testing::ReadParadoxTable(folder, table).at(0).at(1));
  }

  QTemporaryDir dir;
  QTemporaryDir access_dir;
  TestPage page;
  sources::DatabaseObjects& objects = sources::DefaultObjects();
};

TEST_F(SubfolderTablesTest, TheScanFindsWhatTheListShowsAndWhere) {
  Write(Sub("archive/old"), "deep", "d", 1);
  Write(dir.path(), "TOP", "t", 1);
  QFile::copy(Sub("TOP.DB"), Sub("archive/Orders.DB.db"));  // listed as ORDERS: every ".DB" goes
  QFile::copy(Sub("TOP.DB"), Sub("~TEMP.DB"));              // never listed
  const auto tables = sources::ScanParadoxTables(dir.path(), [] {});
  ASSERT_EQ(tables.size(), 3u);
  // Breadth-first: the folder itself, then archive, then archive/old.
  EXPECT_EQ(tables[0].name, "TOP");
  EXPECT_TRUE(tables[0].in_start_folder);
  EXPECT_EQ(tables[1].name, "archive/ORDERS");
  EXPECT_EQ(tables[1].providerName(), "Orders.DB");
  EXPECT_EQ(QDir::cleanPath(tables[1].folder), QDir::cleanPath(Sub("archive")));
  EXPECT_FALSE(tables[1].in_start_folder);
  EXPECT_EQ(tables[2].name, "archive/old/DEEP");
  EXPECT_EQ(QDir::cleanPath(tables[2].path()), QDir::cleanPath(Sub("archive/old/deep.DB")));
  ListAndSelect({});
  QStringList names;
  for (const auto& t : tables) names << t.name;
  names.sort(Qt::CaseInsensitive);
  EXPECT_EQ(page.paradox.texts(), names);

  // A folder with a final separator gives the same tables.
  EXPECT_EQ(sources::ScanParadoxTables(dir.path() + "/", [] {}).size(), 3u);
}

TEST_F(SubfolderTablesTest, ATableTwoLevelsDownIsSentWithAllItsRows) {
  Write(dir.path(), "TOP", "top", 1);
  Write(Sub("archive/old"), "orderlog", "deep", 3);
  ListAndSelect({});
  ASSERT_EQ(page.paradox.texts(), (QStringList{"archive/old/ORDERLOG", "TOP"}));
  page.paradox.SetSelected(0, true);
  page.paradox.SetCurrentRow(0);
  SendToAccess(page.context, objects);
  for (const auto& r : page.reports()) ADD_FAILURE() << r.label << ": " << r.description.toStdString();
  EXPECT_EQ(page.access.texts(), QStringList{"ORDERLOG"});
  EXPECT_EQ(AccessTags("ORDERLOG"), (QStringList{"deep", "deep", "deep"}));
}

TEST_F(SubfolderTablesTest, TwoTablesOfOneNameAreTwoTablesTheFoldersOwnFirst) {
  Write(dir.path(), "ORDERS", "own", 1);
  Write(Sub("archive"), "Orders", "archived", 2);
  ListAndSelect({0, 1});
  // Each entry names one file: the subfolder's table carries its folder.
  ASSERT_EQ(page.paradox.texts(), (QStringList{"archive/ORDERS", "ORDERS"}));
  // The lower entry goes first and takes the folder's own table; the upper one (ORDERS in
  // Access) is asked about and, on No, skipped: Access keeps the folder's own rows.
  page.windows.QueueReply(shell::Reply::kNo);
  SendToAccess(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(page.messageTexts(),
            (QStringList{"Would you like to overwrite ORDERS?",
                         "Tables sent: 1 of 2.\narchive/ORDERS: not sent: the overwrite was declined."}));
  EXPECT_EQ(AccessTags("ORDERS"), QStringList{"own"});

  // On Yes the upper entry replaces it with the subfolder's table, never the same one again.
  page.windows.Clear();
  page.windows.QueueReply(shell::Reply::kYes);
  page.windows.QueueReply(shell::Reply::kYes);
  SendToAccess(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(page.messageTexts(), (QStringList{"Would you like to overwrite ORDERS?",
                                              "Would you like to overwrite ORDERS?", "Done."}));
  EXPECT_EQ(AccessTags("ORDERS"), (QStringList{"archived", "archived"}));
}

TEST_F(SubfolderTablesTest, DeletionTakesTheTableFromItsOwnFolder) {
  Write(dir.path(), "ORDERS", "own", 1);
  Write(Sub("archive"), "ORDERS", "archived", 1);
  Write(Sub("archive/old"), "deep", "deep", 1);
  ListAndSelect({1});
  ASSERT_EQ(page.paradox.texts(), (QStringList{"archive/old/DEEP", "archive/ORDERS", "ORDERS"}));
  // The archived ORDERS goes, and only it.
  DeleteParadoxTables(page.context);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(page.paradox.texts(), (QStringList{"archive/old/DEEP", "ORDERS"}));
  EXPECT_FALSE(QFile::exists(Sub("archive/ORDERS.DB")));
  EXPECT_EQ(FirstTag(dir.path(), "ORDERS"), "own");
  page.paradox.SetSelected(0, true);
  page.paradox.SetCurrentRow(0);
  DeleteParadoxTables(page.context);
  EXPECT_TRUE(testing::FileNames(Sub("archive/old")).isEmpty());

  // The folder's own ORDERS.
  page.paradox.SetSelected(0, true);
  page.paradox.SetCurrentRow(0);
  DeleteParadoxTables(page.context);
  EXPECT_EQ(page.paradox.count(), 0);
  EXPECT_FALSE(QFile::exists(Sub("ORDERS.DB")));
}

TEST_F(SubfolderTablesTest, BothEntriesOfOneNameSelectedDeleteBothTables) {
  Write(dir.path(), "ORDERS", "own", 1);
  Write(Sub("archive"), "ORDERS", "archived", 1);
  ListAndSelect({0, 1});
  DeleteParadoxTables(page.context);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(page.paradox.count(), 0);
  EXPECT_TRUE(testing::FileNames(dir.path()).isEmpty());
  EXPECT_TRUE(testing::FileNames(Sub("archive")).isEmpty());
}

TEST_F(SubfolderTablesTest, RenameStaysInTheTablesFolderAndAsksAboutThatFolder) {
  Write(dir.path(), "OTHER", "top other", 1);
  Write(Sub("archive"), "ORDERLOG", "log", 2);
  Write(Sub("archive"), "KEEP", "keep", 1);
  ListAndSelect({});
  ASSERT_EQ(page.paradox.texts(), (QStringList{"archive/KEEP", "archive/ORDERLOG", "OTHER"}));
  page.paradox.SetSelected(1, true);
  page.paradox.SetCurrentRow(1);
  // OTHER exists only in the folder itself, not in archive: no question, and it stays.
  page.windows.QueueText(QStringLiteral("Other"));
  RenameParadoxTable(page.context, objects);
  EXPECT_TRUE(page.windows.messages().empty());
  EXPECT_EQ(testing::FileNames(Sub("archive")), (QStringList{"KEEP.DB", "KEEP.MB", "Other.DB", "Other.MB"}));
  EXPECT_EQ(testing::ReadParadoxTable(Sub("archive"), "Other"), RowsOf("log", 2));
  EXPECT_EQ(FirstTag(dir.path(), "OTHER"), "top other");
  EXPECT_EQ(page.paradox.texts(), (QStringList{"archive/KEEP", "archive/Other", "OTHER"}));

  // Onto KEEP, which archive holds: asked first; Yes replaces it there.
  page.windows.Clear();
  for (int row = 0; row < page.paradox.count(); ++row)
    page.paradox.SetSelected(row, page.paradox.text(row) == "archive/Other");
  page.paradox.SetCurrentRow(1);
  page.windows.QueueText(QStringLiteral("archive/KEEP"));  // the folder part may stay
  page.windows.QueueReply(shell::Reply::kYes);
  RenameParadoxTable(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(page.messageTexts(), QStringList{"Would you like to overwrite KEEP?"});
  EXPECT_EQ(testing::FileNames(Sub("archive")), (QStringList{"KEEP.DB", "KEEP.MB"}));
  EXPECT_EQ(testing::ReadParadoxTable(Sub("archive"), "KEEP"), RowsOf("log", 2));
  EXPECT_EQ(FirstTag(dir.path(), "OTHER"), "top other");
}

}  // namespace
}  // namespace qv::ops
