// The table operations as a new user meets them: through the real pages on the offscreen
// platform, with copies of the sample Paradox folder and of a corpus Access file. Both lists must
// show the right names after each step and the files must hold the right data.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include "../pages/gui_fixture.h"
#include "engine/paradox/paradox_folder.h"
#include "operations/table_operations.h"
#include "sources/access_source.h"
#include "sources/connection_actions.h"

namespace {

QStringList Items(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

// Selects exactly these items, the first of them the current one, as clicks would.
void Select(QListWidget* list, const QStringList& names) {
  list->clearSelection();
  bool first = true;
  for (int i = 0; i < list->count(); ++i) {
    if (!names.contains(list->item(i)->text())) continue;
    list->setCurrentRow(i, first ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select);
    first = false;
  }
}

void CopyFolder(const QString& from, const QString& to) {
  QDir().mkpath(to);
  QDirIterator it(from, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    const QString target = QDir(to).filePath(QDir(from).relativeFilePath(path));
    if (it.fileInfo().isDir()) {
      QDir().mkpath(target);
    } else {
      QFile::copy(path, target);
      QFile(target).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
  }
}

std::int64_t ParadoxRows(const QString& folder, const std::string& table) {
  qv::paradox::ParadoxFolder db(folder.toStdString());
  return db.OpenTable(table)->rowCount();
}

std::int64_t AccessRows(const QString& file, const QString& table) {
  qv::sources::Connection cn;
  cn.CursorLocation = qv::sources::kUseClient;
  cn.Open(("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + file + ";JET OLEDB:Database Password=")
              .toStdString());
  qv::sources::Recordset rs;
  rs.Open(("SELECT * FROM `" + table + "`").toStdString(), cn);
  std::int64_t n = 0;
  for (; !rs.Eof(); rs.MoveNext()) ++n;
  return n;
}

class OperationsGuiTest : public qv::testing::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    options_.connection_actions = &actions_;
    options_.startup_jump = &actions_;
    options_.table_operations = &operations_;
    paradox_ = QDir(work_.path()).filePath("paradox");
    CopyFolder(qv::testing::BuiltProgramFolder() + "/Samples", paradox_);
    access_ = QDir(work_.path()).filePath("donors.accdb");
    QFile::copy(QStringLiteral(QV_SHARED_DIR
                               "/corpus/access/ucanaccess/src/test/resources/testdbs/githubIssue16.accdb"),
                access_);
    QFile(access_).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  }

  QTemporaryDir work_;
  QString paradox_, access_;
  qv::sources::ConnectionActions actions_;
  qv::ops::TableOperations operations_;
};

TEST_F(OperationsGuiTest, SendRenameAndDeleteOnTheParadoxSide) {
  Start();
  form1().text1_->setText(paradox_);
  form1().text2_->setText(access_);
  form1().push_button2_->click();  // "Next >"
  QCoreApplication::processEvents();
  ASSERT_TRUE(program_->tablePageCreated());
  const QStringList samples = Items(form2().list2_);
  ASSERT_FALSE(samples.isEmpty());
  EXPECT_EQ(Items(form2().list1_), (QStringList{"Designation", "Donation Detail", "Donation Type", "Donor"}));

  // Two Access tables to Paradox; "Designation" is cut to 8 characters after the question.
  windows_.Clear();
  Select(form2().list1_, {"Designation", "Donor"});
  windows_.QueueReply(qv::shell::Reply::kYes);
  form2().push_button3_->click();
  EXPECT_EQ(windows_.messages().back().text, "Done.");
  QStringList expected = samples;
  expected << "DESIGNAT"
           << "DONOR";
  expected.sort(Qt::CaseInsensitive);
  EXPECT_EQ(Items(form2().list2_), expected);
  EXPECT_EQ(ParadoxRows(paradox_, "Designat"), AccessRows(access_, "Designation"));
  EXPECT_EQ(ParadoxRows(paradox_, "Donor"), AccessRows(access_, "Donor"));
  const std::int64_t donors = ParadoxRows(paradox_, "Donor");

  // Rename DONOR to Givers: the files move, the list shows the new name as typed.
  windows_.Clear();
  Select(form2().list2_, {"DONOR"});
  windows_.QueueText(QStringLiteral("Givers"));
  form2().push_button7_->click();
  EXPECT_TRUE(windows_.messages().empty());
  expected.removeAll("DONOR");
  expected << "Givers";
  expected.sort(Qt::CaseInsensitive);
  EXPECT_EQ(Items(form2().list2_), expected);
  EXPECT_EQ(ParadoxRows(paradox_, "Givers"), donors);
  EXPECT_FALSE(QFile::exists(QDir(paradox_).filePath("Donor.DB")));

  // Delete DESIGNAT: its file goes and so does its item.
  Select(form2().list2_, {"DESIGNAT"});
  form2().push_button5_->click();
  EXPECT_TRUE(windows_.messages().empty());
  expected.removeAll("DESIGNAT");
  EXPECT_EQ(Items(form2().list2_), expected);
  EXPECT_FALSE(QFile::exists(QDir(paradox_).filePath("Designat.DB")));
  EXPECT_EQ(form2().progress_bar1_->value(), 0);

  // ORDERLOG lives in the subfolder archive: it is renamed there, then deleted there.
  const QString archive = QDir(paradox_).filePath("archive");
  const std::int64_t logged = ParadoxRows(archive, "ORDERLOG");
  Select(form2().list2_, {"archive/ORDERLOG"});
  windows_.QueueText(QStringLiteral("Log2019"));
  form2().push_button7_->click();
  EXPECT_TRUE(windows_.messages().empty());
  expected.removeAll("archive/ORDERLOG");
  expected << "archive/Log2019";
  expected.sort(Qt::CaseInsensitive);
  EXPECT_EQ(Items(form2().list2_), expected);
  EXPECT_EQ(ParadoxRows(archive, "Log2019"), logged);
  EXPECT_FALSE(QFile::exists(QDir(archive).filePath("ORDERLOG.DB")));
  Select(form2().list2_, {"archive/Log2019"});
  form2().push_button5_->click();
  EXPECT_TRUE(windows_.messages().empty());
  expected.removeAll("archive/Log2019");
  EXPECT_EQ(Items(form2().list2_), expected);
  EXPECT_FALSE(QFile::exists(QDir(archive).filePath("Log2019.DB")));
}

TEST_F(OperationsGuiTest, SendRenameAndDeleteOnTheAccessSide) {
  Start();
  form1().text1_->setText(paradox_);
  form1().text2_->setText(access_);
  form1().push_button2_->click();
  QCoreApplication::processEvents();
  // The two tables at the top of the sample folder and ORDERLOG, which the list shows with its
  // subfolder archive: each is read where it lives, and arrives under its own name.
  const QStringList samples{"STOCK", "SUPPLIER", "archive/ORDERLOG"};
  ASSERT_EQ(Items(form2().list2_), (QStringList{"archive/ORDERLOG", "STOCK", "SUPPLIER"}));

  windows_.Clear();
  Select(form2().list2_, samples);
  form2().push_button4_->click();  // "Send Table/s To Access"
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_EQ(windows_.messages()[0].text, "Done.");
  windows_.Clear();
  QStringList expected{"Designation", "Donation Detail", "Donation Type", "Donor"};
  expected << "STOCK"
           << "SUPPLIER"
           << "ORDERLOG";
  expected.sort(Qt::CaseInsensitive);
  EXPECT_EQ(Items(form2().list1_), expected);
  EXPECT_EQ(AccessRows(access_, "STOCK"), ParadoxRows(paradox_, "STOCK"));
  EXPECT_EQ(AccessRows(access_, "SUPPLIER"), ParadoxRows(paradox_, "SUPPLIER"));
  EXPECT_EQ(AccessRows(access_, "ORDERLOG"), ParadoxRows(QDir(paradox_).filePath("archive"), "ORDERLOG"));
  EXPECT_EQ(AccessRows(access_, "ORDERLOG"), 3);

  Select(form2().list1_, {samples[0]});
  windows_.QueueText(QStringLiteral("Renamed"));
  form2().push_button6_->click();
  expected.removeAll(samples[0]);
  expected << "Renamed";
  expected.sort(Qt::CaseInsensitive);
  EXPECT_EQ(Items(form2().list1_), expected);

  Select(form2().list1_, {"Renamed"});
  form2().push_button1_->click();
  expected.removeAll("Renamed");
  EXPECT_EQ(Items(form2().list1_), expected);
  EXPECT_TRUE(windows_.messages().empty());
}

}  // namespace
