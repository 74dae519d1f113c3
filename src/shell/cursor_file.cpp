#include "shell/cursor_file.h"

#include <QFile>
#include <QImageReader>

#include "shell/failure.h"

namespace qv::shell {
namespace {

// Cursor file layout (little-endian): a 6-byte directory header {reserved 0, type 2, count},
// then 16-byte entries {width, height, colours, reserved, hot spot x (u16), hot spot y (u16),
// size (u32), offset (u32)}. The first entry's hot spot is the one used.
constexpr int kHeaderSize = 6;
constexpr int kEntrySize = 16;

int U16(const QByteArray& b, int at) {
  return static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8);
}

[[noreturn]] void InvalidPicture(const QString& path, const QString& why) {
  Fail(errc::kInvalidPicture, QStringLiteral("Invalid picture: '%1' %2.").arg(path, why));
}

}  // namespace

CursorPicture LoadCursorFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) InvalidPicture(path, QStringLiteral("cannot be read"));
  const QByteArray head = file.read(kHeaderSize + kEntrySize);
  file.close();
  if (head.size() < kHeaderSize + kEntrySize || U16(head, 0) != 0 || U16(head, 2) != 2 || U16(head, 4) < 1) {
    InvalidPicture(path, QStringLiteral("is not a cursor file"));
  }
  QImageReader reader(path, "cur");
  QImage image = reader.read();
  if (image.isNull()) InvalidPicture(path, reader.errorString());
  QPoint hotspot(U16(head, kHeaderSize + 4), U16(head, kHeaderSize + 6));
  if (!image.rect().contains(hotspot)) hotspot = QPoint(0, 0);
  return {image, hotspot};
}

}  // namespace qv::shell
