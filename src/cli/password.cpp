#include "cli/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <QFile>
#include <cstdio>
#include <iostream>
#include <string>

#include "engine/core/error.h"
#include "shell/failure.h"

namespace qv::cli {
namespace {

QString FirstLine(const QByteArray& bytes) {
  QByteArray line = bytes;
  const qsizetype end = line.indexOf('\n');
  if (end >= 0) line.truncate(end);
  if (line.endsWith('\r')) line.chop(1);
  return QString::fromUtf8(line);
}

}  // namespace

QString ReadPasswordFile(const QString& path) {
  if (path == QStringLiteral("-")) {
    std::string line;
    std::getline(std::cin, line);
    return FirstLine(QByteArray::fromStdString(line));
  }
  QFile file(path);
  if (!file.exists())
    shell::Fail(qv::errc::kFileNotFound, QStringLiteral("Could not find the password file '%1'.").arg(path));
  if (!file.open(QIODevice::ReadOnly))
    shell::Fail(errc::kPathFileAccess,
                QStringLiteral("The password file '%1' could not be read: %2").arg(path, file.errorString()));
  return FirstLine(file.readAll());
}

std::optional<QString> AskPasswordWithoutEcho(const QString& prompt) {
  const int tty = open("/dev/tty", O_RDWR | O_NOCTTY);
  if (tty < 0) return std::nullopt;
  termios saved{};
  if (tcgetattr(tty, &saved) != 0) {
    close(tty);
    return std::nullopt;
  }
  termios quiet = saved;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  const QByteArray shown = prompt.toLocal8Bit();
  if (write(tty, shown.constData(), static_cast<std::size_t>(shown.size())) < 0) {
    close(tty);
    return std::nullopt;
  }
  tcsetattr(tty, TCSAFLUSH, &quiet);
  QByteArray answer;
  char c = 0;
  while (read(tty, &c, 1) == 1 && c != '\n') answer.append(c);
  tcsetattr(tty, TCSAFLUSH, &saved);
  if (write(tty, "\n", 1) < 0) {
    // The line end only tidies the terminal; the answer stands without it.
  }
  close(tty);
  return FirstLine(answer);
}

}  // namespace qv::cli
