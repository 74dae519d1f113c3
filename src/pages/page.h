// What both pages share: a fixed-size top-level window laid out in twips, the page pointer with
// its mouse-over rules, the custom (hand) pointer image, and the close that ends the program.
#pragma once

#include <QCursor>
#include <QFont>
#include <QWidget>
#include <functional>
#include <optional>

#include "shell/page_pointer.h"

namespace qv::pages {

// Fonts of the pages: Arial (Liberation Sans stands in where Arial is not installed).
QFont PageFont(double points, bool bold);
inline constexpr double kTextPoints = 9.0;
inline constexpr double kButtonPoints = 11.25;

// ApplyFaceColors: the page and its option buttons, check boxes, frames and labels take the
// system colour of button faces; other controls keep theirs.
void ApplyFaceColors(QWidget* page);

class Page : public QWidget, public shell::PagePointer {
 public:
  explicit Page(QWidget* parent = nullptr);

  int pointer() const override { return pointer_; }
  void SetPointer(int pointer) override;
  // The image shown for pointer 99; until one is set, pointer 99 shows the arrow.
  void SetCustomPointerImage(const QCursor& cursor);
  bool hasCustomPointerImage() const { return custom_.has_value(); }

  // Runs when the user closes the page (the program then ends).
  void OnClosed(std::function<void()> closed) { closed_ = std::move(closed); }

  // Places a widget in twips relative to its parent (a frame's controls relative to the frame).
  void Place(QWidget* widget, int left, int top, int width, int height) const;
  // Sets the client area in twips.
  void SetClientSizeTwips(int width, int height);
  int Pixels(int twips) const;

  // Mouse-over rules: a push button turns the pointer to 99, a surface (the page, a frame, a text
  // box, a list's viewport) to 0, neither while the hourglass shows. Labels and the progress bar
  // are not registered and change nothing.
  void WatchButton(QWidget* button);
  void WatchSurface(QWidget* surface);

  void CentreOnScreen();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int pointer_ = shell::kPointerDefault;
  std::optional<QCursor> custom_;
  std::function<void()> closed_;
};

}  // namespace qv::pages
