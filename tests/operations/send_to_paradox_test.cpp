// "Send Table/s To Paradox" on real Access files (copies of corpus files) into real temporary
// Paradox folders, with the questions answered by the scripted window system.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "engine/core/value_text.h"
#include "operations/handlers.h"
#include "shell/app_title.h"
#include "sources/access_source.h"
#include "sources/database_access.h"
#include "sources/paradox_source.h"
#include "test_support.h"

namespace qv::ops {
namespace {

using testing::TestPage;

const QString kDonors = QStringLiteral("access/ucanaccess/src/test/resources/testdbs/githubIssue16.accdb");
const QStringList kDonorTables{"Designation", "Donation Detail", "Donation Type", "Donor"};

// Every cell of an Access table in its text form, through the database access interface.
std::vector<std::vector<std::string>> AccessCells(const QString& file, const QString& table) {
  sources::Connection cn;
  cn.Open(testing::AccessString(file));
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

std::vector<std::vector<std::string>> ParadoxCells(const QString& folder, const std::string& table) {
  std::vector<std::vector<std::string>> out;
  for (const Row& row : testing::ReadParadoxTable(folder, table)) {
    std::vector<std::string> cells;
    for (const Value& v : row) cells.push_back(FormatValueText(v).value_or("<NULL>"));
    out.push_back(cells);
  }
  return out;
}

class SendToParadoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    page.fields.folder = paradox_dir.path();
    page.fields.file = testing::CopyInto(testing::CorpusFile(kDonors), access_dir.path());
  }
  QTemporaryDir access_dir;
  QTemporaryDir paradox_dir;
  TestPage page;
  sources::DatabaseObjects& objects = sources::DefaultObjects();
};

TEST_F(SendToParadoxTest, WithoutCurrentItemOnlyAsksForASelection) {
  TestPage::Fill(page.access, kDonorTables, {});
  page.pointer.SetPointer(shell::kPointerCustom);
  SendToParadox(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"Please select a table to send."});
  EXPECT_EQ(page.messageTitles(), QStringList{shell::AppTitle()});
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerCustom);
  EXPECT_TRUE(testing::FileNames(paradox_dir.path()).isEmpty());
}

TEST_F(SendToParadoxTest, CurrentItemWithoutSelectionIsNotDone) {
  TestPage::Fill(page.access, kDonorTables, {});
  page.access.SetCurrentRow(1);
  page.paradox.Add(QStringLiteral("STALE"));
  SendToParadox(page.context, objects);
  EXPECT_EQ(page.messageTexts(), QStringList{"No table was selected; nothing was sent."});
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(page.paradox.count(), 0);  // filled afresh from the empty folder
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
}

TEST_F(SendToParadoxTest, LongNamesAskBottomToTopAndTwoThatShortenAlikeBothArrive) {
  // A DONATION table from before the run is replaced only by the first table cut to that name.
  testing::WriteParadoxTable(paradox_dir.path(), "DONATION", {{"old", ColumnType::Int32}},
                             {{std::int64_t{1}}});
  page.paradox.Add(QStringLiteral("DONATION"));
  TestPage::Fill(page.access, kDonorTables, {"Designation", "Donation Detail", "Donation Type"});
  for (int i = 0; i < 4; ++i) page.windows.QueueReply(shell::Reply::kYes);
  SendToParadox(page.context, objects);
  ASSERT_EQ(
      page.messageTexts(),
      (QStringList{"DONATION TYPE is more than 8 characters. It will be trimmed into DONATION. Continue?",
                   "Would you like to overwrite Donation?",
                   "DONATION DETAIL is more than 8 characters. It will be trimmed into DONATION. Continue?",
                   "DESIGNATION is more than 8 characters. It will be trimmed into DESIGNAT. Continue?",
                   "Tables sent: 3 of 3.\nDonation Detail: written as Donati~1 (Donation was written earlier "
                   "in this run)."}));
  EXPECT_EQ(page.messageTitles().mid(0, 4),
            (QStringList{"Continue?", "Overwrite?", "Continue?", "Continue?"}));
  // The second "Donation" never replaces the first and is not asked about: it takes the next
  // free name.
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(page.paradox.texts(), (QStringList{"DESIGNAT", "DONATION", "DONATI~1"}));
  EXPECT_EQ(ParadoxCells(paradox_dir.path(), "Donation"), AccessCells(page.fields.file, "Donation Type"));
  EXPECT_EQ(ParadoxCells(paradox_dir.path(), "Donati~1"), AccessCells(page.fields.file, "Donation Detail"));
  EXPECT_EQ(ParadoxCells(paradox_dir.path(), "Designat"), AccessCells(page.fields.file, "Designation"));
  EXPECT_TRUE(QFile::exists(QDir(paradox_dir.path()).filePath("Designat.DB")));  // own case, not upper
  EXPECT_EQ(page.access.selectedCount(), 3);  // the Access list and its selection stay
}

TEST_F(SendToParadoxTest, NoSkipsOnlyThatTable) {
  TestPage::Fill(page.access, kDonorTables, {"Designation", "Donation Type", "Donor"});
  page.windows.QueueReply(shell::Reply::kNo);   // Donation Type
  page.windows.QueueReply(shell::Reply::kYes);  // Designation
  SendToParadox(page.context, objects);
  EXPECT_EQ(page.messageTexts().size(), 3);  // two questions and the summary
  EXPECT_EQ(page.messageTexts().back(),
            "Tables sent: 2 of 3.\nDonation Type: not sent: the shortened name was declined.");
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(page.paradox.texts(), (QStringList{"DESIGNAT", "DONOR"}));
  EXPECT_EQ(ParadoxCells(paradox_dir.path(), "Donor"), AccessCells(page.fields.file, "Donor"));
}

