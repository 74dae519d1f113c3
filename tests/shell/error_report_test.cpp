#include "shell/error_report.h"

#include <gtest/gtest.h>

#include "shell/app_title.h"
#include "support/scripted_window_system.h"
#include "test_app.h"

namespace qv::shell {
namespace {

QByteArray Bytes(const QString& text) {
  return text.toUtf8();
}

TEST(ErrorReport, TextHasExactSeparatorsAndNothingAfterTheAddress) {
  const QString text =
      ErrorReportText(QStringLiteral("Could not find file 'x.mdb'."), QStringLiteral("Form1.Form_Load"), 130);
  EXPECT_EQ(Bytes(text), QByteArray("Could not find file 'x.mdb'.\r\n"
                                    "in Tessaline2016/11/03.Form1.Form_Load at line 130\r\r"
                                    "Please email screenshot of this message to support@kestrune.example"));
  // Two lone CRs: no LF anywhere after the description's CR LF.
  EXPECT_EQ(text.count(QLatin1Char('\n')), 1);
  EXPECT_EQ(text.count(QLatin1Char('\r')), 3);
  EXPECT_FALSE(text.endsWith(QLatin1Char(' ')));
  EXPECT_FALSE(text.endsWith(QLatin1Char('.')));
}

TEST(ErrorReport, StatementVariantAppendsTheStatementEvenWhenEmpty) {
  const QString with =
      ErrorReportText(QStringLiteral("Syntax error"), QStringLiteral("Form2.PushButton4_Click"), 240,
                      QStringLiteral("INSERT INTO [T] VALUES ('a')"));
  EXPECT_TRUE(with.endsWith(QStringLiteral("support@kestrune.example\r\rsql: INSERT INTO [T] VALUES ('a')")));
  const QString empty =
      ErrorReportText(QStringLiteral("x"), QStringLiteral("Form2.PushButton4_Click"), 100, QString());
  EXPECT_TRUE(empty.endsWith(QStringLiteral("support@kestrune.example\r\rsql: ")));
}

TEST(ErrorReport, LabelAndLocationAsGiven) {
  EXPECT_EQ(LocationText(QStringLiteral("Main.RenameFile")),
            QStringLiteral("in Tessaline2016/11/03.Main.RenameFile "));
  const QString text = ErrorReportText(QString(), QStringLiteral("Form2.Form_Load"), 1000);
  EXPECT_TRUE(text.startsWith(QStringLiteral("\r\nin Tessaline2016/11/03.Form2.Form_Load at line 1000\r\r")));
}

TEST(ErrorReport, ShownWithTitleWarningIconAndOkOnly) {
  testing::TestApp();
  ScriptedWindowSystem windows;
  ShowErrorReport(windows, QStringLiteral("boom"), QStringLiteral("Form1.Form_Load"), 104);
  ASSERT_EQ(windows.messages().size(), 1u);
  const MessageRequest box = windows.messages()[0];
  EXPECT_EQ(box.title, QStringLiteral("Application Error"));
  EXPECT_EQ(box.icon, Icon::kWarning);
  EXPECT_EQ(box.buttons, Buttons::kOk);
  EXPECT_EQ(box.text, ErrorReportText(QStringLiteral("boom"), QStringLiteral("Form1.Form_Load"), 104));
}

TEST(ShortError, DescriptionBlankAndNumber) {
  EXPECT_EQ(ShortErrorText(QStringLiteral("Could not find file 'a.mdb'."), 3024),
            QStringLiteral("Could not find file 'a.mdb'. (Error Number = 3024)"));
  EXPECT_EQ(ShortErrorText(QString(), 3031), QStringLiteral(" (Error Number = 3031)"));
  EXPECT_EQ(ShortErrorText(QStringLiteral("x"), -2147467259),
            QStringLiteral("x (Error Number = -2147467259)"));
}

TEST(ShortError, ShownWithApplicationTitleNoIconOkOnly) {
  testing::TestApp();
  SetAppTitle();
  ScriptedWindowSystem windows;
  ShowShortError(windows, QStringLiteral("Not a valid password."), 3031);
  ASSERT_EQ(windows.messages().size(), 1u);
  EXPECT_EQ(windows.messages()[0].title, QStringLiteral("Quorvella"));
  EXPECT_EQ(windows.messages()[0].icon, Icon::kNone);
  EXPECT_EQ(windows.messages()[0].buttons, Buttons::kOk);
  EXPECT_EQ(windows.messages()[0].text, QStringLiteral("Not a valid password. (Error Number = 3031)"));
}

}  // namespace
}  // namespace qv::shell
