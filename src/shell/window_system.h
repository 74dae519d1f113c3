// The window-system services that handlers and operations use: message boxes, the input box, the
// file and folder dialogs and yielding to pending events. Pages supply the Qt implementation;
// tests use ScriptedWindowSystem, so no test ever opens a real dialog.
#pragma once

#include <QString>
#include <optional>

namespace qv::shell {

// kSkipRowsSkipTableStop: the question asked at the first row of a table that could not be
// copied; its buttons are "Skip Rows", "Skip Table" and "Stop", and closing the box counts as
// "Stop" (Reply::kStop).
enum class Buttons { kOk, kYesNo, kSkipRowsSkipTableStop };
enum class Icon { kNone, kWarning };
enum class Reply { kOk, kYes, kNo, kSkipRows, kSkipTable, kStop };

// What an error report or a short error message is about, beside its text: a window system
// that shows failures its own way (the terminal one prints the number, which the report's text
// leaves out) reads it from here.
struct ReportedFailure {
  int number = 0;
  QString description;
  QString location;  // empty for the short error message
  int label = 0;
  std::optional<QString> statement = std::nullopt;
};

struct MessageRequest {
  QString text;
  QString title;  // always filled in: the caller's own title or the application title
  Buttons buttons = Buttons::kOk;
  Icon icon = Icon::kNone;
  std::optional<ReportedFailure> failure = std::nullopt;  // set for error reports and short error messages
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Shows a modal message box and returns when the user has closed it.
  virtual Reply ShowMessage(const MessageRequest& request) = 0;
  // The input box: prompt, title and a pre-filled answer; cancel gives the empty text.
  virtual QString AskText(const QString& prompt, const QString& title, const QString& default_answer) = 0;
  // The file-open dialog. `filter_list` is "description|pattern|description|pattern|...".
  // Cancel gives the empty text.
  virtual QString ChooseOpenFile(const QString& title, const QString& filter_list) = 0;
  // The folder chooser (folders of the file system only); cancel gives the empty text.
  virtual QString ChooseFolder(const QString& title) = 0;
  // Lets the window system handle pending events; cheap to call often.
  virtual void Yield() = 0;
};

// Message boxes as the program uses them. Boxes without a title of their own carry the
// application title (SetAppTitle).
void ShowOk(WindowSystem& windows, const QString& text);
void ShowOk(WindowSystem& windows, const QString& text, const QString& title);
// Yes and No buttons, no icon; true for Yes.
bool AskYesNo(WindowSystem& windows, const QString& text, const QString& title);
// The input box titled with the application title.
QString InputBox(WindowSystem& windows, const QString& prompt, const QString& default_answer);

}  // namespace qv::shell
