// "Next >", "Test Connection" and the start-up jump through the real pages on the offscreen
// platform, with the samples the build writes beside the program and corpus Access files read in
// place.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

#include "../pages/gui_fixture.h"
#include "sources/connection_actions.h"

namespace {

using qv::shell::MessageRequest;

const QString kAccess = QStringLiteral(QV_SHARED_DIR "/corpus/access/");
const QString kTestDb = kAccess + "jackcess/src/test/data/V2000/testV2000.mdb";

QStringList Items(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QStringList MdbTables(const QString& file) {
  QStringList out;
  FILE* p = popen(("mdb-tables -1 '" + file.toStdString() + "'").c_str(), "r");
  char line[1024];
  while (p && fgets(line, sizeof line, p)) out << QString::fromUtf8(line).trimmed();
  if (p) pclose(p);
  out.removeAll(QString());
  out.sort(Qt::CaseInsensitive);
  return out;
}

QStringList Texts(const std::vector<MessageRequest>& messages) {
  QStringList out;
  for (auto& m : messages) out << m.text;
  return out;
}

struct NoObjects : qv::sources::DatabaseObjects {
  std::unique_ptr<qv::sources::Connection> CreateConnection() override { return nullptr; }
};

class SourcesGuiTest : public qv::testing::GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    options_.connection_actions = &actions_;
    options_.startup_jump = &actions_;
  }
  void UseObjects(qv::sources::DatabaseObjects& objects) {
    custom_ = std::make_unique<qv::sources::ConnectionActions>(objects);
    options_.connection_actions = custom_.get();
    options_.startup_jump = custom_.get();
  }
  QString Samples() const { return qv::testing::BuiltProgramFolder() + "/Samples"; }

  qv::sources::ConnectionActions actions_;
  std::unique_ptr<qv::sources::ConnectionActions> custom_;
};

const QStringList kSampleTables{"archive/ORDERLOG", "STOCK", "SUPPLIER"};

// The name of the file in `folder` that equals `name` ignoring case, or the empty text.
QString FileNamed(const QString& folder, const QString& name) {
  for (const QString& file : QDir(folder).entryList(QDir::Files))
    if (file.compare(name, Qt::CaseInsensitive) == 0) return file;
  return {};
}

QByteArray FileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

TEST_F(SourcesGuiTest, NextOnTheSamplesFillsBothListsAndShowsTheTablePage) {
  Start();
  // The buttons name a copy of the samples in the user's data folder, made on first use.
  const QString copy = data_dir_.path() + "/Samples";
  form1().push_button4_->click();  // "Load Sample/Example Database" of the Paradox side
  EXPECT_EQ(form1().text1_->text(), copy);
  form1().push_button7_->click();
  EXPECT_EQ(form1().text2_->text(), copy + "/sample.mdb");
  form1().push_button2_->click();
  QCoreApplication::processEvents();
  ASSERT_TRUE(program_->tablePageCreated());
  EXPECT_TRUE(form2().isVisible());
  EXPECT_FALSE(form1().isVisible());
  EXPECT_EQ(Items(form2().list2_), kSampleTables);
  // The sample database's tables, as mdbtools lists them, sorted as the list shows them.
  EXPECT_EQ(Items(form2().list1_), MdbTables(copy + "/sample.mdb"));
  EXPECT_EQ(Items(form2().list1_), (QStringList{"Customers", "Orders", "Products"}));
  EXPECT_TRUE(windows_.messages().empty());
  EXPECT_EQ(form1().pointer(), qv::shell::kPointerDefault);

  // A table gone from the copy comes back whole from the originals on the next use (its .MB is
  // replaced with it, so a leftover never pairs with another .DB); a file the user changed stays.
  const QString stock = FileNamed(copy, "STOCK.DB");
  ASSERT_FALSE(stock.isEmpty());
  const QString memo = FileNamed(copy, "STOCK.MB");
  ASSERT_TRUE(QFile::remove(copy + "/" + stock));
  if (!memo.isEmpty()) {
    QFile leftover(copy + "/" + memo);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly | QIODevice::Truncate));
  }
  QFile changed(copy + "/sample.mdb");
  ASSERT_TRUE(changed.open(QIODevice::Append));
  changed.write(QByteArray(4096, '\0'));
  changed.close();
  form2().push_button2_->click();  // "< Back"
  form1().push_button4_->click();
  form1().push_button7_->click();
  for (const QString& name : {stock, memo}) {
    if (name.isEmpty()) continue;
    EXPECT_EQ(FileBytes(copy + "/" + name), FileBytes(Samples() + "/" + name)) << name.toStdString();
  }
  EXPECT_NE(FileBytes(copy + "/sample.mdb"), FileBytes(Samples() + "/sample.mdb"));
  EXPECT_TRUE(windows_.messages().empty());
}

