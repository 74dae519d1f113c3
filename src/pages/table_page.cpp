#include "pages/table_page.h"

#include "shell/cursor_file.h"
#include "shell/error_trap.h"
#include "shell/files.h"
#include "shell/product.h"
#include "shell/product_icon.h"

namespace qv::pages {
namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(PageFont(kButtonPoints, true));
  button->setAutoDefault(false);
  return button;
}

QListWidget* MakeList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setFont(PageFont(kTextPoints, true));
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  // Items are placed in order by WidgetTableList::Add, which ignores case; Qt's own sorting
  // would not.
  list->setSortingEnabled(false);
  return list;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setFont(PageFont(kTextPoints, true));
  frame->setFocusPolicy(Qt::NoFocus);
  return frame;
}

}  // namespace

QString HelpText() {
  return QStringLiteral("Questions? Please contact Team Kestrune at ") +
         QString::fromUtf8(shell::kContactAddress);
}

TablePage::TablePage(Services services)
    : services_(std::move(services)), access_list_(nullptr), paradox_list_(nullptr), progress_(nullptr) {
  setObjectName(QStringLiteral("Form2"));
  Build();
  access_list_ = WidgetTableList(list1_);
  paradox_list_ = WidgetTableList(list2_);
  progress_ = WidgetProgress(progress_bar1_);
}

void TablePage::Build() {
  // Client width 8040 twips; the height is set by the load (step 112).
  setFixedWidth(Pixels(8040));

  frame1_ = MakeFrame(this, "Frame1", QStringLiteral("Access Tables"));
  Place(frame1_, 120, 120, 3840, 4215);
  list1_ = MakeList(frame1_, "List1");
  Place(list1_, 240, 360, 3330, 1635);
  push_button10_ = MakeButton(frame1_, "PushButton10", QStringLiteral("Select All"));
  Place(push_button10_, 240, 2100, 1600, 400);
  push_button11_ = MakeButton(frame1_, "PushButton11", QStringLiteral("Deselect All"));
  Place(push_button11_, 1960, 2100, 1600, 400);
  push_button3_ = MakeButton(frame1_, "PushButton3", QStringLiteral("Send Table/s To Paradox"));
  Place(push_button3_, 240, 2600, 3330, 400);
  push_button1_ = MakeButton(frame1_, "PushButton1", QStringLiteral("Delete Table/s"));
  Place(push_button1_, 240, 3100, 3330, 400);
  push_button6_ = MakeButton(frame1_, "PushButton6", QStringLiteral("Rename Table"));
  Place(push_button6_, 240, 3600, 3330, 400);

  frame2_ = MakeFrame(this, "Frame2", QStringLiteral("Paradox Tables"));
  Place(frame2_, 4080, 120, 3840, 4215);
  list2_ = MakeList(frame2_, "List2");
  Place(list2_, 240, 360, 3330, 1635);
  push_button8_ = MakeButton(frame2_, "PushButton8", QStringLiteral("Select All"));
  Place(push_button8_, 240, 2100, 1600, 400);
  push_button9_ = MakeButton(frame2_, "PushButton9", QStringLiteral("Deselect All"));
  Place(push_button9_, 1960, 2100, 1600, 400);
  push_button4_ = MakeButton(frame2_, "PushButton4", QStringLiteral("Send Table/s To Access"));
  Place(push_button4_, 240, 2600, 3330, 400);
  push_button5_ = MakeButton(frame2_, "PushButton5", QStringLiteral("Delete Table/s"));
  Place(push_button5_, 240, 3100, 3330, 400);
  push_button7_ = MakeButton(frame2_, "PushButton7", QStringLiteral("Rename Table"));
  Place(push_button7_, 240, 3600, 3330, 400);

  progress_bar1_ = new QProgressBar(this);
  progress_bar1_->setObjectName(QStringLiteral("ProgressBar1"));
  progress_bar1_->setRange(0, 100);
  progress_bar1_->setValue(0);
  progress_bar1_->setTextVisible(false);
  Place(progress_bar1_, 120, 4460, 7800, 405);

  push_button2_ = MakeButton(this, "PushButton2", QStringLiteral("< Back"));
  Place(push_button2_, 120, 4980, 3840, 405);
  push_button12_ = MakeButton(this, "PushButton12", QStringLiteral("Help"));
  Place(push_button12_, 4080, 4980, 3840, 405);

  // Tab order: List1, List2, then the buttons 10, 11, 3, 1, 6, 8, 9, 4, 5, 7, "< Back", "Help".
  const QList<QWidget*> order = {list1_,        list2_,        push_button10_, push_button11_, push_button3_,
                                 push_button1_, push_button6_, push_button8_,  push_button9_,  push_button4_,
                                 push_button5_, push_button7_, push_button2_,  push_button12_};
  for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);

  for (QPushButton* b :
       {push_button1_, push_button2_, push_button3_, push_button4_, push_button5_, push_button6_,
        push_button7_, push_button8_, push_button9_, push_button10_, push_button11_, push_button12_}) {
    WatchButton(b);
  }
  for (QWidget* s : {static_cast<QWidget*>(frame1_), static_cast<QWidget*>(frame2_), list1_->viewport(),
                     list2_->viewport()}) {
    WatchSurface(s);
  }

  connect(push_button10_, &QPushButton::clicked, this, [this] { SelectAllAccess(); });
  connect(push_button11_, &QPushButton::clicked, this, [this] { DeselectAllAccess(); });
  connect(push_button8_, &QPushButton::clicked, this, [this] { SelectAllParadox(); });
  connect(push_button9_, &QPushButton::clicked, this, [this] { DeselectAllParadox(); });
  connect(push_button2_, &QPushButton::clicked, this, [this] { Back(); });
  connect(push_button12_, &QPushButton::clicked, this, [this] { Help(); });
  using Ops = shell::TablePageOperations;
  connect(push_button3_, &QPushButton::clicked, this, [this] { RunOperation(&Ops::SendToParadox); });
  connect(push_button4_, &QPushButton::clicked, this, [this] { RunOperation(&Ops::SendToAccess); });
  connect(push_button1_, &QPushButton::clicked, this, [this] { RunOperation(&Ops::DeleteAccessTables); });
  connect(push_button5_, &QPushButton::clicked, this, [this] { RunOperation(&Ops::DeleteParadoxTables); });
  connect(push_button6_, &QPushButton::clicked, this, [this] { RunOperation(&Ops::RenameAccessTable); });
  connect(push_button7_, &QPushButton::clicked, this, [this] { RunOperation(&Ops::RenameParadoxTable); });
}

