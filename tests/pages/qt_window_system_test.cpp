// The Qt window system with real (offscreen) dialogs, answered by a timer.
#include "pages/qt_window_system.h"

#include <QAbstractButton>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

#include "gui_fixture.h"

namespace qv::pages {
namespace {

// Runs `inspect` on the modal dialog once it is up, then `answer` closes it.
void WhenModal(std::function<void(QWidget*)> inspect) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      poll->stop();
      poll->deleteLater();
      inspect(modal);
    }
  });
  poll->start(10);
}

TEST(QtWindowSystemDialogs, ErrorReportBoxHasTitleWarningIconOkAndTheTextOnFourLines) {
  testing::GuiApp();
  QtWindowSystem windows;
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      modal->close();  // never leave a test waiting on a dialog
      FAIL() << "no message box";
    }
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = static_cast<int>(box->buttons().size());
    box->button(QMessageBox::Ok)->click();
  });
  const shell::Reply reply =
      windows.ShowMessage({QStringLiteral("Disk full\r\nin W.X at line 130\r\rPlease"),
                           QStringLiteral("Application Error"), shell::Buttons::kOk, shell::Icon::kWarning});
  EXPECT_EQ(reply, shell::Reply::kOk);
  EXPECT_EQ(title, QStringLiteral("Application Error"));
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(buttons, 1);
  EXPECT_EQ(text, QStringLiteral("Disk full\nin W.X at line 130\n\nPlease"));
}

TEST(QtWindowSystemDialogs, YesNoQuestionWithoutIconGivesTheAnswer) {
  testing::GuiApp();
  QtWindowSystem windows;
  QMessageBox::Icon icon = QMessageBox::Warning;
  WhenModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (box == nullptr) {
      modal->close();  // never leave a test waiting on a dialog
      FAIL() << "no message box";
    }
    icon = box->icon();
    box->button(QMessageBox::No)->click();
  });
  EXPECT_EQ(windows.ShowMessage({QStringLiteral("Overwrite?"), QStringLiteral("Overwrite?"),
                                 shell::Buttons::kYesNo, shell::Icon::kNone}),
            shell::Reply::kNo);
  EXPECT_EQ(icon, QMessageBox::NoIcon);
}

TEST(QtWindowSystemDialogs, InputBoxGivesTheAnswerAndCancelGivesEmptyText) {
  testing::GuiApp();
  QtWindowSystem windows;
  QString prefilled;
  WhenModal([&](QWidget* modal) {
    auto* input = qobject_cast<QInputDialog*>(modal);
    if (input == nullptr) {
      modal->close();
      FAIL() << "no input box";
    }
    prefilled = input->textValue();
    input->setTextValue(QStringLiteral("NEWNAME"));
    input->accept();
  });
  EXPECT_EQ(windows.AskText(QStringLiteral("Enter new name of ORDERS:"), QStringLiteral("Quorvella"),
                            QStringLiteral("ORDERS")),
            QStringLiteral("NEWNAME"));
  EXPECT_EQ(prefilled, QStringLiteral("ORDERS"));
  WhenModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  EXPECT_EQ(windows.AskText(QStringLiteral("p"), QStringLiteral("t"), QStringLiteral("ORDERS")), QString());
}

TEST(QtWindowSystemDialogs, OnceEndingNoDialogIsShown) {
  testing::GuiApp();
  QtWindowSystem windows;
  windows.SetEnding();
  EXPECT_EQ(windows.ShowMessage({QStringLiteral("Overwrite?"), QStringLiteral("t"), shell::Buttons::kYesNo,
                                 shell::Icon::kNone}),
            shell::Reply::kNo);
  EXPECT_EQ(windows.AskText(QStringLiteral("p"), QStringLiteral("t"), QStringLiteral("d")), QString());
  EXPECT_EQ(windows.ChooseFolder(QStringLiteral("Please select folder:")), QString());
  windows.Yield();
}

}  // namespace
}  // namespace qv::pages
