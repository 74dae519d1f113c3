#include "pages/qt_window_system.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace qv::pages {

QtWindowSystem::QtWindowSystem() : throttle_([this] { return clock_.elapsed(); }) {
  clock_.start();
}

QString DisplayText(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return out;
}

QString QtFileFilter(const QString& filter_list) {
  const QStringList parts = filter_list.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString& description = parts[i];
    if (description.isEmpty() && parts[i + 1].isEmpty()) continue;
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
      for (const QString& variant : {pattern, pattern.toLower(), pattern.toUpper()}) {
        if (!patterns.contains(variant)) patterns << variant;
      }
    }
    filters << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

shell::Reply QtWindowSystem::ShowMessage(const shell::MessageRequest& request) {
  const bool yes_no = request.buttons == shell::Buttons::kYesNo;
  const bool three_way = request.buttons == shell::Buttons::kSkipRowsSkipTableStop;
  if (ending_) return yes_no ? shell::Reply::kNo : three_way ? shell::Reply::kStop : shell::Reply::kOk;
  QMessageBox box(Owner());
  box.setWindowTitle(request.title);
  box.setTextFormat(Qt::PlainText);
  box.setText(DisplayText(request.text));
  box.setIcon(request.icon == shell::Icon::kWarning ? QMessageBox::Warning : QMessageBox::NoIcon);
  QAbstractButton* skip_rows = nullptr;
  QAbstractButton* skip_table = nullptr;
  if (three_way) {
    skip_rows = box.addButton(QStringLiteral("Skip Rows"), QMessageBox::AcceptRole);
    skip_table = box.addButton(QStringLiteral("Skip Table"), QMessageBox::DestructiveRole);
    QAbstractButton* stop = box.addButton(QStringLiteral("Stop"), QMessageBox::RejectRole);
    box.setEscapeButton(stop);
    box.setDefaultButton(static_cast<QPushButton*>(skip_rows));
  } else if (yes_no) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  box.setWindowModality(Qt::ApplicationModal);
  const int result = box.exec();
  if (three_way) {
    if (box.clickedButton() == skip_rows) return shell::Reply::kSkipRows;
    if (box.clickedButton() == skip_table) return shell::Reply::kSkipTable;
    return shell::Reply::kStop;
  }
  if (!yes_no) return shell::Reply::kOk;
  return result == QMessageBox::Yes ? shell::Reply::kYes : shell::Reply::kNo;
}

QString QtWindowSystem::AskText(const QString& prompt, const QString& title, const QString& default_answer) {
  if (ending_) return {};
  bool ok = false;
  const QString answer =
      QInputDialog::getText(Owner(), title, prompt, QLineEdit::Normal, default_answer, &ok);
  return ok ? answer : QString();
}

QString QtWindowSystem::ChooseOpenFile(const QString& title, const QString& filter_list) {
  if (ending_) return {};
  const QString chosen = QFileDialog::getOpenFileName(Owner(), title, QString(), QtFileFilter(filter_list));
  return QDir::toNativeSeparators(chosen);
}

QString QtWindowSystem::ChooseFolder(const QString& title) {
  if (ending_) return {};
  const QString chosen =
      QFileDialog::getExistingDirectory(Owner(), title, QString(), QFileDialog::ShowDirsOnly);
  return QDir::toNativeSeparators(chosen);
}

void QtWindowSystem::Yield() {
  if (ending_) return;
  if (throttle_.Due()) QCoreApplication::processEvents();
}

}  // namespace qv::pages
