#include "pages/connection_page.h"

#include <QEvent>
#include <QTimer>

#include "shell/cursor_file.h"
#include "shell/error_trap.h"
#include "shell/files.h"
#include "shell/product.h"
#include "shell/product_icon.h"
#include "shell/user_samples.h"

namespace qv::pages {
namespace {

constexpr char kAccessDialogTitle[] = "Select Access Database";
constexpr char kAccessFilterList[] =
    "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
    "Microsoft 2007 Database (*.accdb)|*.accdb|";
constexpr char kFolderPrompt[] = "Please select folder:";

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setFont(PageFont(kButtonPoints, true));
  button->setAutoDefault(false);
  return button;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& caption) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(PageFont(kTextPoints, true));
  return label;
}

QLineEdit* MakeText(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setFont(PageFont(kTextPoints, true));
  return edit;
}

QGroupBox* MakeFrame(QWidget* parent, const char* name, const QString& caption) {
  auto* frame = new QGroupBox(caption, parent);
  frame->setObjectName(QString::fromLatin1(name));
  frame->setFont(PageFont(kTextPoints, true));
  return frame;
}

}  // namespace

QString BrowseForFolder(shell::WindowSystem& windows, const QString& title) {
  QString path = windows.ChooseFolder(title);
  // The chosen path ends at its first NUL character, if any.
  const qsizetype nul = path.indexOf(QChar(u'\0'));
  if (nul >= 0) path.truncate(nul);
  return path;
}

ConnectionPage::ConnectionPage(Services services) : services_(std::move(services)) {
  setObjectName(QStringLiteral("Form1"));
  Build();
}

void ConnectionPage::Build() {
  // Client area 8040 x 4185 twips; positions (left, top, width, height) in twips, a frame's
  // controls relative to the frame.
  SetClientSizeTwips(8040, 4185);

  frame1_ = MakeFrame(this, "Frame1", QStringLiteral("Paradox Database"));
  Place(frame1_, 120, 120, 7800, 1455);
  label2_ = MakeLabel(frame1_, "Label2", QStringLiteral("Paradox Folder:"));
  Place(label2_, 240, 405, 1455, 255);
  text1_ = MakeText(frame1_, "Text1");
  Place(text1_, 1680, 360, 5295, 345);
  push_button5_ = MakeButton(frame1_, "PushButton5", QStringLiteral("..."));
  Place(push_button5_, 7080, 360, 480, 345);
  push_button4_ = MakeButton(frame1_, "PushButton4", QStringLiteral("Load Sample/Example Database"));
  Place(push_button4_, 240, 840, 3600, 405);
  push_button3_ = MakeButton(frame1_, "PushButton3", QStringLiteral("Test Connection"));
  Place(push_button3_, 3960, 840, 3600, 405);

  frame2_ = MakeFrame(this, "Frame2", QStringLiteral("Access Database"));
  Place(frame2_, 120, 1680, 7800, 1845);
  label5_ = MakeLabel(frame2_, "Label5", QStringLiteral("MDB or ACCDB File:"));
  Place(label5_, 240, 345, 1935, 255);
  text2_ = MakeText(frame2_, "Text2");
  Place(text2_, 2280, 300, 4695, 345);
  push_button1_ = MakeButton(frame2_, "PushButton1", QStringLiteral("..."));
  Place(push_button1_, 7080, 300, 450, 345);
  lbl_password_ = MakeLabel(frame2_, "lblPassword", QStringLiteral("Password (if required):"));
  Place(lbl_password_, 240, 840, 1950, 225);
  // Font hinting here can make a caption a pixel or two wider than the designed label; a label
  // grows to its caption (into the free space before the box beside it) instead of clipping it.
  for (QLabel* label : {label2_, label5_, lbl_password_}) {
    const int needed = QFontMetrics(label->font()).horizontalAdvance(label->text()) + 1;
    if (label->width() < needed) label->resize(needed, label->height());
  }
  text3_ = MakeText(frame2_, "Text3");
  text3_->setEchoMode(QLineEdit::Password);
  Place(text3_, 2280, 800, 5265, 345);
  push_button7_ = MakeButton(frame2_, "PushButton7", QStringLiteral("Load Sample/Example Database"));
  Place(push_button7_, 240, 1260, 7300, 405);

  push_button2_ = MakeButton(this, "PushButton2", QStringLiteral("Next >"));
  Place(push_button2_, 120, 3660, 7800, 405);

  // Tab order: Text1 first (so it has the focus when the page opens), then PushButton5,
  // PushButton3, PushButton2, Text2, Text3, PushButton1, PushButton7, PushButton4.
  const QList<QWidget*> order = {text1_, push_button5_, push_button3_, push_button2_, text2_,
                                 text3_, push_button1_, push_button7_, push_button4_};
  for (qsizetype i = 0; i + 1 < order.size(); ++i) setTabOrder(order[i], order[i + 1]);
  for (QWidget* w :
       {static_cast<QWidget*>(frame1_), static_cast<QWidget*>(frame2_), static_cast<QWidget*>(label2_),
        static_cast<QWidget*>(label5_), static_cast<QWidget*>(lbl_password_)}) {
    w->setFocusPolicy(Qt::NoFocus);
  }
  text1_->setFocus(Qt::OtherFocusReason);

  for (QPushButton* b :
       {push_button1_, push_button2_, push_button3_, push_button4_, push_button5_, push_button7_}) {
    WatchButton(b);
  }
  for (QWidget* s :
       {static_cast<QWidget*>(frame1_), static_cast<QWidget*>(frame2_), static_cast<QWidget*>(text1_),
        static_cast<QWidget*>(text2_), static_cast<QWidget*>(text3_)}) {
    WatchSurface(s);
  }
  for (QLineEdit* edit : {text1_, text2_, text3_}) edit->installEventFilter(this);

  // Write-through: every change of a box saves its whole text at once.
  connect(text1_, &QLineEdit::textChanged, this, [this](const QString& t) {
    services_.settings.Save(QString::fromUtf8(shell::kParadoxFolderKey), t);
  });
  connect(text2_, &QLineEdit::textChanged, this,
          [this](const QString& t) { services_.settings.Save(QString::fromUtf8(shell::kAccessFileKey), t); });
  connect(text3_, &QLineEdit::textChanged, this, [this](const QString& t) {
    services_.settings.Save(QString::fromUtf8(shell::kAccessPasswordKey), t);
  });

  connect(push_button1_, &QPushButton::clicked, this, [this] { BrowseAccessFile(); });
  connect(push_button2_, &QPushButton::clicked, this, [this] { Next(); });
  connect(push_button3_, &QPushButton::clicked, this, [this] { TestConnection(); });
  connect(push_button4_, &QPushButton::clicked, this, [this] { LoadSampleFolder(); });
  connect(push_button5_, &QPushButton::clicked, this, [this] { BrowseParadoxFolder(); });
  connect(push_button7_, &QPushButton::clicked, this, [this] { LoadSampleDatabase(); });
}

