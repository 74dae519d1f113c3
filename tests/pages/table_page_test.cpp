#include "pages/table_page.h"

#include <QEnterEvent>
#include <QMouseEvent>

#include "gui_fixture.h"
#include "pages/qt_window_system.h"
#include "shell/product.h"

namespace qv::pages {
namespace {

using testing::GuiTest;

class TablePageTest : public GuiTest {
 protected:
  shell::TablePageParts Open() {
    Start();
    shell::TablePageParts parts = program_->UseTablePage();
    program_->ShowTablePage();
    program_->HideConnectionPage();
    return parts;
  }
};

TEST_F(TablePageTest, LoadRunsOnceOnFirstUseWithCaptionIconPointerAndHeight) {
  Start();
  EXPECT_FALSE(program_->tablePageCreated());
  TablePage& first = form2();
  TablePage& again = form2();
  EXPECT_EQ(&first, &again);
  EXPECT_TRUE(windows_.calls().empty());
  EXPECT_EQ(first.windowTitle(), QStringLiteral("Quorvella"));
  EXPECT_FALSE(first.windowIcon().isNull());
  EXPECT_TRUE(first.hasCustomPointerImage());
  // Outer height 5965 twips (398 px) less the title bar and borders.
  EXPECT_EQ(first.width(), 536);
  EXPECT_EQ(first.height(), 398 - kTypicalDecorationPixels);
  EXPECT_EQ(first.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Button));
  EXPECT_EQ(first.frame1_->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Button));
}

TEST_F(TablePageTest, GeometryCaptionsAndFonts) {
  Open();
  TablePage& p = form2();
  EXPECT_EQ(p.frame1_->geometry(), QRect(8, 8, 256, 281));
  EXPECT_EQ(p.list1_->geometry(), QRect(16, 24, 222, 109));
  EXPECT_EQ(p.push_button11_->geometry(), QRect(131, 140, 107, 27));
  EXPECT_EQ(p.frame2_->geometry(), QRect(272, 8, 256, 281));
  EXPECT_EQ(p.progress_bar1_->geometry(), QRect(8, 297, 520, 27));
  EXPECT_EQ(p.push_button2_->geometry(), QRect(8, 332, 256, 27));
  EXPECT_EQ(p.push_button12_->geometry(), QRect(272, 332, 256, 27));
  EXPECT_EQ(p.frame1_->title(), QStringLiteral("Access Tables"));
  EXPECT_EQ(p.frame2_->title(), QStringLiteral("Paradox Tables"));
  EXPECT_EQ(p.push_button3_->text(), QStringLiteral("Send Table/s To Paradox"));
  EXPECT_EQ(p.push_button4_->text(), QStringLiteral("Send Table/s To Access"));
  EXPECT_EQ(p.push_button1_->text(), QStringLiteral("Delete Table/s"));
  EXPECT_EQ(p.push_button5_->text(), QStringLiteral("Delete Table/s"));
  EXPECT_EQ(p.push_button6_->text(), QStringLiteral("Rename Table"));
  EXPECT_EQ(p.push_button7_->text(), QStringLiteral("Rename Table"));
  EXPECT_EQ(p.push_button8_->text(), QStringLiteral("Select All"));
  EXPECT_EQ(p.push_button9_->text(), QStringLiteral("Deselect All"));
  EXPECT_EQ(p.push_button10_->text(), QStringLiteral("Select All"));
  EXPECT_EQ(p.push_button11_->text(), QStringLiteral("Deselect All"));
  EXPECT_EQ(p.push_button2_->text(), QStringLiteral("< Back"));
  EXPECT_EQ(p.push_button12_->text(), QStringLiteral("Help"));
  EXPECT_TRUE(p.list1_->font().bold());
  EXPECT_DOUBLE_EQ(p.list1_->font().pointSizeF(), 9.0);
  EXPECT_DOUBLE_EQ(p.push_button12_->font().pointSizeF(), 11.25);
  EXPECT_EQ(p.progress_bar1_->minimum(), 0);
  EXPECT_EQ(p.progress_bar1_->maximum(), 100);
  EXPECT_EQ(p.progress_bar1_->value(), 0);
  for (QPushButton* b : p.findChildren<QPushButton*>()) {
    EXPECT_LE(QFontMetrics(b->font()).horizontalAdvance(b->text()), b->width() - 4)
        << b->objectName().toStdString();
  }
  const QList<QWidget*> expected = {p.list1_,        p.list2_,        p.push_button10_, p.push_button11_,
                                    p.push_button3_, p.push_button1_, p.push_button6_,  p.push_button8_,
                                    p.push_button9_, p.push_button4_, p.push_button5_,  p.push_button7_,
                                    p.push_button2_, p.push_button12_};
  QList<QWidget*> order;
  QWidget* w = p.list1_;
  do {
    if (w->focusPolicy() & Qt::TabFocus) order << w;
    w = w->nextInFocusChain();
  } while (w != p.list1_ && order.size() < 30);
  EXPECT_EQ(order, expected);
}

