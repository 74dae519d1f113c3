#include "shell/app_title.h"

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

namespace {
// The one application title of the running program. It is not the application's display name:
// on X11 Qt appends a display name to every window title, so message boxes with a title of
// their own ("Application Error") would not show that title exactly.
QString& CurrentTitle() {
  static QString title;
  return title;
}
}  // namespace

void SetAppTitle() {
  CurrentTitle() = ShortenedAppTitle(QString::fromUtf8(kProductName));
}

QString AppTitle() {
  const QString& title = CurrentTitle();
  return title.isEmpty() ? ShortenedAppTitle(QString::fromUtf8(kProductName)) : title;
}

}  // namespace qv::shell