void TablePage::Load() {
  shell::ErrorTrap trap(services_.windows, QStringLiteral("Form2.Form_Load"));
  trap.Step(100, [&] { ApplyFaceColors(this); });
  trap.Step(102, [&] { setWindowIcon(shell::ProductIcon()); });
  const QString cursor_file =
      shell::JoinPath(services_.program_folder, QString::fromUtf8(shell::kHandCursorFile));
  if (trap.Test(106, [&] { return shell::FileExists(cursor_file); })) {
    trap.Step(108, [&] {
      const shell::CursorPicture picture = shell::LoadCursorFile(cursor_file);
      SetCustomPointerImage(
          QCursor(QPixmap::fromImage(picture.image), picture.hotspot.x(), picture.hotspot.y()));
    });
  }
  trap.Step(110, [&] { setWindowTitle(QString::fromUtf8(shell::kProductName)); });
  trap.Step(112, [&] {
    // The outer height includes the title bar and borders; the client area gets the rest.
    int decoration = frameGeometry().height() - geometry().height();
    if (decoration <= 0) decoration = kTypicalDecorationPixels;
    setFixedHeight(Pixels(kTablePageOuterHeightTwips) - decoration);
  });
  CentreOnScreen();
}

void TablePage::SetAllSelected(const QString& location, QListWidget* list, bool selected) {
  shell::ErrorTrap trap(services_.windows, location);
  trap.Step(100, [&] {
    for (int row = 0; row < list->count(); ++row) list->item(row)->setSelected(selected);
    // The operations act on a list that has a current item; a list that has none yet (no click
    // so far) gets its first item, without changing the selection just made.
    if (list->count() > 0 && list->currentRow() == -1) list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  });
}

void TablePage::SelectAllAccess() {
  SetAllSelected(QStringLiteral("Form2.PushButton10_Click"), list1_, true);
}
void TablePage::DeselectAllAccess() {
  SetAllSelected(QStringLiteral("Form2.PushButton11_Click"), list1_, false);
}
void TablePage::SelectAllParadox() {
  SetAllSelected(QStringLiteral("Form2.PushButton8_Click"), list2_, true);
}
void TablePage::DeselectAllParadox() {
  SetAllSelected(QStringLiteral("Form2.PushButton9_Click"), list2_, false);
}

void TablePage::Back() {
  shell::ErrorTrap trap(services_.windows, QStringLiteral("Form2.PushButton2_Click"));
  if (flow_ == nullptr) return;
  trap.Step(100, [&] { flow_->ShowConnectionPage(); });
  trap.Step(102, [&] { flow_->HideTablePage(); });
}

void TablePage::Help() {
  shell::ErrorTrap trap(services_.windows, QStringLiteral("Form2.PushButton12_Click"));
  trap.Step(100, [&] { shell::ShowOk(services_.windows, HelpText()); });
}

void TablePage::RunOperation(void (shell::TablePageOperations::*operation)(shell::TablePageContext&)) {
  if (operations_ == nullptr) return;
  shell::TablePageContext context{services_.windows, services_.fields, Parts()};
  (operations_->*operation)(context);
}

}  // namespace qv::pages
