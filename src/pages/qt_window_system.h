// The window-system services over Qt Widgets: QMessageBox, QInputDialog and QFileDialog, and a
// throttled processEvents for yielding.
#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>

#include "shell/window_system.h"
#include "shell/yield_throttle.h"

namespace qv::pages {

class QtWindowSystem : public shell::WindowSystem {
 public:
  QtWindowSystem();

  // The window that owns the dialogs (the visible page).
  void SetOwner(std::function<QWidget*()> owner) { owner_ = std::move(owner); }
  // Once the program is ending no dialog is shown any more: each request gets its cancel answer
  // (OK, No, the empty text) and yielding does nothing, so a running handler winds down quickly
  // without touching the user's choices.
  void SetEnding() { ending_ = true; }

  shell::Reply ShowMessage(const shell::MessageRequest& request) override;
  QString AskText(const QString& prompt, const QString& title, const QString& default_answer) override;
  QString ChooseOpenFile(const QString& title, const QString& filter_list) override;
  QString ChooseFolder(const QString& title) override;
  void Yield() override;

 private:
  QWidget* Owner() const { return owner_ ? owner_() : nullptr; }

  std::function<QWidget*()> owner_;
  QElapsedTimer clock_;
  shell::YieldThrottle throttle_;
  bool ending_ = false;
};

// "description|pattern|description|pattern|" to the Qt filter "description (pattern);;...".
// Each pattern is offered in lower and upper case as well, since file names on this platform
// respect case and the patterns were written for a system that ignores it.
QString QtFileFilter(const QString& filter_list);

// A message text as the box shows it: CR LF and each lone CR start a new line.
QString DisplayText(const QString& text);

}  // namespace qv::pages
