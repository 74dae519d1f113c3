#include "shell/window_system.h"

#include "shell/app_title.h"

namespace qv::shell {

void ShowOk(WindowSystem& windows, const QString& text) {
  ShowOk(windows, text, AppTitle());
}

void ShowOk(WindowSystem& windows, const QString& text, const QString& title) {
  windows.ShowMessage({text, title, Buttons::kOk, Icon::kNone});
}

bool AskYesNo(WindowSystem& windows, const QString& text, const QString& title) {
  return windows.ShowMessage({text, title, Buttons::kYesNo, Icon::kNone}) == Reply::kYes;
}

QString InputBox(WindowSystem& windows, const QString& prompt, const QString& default_answer) {
  return windows.AskText(prompt, AppTitle(), default_answer);
}

}  // namespace qv::shell
