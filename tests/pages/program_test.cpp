// Start-up, page flow and program end.
#include "pages/program.h"

#include <QDir>
#include <QFile>
#include <QTimer>

#include "engine/core/error.h"
#include "gui_fixture.h"

namespace qv::pages {
namespace {

using testing::GuiTest;

class ProgramTest : public GuiTest {
 protected:
  // Runs the event loop until the program ends it; -1 when it did not end within 5 s.
  int RunUntilEnd(std::function<void()> action) {
    QTimer::singleShot(0, action);
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    guard.start(5000);
    return QCoreApplication::exec();
  }
};

TEST_F(ProgramTest, ClosingTheConnectionPageEndsTheProgram) {
  Start();
  const int rc = RunUntilEnd([this] { form1().close(); });
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(program_->ended());
  EXPECT_FALSE(form1().isVisible());
}

TEST_F(ProgramTest, ClosingTheTablePageEndsTheProgramThoughTheConnectionPageExists) {
  Start();
  program_->ShowTablePage();
  program_->HideConnectionPage();
  const int rc = RunUntilEnd([this] { form2().close(); });
  EXPECT_EQ(rc, 0);
  EXPECT_TRUE(program_->ended());
  EXPECT_FALSE(form1().isVisible());
  EXPECT_FALSE(form2().isVisible());
}

// "Next >" and "Test Connection" as the data sources will provide them: here they only record
// and move between the pages.
class RecordingActions : public shell::ConnectionPageActions {
 public:
  void Next(shell::ConnectionPageContext& c) override {
    ran << QStringLiteral("Next:") + c.fields.paradoxFolder() + QLatin1Char('|') + c.fields.accessFile();
    c.pointer.SetPointer(shell::kPointerHourglass);
    shell::TablePageParts parts = c.flow.UseTablePage();
    parts.access_list.Clear();
    parts.access_list.Add(QStringLiteral("Orders"));
    c.flow.ShowTablePage();
    c.flow.HideConnectionPage();
    c.pointer.SetPointer(shell::kPointerDefault);
  }
  void TestConnection(shell::ConnectionPageContext& c) override {
    ran << QStringLiteral("Test");
    shell::ShowOk(c.windows, QStringLiteral("Could not connect."));
  }
  QStringList ran;
};

TEST_F(ProgramTest, NextAndTestConnectionRunTheirActionsWithTheLiveFields) {
  RecordingActions actions;
  options_.connection_actions = &actions;
  Start();
  form1().text1_->setText(QStringLiteral("/px"));
  form1().text2_->setText(QStringLiteral("/a.mdb"));
  form1().push_button3_->click();
  EXPECT_EQ(windows_.messages().at(0).title, QStringLiteral("Quorvella"));
  form1().push_button2_->click();
  EXPECT_EQ(actions.ran, (QStringList{"Test", "Next:/px|/a.mdb"}));
  EXPECT_TRUE(form2().isVisible());
  EXPECT_FALSE(form1().isVisible());
  EXPECT_EQ(form2().list1_->count(), 1);
  EXPECT_EQ(form1().pointer(), shell::kPointerDefault);
}

TEST_F(ProgramTest, WithoutActionsNextAndTestConnectionDoNothing) {
  Start();
  form1().push_button2_->click();
  form1().push_button3_->click();
  EXPECT_TRUE(form1().isVisible());
  EXPECT_FALSE(program_->tablePageCreated());
  EXPECT_TRUE(windows_.calls().empty());
}

class JumpToTablePage : public shell::StartupJump {
 public:
  void Run(shell::ErrorTrap& trap, shell::ConnectionPageContext& c) override {
    labels_seen = trap.location();
    trap.Step(140, [&] {
      c.flow.UseTablePage();
      c.flow.ShowTablePage();
      c.flow.HideConnectionPage();
    });
    trap.Step(142, [] { throw qv::Error(429, "Cannot create the connection object."); });
  }
  QString labels_seen;
};

TEST_F(ProgramTest, StartupJumpEndsOnTheTablePageWithTheConnectionPageHidden) {
  JumpToTablePage jump;
  options_.startup_jump = &jump;
  Store(shell::kParadoxFolderKey, QStringLiteral("/px"));
  Start();
  EXPECT_EQ(jump.labels_seen, QStringLiteral("Form1.Form_Load"));
  EXPECT_TRUE(form2().isVisible());
  EXPECT_FALSE(form1().isVisible());
  EXPECT_EQ(form1().text1_->text(), QStringLiteral("/px"));
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_TRUE(windows_.messages()[0].text.contains(QStringLiteral("Form1.Form_Load at line 142\r\r")));
}

TEST_F(ProgramTest, SkinFileStylesTheConnectionPageAfterTheColourReset) {
  QTemporaryDir folder;
  ASSERT_TRUE(QDir().mkpath(folder.filePath(QStringLiteral("x"))));
  QFile skin(folder.filePath(QStringLiteral("x/o.cjs")));
  ASSERT_TRUE(skin.open(QIODevice::WriteOnly));
  skin.write("QPushButton { color: rgb(10, 20, 30); }");
  skin.close();
  options_.program_folder = folder.path();
  Start();
  EXPECT_EQ(form1().styleSheet(), QStringLiteral("QPushButton { color: rgb(10, 20, 30); }"));
  const QColor face = QApplication::palette().color(QPalette::Button);
  EXPECT_EQ(form1().frame1_->palette().color(QPalette::Window), face);
  EXPECT_EQ(form1().label5_->palette().color(QPalette::Window), face);
  EXPECT_TRUE(windows_.calls().empty());
}

TEST_F(ProgramTest, NoSkinFileKeepsTheDesignedLook) {
  Start();
  EXPECT_TRUE(form1().styleSheet().isEmpty());
  EXPECT_FALSE(form1().frame1_->autoFillBackground());
}

TEST_F(ProgramTest, HomePageOpensOnlyOnTheSevenDraw) {
  options_.random = [] { return 0.0650; };
  Start();
  EXPECT_EQ(opened_, QStringList{QStringLiteral("https://www.kestrune.example/quorvella")});
  EXPECT_TRUE(windows_.calls().empty());
}

}  // namespace
}  // namespace qv::pages