TEST_F(TablePageTest, ListsSortWithoutRegardToCaseAndStartWithoutCurrentItem) {
  shell::TablePageParts parts = Open();
  EXPECT_EQ(form2().list1_->selectionMode(), QAbstractItemView::ExtendedSelection);
  EXPECT_EQ(form2().list2_->selectionMode(), QAbstractItemView::ExtendedSelection);
  for (const char* name : {"orders", "Customers", "order details", "ALPHA", "customers"}) {
    parts.access_list.Add(QString::fromLatin1(name));
  }
  QStringList shown;
  for (int i = 0; i < form2().list1_->count(); ++i) shown << form2().list1_->item(i)->text();
  EXPECT_EQ(shown, (QStringList{"ALPHA", "Customers", "customers", "order details", "orders"}));
  EXPECT_EQ(parts.access_list.currentRow(), -1);
  parts.access_list.SetCurrentRow(2);
  EXPECT_EQ(parts.access_list.selectedCount(), 0);  // moving the focus mark selects nothing
  parts.access_list.RemoveAt(2);
  EXPECT_EQ(parts.access_list.currentRow(), -1);
  parts.access_list.SetSelected(0, true);
  parts.access_list.SetSelected(3, true);
  EXPECT_EQ(parts.access_list.selectedCount(), 2);
  parts.access_list.Add(QStringLiteral("beta"));
  EXPECT_TRUE(parts.access_list.isSelected(0));
  EXPECT_TRUE(parts.access_list.isSelected(4));
  EXPECT_EQ(parts.access_list.text(4), QStringLiteral("orders"));
}

TEST_F(TablePageTest, SelectAllAndDeselectAllAlsoOnEmptyLists) {
  shell::TablePageParts parts = Open();
  form2().push_button10_->click();
  form2().push_button11_->click();
  form2().push_button8_->click();
  form2().push_button9_->click();
  EXPECT_EQ(parts.access_list.selectedCount(), 0);
  EXPECT_EQ(parts.paradox_list.selectedCount(), 0);
  for (const char* name : {"A", "B", "C"}) {
    parts.access_list.Add(QString::fromLatin1(name));
    parts.paradox_list.Add(QString::fromLatin1(name));
  }
  form2().push_button10_->click();
  EXPECT_EQ(parts.access_list.selectedCount(), 3);
  EXPECT_EQ(parts.paradox_list.selectedCount(), 0);
  // The list has a current item afterwards, so the operations act on the selection.
  EXPECT_EQ(parts.access_list.currentRow(), 0);
  form2().push_button8_->click();
  EXPECT_EQ(parts.paradox_list.selectedCount(), 3);
  form2().push_button11_->click();
  EXPECT_EQ(parts.access_list.selectedCount(), 0);
  EXPECT_EQ(parts.paradox_list.selectedCount(), 3);
  form2().push_button9_->click();
  EXPECT_EQ(parts.paradox_list.selectedCount(), 0);
  EXPECT_EQ(parts.paradox_list.currentRow(), 0);
  EXPECT_TRUE(windows_.calls().empty());
}