bool ConnectionPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    if (auto* edit = qobject_cast<QLineEdit*>(watched)) SelectAllOnFocus(edit);
  }
  return Page::eventFilter(watched, event);
}

void ConnectionPage::SelectAllOnFocus(QLineEdit* edit) {
  edit->selectAll();
  // A click that gave the focus would place the caret after this; select again once it is done.
  QTimer::singleShot(0, edit, [edit] {
    if (edit->hasFocus()) edit->selectAll();
  });
}

shell::ConnectionPageContext ConnectionPage::Context() {
  return {services_.windows, *this, *this, *flow_};
}

void ConnectionPage::ApplyFaceColors() {
  pages::ApplyFaceColors(this);
}

void ConnectionPage::ApplyStyleSheet(const QString& style_sheet) {
  setStyleSheet(style_sheet);
}

void ConnectionPage::SetProductIcon() {
  setWindowIcon(shell::ProductIcon());
}

void ConnectionPage::LoadCustomPointer(const QString& cursor_file) {
  const shell::CursorPicture picture = shell::LoadCursorFile(cursor_file);
  SetCustomPointerImage(QCursor(QPixmap::fromImage(picture.image), picture.hotspot.x(), picture.hotspot.y()));
}

void ConnectionPage::BrowseAccessFile() {
  shell::ErrorTrap trap(services_.windows, QStringLiteral("Form1.PushButton1_Click"));
  QString file_name;
  QString title;
  QString filters;
  trap.Step(100, [&] { file_name.clear(); });
  trap.Step(102, [&] { title = QString::fromUtf8(kAccessDialogTitle); });
  trap.Step(104, [&] { filters = QString::fromUtf8(kAccessFilterList); });
  trap.Step(108, [&] { file_name = services_.windows.ChooseOpenFile(title, filters); });
  if (trap.Test(110, [&] { return !file_name.isEmpty(); })) {
    trap.Step(112, [&] { text2_->setText(file_name); });
  }
}

void ConnectionPage::BrowseParadoxFolder() {
  shell::ErrorTrap trap(services_.windows, QStringLiteral("Form1.PushButton5_Click"));
  QString folder;
  trap.Step(100, [&] { folder = BrowseForFolder(services_.windows, QString::fromUtf8(kFolderPrompt)); });
  if (!trap.Test(102, [&] { return !folder.isEmpty(); })) return;
  trap.Step(104, [&] { text1_->setText(folder); });
}

void ConnectionPage::LoadSampleFolder() {
  shell::ErrorTrap trap(services_.windows, QStringLiteral("Form1.PushButton4_Click"));
  trap.Step(100, [&] {
    // A copy in the user's data folder, made again when missing: the installed samples stay as
    // they came.
    text1_->setText(shell::UserSamplesFolder(services_.program_folder, services_.data_folder));
  });
}

void ConnectionPage::LoadSampleDatabase() {
  shell::ErrorTrap trap(services_.windows, QStringLiteral("Form1.PushButton7_Click"));
  trap.Step(100, [&] {
    text2_->setText(shell::JoinPath(shell::UserSamplesFolder(services_.program_folder, services_.data_folder),
                                    QString::fromUtf8(shell::kSampleDatabaseName)));
  });
}

void ConnectionPage::Next() {
  if (actions_ == nullptr || flow_ == nullptr) return;
  shell::ConnectionPageContext context = Context();
  actions_->Next(context);
}

void ConnectionPage::TestConnection() {
  if (actions_ == nullptr || flow_ == nullptr) return;
  shell::ConnectionPageContext context = Context();
  actions_->TestConnection(context);
}

}  // namespace qv::pages
