#include "shell/app_title.h"

#include <QGuiApplication>

#include "shell/product.h"

namespace qv::shell {

QString ShortenedAppTitle(const QString& product_name) {
  QString title = product_name;
  while (title.size() > kMaxAppTitleLength) {
    const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
    // A single word longer than the limit has no blank to cut at; cutting it to nothing would
    // leave no title at all, so it is cut at the limit instead.
    if (blank < 0) {
      title.truncate(kMaxAppTitleLength);
      break;
    }
    title.truncate(blank);
  }
  return title;
}

void SetAppTitle() {
  QGuiApplication::setApplicationDisplayName(ShortenedAppTitle(QString::fromUtf8(kProductName)));
}

QString AppTitle() {
  const QString shown = QGuiApplication::applicationDisplayName();
  // Before SetAppTitle the display name falls back to the executable's name; the product name
  // is the better title then.
  if (shown.isEmpty() || shown == QCoreApplication::applicationName()) {
    return ShortenedAppTitle(QString::fromUtf8(kProductName));
  }
  return shown;
}

}  // namespace qv::shell
