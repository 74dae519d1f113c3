// Writes the product icon as PNG files (for desktop menus and file managers); the pages draw the
// same picture at run time.
#include <QString>
#include <cstdio>

#include "shell/product_icon.h"

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int size : {48, 256}) {
    const QString path = QStringLiteral("%1/quorvella-%2.png").arg(folder).arg(size);
    if (!qv::shell::ProductIconImage(size).save(path, "PNG")) {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