TEST_F(TablePageTest, BackShowsTheConnectionPageAndKeepsTheLists) {
  shell::TablePageParts parts = Open();
  parts.access_list.Add(QStringLiteral("Orders"));
  parts.access_list.Add(QStringLiteral("Customers"));
  parts.paradox_list.Add(QStringLiteral("PARTS"));
  parts.access_list.SetSelected(1, true);
  parts.progress.SetValue(40);
  form1().text1_->setText(QStringLiteral("/kept"));
  form2().push_button2_->click();
  EXPECT_TRUE(form1().isVisible());
  EXPECT_FALSE(form2().isVisible());
  EXPECT_EQ(form1().text1_->text(), QStringLiteral("/kept"));
  EXPECT_EQ(parts.access_list.count(), 2);
  EXPECT_TRUE(parts.access_list.isSelected(1));
  EXPECT_EQ(parts.paradox_list.text(0), QStringLiteral("PARTS"));
  EXPECT_EQ(parts.progress.value(), 40);
  program_->ShowTablePage();
  EXPECT_EQ(form2().list1_->count(), 2);
  EXPECT_TRUE(windows_.calls().empty());
}

TEST_F(TablePageTest, HelpShowsTheContactMessage) {
  Open();
  form2().push_button12_->click();
  ASSERT_EQ(windows_.messages().size(), 1u);
  const shell::MessageRequest box = windows_.messages()[0];
  EXPECT_EQ(box.text, QStringLiteral(
                          "Questions? Please contact Team Kestrune at https://www.kestrune.example/contact"));
  EXPECT_EQ(box.title, QStringLiteral("Quorvella"));
  EXPECT_EQ(box.buttons, shell::Buttons::kOk);
  EXPECT_EQ(box.icon, shell::Icon::kNone);
}

// Records which operation each button runs and lets a test act while one runs.
class RecordingOperations : public shell::TablePageOperations {
 public:
  void SendToParadox(shell::TablePageContext& c) override { Run("SendToParadox", c); }
  void SendToAccess(shell::TablePageContext& c) override { Run("SendToAccess", c); }
  void DeleteAccessTables(shell::TablePageContext& c) override { Run("DeleteAccessTables", c); }
  void DeleteParadoxTables(shell::TablePageContext& c) override { Run("DeleteParadoxTables", c); }
  void RenameAccessTable(shell::TablePageContext& c) override { Run("RenameAccessTable", c); }
  void RenameParadoxTable(shell::TablePageContext& c) override { Run("RenameParadoxTable", c); }

  QStringList ran;
  QString folder_seen;
  std::function<void(shell::TablePageContext&)> during;

 private:
  void Run(const char* name, shell::TablePageContext& c) {
    ran << QString::fromLatin1(name);
    folder_seen = c.fields.paradoxFolder();
    if (during) during(c);
  }
};

TEST_F(TablePageTest, OperationButtonsRunTheirOperationsAndDoNothingWithoutThem) {
  {
    Open();
    for (QPushButton* b : {form2().push_button1_, form2().push_button3_, form2().push_button4_,
                           form2().push_button5_, form2().push_button6_, form2().push_button7_}) {
      b->click();
    }
    EXPECT_TRUE(windows_.calls().empty());
  }
  RecordingOperations operations;
  options_.table_operations = &operations;
  Open();
  form1().text1_->setText(QStringLiteral("/px"));
  form2().push_button3_->click();
  form2().push_button4_->click();
  form2().push_button1_->click();
  form2().push_button5_->click();
  form2().push_button6_->click();
  form2().push_button7_->click();
  EXPECT_EQ(operations.ran, (QStringList{"SendToParadox", "SendToAccess", "DeleteAccessTables",
                                         "DeleteParadoxTables", "RenameAccessTable", "RenameParadoxTable"}));
  EXPECT_EQ(operations.folder_seen, QStringLiteral("/px"));
}

void MoveOver(QWidget* widget, QPoint where = QPoint(2, 2)) {
  const QPointF local(where);
  const QPointF global = widget->mapToGlobal(local);
  QEnterEvent enter(local, local, global);
  QCoreApplication::sendEvent(widget, &enter);
  QMouseEvent move(QEvent::MouseMove, local, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &move);
}

