#include "pages/page.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QRadioButton>
#include <QScreen>

#include "shell/twips.h"

namespace qv::pages {
namespace {
const char kPointerRole[] = "qvPointerRole";
enum PointerRole { kButton = 1, kSurface = 2 };
}  // namespace

QFont PageFont(double points, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

void ApplyFaceColors(QWidget* page) {
  const QColor face = QApplication::palette().color(QPalette::Button);
  auto paint = [&](QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
  };
  paint(page);
  for (QWidget* child : page->findChildren<QWidget*>()) {
    if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) || qobject_cast<QCheckBox*>(child) ||
        qobject_cast<QRadioButton*>(child)) {
      paint(child);
    }
  }
}

Page::Page(QWidget* parent) : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint) {
  setFont(PageFont(kTextPoints, false));
  setMouseTracking(true);
  WatchSurface(this);
}

int Page::Pixels(int twips) const {
  return shell::TwipsToPixels(twips, logicalDpiX());
}

void Page::Place(QWidget* widget, int left, int top, int width, int height) const {
  widget->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
}

void Page::SetClientSizeTwips(int width, int height) {
  setFixedSize(Pixels(width), Pixels(height));
}

void Page::CentreOnScreen() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  move(area.center() - QPoint(width() / 2, height() / 2));
}

void Page::SetPointer(int pointer) {
  pointer_ = pointer;
  switch (pointer) {
    case shell::kPointerHourglass:
      setCursor(Qt::WaitCursor);
      break;
    case shell::kPointerCustom:
      if (custom_) {
        setCursor(*custom_);
      } else {
        setCursor(Qt::ArrowCursor);
      }
      break;
    default:
      setCursor(Qt::ArrowCursor);
      break;
  }
}

void Page::SetCustomPointerImage(const QCursor& cursor) {
  custom_ = cursor;
  if (pointer_ == shell::kPointerCustom) SetPointer(pointer_);
}

void Page::WatchButton(QWidget* button) {
  button->setProperty(kPointerRole, kButton);
  button->setMouseTracking(true);
  button->installEventFilter(this);
}

void Page::WatchSurface(QWidget* surface) {
  surface->setProperty(kPointerRole, kSurface);
  surface->setMouseTracking(true);
  surface->installEventFilter(this);
}

bool Page::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::Enter && type != QEvent::MouseMove) return QWidget::eventFilter(watched, event);
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr) return false;
  const int role = widget->property(kPointerRole).toInt();
  if (role == kButton) {
    shell::PointerOverButton(*this);
  } else if (role == kSurface) {
    // A move that a child passed up (a label, the progress bar, a button that ignores moves)
    // belongs to that child, not to this surface; so does an enter that ends on a child.
    const auto* at = static_cast<QSinglePointEvent*>(event);
    if (widget->childAt(at->position().toPoint()) != nullptr) return false;
    shell::PointerOverSurface(*this);
  }
  return false;
}

void Page::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closed_) closed_();
}

}  // namespace qv::pages