// "Next >" says why it cannot go on; it accepts a folder without tables, and offers to create the
// Access database the file box names.
TEST_F(SourcesGuiTest, NextSaysWhyItStopsAndCanCreateAnEmptyDatabase) {
  QTemporaryDir empty;
  Start();
  form1().text1_->setText(empty.path() + "/nowhere");
  form1().text2_->setText(kTestDb);
  form1().push_button2_->click();
  form1().text1_->setText(Samples());
  form1().text2_->setText(empty.path() + "/missing.txt");
  form1().push_button2_->click();
  form1().text2_->setText(empty.path() + "/new.accdb");
  windows_.QueueReply(qv::shell::Reply::kNo);
  form1().push_button2_->click();
  EXPECT_FALSE(program_->tablePageCreated());
  EXPECT_TRUE(form1().isVisible());
  EXPECT_EQ(Texts(windows_.messages()),
            (QStringList{"The Paradox folder '" + empty.path() + "/nowhere' does not exist.",
                         "The Access database '" + empty.path() + "/missing.txt' does not exist.",
                         "The Access database '" + empty.path() +
                             "/new.accdb' does not exist. Create a new, empty "
                             "database there?"}));
  EXPECT_FALSE(QFile::exists(empty.path() + "/new.accdb"));

  // Yes: an empty folder and a new, empty Access 2000 database, and the table page opens.
  windows_.Clear();
  form1().text1_->setText(empty.path());
  form1().text2_->setText(empty.path() + "/new.mdb");
  windows_.QueueReply(qv::shell::Reply::kYes);
  form1().push_button2_->click();
  QCoreApplication::processEvents();
  EXPECT_EQ(windows_.messages().size(), 1u);
  ASSERT_TRUE(program_->tablePageCreated());
  EXPECT_TRUE(form2().isVisible());
  EXPECT_EQ(form2().list1_->count(), 0);
  EXPECT_EQ(form2().list2_->count(), 0);
  EXPECT_TRUE(MdbTables(empty.path() + "/new.mdb").isEmpty());
  EXPECT_EQ(form1().pointer(), qv::shell::kPointerDefault);
}

TEST_F(SourcesGuiTest, WrongPasswordShowsTheErrorThenUnableToAccessAndOpensTheTablePage) {
  Start();
  form1().text1_->setText(Samples());
  form1().text2_->setText(kAccess + "mdb-reader/test/password/data/V2000_with-password.mdb");
  form1().text3_->setText(QStringLiteral("not it"));
  form1().push_button2_->click();
  QCoreApplication::processEvents();
  const QStringList texts = Texts(windows_.messages());
  ASSERT_EQ(texts.size(), 2);
  EXPECT_TRUE(texts[0].endsWith(" (Error Number = 3031)")) << texts[0].toStdString();
  EXPECT_EQ(texts[1], "Unable to access the database");
  EXPECT_EQ(windows_.messages()[1].title, windows_.messages()[0].title);
  ASSERT_TRUE(program_->tablePageCreated());
  EXPECT_TRUE(form2().isVisible());
  EXPECT_EQ(form2().list1_->count(), 0);
  EXPECT_EQ(Items(form2().list2_), kSampleTables);
}

TEST_F(SourcesGuiTest, TestConnectionOnAGoodAndABadFolder) {
  QTemporaryDir empty;
  Start();
  form1().text1_->setText(Samples());
  // A wrong Access password is not a successful connection.
  form1().text2_->setText(kAccess + "mdb-reader/test/password/data/V2000_with-password.mdb");
  form1().text3_->setText(QStringLiteral("not it"));
  form1().push_button3_->click();
  const QStringList wrong = Texts(windows_.messages());
  ASSERT_EQ(wrong.size(), 1);
  EXPECT_TRUE(wrong[0].startsWith("Could not connect to the Access database: ")) << wrong[0].toStdString();
  windows_.Clear();
  form1().text2_->clear();
  form1().push_button3_->click();
  form1().text1_->setText(empty.path());
  form1().push_button3_->click();
  form1().text1_->clear();
  form1().push_button3_->click();
  EXPECT_EQ(Texts(windows_.messages()),
            (QStringList{"Connection successful.", "Could not connect.", "Could not connect."}));
  for (const auto& m : windows_.messages()) EXPECT_EQ(m.icon, qv::shell::Icon::kNone);
  EXPECT_EQ(form1().pointer(), qv::shell::kPointerDefault);
  EXPECT_FALSE(program_->tablePageCreated());
}

TEST_F(SourcesGuiTest, StartUpJumpsToTheTablePageWhenTheStoredPlacesAreUsable) {
  Store("ParadoxFolder", Samples());
  Store("AccessMDBFile", Samples() + "/sample.mdb");
  Start();
  ASSERT_TRUE(program_->tablePageCreated());
  EXPECT_TRUE(form2().isVisible());
  EXPECT_FALSE(form1().isVisible());
  EXPECT_EQ(Items(form2().list2_), kSampleTables);
  EXPECT_EQ(Items(form2().list1_), MdbTables(Samples() + "/sample.mdb"));
  EXPECT_TRUE(windows_.messages().empty());
}

TEST_F(SourcesGuiTest, StartUpStaysOnTheConnectionPageWhenTheFileIsGone) {
  Store("ParadoxFolder", Samples());
  Store("AccessMDBFile", Samples() + "/gone.mdb");
  Store("AccessPassword", "pw");
  Start();
  EXPECT_FALSE(program_->tablePageCreated());
  EXPECT_TRUE(form1().isVisible());
  EXPECT_EQ(form1().text3_->text(), "pw");
  EXPECT_TRUE(windows_.messages().empty());
}

TEST_F(SourcesGuiTest, StartUpSaysOnceThatAccessIsMissingWhenNoConnectionCanBeMade) {
  NoObjects none;
  UseObjects(none);
  Start();
  EXPECT_TRUE(form1().isVisible());
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_EQ(windows_.messages()[0].text, QString::fromLatin1(qv::sources::kAccessNotInstalled));
  EXPECT_EQ(windows_.messages()[0].buttons, qv::shell::Buttons::kOk);
}