TEST_F(SendToParadoxTest, OverwriteIsAskedForANameInAnotherCase) {
  testing::WriteParadoxTable(paradox_dir.path(), "DONOR", {{"old", ColumnType::Int32}}, {{std::int64_t{1}}});
  TestPage::Fill(page.access, kDonorTables, {"Donor"});
  page.paradox.Add(QStringLiteral("DONOR"));

  page.windows.QueueReply(shell::Reply::kNo);
  SendToParadox(page.context, objects);
  EXPECT_EQ(page.messageTexts(),
            (QStringList{"Would you like to overwrite Donor?",
                         "Tables sent: 0 of 1.\nDonor: not sent: the overwrite was declined."}));
  EXPECT_EQ(page.messageTitles().front(), "Overwrite?");
  EXPECT_EQ(testing::ReadParadoxTable(paradox_dir.path(), "DONOR").size(), 1u);

  page.windows.Clear();
  page.windows.QueueReply(shell::Reply::kYes);
  SendToParadox(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_EQ(ParadoxCells(paradox_dir.path(), "Donor"), AccessCells(page.fields.file, "Donor"));
  EXPECT_EQ(page.paradox.texts(), QStringList{"DONOR"});
  EXPECT_EQ(page.messageTexts().back(), "Done.");
  // Nothing temporary is left.
  EXPECT_EQ(testing::FileNames(paradox_dir.path()), (QStringList{"Donor.DB", "Donor.MB"}));
}

// A copy that fails after "Yes" leaves the table it was to replace exactly as it was, with all
// its files, and nothing temporary.
TEST_F(SendToParadoxTest, AFailedOverwriteKeepsTheOldTable) {
  testing::WriteParadoxTable(paradox_dir.path(), "MISSING", {{"old", ColumnType::Memo}},
                             {{std::string("kept")}});
  QFile index(QDir(paradox_dir.path()).filePath("MISSING.PX"));
  ASSERT_TRUE(index.open(QIODevice::WriteOnly));
  index.write("index");
  index.close();
  const QStringList before = testing::FileNames(paradox_dir.path());
  TestPage::Fill(page.access, {"Missing"}, {"Missing"});  // no such Access table: the copy fails
  page.paradox.Add(QStringLiteral("MISSING"));
  page.windows.QueueReply(shell::Reply::kYes);
  SendToParadox(page.context, objects);
  ASSERT_EQ(page.reports().size(), 1u);
  EXPECT_EQ(page.reports()[0].label, 170);
  EXPECT_EQ(testing::FileNames(paradox_dir.path()), before);
  EXPECT_EQ(ParadoxCells(paradox_dir.path(), "MISSING"), (std::vector<std::vector<std::string>>{{"kept"}}));
  EXPECT_TRUE(page.messageTexts().back().startsWith("Tables sent: 0 of 1.\nMissing: not sent: "))
      << page.messageTexts().back().toStdString();
}

TEST_F(SendToParadoxTest, EveryStepFailedIsNotDone) {
  page.fields.file = QDir(access_dir.path()).filePath("missing.accdb");
  TestPage::Fill(page.access, kDonorTables, {"Donor", "Designation"});
  page.windows.QueueReply(shell::Reply::kYes);
  SendToParadox(page.context, objects);
  std::vector<int> labels;
  for (const auto& r : page.reports()) labels.push_back(r.label);
  EXPECT_EQ(labels, (std::vector<int>{120, 170, 170, 188}));
  EXPECT_TRUE(page.messageTexts().back().startsWith("Tables sent: 0 of 2.\nDonor: not sent: "));
  EXPECT_EQ(page.pointer.pointer(), shell::kPointerDefault);
}

TEST_F(SendToParadoxTest, ANameThatIsAPathIsRefusedAndNothingLeavesTheFolder) {
  QDir(paradox_dir.path()).mkdir("sub");
  page.fields.folder = QDir(paradox_dir.path()).filePath("sub");
  TestPage::Fill(page.access, {"../Donor", "a/b"}, {"../Donor", "a/b"});
  SendToParadox(page.context, objects);
  const auto reports = page.reports();
  ASSERT_EQ(reports.size(), 2u);
  for (const auto& r : reports) {
    EXPECT_EQ(r.label, 170);
    EXPECT_TRUE(r.description.contains("is not a valid name for a Paradox table"))
        << r.description.toStdString();
  }
  EXPECT_EQ(testing::FileNames(paradox_dir.path()), QStringList{});
  EXPECT_TRUE(page.messageTexts().back().startsWith(
      "Tables sent: 0 of 2.\na/b: not sent: 'a/b' is not a valid name"));
}

TEST_F(SendToParadoxTest, LeftoversOfADeletedTableDoNotJoinTheNewOne) {
  QFile stale(QDir(paradox_dir.path()).filePath("DONOR.PX"));
  ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
  stale.write("old index");
  stale.close();
  TestPage::Fill(page.access, kDonorTables, {"Donor"});
  SendToParadox(page.context, objects);
  EXPECT_TRUE(page.reports().empty());
  EXPECT_FALSE(QFile::exists(stale.fileName()));
  EXPECT_EQ(ParadoxCells(paradox_dir.path(), "Donor"), AccessCells(page.fields.file, "Donor"));
}

}  // namespace
}  // namespace qv::ops