TEST_F(TablePageTest, HandOverButtonsArrowElsewhereLabelsAndProgressBarChangeNothing) {
  Open();
  TablePage& p = form2();
  MoveOver(p.push_button12_);
  EXPECT_EQ(p.pointer(), shell::kPointerCustom);
  EXPECT_EQ(p.cursor().shape(), Qt::BitmapCursor);
  MoveOver(p.progress_bar1_);
  EXPECT_EQ(p.pointer(), shell::kPointerCustom);
  MoveOver(p.list1_->viewport());
  EXPECT_EQ(p.pointer(), shell::kPointerDefault);
  EXPECT_EQ(p.cursor().shape(), Qt::ArrowCursor);
  MoveOver(p.push_button3_);
  EXPECT_EQ(p.pointer(), shell::kPointerCustom);
  MoveOver(p.frame2_);
  EXPECT_EQ(p.pointer(), shell::kPointerDefault);
  MoveOver(&p);
  EXPECT_EQ(p.pointer(), shell::kPointerDefault);

  MoveOver(form1().label2_);
  MoveOver(form1().push_button2_);
  EXPECT_EQ(form1().pointer(), shell::kPointerCustom);
  MoveOver(form1().label2_, QPoint(3, 3));
  EXPECT_EQ(form1().pointer(), shell::kPointerCustom);
  MoveOver(form1().text2_);
  EXPECT_EQ(form1().pointer(), shell::kPointerDefault);
}

TEST_F(TablePageTest, HourglassIsNeverReplacedWhileAnOperationRuns) {
  RecordingOperations operations;
  int checks = 0;
  operations.during = [&](shell::TablePageContext& c) {
    c.page.pointer.SetPointer(shell::kPointerHourglass);
    TablePage& p = form2();
    for (QWidget* w : {static_cast<QWidget*>(p.push_button4_), static_cast<QWidget*>(p.list1_->viewport()),
                       static_cast<QWidget*>(p.frame1_), static_cast<QWidget*>(p.push_button12_),
                       static_cast<QWidget*>(&p), static_cast<QWidget*>(p.list2_->viewport())}) {
      MoveOver(w);
      EXPECT_EQ(c.page.pointer.pointer(), shell::kPointerHourglass);
      EXPECT_EQ(p.cursor().shape(), Qt::WaitCursor);
      ++checks;
    }
    c.windows.Yield();
    c.page.pointer.SetPointer(shell::kPointerDefault);
  };
  options_.table_operations = &operations;
  Open();
  form2().push_button4_->click();
  EXPECT_EQ(checks, 6);
  EXPECT_EQ(form2().pointer(), shell::kPointerDefault);
  MoveOver(form2().push_button4_);
  EXPECT_EQ(form2().pointer(), shell::kPointerCustom);
}

TEST_F(TablePageTest, WithoutTheCursorFileTheHandPointerIsTheArrowAndNothingIsReported) {
  QTemporaryDir empty_folder;
  options_.program_folder = empty_folder.path();
  Open();
  EXPECT_FALSE(form2().hasCustomPointerImage());
  MoveOver(form2().push_button2_);
  EXPECT_EQ(form2().pointer(), shell::kPointerCustom);
  EXPECT_EQ(form2().cursor().shape(), Qt::ArrowCursor);
  EXPECT_TRUE(windows_.calls().empty());
}

TEST(QtWindowSystem, FilterListBecomesQtFiltersInEveryCase) {
  EXPECT_EQ(
      QtFileFilter(QStringLiteral("All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database "
                                  "(*.mdb)|*.mdb|Microsoft 2007 Database (*.accdb)|*.accdb|")),
      QStringLiteral("All Microsoft Databases (*.mdb,*.accdb) (*.*db *.*DB);;Microsoft Database (*.mdb) "
                     "(*.mdb *.MDB);;Microsoft 2007 Database (*.accdb) (*.accdb *.ACCDB)"));
}

TEST(QtWindowSystem, MessageTextLineBreaksAsShown) {
  EXPECT_EQ(DisplayText(QStringLiteral("a\r\nb at line 1\r\rPlease")),
            QStringLiteral("a\nb at line 1\n\nPlease"));
}

}  // namespace
}  // namespace qv::pages
