#include "pages/connection_page.h"

#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QTest>

#include "engine/core/error.h"
#include "gui_fixture.h"
#include "shell/error_report.h"
#include "shell/product.h"

namespace qv::pages {
namespace {

using testing::GuiTest;

class ConnectionPageTest : public GuiTest {};

TEST_F(ConnectionPageTest, FirstRunShowsThreeEmptyBoxesNoMessageAndWritesNoSetting) {
  Start();
  EXPECT_TRUE(form1().isVisible());
  EXPECT_EQ(form1().text1_->text(), QString());
  EXPECT_EQ(form1().text2_->text(), QString());
  EXPECT_EQ(form1().text3_->text(), QString());
  EXPECT_TRUE(windows_.calls().empty());
  EXPECT_FALSE(QFile::exists(shell::QSettingsStore::FilePath()));
  EXPECT_FALSE(program_->tablePageCreated());
  EXPECT_EQ(form1().windowTitle(), QStringLiteral("Quorvella"));
  EXPECT_FALSE(form1().windowIcon().isNull());
  EXPECT_EQ(form1().focusWidget(), form1().text1_);
  EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(ConnectionPageTest, RestoresStoredSettingsIncludingThePassword) {
  Store(shell::kParadoxFolderKey, QStringLiteral("/data/px"));
  Store(shell::kAccessFileKey, QStringLiteral("/data/Shop Orders.mdb"));
  Store(shell::kAccessPasswordKey, QStringLiteral("s3cr=t, \"x\""));
  Start();
  EXPECT_EQ(form1().text1_->text(), QStringLiteral("/data/px"));
  EXPECT_EQ(form1().text2_->text(), QStringLiteral("/data/Shop Orders.mdb"));
  EXPECT_EQ(form1().text3_->text(), QStringLiteral("s3cr=t, \"x\""));
  EXPECT_EQ(form1().text3_->echoMode(), QLineEdit::Password);
  EXPECT_EQ(form1().accessPassword(), QStringLiteral("s3cr=t, \"x\""));
  // The restore writes the same values back; nothing changes in the store.
  EXPECT_EQ(Stored(shell::kAccessPasswordKey), QStringLiteral("s3cr=t, \"x\""));
  EXPECT_TRUE(windows_.calls().empty());
  // The code-page settings have no box: the page reads them from the store when asked.
  EXPECT_EQ(form1().paradoxCodePage(), QString());
  Store(shell::kParadoxCodePageKey, QStringLiteral("1250"));
  Store(shell::kAccessCodePageKey, QStringLiteral("936"));
  EXPECT_EQ(form1().paradoxCodePage(), QStringLiteral("1250"));
  EXPECT_EQ(form1().accessCodePage(), QStringLiteral("936"));
}

// Reads of the folder key fail; the others work.
class FolderKeyFails : public shell::QSettingsStore {
 public:
  QString Read(const QString& key) override {
    if (key == QString::fromUtf8(shell::kParadoxFolderKey)) throw qv::Error(75, "Path/File access error");
    return QSettingsStore::Read(key);
  }
};

TEST_F(ConnectionPageTest, FailingSettingsReadReportsLabel130AndStartUpGoesOnWith132) {
  Store(shell::kAccessFileKey, QStringLiteral("/data/a.mdb"));
  Store(shell::kAccessPasswordKey, QStringLiteral("pw"));
  FolderKeyFails flaky;
  options_.settings = &flaky;
  Start();
  ASSERT_EQ(windows_.messages().size(), 1u);
  const shell::MessageRequest report = windows_.messages()[0];
  EXPECT_EQ(report.text,
            QStringLiteral("Path/File access error\r\nin Tessaline2016/11/03.Form1.Form_Load at line "
                           "130\r\rPlease email screenshot of this message to support@kestrune.example"));
  EXPECT_EQ(report.title, QStringLiteral("Application Error"));
  EXPECT_EQ(report.icon, shell::Icon::kWarning);
  EXPECT_EQ(form1().text1_->text(), QString());
  EXPECT_EQ(form1().text2_->text(), QStringLiteral("/data/a.mdb"));
  EXPECT_EQ(form1().text3_->text(), QStringLiteral("pw"));
  EXPECT_TRUE(form1().isVisible());
}

TEST_F(ConnectionPageTest, UnreadableSettingsFileGivesOneReportPerRead) {
  ASSERT_TRUE(QDir().mkpath(shell::QSettingsStore::FilePath()));
  Start();
  const auto messages = windows_.messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_TRUE(messages[0].text.contains(QStringLiteral("Form1.Form_Load at line 130\r\r")));
  EXPECT_TRUE(messages[1].text.contains(QStringLiteral("Form1.Form_Load at line 132\r\r")));
  EXPECT_TRUE(messages[2].text.contains(QStringLiteral("Form1.Form_Load at line 134\r\r")));
  EXPECT_TRUE(form1().isVisible());
}

TEST_F(ConnectionPageTest, EveryChangeIsWrittenThrough) {
  Start();
  QTest::keyClicks(form1().text1_, QStringLiteral("/data/px"));
  EXPECT_EQ(Stored(shell::kParadoxFolderKey), QStringLiteral("/data/px"));
  QTest::keyClicks(form1().text3_, QStringLiteral("pa ss"));
  EXPECT_EQ(Stored(shell::kAccessPasswordKey), QStringLiteral("pa ss"));
  form1().text2_->setText(QStringLiteral("/x.accdb"));
  form1().text2_->clear();
  EXPECT_EQ(Stored(shell::kAccessFileKey), QString());
}

TEST_F(ConnectionPageTest, BrowseForTheFolderTakesTheChoiceAndCancelKeepsTheBox) {
  Start();
  windows_.QueueText(QStringLiteral("/srv/tables"));
  form1().push_button5_->click();
  EXPECT_EQ(form1().text1_->text(), QStringLiteral("/srv/tables"));
  EXPECT_EQ(Stored(shell::kParadoxFolderKey), QStringLiteral("/srv/tables"));
  ASSERT_EQ(windows_.calls().size(), 1u);
  EXPECT_EQ(windows_.calls()[0].kind, shell::ScriptedWindowSystem::Kind::kFolder);
  EXPECT_EQ(windows_.calls()[0].prompt, QStringLiteral("Please select folder:"));

  windows_.QueueText(QString());  // cancel
  form1().push_button5_->click();
  EXPECT_EQ(form1().text1_->text(), QStringLiteral("/srv/tables"));
  EXPECT_EQ(windows_.messages().size(), 0u);
}

TEST_F(ConnectionPageTest, CancelledBrowseStoresNothing) {
  Start();
  windows_.QueueText(QString());
  form1().push_button5_->click();
  windows_.QueueText(QString());
  form1().push_button1_->click();
  EXPECT_FALSE(QFile::exists(shell::QSettingsStore::FilePath()));
}

TEST_F(ConnectionPageTest, BrowseForTheAccessFileUsesTitleAndFilters) {
  Start();
  windows_.QueueText(QStringLiteral("/data/Shop.ACCDB"));
  form1().push_button1_->click();
  ASSERT_EQ(windows_.calls().size(), 1u);
  const auto& call = windows_.calls()[0];
  EXPECT_EQ(call.kind, shell::ScriptedWindowSystem::Kind::kOpenFile);
  EXPECT_EQ(call.prompt, QStringLiteral("Select Access Database"));
  EXPECT_EQ(call.filter_list,
            QStringLiteral("All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database "
                           "(*.mdb)|*.mdb|Microsoft 2007 Database (*.accdb)|*.accdb|"));
  EXPECT_EQ(form1().text2_->text(), QStringLiteral("/data/Shop.ACCDB"));
  EXPECT_EQ(Stored(shell::kAccessFileKey), QStringLiteral("/data/Shop.ACCDB"));
}

// A file dialog that cannot be shown.
class BrokenFileDialog : public shell::ScriptedWindowSystem {
 public:
  QString ChooseOpenFile(const QString&, const QString&) override {
    throw qv::Error(429, "The file dialog could not be created.");
  }
};

TEST_F(ConnectionPageTest, FailureInAHandlerGivesTheExactReportAndTheHandlerGoesOn) {
  BrokenFileDialog windows;
  options_.windows = &windows;
  Start();
  form1().text2_->setText(QStringLiteral("/keep.mdb"));
  form1().push_button1_->click();
  ASSERT_EQ(windows.messages().size(), 1u);
  const shell::MessageRequest report = windows.messages()[0];
  EXPECT_EQ(report.text.toUtf8(),
            QByteArray("The file dialog could not be created.\r\n"
                       "in Tessaline2016/11/03.Form1.PushButton1_Click at line 108\r\r"
                       "Please email screenshot of this message to support@kestrune.example"));
  EXPECT_EQ(report.title, QStringLiteral("Application Error"));
  EXPECT_EQ(report.icon, shell::Icon::kWarning);
  EXPECT_EQ(report.buttons, shell::Buttons::kOk);
  EXPECT_EQ(form1().text2_->text(), QStringLiteral("/keep.mdb"));
}

TEST_F(ConnectionPageTest, SampleButtonsFillInTheSamplePathsUnchecked) {
  const QString folder = QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/no-such-program"));
  options_.program_folder = folder;
  Start();
  form1().push_button4_->click();
  form1().push_button7_->click();
  // The buttons name the copy in the user's data folder; without originals nothing is copied.
  const QString copy = data_dir_.path() + QStringLiteral("/Samples");
  EXPECT_EQ(form1().text1_->text(), copy);
  EXPECT_EQ(form1().text2_->text(), copy + QStringLiteral("/sample.mdb"));
  EXPECT_EQ(Stored(shell::kAccessFileKey), copy + QStringLiteral("/sample.mdb"));
  EXPECT_FALSE(QFileInfo::exists(copy));
  EXPECT_TRUE(windows_.calls().empty());
}

TEST_F(ConnectionPageTest, FocusSelectsTheWholeText) {
  Start();
  for (QLineEdit* edit : {form1().text1_, form1().text2_, form1().text3_}) {
    edit->setText(QStringLiteral("some text"));
    edit->deselect();
    QFocusEvent focus(QEvent::FocusIn, Qt::MouseFocusReason);
    QCoreApplication::sendEvent(edit, &focus);
    QCoreApplication::processEvents();
    EXPECT_EQ(edit->selectionStart(), 0) << edit->objectName().toStdString();
    EXPECT_EQ(edit->selectionLength(), 9) << edit->objectName().toStdString();
  }
}

TEST_F(ConnectionPageTest, GeometryInTwipsFontsAndCaptions) {
  Start();
  ConnectionPage& p = form1();
  EXPECT_EQ(p.size(), QSize(536, 279));
  EXPECT_EQ(p.frame1_->geometry(), QRect(8, 8, 520, 97));
  EXPECT_EQ(p.text1_->geometry(), QRect(112, 24, 353, 23));
  EXPECT_EQ(p.push_button5_->geometry(), QRect(472, 24, 32, 23));
  EXPECT_EQ(p.frame2_->geometry(), QRect(8, 112, 520, 123));
  EXPECT_EQ(p.text3_->geometry(), QRect(152, 53, 351, 23));
  EXPECT_EQ(p.push_button7_->geometry(), QRect(16, 84, 487, 27));
  EXPECT_EQ(p.push_button2_->geometry(), QRect(8, 244, 520, 27));
  EXPECT_EQ(p.frame1_->title(), QStringLiteral("Paradox Database"));
  EXPECT_EQ(p.frame2_->title(), QStringLiteral("Access Database"));
  EXPECT_EQ(p.label2_->text(), QStringLiteral("Paradox Folder:"));
  EXPECT_EQ(p.label5_->text(), QStringLiteral("MDB or ACCDB File:"));
  EXPECT_EQ(p.lbl_password_->text(), QStringLiteral("Password (if required):"));
  EXPECT_EQ(p.push_button4_->text(), QStringLiteral("Load Sample/Example Database"));
  EXPECT_EQ(p.push_button7_->text(), QStringLiteral("Load Sample/Example Database"));
  EXPECT_EQ(p.push_button3_->text(), QStringLiteral("Test Connection"));
  EXPECT_EQ(p.push_button1_->text(), QStringLiteral("..."));
  EXPECT_EQ(p.push_button2_->text(), QStringLiteral("Next >"));
  EXPECT_EQ(p.font().family(), QStringLiteral("Arial"));
  EXPECT_DOUBLE_EQ(p.font().pointSizeF(), 9.0);
  EXPECT_FALSE(p.font().bold());
  EXPECT_TRUE(p.text1_->font().bold());
  EXPECT_TRUE(p.label2_->font().bold());
  EXPECT_TRUE(p.frame1_->font().bold());
  EXPECT_DOUBLE_EQ(p.push_button2_->font().pointSizeF(), 11.25);
  EXPECT_TRUE(p.push_button2_->font().bold());
  // Every caption fits its control at 96 dpi.
  for (QPushButton* b : p.findChildren<QPushButton*>()) {
    EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width() - 4)
        << b->objectName().toStdString();
  }
  for (QLabel* l : p.findChildren<QLabel*>()) {
    EXPECT_LE(QFontMetrics(l->font()).horizontalAdvance(l->text()), l->width())
        << l->objectName().toStdString();
  }
}

TEST_F(ConnectionPageTest, TabOrderStartsInTheFolderBox) {
  Start();
  ConnectionPage& p = form1();
  const QList<QWidget*> expected = {p.text1_, p.push_button5_, p.push_button3_, p.push_button2_, p.text2_,
                                    p.text3_, p.push_button1_, p.push_button7_, p.push_button4_};
  QList<QWidget*> order;
  QWidget* w = p.text1_;
  do {
    if (w->focusPolicy() & Qt::TabFocus) order << w;
    w = w->nextInFocusChain();
  } while (w != p.text1_ && order.size() < 20);
  EXPECT_EQ(order, expected);
}

}  // namespace
}  // namespace qv::pages
