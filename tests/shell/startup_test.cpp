#include "shell/startup.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "engine/core/error.h"
#include "shell/error_report.h"
#include "support/memory_page.h"
#include "support/scripted_window_system.h"
#include "test_app.h"

namespace qv::shell {
namespace {

// Records what start-up does to the page, in order.
class RecordingPage : public StartupPage {
 public:
  void ApplyFaceColors() override { calls << QStringLiteral("face"); }
  void ApplyStyleSheet(const QString& s) override { calls << QStringLiteral("style:") + s; }
  void SetCaption(const QString& c) override { calls << QStringLiteral("caption:") + c; }
  void SetProductIcon() override { calls << QStringLiteral("icon"); }
  void LoadCustomPointer(const QString& f) override {
    calls << QStringLiteral("pointer");
    if (!f.endsWith(QStringLiteral("HAND-M.CUR"))) throw qv::Error(53, "wrong file");
    if (fail_pointer) throw qv::Error(481, "Invalid picture");
  }
  void SetParadoxFolderText(const QString& t) override { calls << QStringLiteral("Text1:") + t; }
  void SetAccessFileText(const QString& t) override { calls << QStringLiteral("Text2:") + t; }
  void SetAccessPasswordText(const QString& t) override { calls << QStringLiteral("Text3:") + t; }

  QStringList calls;
  bool fail_pointer = false;
};

// A settings store whose reads of one key fail.
class FlakySettings : public SettingsStore {
 public:
  QString Read(const QString& key) override {
    if (key == failing) throw qv::Error(75, "The settings file cannot be read.");
    return QStringLiteral("stored ") + key;
  }
  void Save(const QString&, const QString&) override { ++saves; }
  QString failing;
  int saves = 0;
};

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::TestApp(); }

  void Run(StartupJump* jump = nullptr) {
    StartupServices services{windows_, settings_, folder_.path(), [this] { return random_; },
                             [this](const QString& a) {
                               opened_ << a;
                               return open_ok_;
                             }};
    RunStartup(page_, services, jump, nullptr);
  }
  void WriteFile(const QString& relative, const QByteArray& content) {
    const QString path = folder_.filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
  }

  QTemporaryDir folder_;
  ScriptedWindowSystem windows_;
  FlakySettings settings_;
  RecordingPage page_;
  double random_ = 0.5;
  bool open_ok_ = true;
  QStringList opened_;
};

TEST_F(StartupTest, PlainProgramFolderRestoresTheThreeBoxesInOrder) {
  Run();
  EXPECT_EQ(page_.calls, (QStringList{"caption:Quorvella", "icon", "Text1:stored ParadoxFolder",
                                      "Text2:stored AccessMDBFile", "Text3:stored AccessPassword"}));
  EXPECT_TRUE(windows_.calls().empty());
  EXPECT_TRUE(opened_.isEmpty());
}

TEST_F(StartupTest, SkinFileResetsColoursThenAppliesTheStyleSheet) {
  WriteFile(QStringLiteral("x/o.cjs"), "QWidget { color: navy; }");
  Run();
  ASSERT_GE(page_.calls.size(), 2);
  EXPECT_EQ(page_.calls[0], QStringLiteral("face"));
  EXPECT_EQ(page_.calls[1], QStringLiteral("style:QWidget { color: navy; }"));
}

TEST_F(StartupTest, SkinPathThatIsAFolderIsIgnored) {
  ASSERT_TRUE(QDir().mkpath(folder_.filePath(QStringLiteral("x/o.cjs"))));
  Run();
  EXPECT_FALSE(page_.calls.contains(QStringLiteral("face")));
  EXPECT_TRUE(windows_.calls().empty());
}

TEST_F(StartupTest, HandCursorIsLoadedWhenPresentAndABadOneIsReportedWithLabel128) {
  WriteFile(QStringLiteral("HAND-M.CUR"), "not a cursor");
  page_.fail_pointer = true;
  Run();
  EXPECT_TRUE(page_.calls.contains(QStringLiteral("pointer")));
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_EQ(windows_.messages()[0].text,
            ErrorReportText(QStringLiteral("Invalid picture"), QStringLiteral("Form1.Form_Load"), 128));
  EXPECT_TRUE(page_.calls.contains(QStringLiteral("Text3:stored AccessPassword")));
}

TEST_F(StartupTest, FailingSettingsReadReportsLabel130AndStartUpGoesOnWith132) {
  settings_.failing = QString::fromUtf8(kParadoxFolderKey);
  Run();
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_EQ(windows_.messages()[0].text, ErrorReportText(QStringLiteral("The settings file cannot be read."),
                                                         QStringLiteral("Form1.Form_Load"), 130));
  EXPECT_FALSE(page_.calls.contains(QStringLiteral("Text1:stored ParadoxFolder")));
  EXPECT_TRUE(page_.calls.contains(QStringLiteral("Text2:stored AccessMDBFile")));
  EXPECT_TRUE(page_.calls.contains(QStringLiteral("Text3:stored AccessPassword")));
}

TEST_F(StartupTest, HomePageOnSevenAndAFailedOpenIsReportedWithLabel104) {
  random_ = 0.06;
  Run();
  EXPECT_EQ(opened_.size(), 1);
  EXPECT_TRUE(windows_.calls().empty());
  open_ok_ = false;
  page_.calls.clear();
  Run();
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_TRUE(windows_.messages()[0].text.contains(QStringLiteral("Form1.Form_Load at line 104\r\r")));
  EXPECT_TRUE(page_.calls.contains(QStringLiteral("caption:Quorvella")));
}

TEST_F(StartupTest, StartupJumpRunsLastUnderTheStartupTrap) {
  class Jump : public StartupJump {
   public:
    explicit Jump(RecordingPage& page) : page_(page) {}
    void Run(ErrorTrap& trap, ConnectionPageContext&) override {
      page_.calls << QStringLiteral("jump");
      trap.Test(136, []() -> bool { throw qv::Error(76, "Path not found"); });
      trap.Step(142, [] {});
    }
    RecordingPage& page_;
  } jump(page_);
  StartupServices services{windows_, settings_, folder_.path(), [] { return 0.5; },
                           [](const QString&) { return true; }};
  class NoFields : public ConnectionFields {
    QString paradoxFolder() const override { return {}; }
    QString accessFile() const override { return {}; }
    QString accessPassword() const override { return {}; }
  } fields;
  MemoryPointer pointer;
  class NoFlow : public PageFlow {
   public:
    TablePageParts UseTablePage() override { throw std::logic_error("unused"); }
    void ShowTablePage() override {}
    void HideTablePage() override {}
    void ShowConnectionPage() override {}
    void HideConnectionPage() override {}
  } flow;
  ConnectionPageContext context{windows_, fields, pointer, flow};
  RunStartup(page_, services, &jump, &context);
  EXPECT_EQ(page_.calls.back(), QStringLiteral("jump"));
  ASSERT_EQ(windows_.messages().size(), 1u);
  EXPECT_TRUE(windows_.messages()[0].text.contains(QStringLiteral("Form1.Form_Load at line 136\r\r")));
}

}  // namespace
}  // namespace qv::shell
